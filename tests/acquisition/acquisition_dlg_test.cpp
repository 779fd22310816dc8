#include "acquisition/acquisition_dlg.h"

#include "acquisition/port_map.h"
#include "acquisition/port_probe.h"
#include "acquisition/serial_line.h"
#include "acquisition/track_file.h"
#include "core/program_values.h"
#include "support/serial_slots.h"
#include "support/serial_pty.h"
#include "support/scripted_capture_graph.h"
#include "support/scripted_prompter.h"
#include "support/temp_settings.h"
#include "ui/bmp_button.h"
#include "ui/num_edit.h"
#include "ui/transparent_controls.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTimer>
#include <QDir>
#include <QGroupBox>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>


#include <functional>
#include <memory>
#include <set>
#include <utility>

namespace bc {
namespace {

using test::ScriptedGraphFactory;
using test::ScriptedPrompter;
using test::TempSettings;

const QString kNoSerial = QStringLiteral("深度控制口和电子罗盘口不存在或被其它程序占用");
const QString kNoDevice = QStringLiteral("USB设备没找到,请检查USB连接线和电源\n重试");

struct Captured {
    QString name, folder;
    int number;
};

class FormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // No serial device on any slot.
        test::mapSerialSlotsNowhere(profile);
        publishDepthHeading(0, 0);
        clearDepthTrigger();
        oneShotRequest.store(false);
        depthCounterFound().store(false);
    }

    void makeForm(bool init = true)
    {
        AcquisitionHooks hooks;
        hooks.setCaptureTarget = [this](const QString& n, const QString& f, int num) {
            captures.push_back({n, f, num});
        };
        hooks.track = &track;
        hooks.createStitchWindow = [this](QWidget*) -> QWidget* {
            if (!stitchWorks)
                return nullptr;
            auto* w = new QWidget;
            w->setAttribute(Qt::WA_DeleteOnClose);
            return w;
        };
        hooks.controlParameters = [this](QWidget*) { ++controlParamsShown; };
        hooks.launchKeyboard = [this] { return keyboardStarts; };
        form = std::make_unique<CAcquisitionDlg>(graphs, profile.settings(), hooks);
        form->setWaitFunction([this](int ms) { waits.push_back(ms); });
        form->show();
        if (init)
            form->OnInitDialog();
    }

    bool enabled(int id) const { return form->control(id)->isEnabled(); }
    void expectEnabled(const std::vector<int>& ids, bool on) const
    {
        for (int id : ids)
            EXPECT_EQ(enabled(id), on) << id;
    }
    QString text(int id) const { return static_cast<QLineEdit*>(form->control(id))->text(); }
    void setText(int id, const QString& t) { static_cast<QLineEdit*>(form->control(id))->setText(t); }
    QStringList logSince(int from) const { return graphs.script.log.mid(from); }

    QTemporaryDir dir;
    TempSettings profile;
    ScriptedPrompter prompter;
    ScriptedGraphFactory graphs;
    std::vector<Captured> captures;
    CTrackFile track;
    std::vector<int> waits;
    bool stitchWorks = true;
    int controlParamsShown = 0;
    bool keyboardStarts = true;
    std::unique_ptr<CAcquisitionDlg> form; // last: its hooks use the members above
};

// A track of `count` records: depth = index x 10 + base, heading = index % 360.
void writeTrack(const QString& path, int count, int base)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    for (int i = 0; i < count; ++i) {
        uint8_t rec[kTrackRecordBytes];
        encodeTrackRecord(TrackRecord{base + i * 10, static_cast<int16_t>(i % 360)}, rec);
        f.write(reinterpret_cast<const char*>(rec), kTrackRecordBytes);
    }
}

// A small file of `bytes` named `name` in `dir`; its path.
QString writeFile(const QTemporaryDir& dir, const char* name, const QByteArray& bytes)
{
    const QString path = dir.filePath(QString::fromUtf8(name));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

// A program stream's first bytes: a pack start code.
const QByteArray kPackStart("\x00\x00\x01\xBA\x00\x00", 6);

TEST_F(FormTest, StartUpWithoutAWorkingCaptureDeviceOrSerialLine)
{
    for (const bool present : {false, true}) {
        graphs.script.devicePresent = present;
        graphs.script.deviceCheckOk = false; // a failed check counts as no device
        makeForm();
        ASSERT_TRUE(prompter.boxTexts().contains(kNoDevice));
        EXPECT_TRUE(prompter.boxTexts().contains(QStringLiteral("打开串口失败!")));
        for (const auto& box : prompter.boxes)
            if (box.text == kNoDevice) {
                EXPECT_EQ(box.caption, QStringLiteral("出错"));
                EXPECT_EQ(box.style & MB_ICONMASK, unsigned(MB_ICONSTOP));
            }
        EXPECT_EQ(form->statusText(), kNoSerial);
        EXPECT_TRUE(form->deviceAbsent());
        for (int id : {IDC_DEVICE_SETTINGS, IDC_LIVE, IDC_RECORD, IDC_PAUSE, IDC_RESUME})
            EXPECT_FALSE(enabled(id)) << id;
        EXPECT_TRUE(enabled(IDC_PLAY));
        EXPECT_EQ(graphs.script.alive, 0);
        form.reset();
        prompter.boxes.clear();
    }
}

TEST_F(FormTest, StartUpProbesTheDeviceAndKeepsNoGraph)
{
    graphs.script.changeMask = 0xE7;
    makeForm();
    EXPECT_FALSE(prompter.boxTexts().contains(kNoDevice));
    EXPECT_EQ(graphs.script.log, QStringList({"build 8", "param 22", "param 6", "apply mask e7",
                                              "param 21", "param 23", "delete"}));
    EXPECT_EQ(graphs.script.changeMask, 0u); // cleared after applying
    EXPECT_EQ(graphs.script.alive, 0);
    EXPECT_TRUE(enabled(IDC_LIVE));
    EXPECT_TRUE(enabled(IDC_RECORD));
    EXPECT_FALSE(enabled(IDC_POSITION));
    EXPECT_FALSE(enabled(IDC_DEPTH_ENTRY));
}

TEST_F(FormTest, EveryControlAnswersToItsIdAndTheCombosHoldTheirEntries)
{
    makeForm();
    for (int id : {IDC_LIVE, IDC_RECORD, IDC_PLAY, IDC_STOP, IDC_CAPTURE, IDC_DEVICE_SETTINGS,
                   IDC_STITCH, IDC_KEYBOARD, IDC_RESUME, IDC_PAUSE, IDC_SAVE_CONTROL, IDC_SAVE_TEST})
        EXPECT_NE(qobject_cast<CBmpButton*>(form->control(id)), nullptr) << id;
    for (int id : {IDC_DEPTH_ENTRY, IDC_START_DEPTH, IDC_DEPTH, IDC_HEADING, IDC_STATUS, IDC_COORD_X,
                   IDC_COORD_Y, IDC_SAMPLE_STEP, IDC_COMPASS_OFFSET, IDC_DECLINATION, IDC_TEST_UNIT,
                   IDC_TESTER, IDC_TEST_SITE, IDC_HOLE_NUMBER, IDC_TEST_DATE, IDC_OPENING_DIAMETER,
                   IDC_FINAL_DIAMETER, IDC_COLLAR_COORDINATES, IDC_COLLAR_ELEVATION,
                   IDC_HOLE_INCLINATION, IDC_INCLINED_AZIMUTH, IDC_WATER_LEVEL, IDC_FILE})
        EXPECT_NE(qobject_cast<QLineEdit*>(form->control(id)), nullptr) << id;
    for (int id : {IDC_SAMPLE_STEP_SPIN, IDC_COMPASS_OFFSET_SPIN, IDC_OPENING_DIAMETER_SPIN,
                   IDC_FINAL_DIAMETER_SPIN, IDC_SAVE_COMM, IDC_DURATION, IDC_POSITION})
        EXPECT_NE(form->control(id), nullptr) << id;
    // The entries' order is what the profile stores.
    const std::pair<int, const char*> combos[] = {
        {IDC_VIEW_MODE, "全柱面--锥面反射|全柱面--直视"},
        {IDC_COUNTER_RESOLUTION, "1mm/脉冲|2mm/脉冲|10mm/脉冲|20mm/脉冲"},
        {IDC_CAPTURE_FORMAT, "JPG文件|BMP文件"},
        {IDC_MOVE_DIRECTION, "向下|向上"},
        {IDC_MANUAL_STEP, "10个脉冲|20个脉冲|50个脉冲|100个脉冲|200个脉冲|500个脉冲|1000个脉冲"},
        {IDC_HOLE_TYPE, "直孔|斜孔"},
        {IDC_BAUD, "1200|2400|4800|9600|19200|38400|115200"},
    };
    for (const auto& [id, entries] : combos) {
        auto* c = qobject_cast<QComboBox*>(form->control(id));
        ASSERT_NE(c, nullptr) << id;
        QStringList got;
        for (int i = 0; i < c->count(); ++i)
            got << c->itemText(i);
        EXPECT_EQ(got.join('|'), QString::fromUtf8(entries));
    }
    EXPECT_EQ(static_cast<QComboBox*>(form->control(IDC_PORT))->count(), 6);
}

TEST_F(FormTest, ModeTableForEveryMode)
{
    makeForm();
    setText(IDC_FILE, "/x.mpg");
    const std::tuple<int, std::vector<int>, std::vector<int>> rows[] = {
        {ModeIdle, {IDC_VIEW_MODE, IDC_PLAY, IDC_LIVE, IDC_RECORD, IDC_DEVICE_SETTINGS},
         {IDC_STOP, IDC_CAPTURE, IDC_RESUME, IDC_PAUSE, IDC_DEPTH_ENTRY}},
        {ModeLive, {IDC_STOP, IDC_CAPTURE, IDC_DEPTH_ENTRY},
         {IDC_VIEW_MODE, IDC_LIVE, IDC_RECORD, IDC_PLAY, IDC_DEVICE_SETTINGS}},
        {ModeRecording, {IDC_STOP, IDC_CAPTURE, IDC_DEPTH_ENTRY},
         {IDC_VIEW_MODE, IDC_LIVE, IDC_RECORD, IDC_PLAY, IDC_DEVICE_SETTINGS}},
        {ModePlayback, {IDC_STOP, IDC_CAPTURE, IDC_PLAY, IDC_PAUSE},
         {IDC_VIEW_MODE, IDC_LIVE, IDC_RECORD, IDC_DEVICE_SETTINGS, IDC_RESUME, IDC_DEPTH_ENTRY}},
        {ModePaused, {IDC_RESUME, IDC_STOP, IDC_PLAY}, {IDC_CAPTURE, IDC_PAUSE, IDC_VIEW_MODE, IDC_LIVE}},
        // outside 0..4 nothing changes
        {5, {IDC_RESUME, IDC_STOP, IDC_PLAY}, {IDC_CAPTURE, IDC_PAUSE, IDC_VIEW_MODE, IDC_LIVE}},
        {-1, {IDC_RESUME, IDC_STOP, IDC_PLAY}, {IDC_CAPTURE, IDC_PAUSE, IDC_VIEW_MODE, IDC_LIVE}},
    };
    for (const auto& [mode, on, off] : rows) {
        SCOPED_TRACE(mode);
        form->SetUiState(mode);
        expectEnabled(on, true);
        expectEnabled(off, false);
        if (mode == ModeIdle) {
            EXPECT_TRUE(text(IDC_FILE).isEmpty());
        }
    }
    // Idle with the device absent keeps the device buttons off.
    graphs.script.devicePresent = false;
    form->OnDevicesChanged();
    form->SetUiState(ModeIdle);
    expectEnabled({IDC_VIEW_MODE, IDC_PLAY}, true);
    expectEnabled({IDC_LIVE, IDC_RECORD, IDC_DEVICE_SETTINGS}, false);
}

TEST_F(FormTest, LiveAcquisitionStartsAndStops)
{
    makeForm();
    const int from = graphs.script.log.size();
    graphs.script.registerValue = 0x21; // bits 0 and 5: NTSC
    form->OnStartAcquisition();
    EXPECT_EQ(form->GetUiMode(), ModeLive);
    EXPECT_EQ(form->statusText(), QStringLiteral("预览--") + kNoSerial);
    EXPECT_EQ(graphs.script.videoFormat, 0);
    EXPECT_EQ(waits, std::vector<int>({800}));
    const QStringList log = logSince(from);
    EXPECT_TRUE(log.contains("build 0"));
    const int streaming = log.indexOf("param 28 1");
    ASSERT_GE(streaming, 0);
    EXPECT_EQ(log.indexOf("play"), streaming + 1);
    EXPECT_EQ(graphs.script.alive, 1);
    EXPECT_TRUE(static_cast<CBmpButton*>(form->control(IDC_LIVE))->frameState() ==
                CBmpButton::FrameSunken);

    form->OnStartAcquisition(); // already live: nothing
    EXPECT_EQ(graphs.script.alive, 1);

    form->OnStopRecord();
    EXPECT_EQ(form->GetUiMode(), ModeIdle);
    EXPECT_EQ(form->statusText(), QStringLiteral("停止预览--") + kNoSerial);
    EXPECT_EQ(graphs.script.alive, 0);
    EXPECT_FALSE(logSince(from).contains("param 28 0")); // only a recording sends it
    EXPECT_TRUE(prompter.boxTexts().filter(QStringLiteral("正在录制")).isEmpty());

    graphs.script.registerValue = 0x01; // not both standard bits: PAL
    form->OnStartAcquisition();
    EXPECT_EQ(graphs.script.videoFormat, 1);
}

TEST_F(FormTest, LiveFailsWhenTheDeviceIsGoneOrTheBuildOrPlayFails)
{
    makeForm();
    const QString failed = QStringLiteral("视频采集设备工作不正常,请关闭该应用程序重试");
    // build fails, device present, play fails
    const std::tuple<bool, bool, bool> rows[] = {{true, true, false}, {false, false, false}, {false, true, true}};
    for (const auto& [buildFails, present, playFails] : rows) {
        graphs.script.failingKinds = buildFails ? std::set<int>{0} : std::set<int>{};
        graphs.script.devicePresent = present;
        graphs.script.playFails = playFails;
        form->setStatus(QString());
        form->OnStartAcquisition();
        EXPECT_EQ(form->GetUiMode(), ModeIdle);
        EXPECT_TRUE(playFails || form->statusText() == failed) << form->statusText().toStdString();
        EXPECT_EQ(graphs.script.alive, 0);
    }
    // A start that fails after the device came back leaves the idle buttons;
    // the next start works.
    graphs.script.playFails = false;
    graphs.script.devicePresent = false;
    form->OnDevicesChanged();
    ASSERT_TRUE(form->deviceAbsent());
    graphs.script.devicePresent = true;
    graphs.script.failingKinds = {0};
    form->OnStartAcquisition();
    EXPECT_FALSE(form->deviceAbsent());
    EXPECT_EQ(form->statusText(), failed);
    expectEnabled({IDC_LIVE, IDC_RECORD, IDC_DEVICE_SETTINGS, IDC_PLAY}, true);
    expectEnabled({IDC_STOP, IDC_CAPTURE, IDC_DEPTH_ENTRY}, false);
    graphs.script.failingKinds.clear();
    form->OnStartAcquisition();
    EXPECT_EQ(form->GetUiMode(), ModeLive);
    expectEnabled({IDC_STOP}, true);
    expectEnabled({IDC_LIVE}, false);
}

TEST_F(FormTest, RecordRefusalsAndTheOverwriteQuestion)
{
    makeForm();
    const QString overwrite = QStringLiteral("该文件已存在，是否覆盖");
    form->OnStartRecord(); // no name and the save dialog is cancelled
    EXPECT_EQ(prompter.dialogTitles, QStringList({QStringLiteral("保存")}));
    EXPECT_EQ(form->statusText(), QStringLiteral("文件名为空,录制失败"));
    EXPECT_TRUE(graphs.script.log.mid(7).isEmpty()); // nothing after the start-up probe

    // A name typed without its extension is asked about the file it would
    // write; "no" and a cancelled dialog keep the earlier recording whole.
    const QString earlier = writeFile(dir, "run.mpg", QByteArray("kept"));
    setText(IDC_FILE, dir.filePath("run"));
    prompter.boxAnswers.push_back(IDNO);
    form->OnStartRecord();
    EXPECT_EQ(prompter.boxes.back().text, overwrite);
    EXPECT_EQ(form->GetUiMode(), ModeIdle);
    QFile f(earlier);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("kept"));

    // A folder that cannot be made is told.
    const QString blocker = writeFile(dir, "file", {});
    setText(IDC_FILE, blocker + "/sub/x.mpg");
    form->OnStartRecord();
    EXPECT_EQ(prompter.boxes.back().text,
              QStringLiteral("创建目录%1失败\n请换个目录重试").arg(blocker + "/sub/x"));
    EXPECT_EQ(form->GetUiMode(), ModeIdle);

    // "No" to overwriting, then another name from the dialog.
    setText(IDC_FILE, earlier);
    prompter.boxAnswers.push_back(IDNO);
    prompter.fileAnswers.push_back(dir.filePath("new.mpg"));
    form->OnStartRecord();
    EXPECT_EQ(form->GetUiMode(), ModeRecording);
    EXPECT_EQ(graphs.script.lastRequest.mediaPath, dir.filePath("new.mpg"));
    prompter.boxAnswers.push_back(IDOK);
    form->OnStopRecord();

    // Only the analysis folder of that name there: nothing to overwrite.
    QDir().mkpath(dir.filePath("second"));
    setText(IDC_FILE, dir.filePath("second"));
    const int asked = prompter.boxTexts().count(overwrite);
    form->OnStartRecord();
    EXPECT_EQ(prompter.boxTexts().count(overwrite), asked);
    EXPECT_EQ(graphs.script.lastRequest.mediaPath, dir.filePath("second.mpg"));
}

TEST_F(FormTest, RecordPathWithoutExtensionGetsMpgAndItsFolders)
{
    makeForm();
    const QString a = dir.filePath("a");
    QDir().mkpath(a);
    setText(IDC_FILE, a + "/b");
    publishDepthHeading(0, 0);
    form->OnStartRecord();
    ASSERT_EQ(form->GetUiMode(), ModeRecording);
    EXPECT_EQ(text(IDC_FILE), a + "/b.mpg");
    EXPECT_EQ(form->captureFolder(), a);
    EXPECT_EQ(form->recordBasePath(), a + "/b");
    EXPECT_TRUE(QFileInfo(a + "/b").isDir());
    EXPECT_EQ(form->GetAnalysisFolder(), a + "/b");
    EXPECT_EQ(form->GetAnalysisFilePath(), a + "/b/b.sfa");
    EXPECT_EQ(graphs.script.lastRequest.mediaPath, a + "/b.mpg");
    EXPECT_TRUE(graphs.script.lastRequest.recordFlag);
    EXPECT_TRUE(graphs.script.log.contains("build 1 record " + a + "/b.mpg"));
    EXPECT_EQ(form->statusText(), QStringLiteral("录制--") + kNoSerial);
    EXPECT_TRUE(track.isWriting());
    EXPECT_TRUE(QFileInfo::exists(a + "/b.ss"));

    // Frames captured while recording are named by depth, in the folder of the file.
    publishDepthHeading(1234, 0);
    form->OnCaptureFrame();
    ASSERT_EQ(captures.size(), 1u);
    EXPECT_EQ(captures[0].name, a + "/1234.jpg");
    EXPECT_EQ(captures[0].folder, a);
    EXPECT_EQ(captures[0].number, 1234);
    EXPECT_TRUE(oneShotRequest.load());

    // Stop asks first; OK stops and the device stops streaming.
    prompter.boxAnswers.push_back(IDOK);
    const int from = graphs.script.log.size();
    form->OnStopRecord();
    EXPECT_EQ(prompter.boxes.back().text, QStringLiteral("正在录制,确认要停止录制"));
    EXPECT_EQ(prompter.boxes.back().caption, QStringLiteral("提示"));
    EXPECT_EQ(form->GetUiMode(), ModeIdle);
    EXPECT_EQ(logSince(from), QStringList({"param 28 0", "stop", "delete"}));
    EXPECT_FALSE(track.isWriting());
    EXPECT_FALSE(oneShotRequest.load());
}

TEST_F(FormTest, ARecordingNamedLikeItsTrackRecordsWithoutOne)
{
    makeForm();
    const QString path = dir.filePath("r.ss");
    setText(IDC_FILE, path);
    form->OnStartRecord();
    ASSERT_EQ(form->GetUiMode(), ModeRecording);
    EXPECT_EQ(graphs.script.lastRequest.mediaPath, path);
    // The track would be the recording itself: it is left out.
    EXPECT_FALSE(track.isWriting());
    EXPECT_FALSE(QFileInfo::exists(path));
    prompter.boxAnswers.push_back(IDOK);
    form->OnStopRecord();
    EXPECT_EQ(form->GetUiMode(), ModeIdle);
}

TEST_F(FormTest, CapturesOutsideRecordingCountFromZeroAtEveryStart)
{
    makeForm();
    form->OnCaptureFrame(); // idle: nothing
    EXPECT_TRUE(captures.empty());
    form->OnStartAcquisition();
    form->OnCaptureFrame();
    ASSERT_EQ(prompter.boxes.back().text,
              QStringLiteral("图片保存在%1").arg(defaultCaptureFolder()));
    form->OnCaptureFrame();
    ASSERT_EQ(captures.size(), 2u);
    EXPECT_EQ(captures[0].name, defaultCaptureFolder() + "/0.jpg");
    EXPECT_EQ(captures[1].name, defaultCaptureFolder() + "/1.jpg");
    const int told = prompter.boxTexts().filter(QStringLiteral("图片保存在")).size();
    EXPECT_EQ(told, 1);
    form->OnStopRecord();
    form->OnStartAcquisition();
    form->OnCaptureFrame();
    EXPECT_EQ(captures.back().number, 0);
    // The folder is known now: not told again.
    EXPECT_EQ(prompter.boxTexts().filter(QStringLiteral("图片保存在")).size(), told);
}

TEST_F(FormTest, StopAtADepthResumesThereButPlaybackDoesNotMoveIt)
{
    makeForm();
    form->OnStartAcquisition();
    auto* entry = static_cast<CNumEdit*>(form->control(IDC_DEPTH_ENTRY));
    ASSERT_TRUE(entry->isEnabled());
    entry->SetValue(12.345f);
    form->OnDepthEntered();
    EXPECT_EQ(currentDepthHeading().depth, 12345);
    EXPECT_EQ(text(IDC_DEPTH), QStringLiteral("12.345米"));
    form->OnStopRecord();
    EXPECT_EQ(form->GetSurveyParams().startDepth, 12345);
    EXPECT_EQ(text(IDC_START_DEPTH), QStringLiteral("12.345"));
    form->OnStartAcquisition();
    EXPECT_EQ(form->counter().depth(), 12345);
    EXPECT_EQ(currentDepthHeading().depth, 12345);
    form->OnStopRecord();

    // A played file's depths do not become the next start depth.
    const QString file = writeFile(dir, "p.mpg", kPackStart);
    writeTrack(dir.filePath("p.ss"), 10, 4321);
    prompter.fileAnswers.push_back(file);
    form->OnOpenPlayback();
    ASSERT_EQ(form->GetUiMode(), ModePlayback);
    form->OnPositionTimer();
    EXPECT_EQ(currentDepthHeading().depth, 4321);
    form->OnStopRecord();
    // Saving the control group keeps the start depth the field shows.
    QTest::mouseClick(form->control(IDC_SAVE_CONTROL), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(prompter.boxTexts().last(), QStringLiteral("参数设置成功"));
    EXPECT_EQ(form->GetSurveyParams().startDepth, 12345);
}

TEST_F(FormTest, AKeyboardThatCannotBeStartedIsTold)
{
    makeForm();
    for (const bool starts : {true, false}) {
        keyboardStarts = starts;
        const qsizetype before = prompter.boxTexts().size();
        QTest::mouseClick(form->control(IDC_KEYBOARD), Qt::LeftButton, {}, QPoint(20, 20));
        EXPECT_EQ(prompter.boxTexts().mid(before),
                  starts ? QStringList() : QStringList{QStringLiteral("无法启动屏幕键盘")});
        EXPECT_TRUE(enabled(IDC_KEYBOARD));
    }
}

TEST_F(FormTest, PlusAndMinusMoveTheDepthOnlyWhileLiveOrRecording)
{
    profile.settings().setValue(QStringLiteral("控制参数/手动调整"), 100);
    makeForm();
    const int step = static_cast<int>(form->GetSurveyParams().manualStep) *
                     static_cast<int>(form->GetSurveyParams().counterResolution);
    EXPECT_FALSE(form->OnKeyUp(Qt::Key_Plus)); // idle
    form->OnStartAcquisition();
    const int start = form->counter().depth();
    EXPECT_TRUE(form->OnKeyUp(Qt::Key_Plus));
    EXPECT_EQ(form->counter().depth(), start + step);
    EXPECT_TRUE(form->OnKeyUp(Qt::Key_Minus));
    EXPECT_TRUE(form->OnKeyUp(Qt::Key_Minus));
    EXPECT_EQ(form->counter().depth(), start - step);
    EXPECT_FALSE(form->OnKeyUp(Qt::Key_A));
}

TEST_F(FormTest, CancelKeepsRecordingAndNoKeepsTheProgramRunning)
{
    makeForm();
    setText(IDC_FILE, dir.filePath("r.mpg"));
    form->OnStartRecord();
    ASSERT_EQ(form->GetUiMode(), ModeRecording);

    prompter.boxAnswers.push_back(IDCANCEL);
    form->OnStopRecord();
    EXPECT_EQ(form->GetUiMode(), ModeRecording);
    EXPECT_EQ(graphs.script.alive, 1);

    prompter.boxAnswers.push_back(IDNO);
    form->reject();
    EXPECT_EQ(prompter.boxes.back().text, QStringLiteral("正在录制,确信要停止录制并退出程序"));
    EXPECT_EQ(prompter.boxes.back().caption, QStringLiteral("警告"));
    EXPECT_EQ(prompter.boxes.back().style & MB_DEFMASK, unsigned(MB_DEFBUTTON2));
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->GetUiMode(), ModeRecording);

    // Yes to leaving, then Cancel to stopping: the close is abandoned whole.
    prompter.boxAnswers.push_back(IDYES);
    prompter.boxAnswers.push_back(IDCANCEL);
    form->reject();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->GetUiMode(), ModeRecording);
    EXPECT_EQ(graphs.script.alive, 1);
    EXPECT_EQ(graphs.script.current->GetGraphState(), GraphStateRunning);

    prompter.boxAnswers.push_back(IDYES);
    prompter.boxAnswers.push_back(IDOK);
    setText(IDC_COORD_X, "123.5");
    form->reject();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->GetUiMode(), ModeIdle);
    EXPECT_EQ(graphs.script.alive, 0);
    auto reread = profile.reopen();
    EXPECT_EQ(reread->value(QStringLiteral("坐标参数/X")).toString(), QStringLiteral("123.5"));
}

// A prompter whose next box first lets `during` run, as events delivered
// while a real box waits for its answer would.
struct EventsDuringBox : ScriptedPrompter {
    std::function<void()> during;
    int messageBox(QWidget* parent, const QString& text, const QString& caption,
                   unsigned style) override
    {
        if (auto d = std::exchange(during, nullptr))
            d();
        return ScriptedPrompter::messageBox(parent, text, caption, style);
    }
};

TEST_F(FormTest, ARecordingThatEndsWhileTheStopQuestionIsOpenIsStoppedOnce)
{
    makeForm();
    setText(IDC_FILE, dir.filePath("r.mpg"));
    form->OnStartRecord();
    ASSERT_EQ(form->GetUiMode(), ModeRecording);
    const QString recording = form->statusText();
    EventsDuringBox boxes;
    boxes.during = [this] {
        graphs.script.devicePresent = false;
        form->OnDevicesChanged();
    };
    boxes.boxAnswers.push_back(IDOK);
    form->OnStopRecord();
    EXPECT_EQ(boxes.boxTexts(), QStringList({QStringLiteral("正在录制,确认要停止录制")}));
    EXPECT_EQ(form->GetUiMode(), ModeIdle);
    EXPECT_EQ(form->statusText(), QStringLiteral("停止") + recording);
    EXPECT_EQ(graphs.script.alive, 0);
    EXPECT_FALSE(track.isWriting());
}

TEST_F(FormTest, ACaptureWhoseModeEndedWhileTheFolderNoteWasOpenTakesNothing)
{
    makeForm();
    form->OnStartAcquisition();
    ASSERT_EQ(form->GetUiMode(), ModeLive);
    EventsDuringBox boxes;
    boxes.during = [this] { form->OnStopRecord(); };
    form->OnCaptureFrame();
    EXPECT_EQ(boxes.boxTexts(), QStringList({QStringLiteral("图片保存在%1").arg(defaultCaptureFolder())}));
    EXPECT_EQ(form->GetUiMode(), ModeIdle);
    EXPECT_TRUE(captures.empty());
    EXPECT_FALSE(oneShotRequest.load());
}

TEST_F(FormTest, EnterNeverClosesTheForm)
{
    makeForm();
    form->accept();
    EXPECT_TRUE(form->isVisible());
    QTest::keyClick(form.get(), Qt::Key_Return);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(FormTest, DeviceGoneStopsLiveAndItsReturnEnablesTheButtons)
{
    makeForm();
    form->OnStartAcquisition();
    // A notice while the device is still there changes nothing.
    form->OnDevicesChanged();
    EXPECT_EQ(form->GetUiMode(), ModeLive);
    EXPECT_EQ(graphs.script.alive, 1);
    EXPECT_EQ(waits.back(), 300);

    graphs.script.devicePresent = false;
    form->OnDevicesChanged();
    EXPECT_EQ(form->GetUiMode(), ModeIdle);
    EXPECT_TRUE(form->deviceAbsent());
    EXPECT_EQ(graphs.script.alive, 0);
    expectEnabled({IDC_DEVICE_SETTINGS, IDC_LIVE, IDC_RECORD, IDC_PAUSE, IDC_RESUME}, false);

    graphs.script.devicePresent = true;
    graphs.script.videoSource = 2;
    graphs.script.changeMask = 0;
    const int from = graphs.script.log.size();
    form->OnDevicesChanged();
    EXPECT_FALSE(form->deviceAbsent());
    EXPECT_TRUE(logSince(from).contains("apply mask 40"));
    expectEnabled({IDC_DEVICE_SETTINGS, IDC_LIVE, IDC_RECORD}, true);
    EXPECT_FALSE(enabled(IDC_STOP)); // idle still
    EXPECT_EQ(form->GetUiMode(), ModeIdle);
}

TEST_F(FormTest, DeviceGoneDuringPlaybackKeepsPauseAndItsReturnKeepsATypedFile)
{
    makeForm();
    const QString file = writeFile(dir, "film.mpg", kPackStart);
    prompter.fileAnswers.push_back(file);
    form->OnOpenPlayback();
    ASSERT_EQ(form->GetUiMode(), ModePlayback);

    // The file plays on without the device, and can still be paused.
    graphs.script.devicePresent = false;
    form->OnDevicesChanged();
    EXPECT_EQ(form->GetUiMode(), ModePlayback);
    EXPECT_TRUE(form->deviceAbsent());
    EXPECT_TRUE(enabled(IDC_PAUSE));
    form->OnPause();
    ASSERT_EQ(form->GetUiMode(), ModePaused);
    EXPECT_TRUE(enabled(IDC_RESUME));

    // Back while paused: the paused table stays, the device buttons wait for idle.
    graphs.script.devicePresent = true;
    form->OnDevicesChanged();
    EXPECT_FALSE(form->deviceAbsent());
    EXPECT_TRUE(enabled(IDC_RESUME));
    EXPECT_FALSE(enabled(IDC_PAUSE));
    EXPECT_FALSE(enabled(IDC_LIVE));
    form->OnStopRecord();
    EXPECT_TRUE(enabled(IDC_LIVE));

    // Idle: a file name typed while the device was away survives its return.
    graphs.script.devicePresent = false;
    form->OnDevicesChanged();
    setText(IDC_FILE, dir.filePath("next.mpg"));
    graphs.script.devicePresent = true;
    form->OnDevicesChanged();
    EXPECT_EQ(text(IDC_FILE), dir.filePath("next.mpg"));
    expectEnabled({IDC_DEVICE_SETTINGS, IDC_LIVE, IDC_RECORD}, true);
    expectEnabled({IDC_STOP, IDC_CAPTURE, IDC_PAUSE, IDC_RESUME}, false);
}

TEST_F(FormTest, AnUntouchedDepthEntryFollowsTheCounterSoLeavingItKeepsTheDepth)
{
    makeForm();
    form->OnStartAcquisition();
    ASSERT_EQ(form->GetUiMode(), ModeLive);
    auto* entry = static_cast<CNumEdit*>(form->control(IDC_DEPTH_ENTRY));
    QApplication::setActiveWindow(form.get());
    entry->setFocus();
    if (!entry->hasFocus())
        GTEST_SKIP() << "no keyboard focus on this platform";
    const int start = form->counter().depth();
    CounterFrame down;
    down.direction = 0xFE;
    for (int i = 0; i < 7; ++i)
        form->onCounterFrame(down);
    const int reached = form->counter().depth();
    ASSERT_GT(reached, start);
    EXPECT_FLOAT_EQ(entry->GetValue(), static_cast<float>(reached * 0.001));
    // Leaving the entry without typing commits the depth reached, not the
    // one shown when the entry took the focus.
    form->control(IDC_HEADING)->setFocus();
    EXPECT_EQ(form->counter().depth(), reached);
    EXPECT_EQ(currentDepthHeading().depth, reached);
}

TEST_F(FormTest, ABareTypedNameRecordsEverythingIntoOneFolder)
{
    makeForm();
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const QString here = QDir::currentPath();
    setText(IDC_FILE, "bare");
    form->OnStartRecord();
    QDir::setCurrent(before);
    ASSERT_EQ(form->GetUiMode(), ModeRecording);
    EXPECT_EQ(text(IDC_FILE), here + "/bare.mpg");
    EXPECT_EQ(graphs.script.lastRequest.mediaPath, here + "/bare.mpg");
    EXPECT_EQ(form->captureFolder(), here);
    EXPECT_EQ(form->GetAnalysisFilePath(), here + "/bare/bare.sfa");
    EXPECT_TRUE(QFileInfo(here + "/bare").isDir());
    // Captures go beside the recording, without asking where.
    const int boxes = prompter.boxes.size();
    form->OnCaptureFrame();
    ASSERT_EQ(captures.size(), 1u);
    EXPECT_EQ(captures[0].folder, here);
    EXPECT_EQ(prompter.boxes.size(), boxes);
    prompter.boxAnswers.push_back(IDOK);
    form->OnStopRecord();
    EXPECT_EQ(form->GetUiMode(), ModeIdle);
}

TEST_F(FormTest, PlaybackPauseResumeSeekAndEnd)
{
    makeForm();
    const QString file = writeFile(dir, "film.mpg", kPackStart);
    graphs.script.duration = 3723LL * 10000000; // 1 h 2 min 3 s
    writeTrack(dir.filePath("film.ss"), 100, 0);
    prompter.fileAnswers.push_back(file);
    form->OnOpenPlayback();
    EXPECT_EQ(prompter.dialogTitles.back(), QStringLiteral("打开"));
    ASSERT_EQ(form->GetUiMode(), ModePlayback);
    EXPECT_EQ(form->statusText(), QStringLiteral("回放"));
    EXPECT_TRUE(graphs.script.log.contains("build 2 " + file));
    EXPECT_TRUE(track.isReading());
    EXPECT_TRUE(form->control(IDC_POSITION)->isEnabled());
    EXPECT_EQ(form->control(IDC_DURATION)->property("text").toString(), QString());
    EXPECT_EQ(static_cast<CTransparentLabel*>(form->control(IDC_DURATION))->text(),
              QStringLiteral("01:02:03"));
    EXPECT_EQ(text(IDC_FILE), file);

    // With a file in the field the open button does nothing.
    const int dialogs = prompter.dialogTitles.size();
    form->OnOpenPlayback();
    EXPECT_EQ(prompter.dialogTitles.size(), dialogs);

    static_cast<QSlider*>(form->control(IDC_POSITION))->setValue(50);
    EXPECT_FLOAT_EQ(graphs.script.lastSeek, 0.5f);

    graphs.script.position = 0.425f;
    form->OnPositionTimer();
    EXPECT_EQ(static_cast<QSlider*>(form->control(IDC_POSITION))->value(), 42);
    EXPECT_EQ(text(IDC_DEPTH), QStringLiteral("0.420米")); // record 42 of 100
    EXPECT_EQ(text(IDC_HEADING), QStringLiteral("42度"));

    form->OnPause();
    EXPECT_EQ(graphs.script.current->GetGraphState(), GraphStatePaused);
    EXPECT_EQ(form->GetUiMode(), ModePaused);
    form->OnResume();
    EXPECT_EQ(graphs.script.current->GetGraphState(), GraphStateRunning);
    EXPECT_EQ(form->GetUiMode(), ModePlayback);

    graphs.script.position = 0.995f; // 99 %: still playing
    form->OnPositionTimer();
    EXPECT_EQ(form->GetUiMode(), ModePlayback);
    EXPECT_EQ(static_cast<QSlider*>(form->control(IDC_POSITION))->value(), 99);
    graphs.script.position = 1.0f; // past 99 %: the end
    form->OnPositionTimer();
    EXPECT_EQ(form->GetUiMode(), ModeIdle);
    EXPECT_EQ(graphs.script.alive, 0);
    EXPECT_FALSE(track.isReading());
    EXPECT_FALSE(form->control(IDC_POSITION)->isEnabled());
    EXPECT_EQ(static_cast<QSlider*>(form->control(IDC_POSITION))->value(), 1);
}

TEST_F(FormTest, PlaybackRefusals)
{
    makeForm();
    // No extension.
    const QString bare = writeFile(dir, "noext", kPackStart);
    prompter.fileAnswers.push_back(bare);
    form->OnOpenPlayback();
    EXPECT_EQ(form->statusText(), QStringLiteral("请包含文件扩展名"));
    EXPECT_EQ(form->GetUiMode(), ModeIdle);
    // Not a program stream: no graph for the elementary pair.
    const QString es = writeFile(dir, "video.mpv", QByteArray("\x00\x00\x01\xB3", 4));
    prompter.fileAnswers.push_back(es);
    form->OnOpenPlayback();
    EXPECT_EQ(form->statusText(), QStringLiteral("回放失败"));
    EXPECT_EQ(form->GetUiMode(), ModeIdle);
    EXPECT_EQ(graphs.script.alive, 0);
    // Missing file.
    prompter.fileAnswers.push_back(dir.filePath("gone.mpg"));
    form->OnOpenPlayback();
    EXPECT_EQ(prompter.boxes.back().text,
              QStringLiteral("无法打开该文件: %1").arg(dir.filePath("gone.mpg")));
    // The graph refuses the file.
    const QString bad = writeFile(dir, "bad.mpg", kPackStart.left(4));
    graphs.script.failingKinds = {2};
    prompter.fileAnswers.push_back(bad);
    form->OnOpenPlayback();
    EXPECT_EQ(form->statusText(), QStringLiteral("回放失败"));
    EXPECT_EQ(graphs.script.alive, 0);
}

TEST_F(FormTest, EndOfStreamAndStreamErrorsStopAfterTheReport)
{
    makeForm();
    form->OnStartAcquisition();
    ASSERT_NE(graphs.script.current, nullptr);
    graphs.script.current->fire(GraphEvent::Error, "gone");
    EXPECT_EQ(form->GetUiMode(), ModeLive); // not inside the report
    QCoreApplication::processEvents();
    EXPECT_EQ(form->GetUiMode(), ModeIdle);
    EXPECT_EQ(graphs.script.alive, 0);
}

TEST_F(FormTest, StitchWindowOpensOnceAndFailureIsTold)
{
    makeForm();
    form->OnStitchWindow();
    ASSERT_NE(form->stitchWindow(), nullptr);
    QWidget* first = form->stitchWindow();
    form->OnStitchWindow();
    EXPECT_EQ(form->stitchWindow(), first);
    delete first; // the window went away
    EXPECT_EQ(form->stitchWindow(), nullptr);
    stitchWorks = false;
    form->OnStitchWindow();
    EXPECT_EQ(prompter.boxes.back().text, QStringLiteral("创建拼接窗口失败"));
    EXPECT_EQ(prompter.boxes.back().caption, QStringLiteral("出错"));
}

TEST_F(FormTest, ViewModeChangesTheLensTypeAtOnceAndIsSavedOnClose)
{
    profile.settings().setValue(QStringLiteral("镜头控制/镜头类型"), 1);
    makeForm();
    auto* viewMode = static_cast<QComboBox*>(form->control(IDC_VIEW_MODE));
    EXPECT_EQ(viewMode->currentIndex(), 1);
    EXPECT_EQ(currentLensType.load(), 1);
    viewMode->setCurrentIndex(0);
    EXPECT_EQ(form->GetSurveyParams().lensType, 0u);
    EXPECT_EQ(currentLensType.load(), 0);
    form->reject();
    EXPECT_EQ(profile.reopen()->value(QStringLiteral("镜头控制/镜头类型")).toInt(), 0);
}

TEST_F(FormTest, VideoSettingsPublishTheSizeCodeOnlyOnOk)
{
    makeForm();
    FrameFormat::setVideoSizeCode(1);
    graphs.script.settingsDialogMuxFormat = 2;
    graphs.script.settingsDialogAnswers = {false, true};
    form->OnVideoSettings();
    EXPECT_EQ(FrameFormat::videoSizeCode(), 1);
    form->OnVideoSettings();
    EXPECT_EQ(FrameFormat::videoSizeCode(), 2);
    FrameFormat::reset();
}

TEST_F(FormTest, ControlParametersAreReachableFromTheContextMenu)
{
    makeForm();
    QStringList entries;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction* a : menu->actions())
            entries << a->text();
        for (QAction* a : menu->actions())
            if (a->text() == QStringLiteral("控制参数"))
                menu->setActiveAction(a);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(5, 5), form->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(form.get(), &e);
    EXPECT_EQ(entries, QStringList({QStringLiteral("控制参数")}));
    EXPECT_EQ(controlParamsShown, 1);
}

} // namespace
} // namespace bc
