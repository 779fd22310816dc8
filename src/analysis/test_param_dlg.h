#pragma once
// The dialog "测试参数": the test header of a borehole (testing unit, people,
// site, hole number and time, the two diameters, collar coordinates and
// elevation, hole type and inclination, water level and the dip direction of
// an inclined hole). On the station's settings OK writes the settings; on a
// data set OK writes its header and recomputes every attitude from it.

#include <QDialog>

class QComboBox;
class QLineEdit;

namespace bc {

class CSpinField;
class CSurveyParams;
class CUnWrapData;

class CTestParamDlg : public QDialog {
    Q_OBJECT
  public:
    // Either pointer may be null. OK writes both; the attitudes are
    // recomputed with the settings' magnetic declination (0 without settings).
    CTestParamDlg(CSurveyParams* settings, CUnWrapData* data, QWidget* parent = nullptr);
    // The workspace's use: `station` (may be null) is only read, for the
    // first filling and the declination of the recomputation; OK writes the
    // data set alone.
    CTestParamDlg(CUnWrapData& data, const CSurveyParams* station, QWidget* parent = nullptr);

    // Fills the controls from the settings, then from the data set. exec()
    // does this before the dialog shows.
    void OnInitDialog();
    int exec() override;

    // OK: the dip direction of an inclined hole is checked (0..360, the
    // dialog stays open when refused), then the values are stored.
    void accept() override;

    // The controls by their ids: the edits 1215..1227 and 1254, the diameter
    // spins 1047 and 1048, the hole-type combo 1219. Null for any other id.
    QWidget* control(int id) const;
    QLineEdit* edit(int id) const;
    CSpinField* openingDiameterField() const { return opening_; }
    CSpinField* finalDiameterField() const { return final_; }
    QComboBox* holeTypeCombo() const { return holeType_; }

  private:
    void build();
    // Puts the focus on a field whose value was refused, its text selected.
    void refuse(QLineEdit* edit);
    bool eventFilter(QObject* watched, QEvent* event) override;

    CSurveyParams* settings_ = nullptr;     // written on OK
    const CSurveyParams* source_ = nullptr; // read when filling
    CUnWrapData* data_ = nullptr;
    float declination_ = 0.0f;
    bool initialised_ = false;

    QLineEdit* testUnit_ = nullptr;
    QLineEdit* tester_ = nullptr;
    QLineEdit* site_ = nullptr;
    QLineEdit* holeNumber_ = nullptr;
    QLineEdit* testTime_ = nullptr;
    CSpinField* opening_ = nullptr;
    CSpinField* final_ = nullptr;
    QLineEdit* collarCoordinates_ = nullptr;
    QLineEdit* elevation_ = nullptr;
    QComboBox* holeType_ = nullptr;
    QLineEdit* inclination_ = nullptr;
    QLineEdit* waterLevel_ = nullptr;
    QLineEdit* dipDirection_ = nullptr;
};

} // namespace bc
