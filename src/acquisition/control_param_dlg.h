#pragma once
// The control-parameter dialog "控制参数": edits the counter and port settings
// on a copy of the survey settings and, when it opens, searches the serial
// slots for the depth counter and the compass. The ports it finds become the
// settings' ports; finding the depth counter arms the motor keys.

#include "acquisition/port_map.h"
#include "acquisition/port_probe.h"
#include "acquisition/settings_fields.h"
#include "core/survey_params.h"

#include <QDialog>

class QComboBox;

namespace bc {

class CSerialLine;

class CControlParamDlg : public QDialog {
    Q_OBJECT
public:
    // `mainLine` (may be null) is released while the slots are probed.
    CControlParamDlg(const CSurveyParams& params, CPortMap map = CPortMap(),
                     CSerialLine* mainLine = nullptr, ProbeTiming timing = ProbeTiming(),
                     QWidget* parent = nullptr);

    // What opening does: the search, then the controls filled from the
    // settings. exec() does this before showing the dialog.
    void OnInitDialog();
    int exec() override;

    // The searches; each returns depth-counter-found + 2 * compass-found and
    // stores the ports found in the dialog's settings.
    int ProbeDevices();
    int ProbeDepthCounter();
    int ProbeCompass();

    // A baud entry chosen for the depth counter (1021) or the compass (1023):
    // stored, the device searched again at that rate, its combos refilled.
    void OnDepthBaudChanged(int entry);
    void OnCompassBaudChanged(int entry);

    // OK: the controls into the settings, then the dialog closes.
    void accept() override;

    const CSurveyParams& params() const { return params_; }

    QComboBox* depthPortCombo() const { return depthPort_; }
    QComboBox* depthBaudCombo() const { return depthBaud_; }
    QComboBox* compassPortCombo() const { return compassPort_; }
    QComboBox* compassBaudCombo() const { return compassBaud_; }
    const CCounterFields& counterFields() const { return fields_; }

private:
    int runProbe(int (CPortProbe::*probe)(ProbePorts&));
    void fillPorts();
    void fillControls();
    void baudChanged(ProbeDevice device, int entry);

    CSurveyParams params_;
    CPortMap map_;
    CSerialLine* mainLine_;
    CPortProbe probe_;
    bool initialised_ = false;

    QComboBox* depthPort_;
    QComboBox* depthBaud_;
    QComboBox* compassPort_;
    QComboBox* compassBaud_;
    CCounterFields fields_;
};

// Takes the dialog's outcome into the form's settings: on OK all of its
// settings (and the capture format is published); in every case the ports
// the search found, so that they are kept after Cancel too. The caller then
// resets the counter (on OK) and shows the line's state in its status line.
void takeControlParams(CSurveyParams& formParams, const CControlParamDlg& dlg, bool accepted);

// Command 1014: runs the dialog on a copy of `formParams` and takes its
// outcome. Returns whether it was closed with OK.
bool runControlParams(CSurveyParams& formParams, const CPortMap& map, CSerialLine* mainLine,
                      QWidget* parent);

} // namespace bc
