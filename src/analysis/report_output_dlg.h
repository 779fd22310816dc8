#pragma once
// "输出": where the report goes, which template it follows, which pages it
// covers, which kind it is and, for the image report, how many pages stand
// side by side on a sheet.

#include <QDialog>

#include <functional>

class QButtonGroup;
class QLineEdit;

namespace bc {

class CReportOutputDlg : public QDialog {
    Q_OBJECT
public:
    enum ControlId {
        IDC_OUTPUT_PATH = 1265,
        IDC_OUTPUT_BROWSE = 1266,
        IDC_TEMPLATE_PATH = 1267,
        IDC_TEMPLATE_BROWSE = 1268,
        IDC_ALL_PAGES = 1269,
        IDC_CURRENT_PAGE = 1270,
        IDC_PAGE_RANGE = 1271,
        IDC_RANGE_TEXT = 1272,
        IDC_ATTITUDE_TYPE = 1273,
        IDC_IMAGE_TYPE = 1274,
        IDC_COLUMNS = 1275,
    };

    CReportOutputDlg(const QString& outputPath, const QString& templatePath,
                     const QString& templateFolder, QWidget* parent = nullptr);

    // The view's current page (0-based) and page count, against which a
    // page range is checked when the dialog is confirmed.
    void setPages(int currentPage, int pageCount);

    QString outputPath() const { return outputPath_; }
    QString templatePath() const { return templatePath_; }
    int pageChoice() const { return pageChoice_; }
    QString rangeText() const { return rangeText_; }
    int reportType() const { return reportType_; }
    int columns() const { return columns_; }
    // The pages chosen, 1-based and inclusive.
    int firstPage() const { return firstPage_; }
    int lastPage() const { return lastPage_; }

    // The control with a numeric id (tests, and the form's own lookups).
    QWidget* control(int id) const;

    // Reads the controls; false (told to the user) when the column count is
    // out of its range or the pages asked for are not in the survey. The
    // dialog then stays as the user left it, the focus on what was wrong.
    bool pullValues();

    // How the dialog is run; tests replace it to answer without a modal loop.
    using Runner = std::function<bool(CReportOutputDlg&)>;
    static Runner setRunner(Runner runner);
    bool run();

public slots:
    void accept() override;
    void onBrowseOutput();
    void onBrowseTemplate();

private:
    QString outputPath_;
    QString templatePath_;
    QString templateFolder_;
    int pageChoice_ = 1;
    QString rangeText_;
    int reportType_ = 0;
    int columns_ = 4;
    int currentPage_ = 0;
    int pageCount_ = 0;
    int firstPage_ = 1;
    int lastPage_ = 1;
    QLineEdit* outputEdit_;
    QLineEdit* templateEdit_;
    QLineEdit* rangeEdit_;
    QLineEdit* columnsEdit_;
    QButtonGroup* pages_;
    QButtonGroup* types_;
};

} // namespace bc
