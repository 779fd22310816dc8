// The station as main() runs it, with the depth counter and compass on a
// pseudo terminal that can hang up and come back: what the winch receives
// across a line drop, the box telling the drop, typing a depth while frames
// arrive, the heading of a recording's first strip and track record, and its
// track while its settings are saved or when it cannot be written.

#include "app/program_run.h"

#include "acquisition/acquisition_dlg.h"
#include "acquisition/control_param_dlg.h"
#include "acquisition/grabber_callback.h"
#include "acquisition/depth_counter.h"
#include "acquisition/port_map.h"
#include "acquisition/port_probe.h"
#include "acquisition/serial_line.h"
#include "acquisition/shared_frame.h"
#include "acquisition/track_file.h"
#include "analysis/open_view.h"
#include "analysis/strip_sink.h"
#include "core/program_values.h"
#include "core/survey_params.h"
#include "core/unwrap_image.h"
#include "support/file_bytes.h"
#include "support/file_size_limit.h"
#include "support/modal_dialog.h"
#include "support/scripted_capture_graph.h"
#include "support/scripted_prompter.h"
#include "support/serial_pty.h"
#include "support/serial_slots.h"
#include "ui/num_edit.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

namespace bc {
namespace {

const QString kLostBox =
    QStringLiteral("深度控制口和电子罗盘口连接中断!\n设备接回后将自动重新连接");

// Keeps the box telling a lost line open, with events running as under a
// real box: runs `whileLostBoxOpen` in it, then waits (a while) for the box
// to be withdrawn. Other boxes are answered as scripted.
class LineBoxPrompter : public test::ScriptedPrompter {
  public:
    std::function<void()> whileLostBoxOpen;
    QStringList withdrawn;

    int messageBox(QWidget* parent, const QString& text, const QString& caption,
                   unsigned style) override
    {
        if (text != kLostBox)
            return ScriptedPrompter::messageBox(parent, text, caption, style);
        boxes.push_back({text, caption, style});
        open_ = true;
        if (auto during = std::exchange(whileLostBoxOpen, nullptr))
            during();
        test::waitUntil([this] { return !open_; }, 2000);
        open_ = false;
        return IDOK;
    }
    void withdrawBox(QWidget*, const QString& text) override
    {
        withdrawn << text;
        if (text == kLostBox)
            open_ = false;
    }

  private:
    bool open_ = false;
};

class CounterLineRunTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        device = dir.filePath(QStringLiteral("counter"));
        pty = std::make_unique<test::PtyPair>();
        ASSERT_TRUE(pty->ok() && QFile::link(pty->path(), device));
        test::putCounterOnFirstSlot(profile, device);
    }
    void TearDown() override { depthCounterFound() = compassFound() = false; }

    // Runs the program; `drive` gets its form, active and with a line that
    // tries its device again at once, when it is up, and closes it.
    void run(const std::function<void(CAcquisitionDlg&)>& drive)
    {
        test::runProgram(graphs, profile.settings(), prompter, [&](CAcquisitionDlg& form) {
            form.serialLine().setRetryPeriod(10);
            QApplication::setActiveWindow(&form);
            drive(form);
        });
    }
    // The counter's device hangs up; `back` brings a new one at the same name.
    void hangUp()
    {
        pty->hangUp();
        QFile::remove(device);
    }
    void back()
    {
        pty = std::make_unique<test::PtyPair>();
        ASSERT_TRUE(pty->ok() && QFile::link(pty->path(), device));
    }
    // A key as the window system delivers it, to the widget with the focus.
    void key(QEvent::Type type, int k, Qt::KeyboardModifiers mods = Qt::ControlModifier)
    {
        QKeyEvent e(type, k, mods);
        e.setTimestamp(clock += 40);
        QWidget* to = QApplication::focusWidget() ? QApplication::focusWidget()
                                                  : QApplication::activeWindow();
        QApplication::sendEvent(to, &e);
        QCoreApplication::processEvents();
    }
    // Writes `count` counter frames and waits until the form has read them.
    void frame(CAcquisitionDlg& form, uint8_t direction, int heading, int count = 1)
    {
        const quint64 seen = form.serialLine().bytesReceived() + 7 * count;
        pty->write(test::counterFrameBytes(direction, heading).repeated(count));
        ASSERT_TRUE(test::waitUntil([&] { return form.serialLine().bytesReceived() >= seen; }));
    }
    static QString text(CAcquisitionDlg& form, int id)
    {
        return static_cast<QLineEdit*>(form.control(id))->text();
    }

    QTemporaryDir dir;
    QString device;
    test::TempSettings profile;
    LineBoxPrompter prompter;
    test::ScriptedGraphFactory graphs;
    std::unique_ptr<test::PtyPair> pty;
    quint64 clock = 5000;
};

// Ctrl+↓ held in preview, the line hangs up and, while the box says so, the
// keys are released (and another motor key tapped), or "停止" is clicked with
// the key still down; the line comes back: the winch gets the stops before
// anything else, the box goes by itself, and the keys work as before.
TEST_F(CounterLineRunTest, StopsReleasedWhileTheLineIsDownReachTheWinchFirstWhenItIsBack)
{
    enum During { KeysReleased, StopClicked };
    const struct {
        During during;
        const char* afterReturn;
    } rows[] = {{KeysReleased, "2826"}, {StopClicked, "28"}};
    struct Seen {
        std::string before, after, afterTap;
    };
    std::vector<Seen> seen;
    run([&](CAcquisitionDlg& form) {
        depthCounterFound() = true;
        for (const auto& row : rows) {
            Seen& got = seen.emplace_back();
            form.OnStartAcquisition();
            ASSERT_EQ(form.GetUiMode(), ModeLive);
            key(QEvent::KeyPress, Qt::Key_Control);
            key(QEvent::KeyPress, Qt::Key_Down);
            got.before = pty->read(1, 10000).toHex().toStdString();

            prompter.whileLostBoxOpen = [&] {
                EXPECT_FALSE(form.serialLine().isOpen());
                if (row.during == StopClicked)
                    QTest::mouseClick(form.control(IDC_STOP), Qt::LeftButton, {}, QPoint(5, 5));
                key(QEvent::KeyRelease, Qt::Key_Down);
                key(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
                if (row.during == KeysReleased) {
                    key(QEvent::KeyPress, Qt::Key_Control);
                    key(QEvent::KeyPress, Qt::Key_Up);
                    key(QEvent::KeyRelease, Qt::Key_Up);
                    // The next key hands on the release that waits for a repeat.
                    key(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
                }
                back();
                EXPECT_TRUE(test::waitUntil([&] { return form.serialLine().isOpen(); }));
                EXPECT_TRUE(test::waitUntil(
                    [&] { return form.statusText().endsWith(QStringLiteral("--通讯成功")); }));
            };
            const qsizetype told = prompter.boxTexts().count(kLostBox);
            hangUp();
            ASSERT_TRUE(
                test::waitUntil([&] { return prompter.boxTexts().count(kLostBox) > told; }));
            got.after = pty->read(3, 1000).toHex().toStdString();

            form.OnStartAcquisition(); // after "停止"; nothing while still live
            key(QEvent::KeyPress, Qt::Key_Control);
            key(QEvent::KeyPress, Qt::Key_Left);
            key(QEvent::KeyRelease, Qt::Key_Left);
            key(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
            got.afterTap = pty->read(3, 1000).toHex().toStdString();
            form.OnStopRecord();
        }
    });
    ASSERT_EQ(seen.size(), std::size(rows));
    for (std::size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(rows[i].during == KeysReleased ? "keys released" : "停止 clicked");
        EXPECT_EQ(seen[i].before, "27");
        EXPECT_EQ(seen[i].after, rows[i].afterReturn);
        EXPECT_EQ(seen[i].afterTap, "2122");
    }
    EXPECT_EQ(prompter.boxTexts().count(kLostBox), 2);
    EXPECT_EQ(prompter.withdrawn, QStringList({kLostBox, kLostBox}));
}

// Ctrl+↓ held in preview and the line hangs up; during the outage the keys
// are released and the communication group's "保存" is clicked while the
// device is still away ("打开串口失败!"). When the device is back the line
// opens again by itself, as the box said it would: the winch gets its stop
// first and the form reads the counter's frames again.
TEST_F(CounterLineRunTest, ALineSavedWhileItsDeviceIsAwayStillComesBackByItself)
{
    const QString kOpenFailed = QStringLiteral("打开串口失败!");
    for (const bool saveClicked : {false, true}) {
        SCOPED_TRACE(saveClicked ? "保存 clicked during the outage" : "nothing done");
        std::string before, after;
        bool reopened = false;
        QString heading;
        run([&](CAcquisitionDlg& form) {
            depthCounterFound() = true;
            form.OnStartAcquisition();
            ASSERT_EQ(form.GetUiMode(), ModeLive);
            key(QEvent::KeyPress, Qt::Key_Control);
            key(QEvent::KeyPress, Qt::Key_Down);
            before = pty->read(1, 10000).toHex().toStdString();
            prompter.whileLostBoxOpen = [&] {
                key(QEvent::KeyRelease, Qt::Key_Down);
                key(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
                if (saveClicked) {
                    const qsizetype told = prompter.boxTexts().size();
                    QTest::mouseClick(form.control(IDC_SAVE_COMM), Qt::LeftButton, {},
                                      QPoint(5, 5));
                    EXPECT_EQ(prompter.boxTexts().mid(told), QStringList{kOpenFailed});
                }
                back();
                reopened = test::waitUntil([&] { return form.serialLine().isOpen(); }, 3000);
            };
            const qsizetype told = prompter.boxTexts().count(kLostBox);
            hangUp();
            ASSERT_TRUE(
                test::waitUntil([&] { return prompter.boxTexts().count(kLostBox) > told; }));
            after = pty->read(1, 1000).toHex().toStdString();
            if (reopened) {
                frame(form, 0x00, 77);
                heading = text(form, IDC_HEADING);
            }
            form.OnStopRecord();
        });
        EXPECT_EQ(before, "27");
        EXPECT_TRUE(reopened);
        EXPECT_EQ(after, "28");
        EXPECT_EQ(heading, QStringLiteral("77度"));
    }
}

// The same drop under the program's own boxes: the box telling it closes by
// itself once the line is back.
TEST_F(CounterLineRunTest, TheBoxTellingTheDropClosesWhenTheLineIsBack)
{
    QtPrompter boxes;
    Prompter* scripted = setPrompter(&boxes);
    bool shown = false, closedByItself = false;
    run([&](CAcquisitionDlg& form) {
        form.OnStartAcquisition();
        ASSERT_EQ(form.GetUiMode(), ModeLive);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || box->text() != kLostBox || shown)
                return;
            shown = true;
            back();
            closedByItself = test::waitUntil([&] { return !box->isVisible(); }, 5000);
            if (!closedByItself)
                box->reject(); // not left open over the rest of the run
        });
        poll.start(10);
        hangUp();
        EXPECT_TRUE(test::waitUntil([&] { return shown && !QApplication::activeModalWidget(); }));
        EXPECT_EQ(form.statusText(), QStringLiteral("预览--通讯成功"));
        setPrompter(scripted);
        form.OnStopRecord();
    });
    setPrompter(scripted);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(closedByItself);
}

// "深度设置" during preview, with the counter sending a frame between any two
// keys: while the field has the focus the frames leave it alone, so a
// selection holds and typing replaces it; Enter or leaving the field enters
// what was typed; a field left untouched enters nothing (also right after a
// typed depth was entered), and frames show the counter's depth in it again
// once it has lost the focus.
TEST_F(CounterLineRunTest, ADepthIsTypedIntoTheEntryWhileFramesArrive)
{
    enum Leave { Enter, ClickElsewhere };
    const struct {
        const char* typed; // nullptr: nothing typed
        Leave leave;
    } rows[] = {{"12.5", Enter}, {nullptr, Enter}, {"7.25", ClickElsewhere}, {nullptr, Enter}};
    run([&](CAcquisitionDlg& form) {
        form.OnStartAcquisition();
        ASSERT_EQ(form.GetUiMode(), ModeLive);
        auto* entry = form.control(IDC_DEPTH_ENTRY);
        for (const auto& row : rows) {
            SCOPED_TRACE(row.typed ? row.typed : "nothing typed");
            frame(form, 0xFE, 90);
            QTest::mouseClick(entry, Qt::LeftButton);
            ASSERT_TRUE(entry->hasFocus());
            const QString shown = text(form, IDC_DEPTH_ENTRY);
            QTest::keyClick(entry, Qt::Key_Home);
            QTest::keyClick(entry, Qt::Key_End, Qt::ShiftModifier);
            frame(form, 0xFE, 90);
            EXPECT_EQ(text(form, IDC_DEPTH_ENTRY), shown);
            const QString typed = QString::fromLatin1(row.typed ? row.typed : "");
            for (const QChar c : typed) {
                QTest::keyClicks(entry, QString(c));
                frame(form, 0xFE, 90);
            }
            EXPECT_EQ(text(form, IDC_DEPTH_ENTRY), row.typed ? typed : shown);
            const int32_t counted = form.counter().depth(); // a frame past what is shown
            if (row.leave == Enter)
                QTest::keyClick(entry, Qt::Key_Return);
            else
                QTest::mouseClick(form.control(IDC_COORD_X), Qt::LeftButton);
            EXPECT_FALSE(entry->hasFocus());
            // Typed: the counter goes on from the depth entered. Untouched:
            // from where it was.
            const int32_t entered =
                row.typed ? static_cast<int32_t>(typed.toDouble() * 1000) : counted;
            EXPECT_EQ(currentDepthHeading().depth, entered);
            frame(form, 0xFE, 90);
            EXPECT_EQ(text(form, IDC_DEPTH_ENTRY),
                      QString::asprintf("%.3f", (entered + 1) * 0.001));
            EXPECT_EQ(text(form, IDC_DEPTH), formatDepthMetres(entered + 1));
        }
        form.OnStopRecord();
    });
}

// Enter in a field of the form during preview: it goes to no button of the
// form (the communication group's "保存" used to take it, closing and opening
// the counter's line again under a box), while a button with the focus still
// takes Enter as a click.
TEST_F(CounterLineRunTest, EnterInAFieldOfTheFormClicksNoButton)
{
    const QString kPortSaved = QStringLiteral("设置串口成功");
    const struct {
        int id;
        Qt::Key key;
        bool clicks; // the focused button takes it
    } rows[] = {
        {IDC_TESTER, Qt::Key_Return, false},
        {IDC_COORD_X, Qt::Key_Enter, false},
        {IDC_COLLAR_COORDINATES, Qt::Key_Return, false},
        {IDC_PORT, Qt::Key_Return, false},
        {IDC_HOLE_TYPE, Qt::Key_Enter, false},
        {IDC_SAVE_COMM, Qt::Key_Return, true},
    };
    run([&](CAcquisitionDlg& form) {
        form.OnStartAcquisition();
        ASSERT_EQ(form.GetUiMode(), ModeLive);
        for (const auto& row : rows) {
            SCOPED_TRACE(row.id);
            QWidget* target = form.control(row.id);
            target->setFocus(Qt::TabFocusReason);
            ASSERT_TRUE(test::waitUntil([&] { return target->hasFocus(); }));
            const qsizetype told = prompter.boxTexts().size();
            frame(form, 0x00, 90);
            QTest::keyClick(target, row.key,
                            row.key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
            EXPECT_EQ(prompter.boxTexts().mid(told),
                      row.clicks ? QStringList{kPortSaved} : QStringList{});
            EXPECT_TRUE(form.serialLine().isOpen());
            EXPECT_EQ(form.GetUiMode(), ModeLive);
            // The line still hands frames on.
            frame(form, 0x00, 91);
            EXPECT_EQ(text(form, IDC_HEADING), QStringLiteral("91度"));
        }
        form.OnStopRecord();
    });
}

// Takes the strips the raw-frame view hands on.
struct StripCollector : QObject, IStripSink {
    std::vector<std::unique_ptr<CUnWrapImage>> strips;
    void AddCapturedImage(std::unique_ptr<CUnWrapImage> strip) override
    {
        strips.push_back(std::move(strip));
    }
};

// The compass offset once -180, then set back to 0 and saved while idle (the
// counter sends no frame meanwhile): the heading shown at once, and the first
// strip and track record of a recording whose compass is silent, take the
// counter's last heading at offset 0; a heading the compass sends after the
// start, even after the camera's first picture, is theirs. An offset bringing
// the heading to 0 leaves the field as a frame of heading 0 does.
TEST_F(CounterLineRunTest, TheFirstStripOfARecordingTakesTheHeadingAtTheOffsetNowSet)
{
    constexpr int kW = 352, kH = 288;
    std::vector<int> firstStripAngles;
    QByteArrayList firstTrackHeadings;
    // A picture from the camera: true once the raw-frame view has taken it in.
    const auto videoFrame = [] {
        const std::vector<uint8_t> picture(size_t(kW) * kH * 3, 90);
        grabberCallback().BufferCB(picture.data(), kW, kH, kW * 3);
        return test::waitUntil([] { return continuousRequest.load(); });
    };
    run([&](CAcquisitionDlg& form) {
        auto* offset = form.control(IDC_COMPASS_OFFSET);
        const auto typeOffset = [&](const char* typed) {
            QTest::mouseClick(offset, Qt::LeftButton);
            QTest::keyClick(offset, Qt::Key_Home);
            QTest::keyClick(offset, Qt::Key_End, Qt::ShiftModifier);
            QTest::keyClicks(offset, QString::fromLatin1(typed));
        };
        const auto save = [&] {
            QTest::mouseClick(form.control(IDC_SAVE_CONTROL), Qt::LeftButton, {}, QPoint(5, 5));
            EXPECT_EQ(prompter.boxTexts().last(), QStringLiteral("参数设置成功"));
        };
        typeOffset("-180");
        save();
        form.OnStartAcquisition();
        frame(form, 0x00, 101);
        EXPECT_EQ(text(form, IDC_HEADING), QStringLiteral("281度"));
        form.OnStopRecord();
        // "-101" committed at once by an input method: the heading sums to 0.
        QTest::mouseClick(offset, Qt::LeftButton);
        static_cast<QLineEdit*>(offset)->selectAll();
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("-101"));
        QApplication::sendEvent(offset, &commit);
        EXPECT_EQ(text(form, IDC_HEADING), QStringLiteral("281度"));
        EXPECT_EQ(currentDepthHeading().heading, 0);
        // The heading turns as the offset is typed, as the next frame would
        // turn it, and stays when it is saved.
        typeOffset("0");
        EXPECT_EQ(text(form, IDC_HEADING), QStringLiteral("101度"));
        save();
        EXPECT_EQ(text(form, IDC_HEADING), QStringLiteral("101度"));

        FrameFormat::publishSize(kW, kH);
        CSurveyParams ring;
        ring.centreX = kW / 2, ring.centreY = kH / 2, ring.outerRadius = 130;
        ring.innerRadius = 40, ring.unwrapWidth = 400;
        for (const int sent : {0, 155}) { // 0: the compass silent after the start
            const QString film = dir.filePath(sent ? "s.mpg" : "r.mpg");
            static_cast<QLineEdit*>(form.control(IDC_FILE))->setText(film);
            form.OnStartRecord();
            ASSERT_EQ(form.GetUiMode(), ModeRecording);
            StripCollector collector;
            registerStripSink(&collector, &collector);
            {
                COpenView view(ring);
                continuousRequest = true;
                EXPECT_TRUE(videoFrame()); // before the compass sends
                if (sent != 0)
                    frame(form, 0x00, sent);
                EXPECT_TRUE(
                    test::waitUntil([&] { return videoFrame() && !collector.strips.empty(); }));
            }
            firstStripAngles.push_back(collector.strips.empty() ? -1 : collector.strips[0]->angle);
            registerStripSink(nullptr, nullptr);
            const QString track = MakeTrackName(film);
            EXPECT_TRUE(
                test::waitUntil([&] { return QFileInfo(track).size() >= kTrackRecordBytes; }));
            firstTrackHeadings << test::fileBytes(track).mid(4, 2).toHex(); // little-endian
            form.OnStopRecord();
        }
    });
    continuousRequest = false;
    FrameFormat::reset();
    std::lock_guard<std::mutex> lock(frameLock());
    sharedFrame().release();
    EXPECT_EQ(firstStripAngles, (std::vector<int>{101, 155}));
    EXPECT_EQ(firstTrackHeadings, QByteArrayList({"6500", "9b00"})); // 101, 155
}

// The track cannot grow any more during a recording (a file-size limit, as on
// a full disk): the user is told which file and why, once, as a film that
// cannot be written is told, and the recording goes on.
TEST_F(CounterLineRunTest, ATrackThatCannotBeWrittenIsToldAndTheRecordingGoesOn)
{
    run([&](CAcquisitionDlg& form) {
        static_cast<QLineEdit*>(form.control(IDC_FILE))->setText(dir.filePath("r.mpg"));
        form.OnStartRecord();
        frame(form, 0x00, 90);
        const QString track = dir.filePath("r.ss");
        ASSERT_TRUE(test::waitUntil([&] { return QFileInfo(track).size() >= 12; }));
        const std::size_t told = prompter.boxes.size();
        {
            test::FileSizeLimit full(rlim_t(QFileInfo(track).size() + 15));
            ASSERT_TRUE(test::waitUntil([&] { return prompter.boxes.size() > told; }));
        }
        EXPECT_EQ(prompter.boxes[told].caption, QStringLiteral("出错"));
        EXPECT_EQ(prompter.boxes[told].style, unsigned(MB_OK | MB_ICONSTOP));
        form.OnStopRecord(); // asks, as the recording went on
        EXPECT_EQ(
            prompter.boxTexts().mid(told),
            QStringList({QStringLiteral("深度文件写入失败:\n%1\n文件超过允许的大小").arg(track),
                         QStringLiteral("正在录制,确认要停止录制")}));
    });
}

// Lowered 200 mm into a recording, the control parameters are saved (the
// group's "保存", or 确定 in "控制参数" with a new start depth), then 100 mm
// more: the recording goes on from its depth and says so, its track never
// steps back, and the next run starts where this one stopped, or where the
// user set it.
TEST_F(CounterLineRunTest, SavingTheControlParametersDuringARecordingKeepsItsDepth)
{
    depthCounterFound() = true;
    compassFound() = true; // the dialog searches no port
    for (const bool inDialog : {false, true}) {
        SCOPED_TRACE(inDialog ? "确定 in 控制参数" : "the group's 保存");
        profile.settings().setValue(QStringLiteral("控制参数/技数器分辨率"), 1); // 1 mm a pulse
        profile.settings().setValue(QStringLiteral("控制参数/起始深度"), 1101);
        run([&](CAcquisitionDlg& form) {
            const QString film = dir.filePath(inDialog ? "b.mpg" : "a.mpg");
            static_cast<QLineEdit*>(form.control(IDC_FILE))->setText(film);
            form.OnStartRecord();
            ASSERT_EQ(form.GetUiMode(), ModeRecording);
            const QString track = MakeTrackName(film);
            const auto recorded = [&] { // two track records more
                const qint64 size = QFileInfo(track).size();
                EXPECT_TRUE(test::waitUntil([&] { return QFileInfo(track).size() >= size + 12; }));
            };
            frame(form, 0x00, 90); // the compass's first frame: no pulse
            frame(form, 0xFE, 90, 200);
            recorded();
            if (inDialog) {
                test::withModal<CControlParamDlg>(
                    [&] { form.OnControlParameters(); },
                    [](CControlParamDlg& dlg) {
                        CNumEdit* start = dlg.counterFields().startDepth;
                        start->selectAll();
                        QTest::keyClicks(start, QStringLiteral("2.5"));
                        for (auto* b : dlg.findChildren<QPushButton*>())
                            if (b->text() == QStringLiteral("确定"))
                                QTest::mouseClick(b, Qt::LeftButton);
                    });
            } else {
                QTest::mouseClick(form.control(IDC_SAVE_CONTROL), Qt::LeftButton, {}, QPoint(5, 5));
            }
            EXPECT_EQ(form.statusText().toStdString(), "录制--深度不变,起始深度下次开始时生效");
            frame(form, 0xFE, 90, 100);
            recorded();
            form.OnStopRecord();
            EXPECT_EQ(form.GetSurveyParams().startDepth, inDialog ? 2500 : 1401);
            std::vector<int> depths;
            const QByteArray bytes = test::fileBytes(track);
            for (qsizetype at = 0; at + kTrackRecordBytes <= bytes.size(); at += kTrackRecordBytes)
                depths.push_back(
                    decodeTrackRecord(reinterpret_cast<const uint8_t*>(bytes.constData() + at))
                        .depth);
            ASSERT_FALSE(depths.empty());
            EXPECT_EQ(depths.front(), 1101);
            EXPECT_EQ(depths.back(), 1401);
            EXPECT_TRUE(std::is_sorted(depths.begin(), depths.end())) << "the track steps back";
        });
    }
}

} // namespace
} // namespace bc
