#pragma once
// The three settings groups on the face of the acquisition form. Each edits
// the form's survey settings in place and writes the profile with its own
// "保存" button:
// - the control group: counter resolution, sampling step (edited in
//   millimetres, kept in pulses), capture format, moving direction, start
//   depth, manual step, compass offset and magnetic declination;
// - the test group: the hole's test header handed to the reports;
// - the communication group: the port of the serial line.
// The form embeds them, fills them at initialisation and reacts to their
// signals (the control save resets the counter; the line's state goes into
// the status line).

#include "acquisition/port_map.h"
#include "acquisition/settings_fields.h"

#include <QGroupBox>

#include <functional>

class QComboBox;
class QFormLayout;
class QLineEdit;
class QSettings;

namespace bc {

class CBmpButton;
class CNumEdit;
class CSerialLine;
class CSpinField;
class CStepField;
class CSurveyParams;

// Where the groups write the profile: a given settings object (tests), or the
// program's profile when none is given.
class CProfileWriter {
public:
    void setProfile(QSettings* profile) { profile_ = profile; }
    // Writes `params` to the profile; a failure is told, over `parent`, with
    // its reason, and returns false.
    bool save(const CSurveyParams& params, QWidget* parent = nullptr) const;

private:
    QSettings* profile_ = nullptr;
};

class CControlParamsGroup : public QGroupBox {
    Q_OBJECT
public:
    CControlParamsGroup(CSurveyParams& params, QWidget* parent = nullptr);

    void setProfile(QSettings* profile) { writer_.setProfile(profile); }

    // Shows the settings (form initialisation).
    void fill();
    // Shows the settings' start depth (it moves when a run stops).
    void showStartDepth();
    // Button 1228: checks the offset and declination, takes every control into
    // the settings, saves the profile, emits saved() and tells
    // "参数设置成功" (or why the profile could not be written). Returns false
    // (nothing changed) when a value is refused.
    bool save();

    // The compass offset as typed, within -180..180: read with every frame so
    // that a typed offset takes effect at once.
    int compassOffset() const;
    // The start-depth text, copied by the form into its depth fields on save.
    QString startDepthText() const;

    // The rows of the group; the form puts its view-mode combo on top.
    QFormLayout* formLayout() const { return form_; }

    const CCounterFields& counterFields() const { return fields_; }
    QComboBox* resolutionCombo() const { return fields_.resolution; }
    CStepField* stepField() const { return fields_.step; }
    QComboBox* captureFormatCombo() const { return fields_.captureFormat; }
    QComboBox* directionCombo() const { return fields_.direction; }
    CNumEdit* startDepthEdit() const { return fields_.startDepth; }
    QComboBox* manualStepCombo() const { return fields_.manualStep; }
    CSpinField* compassOffsetField() const { return compassOffset_; }
    QLineEdit* declinationEdit() const { return declination_; }
    CBmpButton* saveButton() const { return save_; }

signals:
    // The settings were saved: the form copies the start depth into its
    // depth fields and resets the counter.
    void saved();

private:
    CSurveyParams& params_;
    CProfileWriter writer_;
    QFormLayout* form_;
    CCounterFields fields_;
    CSpinField* compassOffset_;
    QLineEdit* declination_;
    CBmpButton* save_;
};

class CTestParamsGroup : public QGroupBox {
    Q_OBJECT
public:
    CTestParamsGroup(CSurveyParams& params, QWidget* parent = nullptr);

    void setProfile(QSettings* profile) { writer_.setProfile(profile); }

    void fill();
    // Button 1229. Returns false (nothing changed) when the dip direction or
    // the hole's inclination is refused.
    bool save();

    QLineEdit* testUnitEdit() const { return testUnit_; }
    QLineEdit* testerEdit() const { return tester_; }
    QLineEdit* testSiteEdit() const { return testSite_; }
    QLineEdit* holeNumberEdit() const { return holeNumber_; }
    QLineEdit* testDateEdit() const { return testDate_; }
    CSpinField* openingDiameterField() const { return opening_; }
    CSpinField* finalDiameterField() const { return final_; }
    QLineEdit* collarCoordinatesEdit() const { return collarCoordinates_; }
    QLineEdit* collarElevationEdit() const { return collarElevation_; }
    QComboBox* holeTypeCombo() const { return holeType_; }
    QLineEdit* holeInclinationEdit() const { return holeInclination_; }
    QLineEdit* dipDirectionEdit() const { return dipDirection_; }
    QLineEdit* waterLevelEdit() const { return waterLevel_; }
    CBmpButton* saveButton() const { return save_; }

private:
    CSurveyParams& params_;
    CProfileWriter writer_;
    QLineEdit* testUnit_;
    QLineEdit* tester_;
    QLineEdit* testSite_;
    QLineEdit* holeNumber_;
    QLineEdit* testDate_;
    CSpinField* opening_;
    CSpinField* final_;
    QLineEdit* collarCoordinates_;
    QLineEdit* collarElevation_;
    QComboBox* holeType_;
    QLineEdit* holeInclination_;
    QLineEdit* dipDirection_;
    QLineEdit* waterLevel_;
    CBmpButton* save_;
};

class CCommGroup : public QGroupBox {
    Q_OBJECT
public:
    // `line` is the form's serial line (may be null in tests of the combos).
    CCommGroup(CSurveyParams& params, CPortMap map, CSerialLine* line,
               QWidget* parent = nullptr);

    void setProfile(QSettings* profile) { writer_.setProfile(profile); }

    // The line's set-up: closes it, selects the settings' port at
    // 9600,n,8,1, shows that port and "9600" in the combos and opens it.
    // Emits statusTextChanged with "--通讯成功" or the failure text.
    bool configureLine();
    // Shows the settings' port in the port combo, leaving the line as it is
    // (the control-parameter dialog's probe may have found the counter on
    // another port: the group's "保存" then keeps that port).
    void showSettingsPort();
    // Button 1230: port and baud entry into the settings, profile saved, line
    // configured; "设置串口成功" on success.
    bool save();

    // A new slot table (the form reloads it before configuring the line).
    void setPortMap(const CPortMap& map);
    const CPortMap& portMap() const { return map_; }
    QComboBox* portCombo() const { return port_; }
    QComboBox* baudCombo() const { return baud_; }
    QWidget* saveButton() const { return save_; }

signals:
    void statusTextChanged(const QString& text);

private:
    CSurveyParams& params_;
    CPortMap map_;
    CSerialLine* line_;
    CProfileWriter writer_;
    QComboBox* port_;
    QComboBox* baud_;
    QWidget* save_;
};

} // namespace bc
