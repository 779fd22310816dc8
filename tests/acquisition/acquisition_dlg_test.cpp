// The acquisition form on scripted capture graphs: start-up, the mode table,
// live, recording, playback, the device coming and going, and (on a pseudo
// terminal) the serial line's frames and motor keys.

#include "acquisition/acquisition_dlg.h"

#include "acquisition/control_param_dlg.h"
#include "acquisition/device_control.h"
#include "acquisition/port_probe.h"
#include "acquisition/serial_line.h"
#include "acquisition/track_file.h"
#include "acquisition/usb_filter.h"
#include "acquisition/video_wnd.h"
#include "core/program_values.h"
#include "support/scripted_capture_graph.h"
#include "support/scripted_prompter.h"
#include "support/serial_pty.h"
#include "support/serial_slots.h"
#include "support/temp_settings.h"
#include "ui/bmp_button.h"
#include "ui/num_edit.h"
#include "ui/transparent_controls.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <utility>

namespace bc {
namespace {

using test::ScriptedPrompter;

const QString kNoSerial = QStringLiteral("深度控制口和电子罗盘口不存在或被其它程序占用");
const QString kNoDevice = QStringLiteral("USB设备没找到,请检查USB连接线和电源\n重试");
const QString kStopQuestion = QStringLiteral("正在录制,确认要停止录制");

// A program stream's first bytes: a pack start code.
const QByteArray kPackStart("\x00\x00\x01\xBA\x00\x00", 6);

struct Captured {
    QString name, folder;
    int number;
};

class FormTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        test::mapSerialSlotsNowhere(profile);
        publishDepthHeading(0, 0);
        clearDepthTrigger();
        oneShotRequest.store(false);
        depthCounterFound().store(false);
    }

    void makeForm()
    {
        AcquisitionHooks hooks;
        hooks.setCaptureTarget = [this](const QString& n, const QString& f, int num) {
            captures.push_back({n, f, num});
        };
        hooks.track = &track;
        hooks.createStitchWindow = [](QWidget*) -> QWidget* { return nullptr; };
        hooks.launchKeyboard = [] { return false; };
        form = std::make_unique<CAcquisitionDlg>(graphs, profile.settings(), hooks);
        form->setWaitFunction([](int) {});
        form->show();
        form->OnInitDialog();
    }

    int mode() const { return form->GetUiMode(); }
    bool enabled(int id) const { return form->control(id)->isEnabled(); }
    void expectEnabled(const std::vector<int>& ids, bool on) const
    {
        for (int id : ids)
            EXPECT_EQ(enabled(id), on) << id;
    }
    QString text(int id) const { return static_cast<QLineEdit*>(form->control(id))->text(); }
    void setText(int id, const QString& t)
    {
        static_cast<QLineEdit*>(form->control(id))->setText(t);
    }
    QStringList logSince(int from) const { return graphs.script.log.mid(from); }
    int slider() const { return static_cast<QSlider*>(form->control(IDC_POSITION))->value(); }

    // A small file of `bytes` named `name` in the test folder; its path.
    QString writeFile(const char* name, const QByteArray& bytes)
    {
        QFile f(dir.filePath(QString::fromUtf8(name)));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }
    // Plays `path` as chosen in the open dialog.
    void play(const QString& path)
    {
        prompter.fileAnswers.push_back(path);
        form->OnOpenPlayback();
    }
    // A track of `count` records: depth = index x 10 + base, heading = index.
    void writeTrack(const char* name, int count, int base)
    {
        QByteArray bytes;
        for (int i = 0; i < count; ++i) {
            uint8_t rec[kTrackRecordBytes];
            encodeTrackRecord(TrackRecord{base + i * 10, static_cast<int16_t>(i)}, rec);
            bytes.append(reinterpret_cast<const char*>(rec), kTrackRecordBytes);
        }
        writeFile(name, bytes);
    }

    QTemporaryDir dir;
    test::TempSettings profile;
    ScriptedPrompter prompter;
    test::ScriptedGraphFactory graphs;
    std::vector<Captured> captures;
    CTrackFile track;
    std::unique_ptr<CAcquisitionDlg> form; // last: its hooks use the members above
};

TEST_F(FormTest, StartUpProbesTheDeviceKeepsNoGraphAndTellsWhatIsMissing)
{
    // device present, its check passes
    const std::pair<bool, bool> rows[] = {{true, true}, {true, false}, {false, false}};
    for (const auto& [present, checkOk] : rows) {
        SCOPED_TRACE(testing::Message() << present << checkOk);
        graphs.script.devicePresent = present;
        graphs.script.deviceCheckOk = checkOk;
        graphs.script.log.clear();
        makeForm();
        const QStringList boxes{QStringLiteral("打开串口失败!")};
        EXPECT_EQ(prompter.boxTexts(), checkOk ? boxes : boxes + QStringList{kNoDevice});
        EXPECT_EQ(form->deviceAbsent(), !checkOk);
        expectEnabled({IDC_DEVICE_SETTINGS, IDC_LIVE, IDC_RECORD}, checkOk);
        EXPECT_EQ(graphs.script.alive, 0);
        if (checkOk) {
            EXPECT_EQ(graphs.script.log,
                      QStringList({"build 8", "param 22", "param 6", "apply mask e7", "param 21",
                                   "param 23", "delete"}));
            EXPECT_EQ(graphs.script.changeMask, 0u); // cleared after applying
        }
        form.reset();
        prompter.boxes.clear();
    }
}

TEST_F(FormTest, ModeTableForEveryMode)
{
    makeForm();
    setText(IDC_FILE, "/x.mpg");
    const std::tuple<int, std::vector<int>, std::vector<int>> rows[] = {
        {ModeIdle,
         {IDC_VIEW_MODE, IDC_PLAY, IDC_LIVE, IDC_RECORD, IDC_DEVICE_SETTINGS},
         {IDC_STOP, IDC_CAPTURE, IDC_RESUME, IDC_PAUSE, IDC_DEPTH_ENTRY}},
        {ModeLive,
         {IDC_STOP, IDC_CAPTURE, IDC_DEPTH_ENTRY},
         {IDC_VIEW_MODE, IDC_LIVE, IDC_RECORD, IDC_PLAY, IDC_DEVICE_SETTINGS}},
        {ModePlayback,
         {IDC_STOP, IDC_CAPTURE, IDC_PLAY, IDC_PAUSE},
         {IDC_VIEW_MODE, IDC_LIVE, IDC_RECORD, IDC_DEVICE_SETTINGS, IDC_RESUME, IDC_DEPTH_ENTRY}},
        {ModePaused,
         {IDC_RESUME, IDC_STOP, IDC_PLAY},
         {IDC_CAPTURE, IDC_PAUSE, IDC_VIEW_MODE, IDC_LIVE}},
    };
    for (const auto& [mode, on, off] : rows) {
        SCOPED_TRACE(mode);
        form->SetUiState(mode);
        expectEnabled(on, true);
        expectEnabled(off, false);
    }
    EXPECT_TRUE(text(IDC_FILE).isEmpty()); // idle cleared it
    // Idle with the device absent keeps the device buttons off.
    graphs.script.devicePresent = false;
    form->OnDevicesChanged();
    form->SetUiState(ModeIdle);
    expectEnabled({IDC_LIVE, IDC_RECORD, IDC_DEVICE_SETTINGS}, false);
}

TEST_F(FormTest, LiveStartsAndStopsOnStopOrAfterAStreamErrorsReport)
{
    makeForm();
    const int from = graphs.script.log.size();
    graphs.script.registerValue = 0x21; // bits 0 and 5: NTSC
    form->OnStartAcquisition();
    EXPECT_EQ(mode(), ModeLive);
    EXPECT_EQ(form->statusText(), QStringLiteral("预览--") + kNoSerial);
    EXPECT_EQ(graphs.script.videoFormat, 0);
    const QStringList log = logSince(from);
    EXPECT_EQ(log.indexOf("play"), log.indexOf("param 28 1") + 1); // streaming, then play
    EXPECT_EQ(static_cast<CBmpButton*>(form->control(IDC_LIVE))->frameState(),
              CBmpButton::FrameSunken);

    form->OnStopRecord();
    EXPECT_EQ(mode(), ModeIdle);
    EXPECT_EQ(graphs.script.alive, 0);
    EXPECT_FALSE(logSince(from).contains("param 28 0")); // only a recording sends it
    EXPECT_TRUE(prompter.boxTexts().filter(QStringLiteral("正在录制")).isEmpty());

    graphs.script.registerValue = 0x01; // not both standard bits: PAL
    form->OnStartAcquisition();
    EXPECT_EQ(graphs.script.videoFormat, 1);
    graphs.script.current->fire(GraphEvent::Error, "gone");
    EXPECT_EQ(mode(), ModeLive); // not inside the report
    QCoreApplication::processEvents();
    EXPECT_EQ(mode(), ModeIdle);
}

TEST_F(FormTest, LiveFailsWhenTheDeviceIsGoneOrTheBuildOrPlayFails)
{
    makeForm();
    const QString failed = QStringLiteral("视频采集设备工作不正常,请关闭该应用程序重试");
    // build fails, device present, play fails
    const std::tuple<bool, bool, bool> rows[] = {
        {true, true, false}, {false, false, false}, {false, true, true}};
    for (const auto& [buildFails, present, playFails] : rows) {
        graphs.script.failingKinds = buildFails ? std::set<int>{0} : std::set<int>{};
        graphs.script.devicePresent = present;
        graphs.script.playFails = playFails;
        form->setStatus(QString());
        form->OnStartAcquisition();
        EXPECT_EQ(mode(), ModeIdle);
        EXPECT_EQ(form->statusText(), failed);
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
    expectEnabled({IDC_LIVE, IDC_RECORD, IDC_DEVICE_SETTINGS}, true);
    graphs.script.failingKinds.clear();
    form->OnStartAcquisition();
    EXPECT_EQ(mode(), ModeLive);
}

// A bare name typed into the field once recorded into the working folder of
// each moment: the recording, its track, its analysis folder and its captures
// all land in one folder.
TEST_F(FormTest, ABareTypedNameRecordsEverythingIntoOneFolder)
{
    makeForm();
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const QString here = QDir::currentPath();
    setText(IDC_FILE, "b");
    form->OnStartRecord();
    QDir::setCurrent(before);
    ASSERT_EQ(mode(), ModeRecording);
    EXPECT_EQ(text(IDC_FILE), here + "/b.mpg");
    EXPECT_TRUE(graphs.script.log.contains("build 1 record " + here + "/b.mpg"));
    EXPECT_TRUE(QFileInfo(here + "/b").isDir());
    EXPECT_EQ(form->GetAnalysisFilePath(), here + "/b/b.sfa");
    EXPECT_TRUE(QFileInfo::exists(here + "/b.ss")); // the track

    // Frames captured while recording are named by depth, beside the
    // recording, without asking where.
    const size_t boxes = prompter.boxes.size();
    publishDepthHeading(1234, 0);
    form->OnCaptureFrame();
    ASSERT_EQ(captures.size(), 1u);
    EXPECT_EQ(captures[0].name, here + "/1234.jpg");
    EXPECT_EQ(prompter.boxes.size(), boxes);
    EXPECT_TRUE(oneShotRequest.load());

    // Stop asks first; OK stops and the device stops streaming.
    prompter.boxAnswers.push_back(IDOK);
    const int from = graphs.script.log.size();
    form->OnStopRecord();
    EXPECT_EQ(prompter.boxes.back().text, kStopQuestion);
    EXPECT_EQ(mode(), ModeIdle);
    EXPECT_EQ(logSince(from), QStringList({"param 28 0", "stop", "delete"}));
    EXPECT_FALSE(track.isWriting());
}

TEST_F(FormTest, RecordRefusalsAndTheOverwriteQuestion)
{
    makeForm();
    const QString overwrite = QStringLiteral("该文件已存在，是否覆盖");
    form->OnStartRecord(); // no name and the save dialog is cancelled
    EXPECT_EQ(form->statusText(), QStringLiteral("文件名为空,录制失败"));
    EXPECT_EQ(graphs.script.log.size(), 7); // nothing after the start-up probe

    // A name typed without its extension is asked about the file it would
    // write; "no" and a cancelled dialog keep the earlier recording whole.
    const QString earlier = writeFile("run.mpg", "kept");
    setText(IDC_FILE, dir.filePath("run"));
    prompter.boxAnswers.push_back(IDNO);
    form->OnStartRecord();
    EXPECT_EQ(prompter.boxes.back().text, overwrite);
    EXPECT_EQ(mode(), ModeIdle);
    QFile f(earlier);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("kept"));

    // A folder that cannot be made is told.
    const QString blocker = writeFile("file", {});
    setText(IDC_FILE, blocker + "/sub/x.mpg");
    form->OnStartRecord();
    EXPECT_EQ(prompter.boxes.back().text,
              QStringLiteral("创建目录%1失败\n请换个目录重试").arg(blocker + "/sub/x"));
    EXPECT_EQ(mode(), ModeIdle);

    // "No" to overwriting, then another name from the dialog.
    setText(IDC_FILE, earlier);
    prompter.boxAnswers.push_back(IDNO);
    prompter.fileAnswers.push_back(dir.filePath("new.mpg"));
    form->OnStartRecord();
    EXPECT_EQ(mode(), ModeRecording);
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
    prompter.boxAnswers.push_back(IDOK);
    form->OnStopRecord();

    // A recording named like its own track records without one.
    setText(IDC_FILE, dir.filePath("r.ss"));
    form->OnStartRecord();
    ASSERT_EQ(mode(), ModeRecording);
    EXPECT_FALSE(track.isWriting());
    // The recording's own file, made for it; no track writes into it.
    EXPECT_EQ(QFileInfo(dir.filePath("r.ss")).size(), 0);
}

TEST_F(FormTest, CapturesOutsideRecordingCountFromZeroAtEveryStart)
{
    makeForm();
    form->OnCaptureFrame(); // idle: nothing
    form->OnStartAcquisition();
    form->OnCaptureFrame();
    form->OnCaptureFrame();
    form->OnStopRecord();
    form->OnStartAcquisition();
    form->OnCaptureFrame();
    const QString folder = defaultCaptureFolder();
    ASSERT_EQ(captures.size(), 3u);
    EXPECT_EQ(captures[0].name, folder + "/0.jpg");
    EXPECT_EQ(captures[1].name, folder + "/1.jpg");
    EXPECT_EQ(captures[2].number, 0);
    // The folder is told once, when first used.
    EXPECT_EQ(prompter.boxTexts().filter(QStringLiteral("图片保存在")),
              QStringList({QStringLiteral("图片保存在%1").arg(folder)}));
}

TEST_F(FormTest, StopAtADepthResumesThereButPlaybackDoesNotMoveIt)
{
    makeForm();
    form->OnStartAcquisition();
    auto* entry = static_cast<CNumEdit*>(form->control(IDC_DEPTH_ENTRY));
    ASSERT_TRUE(entry->isEnabled());
    entry->SetValue(12.345f);
    form->OnDepthEntered();
    EXPECT_EQ(text(IDC_DEPTH), QStringLiteral("12.345米"));
    form->OnStopRecord();
    EXPECT_EQ(text(IDC_START_DEPTH), QStringLiteral("12.345"));
    form->OnStartAcquisition();
    EXPECT_EQ(form->counter().depth(), 12345);
    form->OnStopRecord();

    // A played file's depths do not become the next start depth.
    writeTrack("p.ss", 10, 4321);
    play(writeFile("p.mpg", kPackStart));
    ASSERT_EQ(mode(), ModePlayback);
    form->OnPositionTimer();
    EXPECT_EQ(currentDepthHeading().depth, 4321);
    form->OnStopRecord();
    // Saving the control group keeps the start depth the field shows.
    QTest::mouseClick(form->control(IDC_SAVE_CONTROL), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(prompter.boxTexts().last(), QStringLiteral("参数设置成功"));
    EXPECT_EQ(form->GetSurveyParams().startDepth, 12345);
}

TEST_F(FormTest, PlusAndMinusMoveTheDepthOnlyWhileLiveOrRecording)
{
    profile.settings().setValue(QStringLiteral("控制参数/手动调整"), 100);
    makeForm();
    EXPECT_FALSE(form->OnKeyUp(Qt::Key_Plus)); // idle
    form->OnStartAcquisition();
    EXPECT_TRUE(form->OnKeyUp(Qt::Key_Minus));
    EXPECT_EQ(form->counter().depth(), -100); // 100 pulses of 1 mm
    EXPECT_FALSE(form->OnKeyUp(Qt::Key_A));
}

TEST_F(FormTest, EnterNeverClosesAndARecordingIsLeftOnlyOnYesAndOk)
{
    makeForm();
    QTest::keyClick(form.get(), Qt::Key_Return);
    EXPECT_TRUE(form->isVisible());
    setText(IDC_FILE, dir.filePath("r.mpg"));
    form->OnStartRecord();
    ASSERT_EQ(mode(), ModeRecording);
    prompter.boxAnswers.push_back(IDCANCEL);
    form->OnStopRecord();
    EXPECT_EQ(mode(), ModeRecording);

    prompter.boxAnswers.push_back(IDNO);
    form->reject();
    EXPECT_EQ(prompter.boxes.back().text, QStringLiteral("正在录制,确信要停止录制并退出程序"));
    EXPECT_EQ(prompter.boxes.back().style & MB_DEFMASK, unsigned(MB_DEFBUTTON2));
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(mode(), ModeRecording);

    // Yes to leaving, then Cancel to stopping: the close is abandoned whole.
    prompter.boxAnswers.insert(prompter.boxAnswers.end(), {IDYES, IDCANCEL});
    form->reject();
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(mode(), ModeRecording);
    EXPECT_EQ(graphs.script.current->GetGraphState(), GraphStateRunning);

    // The view mode is the image core's lens type at once; both it and the
    // coordinates are kept on the way out.
    static_cast<QComboBox*>(form->control(IDC_VIEW_MODE))->setCurrentIndex(1);
    EXPECT_EQ(currentLensType.exchange(0), 1);
    setText(IDC_COORD_X, "123.5");
    prompter.boxAnswers.insert(prompter.boxAnswers.end(), {IDYES, IDOK});
    form->reject();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(mode(), ModeIdle);
    EXPECT_EQ(graphs.script.alive, 0);
    auto saved = profile.reopen();
    EXPECT_EQ(saved->value(QStringLiteral("坐标参数/X")).toString(), QStringLiteral("123.5"));
    EXPECT_EQ(saved->value(QStringLiteral("镜头控制/镜头类型")).toInt(), 1);
}

// A prompter whose next box first lets `during` run, as events delivered
// while a real box waits for its answer would.
struct EventsDuringBox : ScriptedPrompter {
    std::function<void()> during;
    QStringList withdrawn;
    void withdrawBox(QWidget*, const QString& text) override { withdrawn << text; }
    int messageBox(QWidget* parent, const QString& text, const QString& caption,
                   unsigned style) override
    {
        const qsizetype before = withdrawn.size();
        if (auto d = std::exchange(during, nullptr))
            d();
        const int answer = ScriptedPrompter::messageBox(parent, text, caption, style);
        // A box withdrawn while open answers with its way out, as the
        // program's own boxes do.
        return withdrawn.mid(before).contains(text) ? IDCANCEL : answer;
    }
};

TEST_F(FormTest, AModeThatEndsWhileABoxIsOpenIsNotActedOnAfterIt)
{
    makeForm();
    form->OnStartAcquisition();
    // The capture folder's note: the live view stops meanwhile, nothing is taken.
    EventsDuringBox boxes;
    boxes.during = [this] { form->OnStopRecord(); };
    form->OnCaptureFrame();
    EXPECT_EQ(boxes.boxTexts(),
              QStringList({QStringLiteral("图片保存在%1").arg(defaultCaptureFolder())}));
    EXPECT_TRUE(captures.empty());
    EXPECT_FALSE(oneShotRequest.load());

    // The stop question: the device goes meanwhile, the recording is stopped
    // once and the question withdrawn.
    setText(IDC_FILE, dir.filePath("r.mpg"));
    form->OnStartRecord();
    ASSERT_EQ(mode(), ModeRecording);
    const QString recording = form->statusText();
    boxes.during = [this] {
        graphs.script.devicePresent = false;
        form->OnDevicesChanged();
    };
    boxes.boxAnswers.push_back(IDOK);
    form->OnStopRecord();
    EXPECT_EQ(boxes.boxTexts().last(), kStopQuestion);
    EXPECT_EQ(mode(), ModeIdle);
    EXPECT_EQ(form->statusText(), QStringLiteral("停止") + recording);
    EXPECT_EQ(graphs.script.alive, 0);
    EXPECT_FALSE(track.isWriting());
    EXPECT_EQ(boxes.withdrawn, QStringList{kStopQuestion});
}

// Leaving the program while recording, the device goes while the stop
// question is open: the question is withdrawn, yet the recording has stopped,
// so the program closes and keeps its settings.
TEST_F(FormTest, AStopQuestionWithdrawnByTheRecordingsEndLetsTheProgramClose)
{
    makeForm();
    setText(IDC_FILE, dir.filePath("r.mpg"));
    form->OnStartRecord();
    ASSERT_EQ(mode(), ModeRecording);
    EventsDuringBox boxes;
    // The first box is "leave?"; the device goes under the second, the stop question.
    boxes.during = [&] {
        boxes.during = [this] {
            graphs.script.devicePresent = false;
            form->OnDevicesChanged();
        };
    };
    boxes.boxAnswers.insert(boxes.boxAnswers.end(), {IDYES, IDOK});
    form->reject();
    EXPECT_EQ(boxes.withdrawn, QStringList{kStopQuestion});
    EXPECT_EQ(mode(), ModeIdle);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(FormTest, DeviceGoneStopsLiveAndItsReturnEnablesTheButtons)
{
    makeForm();
    form->OnStartAcquisition();
    form->OnDevicesChanged(); // the device is still there: nothing changes
    EXPECT_EQ(mode(), ModeLive);

    graphs.script.devicePresent = false;
    form->OnDevicesChanged();
    EXPECT_EQ(mode(), ModeIdle);
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
    EXPECT_FALSE(enabled(IDC_STOP));
}

// A file being played goes on without the device; the device's return while
// paused leaves the paused buttons, and in idle keeps a typed file name.
TEST_F(FormTest, DeviceGoneDuringPlaybackKeepsPauseAndItsReturnKeepsATypedFile)
{
    makeForm();
    play(writeFile("film.mpg", kPackStart));
    ASSERT_EQ(mode(), ModePlayback);
    graphs.script.devicePresent = false;
    form->OnDevicesChanged();
    EXPECT_EQ(mode(), ModePlayback);
    EXPECT_TRUE(enabled(IDC_PAUSE));
    form->OnPause();
    ASSERT_EQ(mode(), ModePaused);

    graphs.script.devicePresent = true;
    form->OnDevicesChanged();
    EXPECT_FALSE(form->deviceAbsent());
    expectEnabled({IDC_RESUME}, true);
    expectEnabled({IDC_PAUSE, IDC_LIVE}, false);
    form->OnStopRecord();
    EXPECT_TRUE(enabled(IDC_LIVE));

    graphs.script.devicePresent = false;
    form->OnDevicesChanged();
    setText(IDC_FILE, dir.filePath("next.mpg"));
    graphs.script.devicePresent = true;
    form->OnDevicesChanged();
    EXPECT_EQ(text(IDC_FILE), dir.filePath("next.mpg"));
    expectEnabled({IDC_DEVICE_SETTINGS, IDC_LIVE, IDC_RECORD}, true);
    expectEnabled({IDC_STOP, IDC_CAPTURE, IDC_PAUSE, IDC_RESUME}, false);
}

// An entry holding the focus is left alone by the counter; leaving it
// untouched keeps the depth reached and shows it; a typed depth is entered.
TEST_F(FormTest, TheDepthEntryIsLeftAloneWhileItHasTheFocus)
{
    makeForm();
    form->OnStartAcquisition();
    auto* entry = static_cast<CNumEdit*>(form->control(IDC_DEPTH_ENTRY));
    QApplication::setActiveWindow(form.get());
    entry->setFocus();
    if (!entry->hasFocus())
        GTEST_SKIP() << "no keyboard focus on this platform";
    CounterFrame down;
    down.direction = 0xFE;
    for (int i = 0; i < 7; ++i)
        form->onCounterFrame(down);
    EXPECT_EQ(entry->text(), QStringLiteral("0.000"));
    form->control(IDC_HEADING)->setFocus();
    EXPECT_EQ(currentDepthHeading().depth, 7);
    EXPECT_EQ(entry->text(), QStringLiteral("0.007"));

    entry->setFocus();
    entry->clear();
    QTest::keyClicks(entry, QStringLiteral("12.3"));
    form->onCounterFrame(down);
    EXPECT_EQ(entry->text(), QStringLiteral("12.3"));
    EXPECT_EQ(text(IDC_DEPTH), QStringLiteral("0.008米"));
    // Leaving the entry commits the typed depth; the count goes on from it.
    form->control(IDC_HEADING)->setFocus();
    form->onCounterFrame(down);
    EXPECT_EQ(text(IDC_DEPTH), QStringLiteral("12.301米"));
}

TEST_F(FormTest, PlaybackPauseResumeSeekAndEnd)
{
    makeForm();
    graphs.script.duration = 3723LL * 10000000; // 1 h 2 min 3 s
    writeTrack("film.ss", 100, 0);
    const QString file = writeFile("film.mpg", kPackStart);
    play(file);
    ASSERT_EQ(mode(), ModePlayback);
    EXPECT_TRUE(graphs.script.log.contains("build 2 " + file));
    EXPECT_TRUE(enabled(IDC_POSITION));
    EXPECT_EQ(static_cast<CTransparentLabel*>(form->control(IDC_DURATION))->text(),
              QStringLiteral("01:02:03"));
    play(file); // with a file in the field the open button does nothing
    EXPECT_EQ(prompter.dialogTitles.size(), 1);

    static_cast<QSlider*>(form->control(IDC_POSITION))->setValue(50);
    EXPECT_FLOAT_EQ(graphs.script.lastSeek, 0.5f);
    graphs.script.position = 0.425f;
    form->OnPositionTimer();
    EXPECT_EQ(slider(), 42);
    EXPECT_EQ(text(IDC_DEPTH), QStringLiteral("0.420米")); // record 42 of 100
    EXPECT_EQ(text(IDC_HEADING), QStringLiteral("42度"));

    form->OnPause();
    EXPECT_EQ(graphs.script.current->GetGraphState(), GraphStatePaused);
    form->OnResume();
    EXPECT_EQ(graphs.script.current->GetGraphState(), GraphStateRunning);

    graphs.script.position = 0.995f; // 99 %: still playing
    form->OnPositionTimer();
    EXPECT_EQ(slider(), 99);
    graphs.script.position = 1.0f; // past 99 %: the end
    form->OnPositionTimer();
    EXPECT_EQ(mode(), ModeIdle);
    EXPECT_EQ(graphs.script.alive, 0);
    EXPECT_FALSE(track.isReading());
    EXPECT_FALSE(enabled(IDC_POSITION));
    EXPECT_EQ(slider(), 1);
}

TEST_F(FormTest, PlaybackRefusals)
{
    makeForm();
    play(writeFile("noext", kPackStart));
    EXPECT_EQ(form->statusText(), QStringLiteral("请包含文件扩展名"));
    // Not a program stream: no graph for the elementary pair.
    play(writeFile("video.mpv", QByteArray("\x00\x00\x01\xB3", 4)));
    EXPECT_EQ(form->statusText(), QStringLiteral("回放失败"));
    play(dir.filePath("gone.mpg"));
    EXPECT_EQ(prompter.boxes.back().text,
              QStringLiteral("无法打开该文件: %1").arg(dir.filePath("gone.mpg")));
    // The graph refuses the file.
    graphs.script.failingKinds = {2};
    form->setStatus(QString());
    play(writeFile("bad.mpg", kPackStart.left(4)));
    EXPECT_EQ(form->statusText(), QStringLiteral("回放失败"));
    EXPECT_EQ(mode(), ModeIdle);
    EXPECT_EQ(graphs.script.alive, 0);
}

// The form as the program builds it, on the test source: closing its one
// video window stops the live view once the report is out.
TEST_F(FormTest, ClosingTheVideoWindowStopsTheLiveView)
{
    test::TempSettings deviceValues;
    setCaptureSource(QStringLiteral("test:352x288@25"));
    auto usb = makeUsbGraphFactory(stationFrameSink(), &deviceValues.settings());
    CAcquisitionDlg live(*usb, profile.settings());
    live.setWaitFunction([](int) {});
    live.show();
    live.OnInitDialog();
    live.OnStartAcquisition();
    const auto windows = live.findChildren<CVideoWnd*>();
    ASSERT_EQ(windows.size(), 1);
    EXPECT_TRUE(windows[0]->isVisible());
    windows[0]->close();
    EXPECT_EQ(live.GetUiMode(), ModeLive);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(live.GetUiMode(), ModeIdle);
    EXPECT_FALSE(live.hasGraph());
    setCaptureSource(QString());
}

TEST_F(FormTest, AStitchWindowOrKeyboardThatCannotBeStartedIsTold)
{
    makeForm();
    form->OnStitchWindow();
    QTest::mouseClick(form->control(IDC_KEYBOARD), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(prompter.boxTexts().mid(1), QStringList({QStringLiteral("创建拼接窗口失败"),
                                                       QStringLiteral("无法启动屏幕键盘")}));
    EXPECT_TRUE(enabled(IDC_KEYBOARD));
}

// The control-parameter dialog, reached from the form's context menu, keeps
// the values it was closed with OK on in the profile.
TEST_F(FormTest, ControlParametersFromTheContextMenuAreKeptInTheProfile)
{
    makeForm();
    form->GetSurveyParams().sampleStep = 321;
    QTimer::singleShot(0, [] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            menu->setActiveAction(menu->actions().value(0)); // 控制参数
            QTest::keyClick(menu, Qt::Key_Return);
        }
    });
    QTimer okPresser;
    QObject::connect(&okPresser, &QTimer::timeout, [] {
        if (auto* dialog = qobject_cast<CControlParamDlg*>(QApplication::activeModalWidget()))
            dialog->accept();
    });
    okPresser.start(20);
    QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(5, 5), form->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(form.get(), &e);
    EXPECT_EQ(profile.reopen()->value(QStringLiteral("镜头控制/移动步距")).toInt(), 321);
}

// The serial line on slot 1, a pseudo terminal; the form live.
class SerialFormTest : public FormTest {
  protected:
    void SetUp() override
    {
        FormTest::SetUp();
        ASSERT_TRUE(pty.ok());
        CPortMap map = test::mapSerialSlotsNowhere(profile);
        map.setDevicePath(1, pty.path());
        map.save(profile.settings());
        profile.settings().setValue(QStringLiteral("镜头控制/COM1"), 1);
        profile.settings().setValue(QStringLiteral("控制参数/采样步距"), 2);
        makeForm();
        form->OnStartAcquisition();
        ASSERT_EQ(form->statusText(), QStringLiteral("预览--通讯成功"));
    }
    void TearDown() override
    {
        form.reset();
        depthCounterFound() = false;
    }

    // Writes bytes to the line and waits until the form has taken them in.
    void send(const QByteArray& bytes)
    {
        const quint64 seen = form->serialLine().bytesReceived() + quint64(bytes.size());
        pty.write(bytes);
        ASSERT_TRUE(test::waitUntil([&] { return form->serialLine().bytesReceived() >= seen; }));
    }

    test::PtyPair pty;
};

TEST_F(SerialFormTest, FramesReachTheFieldsAndMotorKeysTheLineOnlyWhileLive)
{
    // The start depth triggers once, with the compass's first frame.
    EXPECT_FALSE(depthTriggerRaised());
    const QByteArray first = test::counterFrameBytes(0xFE, 357);
    send(first.left(3));
    EXPECT_EQ(text(IDC_HEADING), QString()); // half a frame shows nothing
    EXPECT_FALSE(depthTriggerRaised());
    send(first.mid(3));
    EXPECT_EQ(text(IDC_DEPTH), QStringLiteral("0.001米"));
    EXPECT_EQ(text(IDC_HEADING), QStringLiteral("357度"));
    EXPECT_TRUE(takeDepthTrigger());
    EXPECT_FALSE(depthTriggerRaised());
    send(test::counterFrameBytes(0xFE, 12));
    EXPECT_TRUE(takeDepthTrigger()); // the sampling step of 2 pulses

    // The motor keys send only with Ctrl, once the counter is found.
    EXPECT_TRUE(form->OnKeyDown(Qt::Key_Left, true));
    EXPECT_TRUE(form->OnKeyUp(Qt::Key_Left));
    depthCounterFound() = true;
    EXPECT_TRUE(form->OnKeyDown(Qt::Key_Left, false));
    EXPECT_EQ(pty.read(1, 100), QByteArray());
    EXPECT_TRUE(form->OnKeyDown(Qt::Key_Left, true));
    EXPECT_EQ(pty.read(1, 10000), QByteArray("\x21"));
    EXPECT_TRUE(form->OnKeyUp(Qt::Key_Left));
    EXPECT_EQ(pty.read(1, 10000), QByteArray("\x22"));
    // The program loses the focus while Down is held: its stop goes out once.
    EXPECT_TRUE(form->OnKeyDown(Qt::Key_Down, true));
    EXPECT_EQ(pty.read(1, 10000), QByteArray("\x27"));
    emit qApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_EQ(pty.read(1, 10000), QByteArray("\x28"));
    EXPECT_TRUE(form->OnKeyUp(Qt::Key_Down));
    EXPECT_EQ(pty.read(1, 100), QByteArray());

    // Leaving live with a key held sends its stop byte; then the keys are not
    // the form's and the line's frames are not counted.
    EXPECT_TRUE(form->OnKeyDown(Qt::Key_Right, true));
    EXPECT_EQ(pty.read(1, 10000), QByteArray("\x23"));
    form->OnStopRecord();
    EXPECT_EQ(pty.read(1, 10000), QByteArray("\x24"));
    EXPECT_FALSE(form->OnKeyDown(Qt::Key_Left, true));
    EXPECT_EQ(pty.read(1, 100), QByteArray());
    send(test::counterFrameBytes(0xFE, 100));
    EXPECT_EQ(text(IDC_DEPTH), QStringLiteral("0.002米"));
}

} // namespace
} // namespace bc
