#include "acquisition/acquisition_dlg.h"

#include "acquisition/control_param_dlg.h"
#include "acquisition/grabber_callback.h"
#include "acquisition/port_probe.h"
#include "acquisition/record_files.h"
#include "acquisition/serial_line.h"
#include "acquisition/settings_fields.h"
#include "acquisition/settings_groups.h"
#include "acquisition/shared_frame.h"
#include "acquisition/track_file.h"
#include "core/system_error.h"
#include "platform/prompter.h"
#include "platform/window_placement.h"
#include "res/resource_bitmaps.h"
#include "ui/bmp_button.h"
#include "ui/num_edit.h"
#include "ui/transparent_controls.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <utility>

namespace bc {

namespace {

CAcquisitionDlg* g_mainForm = nullptr;

const char* const kMpegFilter =
    "MPEG files (*.mpg *.mpeg *.mpe *.mp2 *.mpv *.mpa);;All files (*)";

QString tr8(const char* s)
{
    return QString::fromUtf8(s);
}

// The box telling that the counter's line went away.
QString lineLostBoxText()
{
    return QStringLiteral("深度控制口和电子罗盘口连接中断!\n设备接回后将自动重新连接");
}

// The question asked before a recording is stopped.
QString stopQuestion()
{
    return QStringLiteral("正在录制,确认要停止录制");
}

// The status after the control parameters were saved during a recording.
QString depthKeptText()
{
    return QStringLiteral("录制--深度不变,起始深度下次开始时生效");
}

// How long a run's start waits for the compass's first frame.
constexpr std::chrono::milliseconds kFirstFixWait{1000};

} // namespace

QString GetModuleFolder()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath());
}

QString defaultCaptureFolder()
{
    const QString program = GetModuleFolder();
    const QFileInfo info(program);
    if (info.isDir() && info.isWritable())
        return program;
    QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (data.isEmpty())
        data = QDir::homePath();
    QDir().mkpath(data);
    return QDir::cleanPath(data);
}

CAcquisitionDlg* CAcquisitionDlg::mainForm()
{
    return g_mainForm;
}

CAcquisitionDlg::CAcquisitionDlg(ICaptureGraphFactory& graphs, QSettings& profile,
                                 AcquisitionHooks hooks, QWidget* parent)
    : QDialog(parent), graphs_(graphs), profile_(profile), hooks_(std::move(hooks)),
      track_(hooks_.track ? hooks_.track : &trackFile()),
      serial_(std::make_unique<CSerialLine>())
{
    params_.LoadProfile(profile_);
    g_mainForm = this;
    wait_ = [](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); };
    setWindowTitle(programTitle());
    setWindowIcon(QIcon(QPixmap::fromImage(loadResourceBitmap(IDI_MAINFRAME))));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    background_ = loadResourceBitmap(IDB_BACKGROUND);
    buildControls();
    keepOnScreenWhenShown(this);
    positionTimer_ = new QTimer(this);
    positionTimer_->setInterval(40);
    connect(positionTimer_, &QTimer::timeout, this, &CAcquisitionDlg::OnPositionTimer);
    firstFixTimer_ = new QTimer(this);
    firstFixTimer_->setSingleShot(true);
    firstFixTimer_->setInterval(kFirstFixWait);
    connect(firstFixTimer_, &QTimer::timeout, this, &CAcquisitionDlg::endFirstFixWait);
    connect(serial_.get(), &CSerialLine::frameReceived, this, &CAcquisitionDlg::onCounterFrame);
    connect(serial_.get(), &CSerialLine::lost, this, &CAcquisitionDlg::onLineLost);
    connect(serial_.get(), &CSerialLine::reconnected, this, &CAcquisitionDlg::onLineBack);
    // A motor key held while the program loses the focus never sees its
    // release: its stop byte goes out now.
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive)
                    sendMotorStops();
            });
}

CAcquisitionDlg::~CAcquisitionDlg()
{
    // Destruction: a running graph is stopped and deleted, the frame copy is
    // freed and an open stitch window is closed.
    positionTimer_->stop();
    if (graph_ && mode_ != ModeIdle)
        graph_->Stop();
    graph_.reset();
    track_->Close();
    {
        std::lock_guard<std::mutex> lock(frameLock());
        sharedFrame().release();
    }
    if (QPointer<QWidget> stitch = stitchWindow_) {
        stitch->close();
        // Gone now, while the settings it was lent are still whole.
        delete stitch.data();
    }
    // So does one closed a moment ago whose deletion is still pending.
    for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w->isWindow())
            delete w;
    serial_->close();
    if (g_mainForm == this)
        g_mainForm = nullptr;
}

// ---------------------------------------------------------------------------
// Controls

void CAcquisitionDlg::buildControls()
{
    auto reg = [this](int id, QWidget* w) {
        w->setObjectName(QStringLiteral("ctl%1").arg(id));
        controls_[id] = w;
        return w;
    };
    auto label = [](QWidget* parent, const char* text, int x, int y, int w, int h = 24) {
        auto* l = new CTransparentLabel(tr8(text), parent);
        l->setGeometry(x, y, w, h);
        return l;
    };
    auto edit = [&](QWidget* parent, int id, int x, int y, int w, int h = 24) {
        auto* e = new QLineEdit(parent);
        e->setGeometry(x, y, w, h);
        reg(id, e);
        return e;
    };
    auto combo = [&](QWidget* parent, int id, std::initializer_list<const char*> items, int x,
                     int y, int w) {
        auto* c = new QComboBox(parent);
        for (const char* item : items)
            c->addItem(tr8(item));
        c->setGeometry(x, y, w, 24);
        reg(id, c);
        return c;
    };

    // Command buttons along the top.
    static const int pictureIds[8] = {IDC_LIVE,           IDC_RECORD, IDC_PLAY,  IDC_STOP,
                                      IDC_CAPTURE, IDC_DEVICE_SETTINGS, IDC_STITCH, IDC_KEYBOARD};
    for (int i = 0; i < 8; ++i) {
        buttons_[i] = new CBmpButton(pictureIds[i], this);
        buttons_[i]->setGeometry(10 + i * 60, 8, 56, 56);
        reg(pictureIds[i], buttons_[i]);
        connect(buttons_[i], &CBmpButton::clicked, this, [this](int id) {
            switch (id) {
            case IDC_LIVE: OnStartAcquisition(); break;
            case IDC_RECORD: OnStartRecord(); break;
            case IDC_PLAY: OnOpenPlayback(); break;
            case IDC_STOP: OnStopRecord(); break;
            case IDC_CAPTURE: OnCaptureFrame(); break;
            case IDC_DEVICE_SETTINGS: OnVideoSettings(); break;
            case IDC_STITCH: OnStitchWindow(); break;
            case IDC_KEYBOARD: OnKeyboard(); break;
            default: break;
            }
        });
    }
    buttons_[0]->setToolTip(tr8("预览"));
    buttons_[1]->setToolTip(tr8("录制"));
    buttons_[2]->setToolTip(tr8("回放"));
    buttons_[3]->setToolTip(tr8("停止"));
    resumeButton_ = new CBmpButton(IDC_RESUME, this);
    resumeButton_->setText(tr8("播放"));
    resumeButton_->setGeometry(500, 21, 60, 30);
    reg(IDC_RESUME, resumeButton_);
    connect(resumeButton_, &CBmpButton::clicked, this, &CAcquisitionDlg::OnResume);
    pauseButton_ = new CBmpButton(IDC_PAUSE, this);
    pauseButton_->setText(tr8("暂停"));
    pauseButton_->setGeometry(566, 21, 60, 30);
    reg(IDC_PAUSE, pauseButton_);
    connect(pauseButton_, &CBmpButton::clicked, this, &CAcquisitionDlg::OnPause);

    // File, position, duration.
    label(this, "文件:", 10, 72, 40);
    fileField_ = new CTransparentEdit(this);
    fileField_->setGeometry(50, 72, 380, 24);
    reg(IDC_FILE, fileField_);
    slider_ = new CCustomSliderCtrl(this);
    slider_->setGeometry(440, 68, 330, 32);
    reg(IDC_POSITION, slider_);
    // A dragged handle moves the film when it is let go, not at every step.
    slider_->setTracking(false);
    connect(slider_, &QSlider::valueChanged, this, [this](int v) {
        if (!settingSlider_)
            OnSliderMoved(v);
    });
    duration_ = new CTransparentLabel(QString(), this);
    duration_->setGeometry(780, 72, 100, 24);
    reg(IDC_DURATION, duration_);

    // Live fields.
    label(this, "深度:", 10, 104, 40);
    depthField_ = edit(this, IDC_DEPTH, 50, 104, 120);
    depthField_->setReadOnly(true);
    label(this, "方位:", 180, 104, 40);
    headingField_ = edit(this, IDC_HEADING, 220, 104, 80);
    headingField_->setReadOnly(true);
    label(this, "状态:", 310, 104, 40);
    statusField_ = edit(this, IDC_STATUS, 350, 104, 540);
    statusField_->setReadOnly(true);
    label(this, "深度设置：", 10, 136, 80);
    depthEntry_ = new CNumEdit(IDC_DEPTH_ENTRY, this);
    depthEntry_->setGeometry(90, 136, 100, 24);
    reg(IDC_DEPTH_ENTRY, depthEntry_);
    // A depth is entered when one was typed; a field merely visited enters
    // nothing (it shows what the counter counted meanwhile).
    connect(depthEntry_, &QLineEdit::textEdited, this, [this] { depthTyped_ = true; });
    connect(depthEntry_, &CNumEdit::valueCommitted, this, [this](int) {
        if (std::exchange(depthTyped_, false))
            OnDepthEntered();
        else
            depthEntry_->SetValue(static_cast<float>(counter_.depth() * 0.001));
    });
    label(this, "米", 195, 136, 24);

    // View mode, beside the depth entry: the lens type, published at once to
    // the image core and kept with the next profile save.
    auto* viewMode = combo(this, IDC_VIEW_MODE, {"全柱面--锥面反射", "全柱面--直视"}, 240, 136, 200);
    connect(viewMode, &QComboBox::currentIndexChanged, this, [this](int entry) {
        if (entry != 0 && entry != 1)
            return;
        params_.lensType = static_cast<unsigned>(entry);
        currentLensType.store(entry);
    });

    // The settings groups edit the survey settings in place.
    controlGroup_ = new CControlParamsGroup(params_, this);
    controlGroup_->setProfile(&profile_);
    controlGroup_->setTitle(tr8("控制参数："));
    testGroup_ = new CTestParamsGroup(params_, this);
    testGroup_->setProfile(&profile_);
    testGroup_->setTitle(tr8("测试参数："));
    connect(controlGroup_, &CControlParamsGroup::saved, this,
            &CAcquisitionDlg::controlParamsApplied);
    // A new compass offset turns the heading at once, not at the next frame
    // (none comes while idle): a recording's first strip takes it.
    connect(controlGroup_->compassOffsetField()->edit(), &QLineEdit::textChanged, this,
            &CAcquisitionDlg::refreshCounterHeading);
    const int groupTop = 170;
    const QSize controlSize = controlGroup_->sizeHint().expandedTo(QSize(290, 0));
    controlGroup_->setGeometry(10, groupTop, controlSize.width(), controlSize.height());
    const int testLeft = 10 + controlSize.width() + 10;
    const QSize testSize = testGroup_->sizeHint().expandedTo(QSize(300, 0));
    testGroup_->setGeometry(testLeft, groupTop, testSize.width(), testSize.height());
    const int rightLeft = testLeft + testSize.width() + 10;
    reg(IDC_COUNTER_RESOLUTION, controlGroup_->resolutionCombo());
    reg(IDC_CAPTURE_FORMAT, controlGroup_->captureFormatCombo());
    reg(IDC_MOVE_DIRECTION, controlGroup_->directionCombo());
    reg(IDC_START_DEPTH, controlGroup_->startDepthEdit());
    reg(IDC_MANUAL_STEP, controlGroup_->manualStepCombo());
    reg(IDC_SAMPLE_STEP, controlGroup_->stepField()->edit());
    reg(IDC_SAMPLE_STEP_SPIN, controlGroup_->stepField()->spin());
    reg(IDC_COMPASS_OFFSET, controlGroup_->compassOffsetField()->edit());
    reg(IDC_COMPASS_OFFSET_SPIN, controlGroup_->compassOffsetField()->spin());
    reg(IDC_DECLINATION, controlGroup_->declinationEdit());
    reg(IDC_SAVE_CONTROL, controlGroup_->saveButton());
    reg(IDC_TEST_UNIT, testGroup_->testUnitEdit());
    reg(IDC_TESTER, testGroup_->testerEdit());
    reg(IDC_TEST_SITE, testGroup_->testSiteEdit());
    reg(IDC_HOLE_NUMBER, testGroup_->holeNumberEdit());
    reg(IDC_TEST_DATE, testGroup_->testDateEdit());
    reg(IDC_OPENING_DIAMETER, testGroup_->openingDiameterField()->edit());
    reg(IDC_OPENING_DIAMETER_SPIN, testGroup_->openingDiameterField()->spin());
    reg(IDC_FINAL_DIAMETER, testGroup_->finalDiameterField()->edit());
    reg(IDC_FINAL_DIAMETER_SPIN, testGroup_->finalDiameterField()->spin());
    reg(IDC_COLLAR_COORDINATES, testGroup_->collarCoordinatesEdit());
    reg(IDC_COLLAR_ELEVATION, testGroup_->collarElevationEdit());
    reg(IDC_HOLE_TYPE, testGroup_->holeTypeCombo());
    reg(IDC_HOLE_INCLINATION, testGroup_->holeInclinationEdit());
    reg(IDC_INCLINED_AZIMUTH, testGroup_->dipDirectionEdit());
    reg(IDC_WATER_LEVEL, testGroup_->waterLevelEdit());
    reg(IDC_SAVE_TEST, testGroup_->saveButton());

    // Coordinates.
    auto* coords = new QGroupBox(tr8("坐标："), this);
    coords->setGeometry(rightLeft, groupTop, 250, 96);
    label(coords, "X：", 10, 26, 24);
    edit(coords, IDC_COORD_X, 34, 26, 200);
    label(coords, "Y：", 10, 60, 24);
    edit(coords, IDC_COORD_Y, 34, 60, 200);

    // Communication.
    portMap_.load(profile_);
    commGroup_ = new CCommGroup(params_, portMap_, serial_.get(), this);
    commGroup_->setProfile(&profile_);
    commGroup_->setTitle(tr8("通讯参数："));
    // The group has just configured the line: its state is shown after the
    // running mode's word.
    connect(commGroup_, &CCommGroup::statusTextChanged, this,
            [this] { showLineState(serial_->isOpen() ? LineState::Ok : LineState::Missing); });
    const QSize commSize = commGroup_->sizeHint().expandedTo(QSize(250, 0));
    commGroup_->setGeometry(rightLeft, groupTop + 106, commSize.width(), commSize.height());
    reg(IDC_PORT, commGroup_->portCombo());
    reg(IDC_BAUD, commGroup_->baudCombo());
    reg(IDC_SAVE_COMM, commGroup_->saveButton());

    const int right = std::max(rightLeft + commSize.width(), 640) + 10;
    const int bottom = groupTop +
                       std::max({controlSize.height(), testSize.height(), 106 + commSize.height()}) + 10;
    statusField_->setGeometry(350, 104, right - 10 - 350, 24);
    resize(std::max(right, 900), bottom);
    setMinimumSize(size());
}

QWidget* CAcquisitionDlg::control(int id) const
{
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

void CAcquisitionDlg::enable(int id, bool on)
{
    if (QWidget* w = control(id))
        w->setEnabled(on);
}

void CAcquisitionDlg::loadButtons()
{
    static const int art[8][3] = {
        {IDB_LIVE, IDB_LIVE_HOT, IDB_LIVE_DISABLED},
        {IDB_RECORD, IDB_RECORD_HOT, IDB_RECORD_DISABLED},
        {IDB_PLAY, IDB_PLAY_HOT, IDB_PLAY_DISABLED},
        {IDB_STOP, IDB_STOP_HOT, IDB_STOP_DISABLED},
        {IDB_CAPTURE, IDB_CAPTURE_HOT, IDB_CAPTURE_DISABLED},
        {IDB_DEVICE, IDB_DEVICE_HOT, IDB_DEVICE_DISABLED},
        {IDB_STITCH, IDB_STITCH_HOT, IDB_STITCH_DISABLED},
        {IDB_KEYBOARD, IDB_KEYBOARD_HOT, IDB_KEYBOARD_DISABLED},
    };
    for (int i = 0; i < 8; ++i) {
        buttons_[i]->LoadBitmaps(art[i][0], art[i][1], art[i][2]);
        buttons_[i]->SetFrameState(CBmpButton::FrameRaised);
    }
}

void CAcquisitionDlg::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (background_.isNull()) {
        p.fillRect(rect(), palette().window());
        return;
    }
    p.drawTiledPixmap(rect(), QPixmap::fromImage(background_));
}

void CAcquisitionDlg::contextMenuEvent(QContextMenuEvent* e)
{
    QMenu menu(this);
    QAction* params = menu.addAction(tr8("控制参数"));
    if (menu.exec(e->globalPos()) == params)
        OnControlParameters();
}

// ---------------------------------------------------------------------------
// Start-up

bool CAcquisitionDlg::OnInitDialog()
{
    loadButtons();
    static_cast<QComboBox*>(control(IDC_VIEW_MODE))->setCurrentIndex(params_.lensType == 1 ? 1 : 0);
    oneShotRequest.store(false);
    FrameFormat::setVideoSizeCode(graphs_.MuxFormat());
    deviceAbsent_ = false;
    settingSlider_ = true;
    slider_->setRange(1, 100);
    slider_->setTickInterval(20);
    slider_->setPageStep(5);
    slider_->setSingleStep(1);
    slider_->setValue(1);
    settingSlider_ = false;
    slider_->setEnabled(false);
    depthEntry_->setEnabled(false);
    depthEntry_->SetMode(2);
    depthEntry_->SetPrecision(3);
    depthEntry_->SetValue(0.0f);
    static_cast<QLineEdit*>(control(IDC_COORD_X))->setText(params_.coordX);
    static_cast<QLineEdit*>(control(IDC_COORD_Y))->setText(params_.coordY);
    counterReset();
    controlGroup_->fill();
    testGroup_->fill();
    SetUiState(ModeIdle);

    // The form comes up filled in: the boxes of the steps below (no serial
    // line, no capture device) have the finished form behind them.
    if (!isVisible())
        show();
    ConfigureSerialPort();
    CreateGraph();
    update();
    return true;
}

bool CAcquisitionDlg::CreateGraph()
{
    auto probe = graphs_.CreateGraph();
    bool ok = probe->BuildGraph(GraphKindProbe, GraphRequest{});
    if (ok)
        ok = probe->SetDeviceParam(DeviceCheck) != 0;
    if (!ok) {
        probe.reset();
        messageBox(tr8("USB设备没找到,请检查USB连接线和电源\n重试"), tr8("出错"),
                   MB_OK | MB_ICONSTOP, this);
        markDeviceAbsent();
        return false;
    }
    probe->SetDeviceParam(DeviceApplySettings);
    graphs_.SetChangeMask(0);
    probe->SetDeviceParam(DeviceBitrateClass);
    probe->SetDeviceParam(DeviceQuery23);
    return true;
}

void CAcquisitionDlg::markDeviceAbsent()
{
    deviceAbsent_ = true;
    for (int id : {IDC_DEVICE_SETTINGS, IDC_LIVE, IDC_RECORD})
        enable(id, false);
    // A file being played goes on without the device: its pause and resume
    // keep following the mode table.
    if (mode_ != ModePlayback && mode_ != ModePaused) {
        enable(IDC_PAUSE, false);
        enable(IDC_RESUME, false);
    }
}

// ---------------------------------------------------------------------------
// Modes

void CAcquisitionDlg::SetUiState(int mode)
{
    switch (mode) {
    case ModeIdle:
        enable(IDC_VIEW_MODE, true);
        enable(IDC_PLAY, true);
        for (int id : {IDC_LIVE, IDC_RECORD, IDC_DEVICE_SETTINGS})
            enable(id, !deviceAbsent_);
        for (int id : {IDC_STOP, IDC_CAPTURE, IDC_RESUME, IDC_PAUSE, IDC_DEPTH_ENTRY})
            enable(id, false);
        fileField_->clear();
        break;
    case ModeLive:
    case ModeRecording:
        for (int id : {IDC_STOP, IDC_CAPTURE, IDC_DEPTH_ENTRY})
            enable(id, true);
        for (int id : {IDC_VIEW_MODE, IDC_LIVE, IDC_RECORD, IDC_PLAY, IDC_DEVICE_SETTINGS})
            enable(id, false);
        break;
    case ModePlayback:
        for (int id : {IDC_STOP, IDC_CAPTURE, IDC_PLAY, IDC_PAUSE})
            enable(id, true);
        for (int id :
             {IDC_VIEW_MODE, IDC_LIVE, IDC_RECORD, IDC_DEVICE_SETTINGS, IDC_RESUME, IDC_DEPTH_ENTRY})
            enable(id, false);
        break;
    case ModePaused:
        enable(IDC_RESUME, true);
        enable(IDC_CAPTURE, false);
        enable(IDC_PAUSE, false);
        break;
    default:
        return;
    }
    // The running mode's button stays sunken.
    static const std::pair<int, int> modeButtons[] = {
        {IDC_LIVE, ModeLive}, {IDC_RECORD, ModeRecording}, {IDC_PLAY, ModePlayback}};
    for (const auto& [id, m] : modeButtons) {
        const bool on = mode == m || (mode == ModePaused && savedMode_ == m);
        static_cast<CBmpButton*>(control(id))->SetFrameState(on ? CBmpButton::FrameSunken
                                                                : CBmpButton::FrameRaised);
    }
}

void CAcquisitionDlg::setStatus(const QString& text)
{
    status_ = text;
    statusField_->setText(text);
}

// ---------------------------------------------------------------------------
// Serial line and counter

void CAcquisitionDlg::ConfigureSerialPort()
{
    commGroup_->configureLine(); // the line's state goes into the status line
}

bool CAcquisitionDlg::OpenSerialPort()
{
    return serial_->open(true);
}

void CAcquisitionDlg::CloseSerialPort()
{
    serial_->close();
}

CounterSettings CAcquisitionDlg::counterSettings() const
{
    CounterSettings s;
    s.startDepth = params_.startDepth;
    s.mmPerPulse = static_cast<int32_t>(params_.counterResolution);
    s.manualStep = static_cast<int32_t>(params_.manualStep);
    s.samplingStep = params_.sampleStep < 1 ? 1 : static_cast<int32_t>(params_.sampleStep);
    s.moveDirection = static_cast<int>(params_.moveDirection);
    return s;
}

void CAcquisitionDlg::counterReset()
{
    serial_->setReceptionEnabled(false);
    captureCounter_ = 0;
    runStartDepth_ = params_.startDepth;
    counter_.reset(counterSettings());
    depthEntry_->SetValue(params_.startDepth * 0.001f);
    refreshCounterHeading();
}

void CAcquisitionDlg::startCounting(bool lineOpen)
{
    counterReset();
    // Reception is off while idle, so the heading on show may be older than
    // the probe's: with a line, the start depth's strip (and a recording's
    // first track record) wait for the compass's first frame of the run, or
    // a second at most. Without one they take what there is.
    firstFixPending_ = lineOpen;
    if (lineOpen)
        firstFixTimer_->start();
    else
        counter_.evaluateTrigger();
}

void CAcquisitionDlg::takeFirstFix(const CounterFrame& frame)
{
    // The frame's heading first, at the depth the run starts from: its pulse
    // is counted after the start depth's trigger.
    publishHeading(normalizeHeading(frame.headingDigits() + compassOffset()));
    endFirstFixWait();
}

void CAcquisitionDlg::endFirstFixWait()
{
    if (!std::exchange(firstFixPending_, false))
        return;
    firstFixTimer_->stop();
    counter_.evaluateTrigger();
    track_->releaseFirstRecord();
}

void CAcquisitionDlg::tellTrackFailure(const QString& path, int error)
{
    // Told as a film that cannot be written is told; the recording goes on
    // without depth data from here.
    QString text = tr8("深度文件写入失败:\n") + QDir::toNativeSeparators(path);
    if (error != 0)
        text += QLatin1Char('\n') + SystemErrorText(error);
    messageBox(text, tr8("出错"), MB_OK | MB_ICONSTOP, this);
}

int CAcquisitionDlg::compassOffset() const
{
    return controlGroup_->compassOffset();
}

void CAcquisitionDlg::showDepth(int32_t depthMm)
{
    // The entry is left alone while it has the focus: the user may be
    // selecting or typing in it.
    if (!depthEntry_->hasFocus())
        depthEntry_->SetValue(static_cast<float>(depthMm * 0.001));
    depthField_->setText(formatDepthMetres(depthMm));
}

void CAcquisitionDlg::showHeading(int degrees)
{
    headingField_->setText(formatHeading(degrees));
}

void CAcquisitionDlg::onCounterFrame(const CounterFrame& frame)
{
    const int lens = static_cast<QComboBox*>(control(IDC_VIEW_MODE))->currentIndex();
    const bool triggerAllowed =
        (lens == 0 || lens == 1) && (mode_ == ModeLive || mode_ == ModeRecording);
    // A played recording shows its own depths and headings: the counter only
    // keeps counting meanwhile.
    const bool playing = mode_ == ModePlayback || mode_ == ModePaused;
    if (firstFixPending_ && !playing)
        takeFirstFix(frame);
    const CounterFrameResult r = playing ? counter_.countFrame(frame, compassOffset())
                                         : counter_.applyFrame(frame, compassOffset(), triggerAllowed);
    if (r.rawHeading != 0)
        counterHeading_ = r.heading;
    if (playing)
        return;
    showDepth(r.depth);
    if (r.rawHeading != 0)
        showHeading(r.heading);
}

void CAcquisitionDlg::refreshCounterHeading()
{
    // A played recording shows its own headings.
    const std::optional<int> digits = counter_.lastHeadingDigits();
    if (!digits || mode_ == ModePlayback || mode_ == ModePaused)
        return;
    const int raw = *digits + compassOffset();
    publishHeading(normalizeHeading(raw));
    // As a frame would: a heading summing to 0 leaves the field as it is.
    if (raw != 0) {
        counterHeading_ = normalizeHeading(raw);
        showHeading(*counterHeading_);
    }
}

void CAcquisitionDlg::showCounter()
{
    refreshCounterHeading();
    publishDepthHeading(counter_.depth(), counterHeading_.value_or(0));
    showDepth(counter_.depth());
    if (counterHeading_)
        showHeading(*counterHeading_);
    else
        headingField_->clear();
}

bool CAcquisitionDlg::OnKeyDown(int qtKey, bool ctrlHeld)
{
    if (mode_ != ModeLive && mode_ != ModeRecording)
        return false;
    if (!CMotorKeys::isArrow(qtKey))
        return false;
    if (const auto byte = motorKeys_.keyDown(qtKey, ctrlHeld, depthCounterFound().load()))
        serial_->sendCommand(*byte);
    return true;
}

bool CAcquisitionDlg::OnKeyUp(int qtKey)
{
    if (mode_ != ModeLive && mode_ != ModeRecording)
        return false;
    if (qtKey == Qt::Key_Plus || qtKey == Qt::Key_Minus) {
        counter_.stepManual(qtKey == Qt::Key_Plus ? 1 : -1);
        depthEntry_->SetValue(static_cast<float>(counter_.depth() * 0.001));
        depthField_->setText(formatDepthMetres(counter_.depth()));
        return true;
    }
    if (!CMotorKeys::isArrow(qtKey))
        return false;
    if (const auto byte = motorKeys_.keyUp(qtKey))
        serial_->sendStop(*byte);
    return true;
}

void CAcquisitionDlg::showLineState(LineState state)
{
    QString prefix;
    if (mode_ == ModeLive)
        prefix = tr8("预览");
    else if (mode_ == ModeRecording)
        prefix = tr8("录制");
    else if (mode_ == ModePlayback || mode_ == ModePaused)
        prefix = tr8("回放");
    const QString dashes = prefix.isEmpty() ? QString() : QStringLiteral("--");
    switch (state) {
    case LineState::Ok: setStatus(prefix + lineOkText()); break;
    case LineState::Missing: setStatus(prefix + dashes + lineMissingText()); break;
    case LineState::Lost: setStatus(prefix + dashes + lineLostText()); break;
    }
}

void CAcquisitionDlg::onLineLost()
{
    if (closing_)
        return;
    // The mode runs on without depths while the line tries its device again;
    // told once, not at every try, nor again while the box still says it (a
    // loose plug that comes and goes).
    showLineState(LineState::Lost);
    if (tellingLineLost_)
        return;
    tellingLineLost_ = true;
    messageBox(lineLostBoxText(), tr8("警告"), MB_OK | MB_ICONEXCLAMATION, this);
    tellingLineLost_ = false;
}

void CAcquisitionDlg::onLineBack()
{
    showLineState(LineState::Ok);
    // Reopened after the communication settings were saved during the drop
    // (which switched reception off): the running mode reads the counter.
    if (mode_ == ModeLive || mode_ == ModeRecording)
        serial_->setReceptionEnabled(true);
    // The box saying the line went is no longer true.
    if (tellingLineLost_)
        prompter().withdrawBox(this, lineLostBoxText());
}

void CAcquisitionDlg::sendMotorStops()
{
    for (uint8_t byte : motorKeys_.releaseAll())
        serial_->sendStop(byte);
}

void CAcquisitionDlg::OnDepthEntered()
{
    if (mode_ != ModeLive && mode_ != ModeRecording)
        return;
    const std::optional<int32_t> mm = checkedDepthMm(depthEntry_->GetValue(), this);
    if (!mm) {
        // Refused: the counter's depth stays, and the entry shows it again.
        depthEntry_->SetValue(static_cast<float>(counter_.depth() * 0.001));
        return;
    }
    counter_.enterDepth(*mm);
    depthField_->setText(formatDepthMetres(*mm));
}

// ---------------------------------------------------------------------------
// Graphs

void CAcquisitionDlg::deleteGraph()
{
    graph_.reset();
}

void CAcquisitionDlg::detectVideoStandard()
{
    // The device is asked through a probe graph of its own: the running graph
    // (if any) is about to be replaced.
    auto probe = graphs_.CreateGraph();
    if (!probe->BuildGraph(GraphKindProbe, GraphRequest{}))
        return;
    graphs_.SetChangeMask(graphs_.ChangeMask() | 0x01);
    probe->SetDeviceParam(DeviceApplySettings);
    graphs_.SetChangeMask(0);
    wait_(800);
    uint8_t reg[3] = {0x42, 0x1F, 0x00};
    probe->SetDeviceParam(DeviceReadRegister, reg);
    graphs_.SetVideoFormat((reg[2] & 0x01) && (reg[2] & 0x20) ? 0 : 1);
    graphs_.SetChangeMask(graphs_.ChangeMask() | 0x44);
    probe->SetDeviceParam(DeviceApplySettings);
    graphs_.SetChangeMask(0);
}

bool CAcquisitionDlg::askDevicePresent()
{
    if (graph_ && (graph_->GetGraphKind() == GraphKindPreview ||
                   graph_->GetGraphKind() == GraphKindProbe))
        return graph_->SetDeviceParam(DevicePresent) != 0;
    auto probe = graphs_.CreateGraph();
    if (!probe->BuildGraph(GraphKindProbe, GraphRequest{}))
        return false;
    const bool present = probe->SetDeviceParam(DevicePresent) != 0;
    if (present && deviceAbsent_) {
        if (graphs_.VideoSource() == 2)
            graphs_.SetChangeMask(graphs_.ChangeMask() | 0x40);
        probe->SetDeviceParam(DeviceApplySettings);
        graphs_.SetChangeMask(0);
    }
    return present;
}

void CAcquisitionDlg::deviceReturned()
{
    deviceAbsent_ = false;
    // Only what the absence switched off comes back: the file field and the
    // rest of the mode table stay as they are. A start in progress (its mode
    // set, its graph not yet built) still counts as idle here, so a start that
    // then fails leaves the idle buttons usable.
    const bool running = graph_ && (mode_ == ModeLive || mode_ == ModeRecording);
    if (!running) {
        for (int id : {IDC_LIVE, IDC_RECORD, IDC_DEVICE_SETTINGS})
            enable(id, mode_ != ModePlayback && mode_ != ModePaused);
    }
}

bool CAcquisitionDlg::RestartPreview(bool recording)
{
    detectVideoStandard();
    deleteGraph();
    const bool present = askDevicePresent();
    if (present && deviceAbsent_)
        deviceReturned();
    if (!present) {
        setStatus(tr8("视频采集设备工作不正常,请关闭该应用程序重试"));
        return false;
    }
    graph_ = graphs_.CreateGraph();
    GraphRequest request;
    if (recording) {
        request.recordFlag = true;
        request.mediaPath = fileField_->text();
    }
    if (!graph_->BuildGraph(recording ? GraphKindPreviewRecord : GraphKindPreview, request)) {
        setStatus(tr8("视频采集设备工作不正常,请关闭该应用程序重试"));
        deleteGraph();
        return false;
    }
    uint8_t on = 1;
    graph_->SetDeviceParam(DeviceStreaming, &on);
    graph_->SetEventHandler([this](GraphEvent e, const QString& t) { onGraphEvent(e, t); });
    if (!graph_->Play()) {
        // A graph that will not run is no preview: say so and leave it.
        setStatus(tr8("视频采集设备工作不正常,请关闭该应用程序重试"));
        deleteGraph();
        return false;
    }
    return true;
}

void CAcquisitionDlg::onGraphEvent(GraphEvent event, const QString& text)
{
    Q_UNUSED(text);
    if (mode_ == ModeIdle)
        return;
    // Never delete the graph from inside its own report.
    if (event == GraphEvent::EndOfStream && (mode_ == ModePlayback || mode_ == ModePaused)) {
        QTimer::singleShot(0, this, [this] { stopCommand(false); });
    } else if (event == GraphEvent::Error) {
        // The video ends here: so does its track (the stop withdraws a
        // question whether to stop it).
        if (mode_ == ModeRecording) {
            track_->Close();
            recordingFailed_ = true;
        }
        QTimer::singleShot(0, this, [this] {
            // A recording that lost its stream ends without a question.
            stopCommand(false);
        });
    }
}

// ---------------------------------------------------------------------------
// Commands

void CAcquisitionDlg::OnStartAcquisition()
{
    if (mode_ == ModeLive)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool lineOpen = OpenSerialPort();
    const QString serialText = lineOpen ? lineOkText() : lineMissingStatusSuffix();
    mode_ = ModeLive;
    if (!RestartPreview(false)) {
        mode_ = ModeIdle;
        QApplication::restoreOverrideCursor();
        return;
    }
    setStatus(tr8("预览") + serialText);
    startCounting(lineOpen);
    serial_->setReceptionEnabled(true);
    SetUiState(ModeLive);
    QApplication::restoreOverrideCursor();
}

bool CAcquisitionDlg::chooseRecordFile(bool save)
{
    const QString path =
        save ? prompter().saveFileName(this, tr8("保存"), captureFolder_, QString::fromLatin1(kMpegFilter))
             : prompter().openFileName(this, tr8("打开"), captureFolder_, QString::fromLatin1(kMpegFilter));
    if (path.isEmpty())
        return false;
    fileField_->setText(path);
    captureFolder_ = folderPart(path);
    recordBasePath_ = withoutExtension(path);
    return true;
}

void CAcquisitionDlg::OnStartRecord()
{
    if (mode_ != ModeIdle)
        return;
    bool held = false; // by a running recording, which the box named
    const QString path = confirmRecordTarget(
        this, fileField_->text(),
        [this] { return chooseRecordFile(true) ? fileField_->text() : QString(); }, &held);
    if (path.isEmpty()) {
        // A name chosen and then not taken (an analysed survey of that name
        // kept) goes with it, or 回放 would do nothing.
        fileField_->clear();
        if (!held)
            setStatus(tr8("文件名为空,录制失败"));
        return;
    }
    fileField_->setText(path);

    captureFolder_ = folderPart(path);
    recordBasePath_ = withoutExtension(path);
    // The folder and the files are made before the device is touched, so a
    // place that cannot be written is told as such. A recording named like
    // its own track gets no track, which would overwrite it.
    const QString trackPath = MakeTrackName(path);
    QStringList files{path};
    if (trackPath != path)
        files << trackPath;
    recordFiles_ = std::make_unique<RecordStartFiles>(recordBasePath_, files);
    if (!recordFiles_->create(this)) {
        clearRecordFiles();
        // The next 录制 asks for another file, and 回放 opens its dialog.
        fileField_->clear();
        return;
    }
    analysisFolder_ = recordBasePath_;
    analysisFilePath_ = recordAnalysisFile(path);

    const bool lineOpen = OpenSerialPort();
    const QString serialText = lineOpen ? lineOkText() : lineMissingStatusSuffix();
    recordingFailed_ = false;
    mode_ = ModeRecording;
    if (!RestartPreview(true)) {
        mode_ = ModeIdle;
        // Nothing was recorded, whatever an earlier film there holds.
        recordFiles_->removeMade();
        clearRecordFiles();
        fileField_->clear(); // as a failed playback leaves it
        return;
    }
    setStatus(tr8("录制") + serialText);
    startCounting(lineOpen);
    // Without a track the recording goes on without depth data.
    if (trackPath != path)
        track_->OpenTrackForWriting(
            trackPath, lineOpen ? kFirstFixWait : std::chrono::milliseconds(0),
            [this](const QString& track, int error) {
                QMetaObject::invokeMethod(
                    this, [this, track, error] { tellTrackFailure(track, error); },
                    Qt::QueuedConnection);
            });
    SetUiState(ModeRecording);
    serial_->setReceptionEnabled(true);
}

void CAcquisitionDlg::clearRecordFiles()
{
    // Only a recording that failed before its film held anything (a full
    // disk at its start) leaves none of the files it made; one stopped,
    // however soon after it started, keeps its film and track.
    if (recordFiles_ && recordingFailed_)
        recordFiles_->removeIfNothingRecorded();
    recordFiles_.reset();
}

void CAcquisitionDlg::OnOpenPlayback()
{
    if (!fileField_->text().isEmpty())
        return;
    if (!chooseRecordFile(false))
        return;
    PlayFile();
}

bool CAcquisitionDlg::PlayFile()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct CursorBack {
        ~CursorBack() { QApplication::restoreOverrideCursor(); }
    } cursorBack;
    publishDepthHeading(0, 0);
    setTriggerDepth(0);
    depthEntry_->SetValue(0.0f);
    const QString path = fileField_->text();
    QString status;
    if (!checkPlayFileName(path, &status, this)) {
        setStatus(status);
        return false;
    }
    if (mode_ != ModeIdle && !stopCommand(true))
        return false; // the user kept the recording going
    fileField_->setText(path); // stopping emptied the field

    if (!GetMpegStreamLength(this, streamInfo_, path)) {
        fileField_->clear();
        return false;
    }
    const PlaybackPlan plan = planPlayback(path, streamInfo_);
    if (!plan.ok) {
        setStatus(plan.status);
        fileField_->clear();
        return false;
    }
    mode_ = ModePlayback;
    deleteGraph();
    graph_ = graphs_.CreateGraph();
    const QString media = plan.graphKind == GraphKindPlayback ? plan.mediaPath : plan.videoPath;
    if (!graph_->BuildGraph(plan.graphKind, GraphRequest{false, media}) || !graph_->Play()) {
        deleteGraph();
        setStatus(tr8("回放失败"));
        mode_ = ModeIdle;
        fileField_->clear();
        return false;
    }
    graph_->SetEventHandler([this](GraphEvent e, const QString& t) { onGraphEvent(e, t); });
    track_->OpenTrackForReading(MakeTrackName(path)); // a missing track is no error
    positionTimer_->start();
    setStatus(tr8("回放"));
    SetUiState(ModePlayback);
    fileField_->setText(path);
    slider_->setEnabled(true);
    int64_t duration = 0;
    if (graph_->GetDuration(duration))
        duration_->SetText(durationText(duration));
    return true;
}

void CAcquisitionDlg::OnStopRecord()
{
    stopCommand(true);
}

bool CAcquisitionDlg::stopCommand(bool ask)
{
    if (mode_ == ModeIdle)
        return true;
    if (mode_ == ModeRecording && ask) {
        askingStop_ = true;
        const int answer = messageBox(stopQuestion(), tr8("提示"), MB_OKCANCEL | MB_ICONEXCLAMATION,
                                      this);
        askingStop_ = false;
        // While the question was open the recording may have ended on its
        // own (a lost device, a stream error): it is stopped already, and
        // the withdrawn question's Cancel keeps nothing going.
        if (mode_ == ModeIdle)
            return true;
        if (answer == IDCANCEL)
            return false;
    }
    // Stopped by something else while the user is asked whether to stop (a
    // lost device): the question is moot.
    if (askingStop_)
        prompter().withdrawBox(this, stopQuestion());
    const int leaving = mode_;
    if (leaving == ModeLive || leaving == ModeRecording) {
        sendMotorStops();
        serial_->setReceptionEnabled(false);
        firstFixPending_ = false;
        firstFixTimer_->stop();
    }
    // Leaving playback, the counter goes on as it did before it.
    continuousRequest.store(false);
    clearDepthTrigger();
    oneShotRequest.store(false);
    positionTimer_->stop();
    setStatus(tr8("停止") + status_);
    // The track ends with the video, before a failed recording's box.
    track_->Close();
    if (graph_) {
        if (leaving == ModeRecording) {
            uint8_t off = 0;
            graph_->SetDeviceParam(DeviceStreaming, &off);
        }
        graph_->Stop();
        deleteGraph();
    }
    // A recording that failed before it wrote anything (a full disk at its
    // start) leaves none of the files it made.
    clearRecordFiles();
    streamInfo_ = PlaybackStreamInfo{};
    duration_->SetText(QString()); // the played file's duration goes with it
    mode_ = ModeIdle;
    if (leaving == ModeLive || leaving == ModeRecording) {
        // The next run starts where this one stopped (or where the user set
        // it during the recording); the field shows it, so that saving the
        // control group keeps it.
        params_.startDepth = nextStartDepth_.value_or(currentDepthHeading().depth);
        nextStartDepth_.reset();
        controlGroup_->showStartDepth();
    }
    SetUiState(ModeIdle);
    // The played recording's depths give way to the counter's again.
    if (leaving == ModePlayback || leaving == ModePaused)
        showCounter();
    settingSlider_ = true;
    slider_->setValue(1);
    settingSlider_ = false;
    slider_->setEnabled(false);
    return true;
}

void CAcquisitionDlg::OnCaptureFrame()
{
    if (mode_ == ModeIdle)
        return;
    if (captureFolder_.isEmpty()) {
        captureFolder_ = defaultCaptureFolder();
        messageBox(tr8("图片保存在%1").arg(captureFolder_), tr8("提示"), MB_OK, this);
        if (mode_ == ModeIdle)
            return; // the mode ended while the note was shown: no frame to take
    }
    const int number = nextCaptureNumber(mode_ == ModeRecording, captureCounter_);
    const QString name = captureFileName(captureFolder_, number);
    if (hooks_.setCaptureTarget)
        hooks_.setCaptureTarget(name, captureFolder_, number);
    else
        grabberCallback().SetTarget(name, captureFolder_, number);
    oneShotRequest.store(true);
}

void CAcquisitionDlg::OnPause()
{
    if (!graph_ || mode_ != ModePlayback)
        return;
    savedMode_ = mode_;
    mode_ = ModePaused;
    SetUiState(ModePaused);
    graph_->Pause();
}

void CAcquisitionDlg::OnResume()
{
    if (!graph_ || mode_ != ModePaused)
        return;
    mode_ = savedMode_;
    SetUiState(mode_);
    graph_->Run();
}

void CAcquisitionDlg::OnSliderMoved(int position)
{
    if (graph_)
        graph_->SeekToFraction(static_cast<float>(position * 0.01));
}

void CAcquisitionDlg::OnPositionTimer()
{
    if (!graph_)
        return;
    float fraction = 0.0f;
    const bool answered = graph_->GetPositionFraction(fraction);
    const PlaybackTick tick =
        playbackTick(answered ? std::optional<double>(fraction) : std::nullopt, *track_);
    if (!tick.answered)
        return;
    if (tick.stop) {
        stopCommand(false);
        return;
    }
    // A handle the user holds stays under the pointer.
    if (!slider_->isSliderDown()) {
        settingSlider_ = true;
        slider_->setValue(tick.percent);
        settingSlider_ = false;
    }
    if (tick.record) {
        depthField_->setText(formatDepthMetres(tick.record->depth));
        showHeading(tick.record->heading);
    }
}

void CAcquisitionDlg::OnVideoSettings()
{
    if (graphs_.EditVideoSettings(this))
        FrameFormat::setVideoSizeCode(graphs_.MuxFormat());
}

void CAcquisitionDlg::OnStitchWindow()
{
    if (stitchWindow_)
        return;
    QWidget* w = hooks_.createStitchWindow ? hooks_.createStitchWindow(this) : nullptr;
    if (!w) {
        messageBox(tr8("创建拼接窗口失败"), tr8("出错"), MB_OK | MB_ICONSTOP, this);
        return;
    }
    stitchWindow_ = w;
    w->setWindowIcon(QIcon(QPixmap::fromImage(loadResourceBitmap(IDI_VIDEO))));
    w->show();
}

void CAcquisitionDlg::OnStitchWindowClosed()
{
    stitchWindow_ = nullptr;
}

void CAcquisitionDlg::OnVideoWindowClosed()
{
    stopCommand(true);
}

void CAcquisitionDlg::OnKeyboard()
{
    enable(IDC_KEYBOARD, false);
    const bool started = hooks_.launchKeyboard
                             ? hooks_.launchKeyboard()
                             : QProcess::startDetached(QStringLiteral("onboard"), {});
    if (!started)
        messageBox(tr8("无法启动屏幕键盘"), tr8("出错"), MB_OK | MB_ICONSTOP, this);
    enable(IDC_KEYBOARD, true);
}

void CAcquisitionDlg::saveProfile()
{
    CProfileWriter writer;
    writer.setProfile(&profile_);
    writer.save(params_, this);
}

void CAcquisitionDlg::OnControlParameters()
{
    if (hooks_.controlParameters) {
        hooks_.controlParameters(this);
        return;
    }
    const bool accepted = runControlParams(params_, commGroup_->portMap(), serial_.get(), this);
    if (accepted) {
        // A settings dialog closed with OK keeps its values in the profile.
        saveProfile();
        controlGroup_->fill();
    }
    // OK or 取消, the ports the probe found are the settings' now.
    commGroup_->showSettingsPort();
    showLineState(serial_->isOpen() ? LineState::Ok : LineState::Missing);
    // Applied last: a recording tells in the status line that it keeps its depth.
    if (accepted)
        controlParamsApplied();
}

void CAcquisitionDlg::controlParamsApplied()
{
    // A recording keeps its running depth: a reset would take its track and
    // strips back to the start depth. A start depth changed meanwhile is the
    // next run's.
    if (mode_ == ModeRecording) {
        nextStartDepth_.reset();
        if (params_.startDepth != runStartDepth_)
            nextStartDepth_ = params_.startDepth;
        setStatus(depthKeptText());
        return;
    }
    // The counter starts again from the start depth; both depth fields show it.
    counterReset();
    depthField_->setText(formatDepthMetres(params_.startDepth));
    if (mode_ == ModeLive || mode_ == ModeRecording)
        serial_->setReceptionEnabled(true);
}

void CAcquisitionDlg::OnDevicesChanged()
{
    wait_(300);
    const bool present = askDevicePresent();
    if (present) {
        if (deviceAbsent_)
            deviceReturned();
        return;
    }
    // Only a running graph of the capture device is stopped: playback of a
    // file goes on without the device.
    if (mode_ == ModeLive || mode_ == ModeRecording)
        stopCommand(false);
    markDeviceAbsent();
}

// ---------------------------------------------------------------------------
// Closing

void CAcquisitionDlg::pullCoordinates()
{
    params_.coordX = static_cast<QLineEdit*>(control(IDC_COORD_X))->text();
    params_.coordY = static_cast<QLineEdit*>(control(IDC_COORD_Y))->text();
    params_.lensType = static_cast<QComboBox*>(control(IDC_VIEW_MODE))->currentIndex() == 1 ? 1 : 0;
}

void CAcquisitionDlg::accept()
{
    // Enter never closes the form.
}

void CAcquisitionDlg::keyPressEvent(QKeyEvent* e)
{
    // Enter that a field of the form leaves over goes nowhere. The dialog would
    // click its default button with it: the communication group's "保存",
    // which closes and reopens the counter's line under a box. A button with
    // the focus has taken Enter as its own click before it gets here.
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

void CAcquisitionDlg::reject()
{
    if (closing_)
        return;
    if (mode_ == ModeRecording &&
        messageBox(tr8("正在录制,确信要停止录制并退出程序"), tr8("警告"),
                   MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2, this) != IDYES)
        return;
    // The stitch window asks about its unsaved work first; its 取消 keeps the
    // program running with the window and the recording as they are.
    if (QPointer<QWidget> stitch = stitchWindow_; stitch && !stitch->close())
        return;
    if (!stopCommand(true))
        return; // Cancel: the recording goes on and nothing is torn down
    closing_ = true;
    CloseSerialPort();
    pullCoordinates();
    saveProfile();
    QDialog::reject();
}

void CAcquisitionDlg::closeEvent(QCloseEvent* e)
{
    if (!closing_) {
        reject();
        if (!closing_) {
            e->ignore();
            return;
        }
    }
    QDialog::closeEvent(e);
}

} // namespace bc
