#pragma once
// The acquisition form: the main window and the whole station. It holds the
// capture graph and drives it through the station's five modes (idle, live,
// recording, playback, paused), owns the serial line to the depth counter and
// compass, names captured frames, opens the analysis workspace and lends its
// survey settings to it.

#include "acquisition/capture_graph.h"
#include "acquisition/depth_counter.h"
#include "acquisition/port_map.h"
#include "acquisition/serial_motor_keys.h"
#include "acquisition/track_file.h"
#include "core/program_values.h"
#include "core/survey_params.h"

#include <QDialog>
#include <QPointer>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class QComboBox;
class QLineEdit;
class QSettings;
class QTimer;

namespace bc {

class CBmpButton;
class CCommGroup;
class CControlParamsGroup;
class CTestParamsGroup;
class CCustomSliderCtrl;
class CNumEdit;
class RecordStartFiles;
class CSerialLine;
class CTransparentEdit;
class CTransparentLabel;

// Control ids of the form.
enum AcquisitionControlId : int {
    IDC_FILE = 1000,
    IDC_DEPTH = 1001,
    IDC_DEPTH_ENTRY = 1002,
    IDC_COORD_X = 1003,
    IDC_CAPTURE = 1004,
    IDC_LIVE = 1005,
    IDC_STATUS = 1006,
    IDC_POSITION = 1007,
    IDC_RECORD = 1008,
    IDC_COORD_Y = 1009,
    IDC_PLAY = 1010,
    IDC_STOP = 1011,
    IDC_HEADING = 1012,
    IDC_DEVICE_SETTINGS = 1013,
    IDC_CONTROL_PARAMS = 1014, // command only: the context menu's "控制参数"
    IDC_PORT = 1015,
    IDC_DURATION = 1020,
    IDC_BAUD = 1021,
    IDC_MOVE_DIRECTION = 1035,
    IDC_START_DEPTH = 1036,
    IDC_SAMPLE_STEP = 1037,
    IDC_COMPASS_OFFSET = 1038,
    IDC_DECLINATION = 1039,
    IDC_STITCH = 1043,
    IDC_KEYBOARD = 1044,
    IDC_SAMPLE_STEP_SPIN = 1046,
    IDC_FINAL_DIAMETER_SPIN = 1047,
    IDC_OPENING_DIAMETER_SPIN = 1048,
    IDC_COMPASS_OFFSET_SPIN = 1049,
    IDC_VIEW_MODE = 1203,
    IDC_MANUAL_STEP = 1208,
    IDC_COUNTER_RESOLUTION = 1209,
    IDC_CAPTURE_FORMAT = 1213,
    IDC_TEST_SITE = 1215,
    IDC_HOLE_NUMBER = 1216,
    IDC_COLLAR_ELEVATION = 1217,
    IDC_OPENING_DIAMETER = 1218,
    IDC_HOLE_TYPE = 1219,
    IDC_RESUME = 1221,
    IDC_PAUSE = 1222,
    IDC_COLLAR_COORDINATES = 1223,
    IDC_FINAL_DIAMETER = 1224,
    IDC_HOLE_INCLINATION = 1225,
    IDC_TEST_DATE = 1226,
    IDC_TEST_UNIT = 1227,
    IDC_SAVE_CONTROL = 1228,
    IDC_SAVE_TEST = 1229,
    IDC_SAVE_COMM = 1230,
    IDC_WATER_LEVEL = 1232,
    IDC_TESTER = 1233,
    IDC_INCLINED_AZIMUTH = 1254,
};

enum UiMode : int {
    ModeIdle = 0,
    ModeLive = 1,
    ModeRecording = 2,
    ModePlayback = 3,
    ModePaused = 4,
};

// The pieces the form drives that live elsewhere: the grabber, the depth
// track, the analysis workspace, the on-screen keyboard and the control
// parameter dialog. Every hook may be left empty; the form then does without.
struct AcquisitionHooks {
    // Hands a capture's file name, folder and number to the grabber (default:
    // the program's grabber); the form raises the one-shot request itself.
    std::function<void(const QString& name, const QString& folder, int number)> setCaptureTarget;
    // The depth track written while recording and read while playing back
    // (default: the program's track).
    CTrackFile* track = nullptr;
    // Opens the stitch window (layout 0, titled "拼接窗口") owned by the form;
    // null when it could not be made. Set by the program once the analysis
    // workspace exists.
    std::function<QWidget*(QWidget* owner)> createStitchWindow;
    // Starts the on-screen keyboard (default: the "onboard" command).
    std::function<bool()> launchKeyboard;
    // Replaces the control-parameter dialog (tests).
    std::function<void(QWidget* owner)> controlParameters;
};

// The folder of the running program (no trailing separator).
QString GetModuleFolder();
// Where captures go when no folder was chosen: the program's folder when it
// can be written, else the user's data folder for the program (created).
QString defaultCaptureFolder();

class CAcquisitionDlg : public QDialog {
    Q_OBJECT
public:
    // `graphs` and `profile` are not owned and must outlive the form.
    CAcquisitionDlg(ICaptureGraphFactory& graphs, QSettings& profile,
                    AcquisitionHooks hooks = {}, QWidget* parent = nullptr);
    ~CAcquisitionDlg() override;

    // The one form of the program (null when none exists).
    static CAcquisitionDlg* mainForm();

    CSurveyParams& GetSurveyParams() { return params_; }
    int GetUiMode() const { return mode_; }
    QString GetAnalysisFilePath() const { return analysisFilePath_; }
    QString GetAnalysisFolder() const { return analysisFolder_; }

    // The start-up steps: the controls filled in, the form shown, then the
    // serial line and the device probe (which may ask the user).
    // Returns false when the form cannot run.
    bool OnInitDialog();

    void SetUiState(int mode);

    // Commands.
    void OnStartAcquisition();
    void OnStartRecord();
    void OnOpenPlayback();
    bool PlayFile();
    void OnStopRecord();
    void OnCaptureFrame();
    void OnPause();
    void OnResume();
    void OnVideoSettings();
    void OnStitchWindow();
    void OnKeyboard();
    void OnControlParameters();
    void OnDepthEntered();
    void OnSliderMoved(int position);
    void OnPositionTimer();

    // The video window closed (stop), the stitch window closed.
    void OnVideoWindowClosed();
    void OnStitchWindowClosed();

    // The set of devices changed: asks whether the capture device is there
    // and stops a running mode only when it is gone.
    void OnDevicesChanged();

    // Serial line.
    void ConfigureSerialPort();
    bool OpenSerialPort();
    void CloseSerialPort();
    void onCounterFrame(const CounterFrame& frame);

    // Key handlers, given Qt key codes (Qt::Key_Plus, Qt::Key_Minus for the
    // main-row plus and minus keys). They return true when the key was theirs.
    bool OnKeyDown(int qtKey, bool ctrlHeld);
    bool OnKeyUp(int qtKey);

    // Access for the settings groups and tests.
    QWidget* control(int id) const;
    QString statusText() const { return status_; }
    bool deviceAbsent() const { return deviceAbsent_; }
    bool hasGraph() const { return graph_ != nullptr; }
    ICaptureGraph* graph() const { return graph_.get(); }
    CSerialLine& serialLine() { return *serial_; }
    CDepthCounter& counter() { return counter_; }
    QString captureFolder() const { return captureFolder_; }
    QString recordBasePath() const { return recordBasePath_; }
    int captureCounter() const { return captureCounter_; }
    QWidget* stitchWindow() const { return stitchWindow_; }

    // Blocking waits (the 800 ms standard detection and the 300 ms device
    // re-probe); tests replace them.
    void setWaitFunction(std::function<void(int ms)> wait) { wait_ = std::move(wait); }

    // The form's status line.
    void setStatus(const QString& text);

public slots:
    void accept() override; // Enter never closes the form
    void reject() override; // closing

protected:
    void paintEvent(QPaintEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;
    void closeEvent(QCloseEvent*) override;
    void keyPressEvent(QKeyEvent*) override; // Enter clicks no button but a focused one

private:
    // Writes the survey settings to the profile; a failure is told with its reason.
    void saveProfile();
    void buildControls();
    void loadButtons();
    void pullCoordinates();
    void enable(int id, bool on);
    bool CreateGraph();
    bool RestartPreview(bool recording);
    void detectVideoStandard();
    bool askDevicePresent();
    void deviceReturned();
    void markDeviceAbsent();
    bool chooseRecordFile(bool save);
    // Removes what the recording's start made and left empty.
    void clearRecordFiles();
    void deleteGraph();
    void counterReset();
    // Counter reset and the start depth's trigger as a run starts.
    void startCounting(bool lineOpen);
    // The run's first frame of the compass: its heading, then the held
    // start trigger and the track's first record.
    void takeFirstFix(const CounterFrame& frame);
    void endFirstFixWait();
    // Tells, over the form, that the depth track could not be written.
    void tellTrackFailure(const QString& path, int error);
    void controlParamsApplied();
    void showDepth(int32_t depthMm);
    void showHeading(int degrees);
    // The counter's depth and last heading, shown and published again.
    void showCounter();
    // The heading of the counter's last frame at the compass offset now
    // typed, published and shown.
    void refreshCounterHeading();
    void sendMotorStops();
    // The serial line's state in the status line, after the running mode's
    // own word ("预览", "录制", "回放").
    enum class LineState { Ok, Missing, Lost };
    void showLineState(LineState state);
    void onLineLost();
    void onLineBack();
    int compassOffset() const;
    CounterSettings counterSettings() const;
    void onGraphEvent(GraphEvent event, const QString& text);
    bool stopCommand(bool ask);

    ICaptureGraphFactory& graphs_;
    QSettings& profile_;
    AcquisitionHooks hooks_;
    CSurveyParams params_;
    CPortMap portMap_;
    CTrackFile* track_;
    PlaybackStreamInfo streamInfo_;
    std::unique_ptr<ICaptureGraph> graph_;
    std::unique_ptr<RecordStartFiles> recordFiles_; // the running recording's
    bool recordingFailed_ = false;                  // its stream ended in an error
    std::unique_ptr<CSerialLine> serial_;
    CDepthCounter counter_;
    CMotorKeys motorKeys_;

    int mode_ = ModeIdle;
    int savedMode_ = ModeIdle;
    QString status_;
    int captureCounter_ = 0;
    QString captureFolder_;
    QString recordBasePath_;
    QString analysisFolder_;
    QString analysisFilePath_;
    QPointer<QWidget> stitchWindow_;
    bool deviceAbsent_ = false;
    QTimer* positionTimer_ = nullptr;
    bool settingSlider_ = false;
    bool closing_ = false;
    bool askingStop_ = false;      // the stop question is open
    bool tellingLineLost_ = false; // the box saying the line was lost is open
    bool depthTyped_ = false;      // typed into the depth entry since its last commit
    std::optional<int> counterHeading_; // the counter's last heading shown
    bool firstFixPending_ = false;      // the run waits for the compass's first frame
    QTimer* firstFixTimer_ = nullptr;
    int32_t runStartDepth_ = 0;             // the start depth the counter was reset to
    std::optional<int32_t> nextStartDepth_; // set during a recording, for the next run
    QImage background_;
    std::function<void(int ms)> wait_;

    std::map<int, QWidget*> controls_;
    CControlParamsGroup* controlGroup_ = nullptr;
    CTestParamsGroup* testGroup_ = nullptr;
    CCommGroup* commGroup_ = nullptr;
    CBmpButton* buttons_[8] = {};
    CBmpButton* resumeButton_ = nullptr;
    CBmpButton* pauseButton_ = nullptr;
    CCustomSliderCtrl* slider_ = nullptr;
    CTransparentLabel* duration_ = nullptr;
    CTransparentEdit* fileField_ = nullptr;
    QLineEdit* depthField_ = nullptr;
    QLineEdit* headingField_ = nullptr;
    QLineEdit* statusField_ = nullptr;
    CNumEdit* depthEntry_ = nullptr;
};

} // namespace bc
