#include "acquisition/acquisition_dlg.h"

#include "acquisition/port_probe.h"
#include "acquisition/serial_line.h"
#include "platform/prompter.h"
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
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <cmath>

namespace bc {

namespace {

CAcquisitionDlg* g_mainForm = nullptr;

const char* const kMpegFilter =
    "MPEG files (*.mpg *.mpeg *.mpe *.mp2 *.mpv *.mpa);;All files (*)";

QString tr8(const char* s)
{
    return QString::fromUtf8(s);
}

// The part of a path after its last separator.
QString fileNamePart(const QString& path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

// The folder of a path: cut before its last separator.
QString folderPart(const QString& path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash);
}

// The path without the extension of its file name.
QString withoutExtension(const QString& path)
{
    const QString name = fileNamePart(path);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return path;
    return path.left(path.size() - (name.size() - dot));
}

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
    positionTimer_ = new QTimer(this);
    positionTimer_->setInterval(40);
    connect(positionTimer_, &QTimer::timeout, this, &CAcquisitionDlg::OnPositionTimer);
    connect(serial_.get(), &CSerialLine::frameReceived, this, &CAcquisitionDlg::onCounterFrame);
}

CAcquisitionDlg::~CAcquisitionDlg()
{
    // Destruction: a running graph is stopped and deleted, the frame copy is
    // freed and an open stitch window is closed.
    positionTimer_->stop();
    if (graph_ && mode_ != ModeIdle)
        graph_->Stop();
    graph_.reset();
    if (trackOpen_ && hooks_.closeTrack)
        hooks_.closeTrack();
    if (hooks_.freeSharedFrame)
        hooks_.freeSharedFrame();
    if (stitchWindow_)
        stitchWindow_->close();
    serial_->close();
    if (g_mainForm == this)
        g_mainForm = nullptr;
}

// ---------------------------------------------------------------------------
// Controls

void CAcquisitionDlg::buildControls()
{
    resize(900, 530);
    setMinimumSize(900, 530);
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
    auto spin = [&](QWidget* parent, int id, int x, int y) {
        auto* s = new QScrollBar(Qt::Vertical, parent);
        s->setGeometry(x, y, 16, 24);
        reg(id, s);
        return s;
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
    connect(depthEntry_, &CNumEdit::valueCommitted, this, [this](int) { OnDepthEntered(); });
    label(this, "米", 195, 136, 24);

    // Control parameters.
    auto* control = new QGroupBox(tr8("控制参数："), this);
    control->setGeometry(10, 170, 290, 350);
    combo(control, IDC_VIEW_MODE, {"全柱面--锥面反射", "全柱面--直视"}, 10, 24, 270);
    struct Row {
        const char* text;
    };
    int y = 56;
    label(control, "计数器分辨率：", 10, y, 110);
    combo(control, IDC_COUNTER_RESOLUTION, {"1mm/脉冲", "2mm/脉冲", "10mm/脉冲", "20mm/脉冲"}, 120,
          y, 160);
    y += 30;
    label(control, "采样步距：", 10, y, 110);
    edit(control, IDC_SAMPLE_STEP, 120, y, 142);
    spin(control, IDC_SAMPLE_STEP_SPIN, 264, y);
    y += 30;
    label(control, "抓图格式：", 10, y, 110);
    combo(control, IDC_CAPTURE_FORMAT, {"JPG文件", "BMP文件"}, 120, y, 160);
    y += 30;
    label(control, "移动方向：", 10, y, 110);
    combo(control, IDC_MOVE_DIRECTION, {"向下", "向上"}, 120, y, 160);
    y += 30;
    label(control, "起始深度：", 10, y, 110);
    auto* startDepth = new CNumEdit(IDC_START_DEPTH, control);
    startDepth->setGeometry(120, y, 136, 24);
    startDepth->SetMode(2);
    startDepth->SetPrecision(3);
    reg(IDC_START_DEPTH, startDepth);
    label(control, "米", 260, y, 24);
    y += 30;
    label(control, "手动调整：", 10, y, 110);
    combo(control, IDC_MANUAL_STEP,
          {"10个脉冲", "20个脉冲", "50个脉冲", "100个脉冲", "200个脉冲", "500个脉冲", "1000个脉冲"},
          120, y, 160);
    y += 30;
    label(control, "罗盘方位偏角：", 10, y, 110);
    edit(control, IDC_COMPASS_OFFSET, 120, y, 142);
    spin(control, IDC_COMPASS_OFFSET_SPIN, 264, y);
    y += 30;
    label(control, "磁偏角：", 10, y, 110);
    edit(control, IDC_DECLINATION, 120, y, 160);
    y += 34;
    auto* saveControl = new CBmpButton(IDC_SAVE_CONTROL, control);
    saveControl->setText(tr8("保存"));
    saveControl->setGeometry(200, y, 80, 28);
    reg(IDC_SAVE_CONTROL, saveControl);

    // Test parameters, two columns.
    auto* test = new QGroupBox(tr8("测试参数："), this);
    test->setGeometry(310, 170, 580, 270);
    struct TestRow {
        const char* text;
        int id;
        int spinId;
    };
    static const TestRow left[] = {{"检测单位：", IDC_TEST_UNIT, 0},
                                   {"测试人员：", IDC_TESTER, 0},
                                   {"测试工地：", IDC_TEST_SITE, 0},
                                   {"孔号：", IDC_HOLE_NUMBER, 0},
                                   {"测试时间：", IDC_TEST_DATE, 0},
                                   {"开孔直径：", IDC_OPENING_DIAMETER, IDC_OPENING_DIAMETER_SPIN},
                                   {"终孔直径：", IDC_FINAL_DIAMETER, IDC_FINAL_DIAMETER_SPIN}};
    static const TestRow right[] = {{"孔口坐标：", IDC_COLLAR_COORDINATES, 0},
                                    {"孔口高程：", IDC_COLLAR_ELEVATION, 0},
                                    {"孔类型：", IDC_HOLE_TYPE, 0},
                                    {"孔倾斜角度：", IDC_HOLE_INCLINATION, 0},
                                    {"斜孔的孔倾向：", IDC_INCLINED_AZIMUTH, 0},
                                    {"水位标高：", IDC_WATER_LEVEL, 0}};
    y = 24;
    for (const TestRow& r : left) {
        label(test, r.text, 10, y, 90);
        if (r.spinId) {
            edit(test, r.id, 100, y, 162);
            spin(test, r.spinId, 264, y);
        } else {
            edit(test, r.id, 100, y, 180);
        }
        y += 30;
    }
    y = 24;
    for (const TestRow& r : right) {
        label(test, r.text, 295, y, 110);
        if (r.id == IDC_HOLE_TYPE)
            combo(test, r.id, {"直孔", "斜孔"}, 405, y, 165);
        else
            edit(test, r.id, 405, y, 165);
        y += 30;
    }
    auto* saveTest = new CBmpButton(IDC_SAVE_TEST, test);
    saveTest->setText(tr8("保存"));
    saveTest->setGeometry(490, y + 4, 80, 28);
    reg(IDC_SAVE_TEST, saveTest);

    // Coordinates.
    auto* coords = new QGroupBox(tr8("坐标："), this);
    coords->setGeometry(310, 450, 280, 70);
    label(coords, "X：", 10, 30, 24);
    edit(coords, IDC_COORD_X, 34, 30, 100);
    label(coords, "Y：", 144, 30, 24);
    edit(coords, IDC_COORD_Y, 168, 30, 100);

    // Communication.
    auto* comm = new QGroupBox(tr8("通讯参数："), this);
    comm->setGeometry(600, 450, 290, 70);
    label(comm, "通信口：", 8, 30, 56);
    auto* port = combo(comm, IDC_PORT, {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6"}, 62, 30,
                       70);
    Q_UNUSED(port);
    label(comm, "波特率：", 136, 30, 56);
    combo(comm, IDC_BAUD, {"1200", "2400", "4800", "9600", "19200", "38400", "115200"}, 190, 30,
          60);
    auto* saveComm = new QPushButton(tr8("保存"), comm);
    saveComm->setAutoDefault(false);
    saveComm->setDefault(false);
    saveComm->setGeometry(254, 30, 32, 24);
    reg(IDC_SAVE_COMM, saveComm);
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
    static_cast<CBmpButton*>(control(IDC_SAVE_CONTROL))->SetFrameState(CBmpButton::FrameRaised);
    static_cast<CBmpButton*>(control(IDC_SAVE_TEST))->SetFrameState(CBmpButton::FrameRaised);
}

void CAcquisitionDlg::fillSettingsGroups()
{
    auto setCombo = [this](int id, int index) {
        auto* c = static_cast<QComboBox*>(control(id));
        if (index >= 0 && index < c->count())
            c->setCurrentIndex(index);
    };
    auto setText = [this](int id, const QString& text) {
        static_cast<QLineEdit*>(control(id))->setText(text);
    };
    setCombo(IDC_MOVE_DIRECTION, static_cast<int>(params_.moveDirection));
    const int resolutions[] = {1, 2, 10, 20};
    for (int i = 0; i < 4; ++i)
        if (static_cast<unsigned>(resolutions[i]) == params_.counterResolution)
            setCombo(IDC_COUNTER_RESOLUTION, i);
    const int manual[] = {10, 20, 50, 100, 200, 500, 1000};
    for (int i = 0; i < 7; ++i)
        if (static_cast<unsigned>(manual[i]) == params_.manualStep)
            setCombo(IDC_MANUAL_STEP, i);
    setText(IDC_SAMPLE_STEP, QStringLiteral("%1 mm").arg(params_.sampleStep *
                                                         params_.counterResolution));
    static_cast<CNumEdit*>(control(IDC_START_DEPTH))->SetValue(params_.startDepth * 0.001f);
    setCombo(IDC_CAPTURE_FORMAT, static_cast<int>(params_.captureFormat));
    setText(IDC_COMPASS_OFFSET, QString::number(params_.compassOffset));
    setText(IDC_DECLINATION, QString::number(static_cast<double>(params_.declination)));
    setText(IDC_TEST_UNIT, params_.testUnit);
    setText(IDC_TESTER, params_.tester);
    setText(IDC_TEST_SITE, params_.testSite);
    setText(IDC_HOLE_NUMBER, params_.holeNumber);
    setText(IDC_TEST_DATE, params_.testDate);
    setText(IDC_COLLAR_COORDINATES, params_.collarCoordinates);
    setText(IDC_COLLAR_ELEVATION, params_.collarElevation);
    setText(IDC_HOLE_INCLINATION, params_.holeInclination);
    setText(IDC_WATER_LEVEL, params_.waterLevel);
    setText(IDC_OPENING_DIAMETER, QStringLiteral("%1 mm").arg(params_.openingDiameter));
    setText(IDC_FINAL_DIAMETER, QStringLiteral("%1 mm").arg(params_.finalDiameter));
    setText(IDC_INCLINED_AZIMUTH, QString::number(static_cast<double>(params_.inclinedHoleAzimuth)));
    setCombo(IDC_HOLE_TYPE, params_.holeType);
    enable(IDC_HOLE_INCLINATION, params_.holeType == 0);
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

    ConfigureSerialPort();
    fillSettingsGroups();

    SetUiState(ModeIdle);
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
    for (int id : {IDC_DEVICE_SETTINGS, IDC_LIVE, IDC_RECORD, IDC_PAUSE, IDC_RESUME})
        enable(id, false);
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
    portMap_.load(profile_);
    const int slot = params_.port1 >= 1 && params_.port1 <= CPortMap::kSlotCount ? params_.port1 : 1;
    serial_->configure(slot, portMap_);
    auto* port = static_cast<QComboBox*>(control(IDC_PORT));
    port->setCurrentIndex(slot - 1);
    static_cast<QComboBox*>(control(IDC_BAUD))->setCurrentIndex(3);
    port->setEnabled(true);
    control(IDC_BAUD)->setEnabled(true);
    setStatus(OpenSerialPort() ? lineOkText() : lineMissingText());
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
    counter_.reset(counterSettings());
    depthEntry_->SetValue(params_.startDepth * 0.001f);
}

int CAcquisitionDlg::compassOffset() const
{
    bool ok = false;
    const int v = static_cast<QLineEdit*>(control(IDC_COMPASS_OFFSET))->text().trimmed().toInt(&ok);
    if (ok && v >= -180 && v <= 180)
        return v;
    return params_.compassOffset;
}

void CAcquisitionDlg::showDepth(int32_t depthMm)
{
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
    const CounterFrameResult r = counter_.applyFrame(frame, compassOffset(), triggerAllowed);
    showDepth(r.depth);
    if (r.rawHeading != 0)
        showHeading(r.heading);
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
        serial_->sendCommand(*byte);
    return true;
}

void CAcquisitionDlg::sendMotorStops()
{
    for (uint8_t byte : motorKeys_.releaseAll())
        serial_->sendCommand(byte);
}

void CAcquisitionDlg::OnDepthEntered()
{
    if (mode_ != ModeLive && mode_ != ModeRecording)
        return;
    const double metres = depthEntry_->GetValue();
    const auto mm = static_cast<int32_t>(metres * 1000.0 + 0.5);
    counter_.enterDepth(mm);
    depthField_->setText(formatDepthMetres(mm));
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
    // The buttons follow the mode table again.
    SetUiState(mode_ == ModePaused ? savedMode_ : mode_);
    if (mode_ == ModePaused)
        SetUiState(ModePaused);
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
    const QString serialText = OpenSerialPort() ? lineOkText() : lineMissingStatusSuffix();
    mode_ = ModeLive;
    if (!RestartPreview(false)) {
        mode_ = ModeIdle;
        QApplication::restoreOverrideCursor();
        return;
    }
    setStatus(tr8("预览") + serialText);
    counterReset();
    counter_.evaluateTrigger();
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
    QString path = fileField_->text().trimmed();
    if (path.isEmpty()) {
        if (!chooseRecordFile(true)) {
            setStatus(tr8("文件名为空,录制失败"));
            return;
        }
    } else if (QFileInfo::exists(path)) {
        if (messageBox(tr8("该文件已存在，是否覆盖"), tr8("提示"), MB_YESNO | MB_ICONEXCLAMATION,
                       this) == IDNO) {
            if (!chooseRecordFile(true)) {
                setStatus(tr8("文件名为空,录制失败"));
                return;
            }
        }
    }
    path = QDir::fromNativeSeparators(fileField_->text().trimmed());
    if (!fileNamePart(path).contains(QLatin1Char('.')))
        path += QStringLiteral(".mpg");
    fileField_->setText(path);

    captureFolder_ = folderPart(path);
    recordBasePath_ = withoutExtension(path);
    if (!QFileInfo(recordBasePath_).isDir() && !QDir().mkpath(recordBasePath_)) {
        messageBox(tr8("创建目录%1失败\n请换个目录重试").arg(recordBasePath_), tr8("出错"),
                   MB_OK | MB_ICONSTOP, this);
        return;
    }
    analysisFolder_ = recordBasePath_;
    analysisFilePath_ = recordBasePath_ + QLatin1Char('/') +
                        withoutExtension(fileNamePart(path)) + QStringLiteral(".sfa");

    const QString serialText = OpenSerialPort() ? lineOkText() : lineMissingStatusSuffix();
    mode_ = ModeRecording;
    if (!RestartPreview(true)) {
        mode_ = ModeIdle;
        return;
    }
    setStatus(tr8("录制") + serialText);
    counterReset();
    counter_.evaluateTrigger();
    QString trackPath = path;
    {
        const QString name = fileNamePart(path);
        const int dot = name.lastIndexOf(QLatin1Char('.'));
        trackPath = path.left(path.size() - name.size()) + name.left(dot) + QStringLiteral(".ss");
    }
    trackOpen_ = hooks_.openTrackForWriting && hooks_.openTrackForWriting(trackPath);
    SetUiState(ModeRecording);
    serial_->setReceptionEnabled(true);
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
    if (path.isEmpty()) {
        messageBox(tr8("请先选择一个播放视频文件"), tr8("出错"), MB_OK | MB_ICONSTOP, this);
        setStatus(tr8("文件名为空,播放失败"));
        return false;
    }
    if (mode_ != ModeIdle)
        stopCommand(true);
    if (mode_ != ModeIdle)
        return false; // the user kept the recording going
    fileField_->setText(path); // stopping emptied the field

    if (!fileNamePart(path).contains(QLatin1Char('.'))) {
        setStatus(tr8("请包含文件扩展名"));
        fileField_->clear();
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        messageBox(tr8("无法打开该文件: %1").arg(path), tr8("出错"), MB_OK | MB_ICONSTOP, this);
        fileField_->clear();
        return false;
    }
    const QByteArray head = file.read(4);
    file.close();
    const bool programStream = head == QByteArray("\x00\x00\x01\xBA", 4);

    mode_ = ModePlayback;
    deleteGraph();
    graph_ = graphs_.CreateGraph();
    // Only program streams have a graph; an elementary pair fails to build.
    const bool built = programStream &&
                       graph_->BuildGraph(GraphKindPlayback, GraphRequest{false, path});
    if (!built || !graph_->Play()) {
        deleteGraph();
        setStatus(tr8("回放失败"));
        mode_ = ModeIdle;
        fileField_->clear();
        return false;
    }
    graph_->SetEventHandler([this](GraphEvent e, const QString& t) { onGraphEvent(e, t); });
    {
        const QString name = fileNamePart(path);
        const int dot = name.lastIndexOf(QLatin1Char('.'));
        const QString trackPath =
            path.left(path.size() - name.size()) + name.left(dot) + QStringLiteral(".ss");
        trackOpen_ = hooks_.openTrackForReading && hooks_.openTrackForReading(trackPath);
    }
    positionTimer_->start();
    setStatus(tr8("回放"));
    SetUiState(ModePlayback);
    fileField_->setText(path);
    slider_->setEnabled(true);
    int64_t duration = 0;
    if (graph_->GetDuration(duration)) {
        const int64_t seconds = duration / 10000000;
        duration_->SetText(QString::asprintf("%.2d:%.2d:%.2d", static_cast<int>(seconds / 3600),
                                             static_cast<int>(seconds / 60 % 60),
                                             static_cast<int>(seconds % 60)));
    }
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
        if (messageBox(tr8("正在录制,确认要停止录制"), tr8("提示"), MB_OKCANCEL | MB_ICONEXCLAMATION,
                       this) == IDCANCEL)
            return false;
    }
    const int leaving = mode_;
    if (leaving == ModeLive || leaving == ModeRecording)
        sendMotorStops();
    serial_->setReceptionEnabled(false);
    continuousRequest.store(false);
    clearDepthTrigger();
    oneShotRequest.store(false);
    positionTimer_->stop();
    setStatus(tr8("停止") + status_);
    if (graph_) {
        if (leaving == ModeRecording) {
            uint8_t off = 0;
            graph_->SetDeviceParam(DeviceStreaming, &off);
        }
        graph_->Stop();
        deleteGraph();
    }
    if (trackOpen_ && hooks_.closeTrack)
        hooks_.closeTrack();
    trackOpen_ = false;
    mode_ = ModeIdle;
    if (leaving == ModeLive || leaving == ModeRecording)
        params_.startDepth = currentDepthHeading().depth;
    SetUiState(ModeIdle);
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
    }
    int number;
    if (mode_ == ModeRecording)
        number = currentDepthHeading().depth;
    else
        number = captureCounter_++;
    const QString name = QStringLiteral("%1/%2.jpg").arg(captureFolder_).arg(number);
    if (hooks_.setCaptureTarget)
        hooks_.setCaptureTarget(name, captureFolder_, number);
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
    if (!graph_->GetPositionFraction(fraction))
        return;
    const int percent = static_cast<int>(fraction * 100.0f);
    if (percent > 99) {
        stopCommand(false);
        return;
    }
    settingSlider_ = true;
    slider_->setValue(percent);
    settingSlider_ = false;
    if (trackOpen_ && hooks_.readTrackAt) {
        if (const auto dh = hooks_.readTrackAt(fraction)) {
            publishDepthHeading(dh->depth, dh->heading);
            depthField_->setText(formatDepthMetres(dh->depth));
            showHeading(dh->heading);
        }
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
    if (hooks_.launchKeyboard)
        hooks_.launchKeyboard();
    else
        QProcess::startDetached(QStringLiteral("onboard"), {});
    enable(IDC_KEYBOARD, true);
}

void CAcquisitionDlg::OnControlParameters()
{
    if (hooks_.controlParameters)
        hooks_.controlParameters(this);
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

void CAcquisitionDlg::reject()
{
    if (closing_)
        return;
    if (mode_ == ModeRecording &&
        messageBox(tr8("正在录制,确信要停止录制并退出程序"), tr8("警告"),
                   MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2, this) != IDYES)
        return;
    if (!stopCommand(true))
        return; // Cancel: the recording goes on and nothing is torn down
    closing_ = true;
    CloseSerialPort();
    pullCoordinates();
    params_.SaveProfile(profile_);
    profile_.sync();
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
