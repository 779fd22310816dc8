#pragma once
// "拼接设置": the stitch template size, the number of strips a page shows, the
// horizontal search range of the stitch and whether a page takes its aspect
// from the hole's circumference over its depth.

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace bc {

class CStitchSettingsDlg : public QDialog {
    Q_OBJECT
  public:
    // Control ids.
    enum : int {
        IDC_TEMPLATE_SIZE = 1183,
        IDC_PER_PAGE = 1003,
        IDC_SEARCH_RANGE = 1184,
        IDC_ASPECT = 1220,
    };
    static constexpr int kMinPerPage = 1;
    static constexpr int kMaxPerPage = 800;

    // The indices select entries of the two lists (an index outside a list
    // selects nothing).
    CStitchSettingsDlg(int perPage, int templateIndex, int rangeIndex, int aspectFlag,
                       QWidget* parent = nullptr);

    int perPage() const { return perPage_; }
    int templateIndex() const { return templateIndex_; }
    int rangeIndex() const { return rangeIndex_; }
    int aspectFlag() const { return aspectFlag_; }

    QComboBox* templateCombo() const { return templateCombo_; }
    QLineEdit* perPageEdit() const { return perPageEdit_; }
    QComboBox* rangeCombo() const { return rangeCombo_; }
    QCheckBox* aspectCheck() const { return aspectCheck_; }

  public slots:
    // OK: a per page outside 1..800 is told and keeps the dialog open;
    // otherwise the values are taken and the dialog closes.
    void accept() override;

  private:
    int perPage_;
    int templateIndex_;
    int rangeIndex_;
    int aspectFlag_;
    QComboBox* templateCombo_;
    QLineEdit* perPageEdit_;
    QComboBox* rangeCombo_;
    QCheckBox* aspectCheck_;
};

} // namespace bc
