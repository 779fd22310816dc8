// The station as main() runs it, with the depth counter and compass on a
// pseudo terminal: what the form shows while a recording is played back, and
// what the winch receives while a motor key is held.

#include "app/program_run.h"

#include "acquisition/acquisition_dlg.h"
#include "acquisition/port_map.h"
#include "acquisition/port_probe.h"
#include "acquisition/serial_line.h"
#include "acquisition/track_file.h"
#include "core/program_values.h"
#include "support/file_bytes.h"
#include "support/scripted_capture_graph.h"
#include "support/scripted_prompter.h"
#include "support/serial_pty.h"
#include "support/serial_slots.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

namespace bc {
namespace {

class StationRunTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.ok());
        test::putCounterOnFirstSlot(profile, pty.path());
    }
    void TearDown() override { depthCounterFound() = false; }

    // Runs the program; `drive` gets its form once it is up, and closes it.
    void run(const std::function<void(CAcquisitionDlg&)>& drive)
    {
        test::runProgram(graphs, profile.settings(), prompter, drive);
    }
    // Writes bytes to the line and waits until the form has read them.
    void send(CAcquisitionDlg& form, const QByteArray& bytes)
    {
        const quint64 seen = form.serialLine().bytesReceived() + quint64(bytes.size());
        pty.write(bytes);
        ASSERT_TRUE(test::waitUntil([&] { return form.serialLine().bytesReceived() >= seen; }));
    }
    // The depth and heading fields.
    static QStringList shown(CAcquisitionDlg& form)
    {
        return {static_cast<QLineEdit*>(form.control(IDC_DEPTH))->text(),
                static_cast<QLineEdit*>(form.control(IDC_HEADING))->text()};
    }

    QTemporaryDir dir;
    test::TempSettings profile;
    test::ScriptedPrompter prompter;
    test::ScriptedGraphFactory graphs;
    test::PtyPair pty;
};

// Frames of the counter arriving while a recording is played back, or while
// it is paused, change nothing the film shows, nor does a compass offset
// typed during the pause; once it stops, the counter is shown again, with
// the pulses it counted meanwhile and its last heading at the offset now set.
TEST_F(StationRunTest, PlaybackShowsTheTrackWhateverTheCounterSends)
{
    // A track rising 10 mm a record with the record's number as heading.
    QByteArray track;
    for (int i = 0; i < 100; ++i) {
        uint8_t rec[kTrackRecordBytes];
        encodeTrackRecord(TrackRecord{i * 10, static_cast<int16_t>(100 + i)}, rec);
        track.append(reinterpret_cast<const char*>(rec), kTrackRecordBytes);
    }
    const QString film = dir.filePath(QStringLiteral("film.mpg"));
    ASSERT_TRUE(test::writeFileBytes(dir.filePath(QStringLiteral("film.ss")), track));
    ASSERT_TRUE(test::writeFileBytes(film, QByteArray("\x00\x00\x01\xBA\x00\x00", 6)));

    run([&](CAcquisitionDlg& form) {
        send(form, test::counterFrameBytes(0xFE, 145)); // live on the idle form
        EXPECT_EQ(shown(form), QStringList({"0.001米", "145度"}));

        graphs.script.position = 0.5f;
        prompter.fileAnswers.push_back(film);
        form.OnOpenPlayback();
        ASSERT_EQ(form.GetUiMode(), ModePlayback);
        const QStringList record50{"0.500米", "150度"};
        EXPECT_TRUE(test::waitUntil([&] { return shown(form) == record50; }));
        for (int i = 0; i < 5; ++i) {
            send(form, test::counterFrameBytes(0xFE, 145));
            EXPECT_EQ(shown(form), record50);
            EXPECT_EQ(std::pair(currentDepthHeading().depth, currentDepthHeading().heading),
                      std::pair(500, 150));
            EXPECT_FALSE(depthTriggerRaised());
        }
        // Paused, the film's moment stays on show. What the form shows is
        // taken as each frame has been handled, before a tick of the position
        // timer could show the track again.
        form.OnPause();
        ASSERT_EQ(form.GetUiMode(), ModePaused);
        std::vector<std::pair<QStringList, std::pair<int, int>>> afterFrames;
        const auto take = [&] {
            const DepthHeading now = currentDepthHeading();
            afterFrames.push_back({shown(form), {now.depth, now.heading}});
        };
        QMetaObject::Connection watch =
            QObject::connect(&form.serialLine(), &CSerialLine::frameReceived, &form, take);
        for (int i = 0; i < 5; ++i) {
            send(form, test::counterFrameBytes(0xFE, 145));
            EXPECT_FALSE(depthTriggerRaised());
        }
        QObject::disconnect(watch);
        auto* offset = static_cast<QLineEdit*>(form.control(IDC_COMPASS_OFFSET));
        watch = QObject::connect(offset, &QLineEdit::textChanged, &form, take);
        QTest::mouseClick(offset, Qt::LeftButton);
        QTest::keyClick(offset, Qt::Key_Home);
        QTest::keyClick(offset, Qt::Key_End, Qt::ShiftModifier);
        QTest::keyClicks(offset, QStringLiteral("10"));
        QObject::disconnect(watch);
        ASSERT_EQ(afterFrames.size(), 7u);
        for (const auto& [fields, published] : afterFrames) {
            EXPECT_EQ(fields, record50);
            EXPECT_EQ(published, std::pair(500, 150));
        }
        form.OnResume();
        ASSERT_EQ(form.GetUiMode(), ModePlayback);

        form.OnStopRecord();
        EXPECT_EQ(form.GetUiMode(), ModeIdle);
        EXPECT_EQ(shown(form), QStringList({"0.011米", "155度"}));
        EXPECT_EQ(currentDepthHeading().depth, 11);
        send(form, test::counterFrameBytes(0xFE, 146));
        EXPECT_EQ(shown(form), QStringList({"0.012米", "156度"}));
    });
}

// A motor key held down: its press, then while it repeats release and press
// pairs, each pair at one time, marked as repeats or (under X, when the press
// came late) not; then the real release. The winch gets one start and one
// stop byte in every direction; a key released and pressed again gets its own.
TEST_F(StationRunTest, AHeldMotorKeyStartsTheWinchOnceAndStopsItOnce)
{
    run([&](CAcquisitionDlg& form) {
        depthCounterFound() = true;
        form.OnStartAcquisition();
        ASSERT_EQ(form.GetUiMode(), ModeLive);
        QApplication::setActiveWindow(&form);
        quint64 clock = 5000;
        const auto key = [&](QEvent::Type type, int k, bool marked = false, bool sameTime = false) {
            QKeyEvent e(type, k, Qt::ControlModifier, QString(), marked);
            e.setTimestamp(sameTime ? clock : clock += 40);
            QWidget* to = QApplication::focusWidget() ? QApplication::focusWidget() : &form;
            QApplication::sendEvent(to, &e);
            QCoreApplication::processEvents();
        };
        enum Repeats { Marked, Unmarked, PressedAgain };
        const struct {
            int arrow;
            char start, stop;
            Repeats repeats;
        } rows[] = {{Qt::Key_Down, 0x27, 0x28, Marked},   {Qt::Key_Down, 0x27, 0x28, Unmarked},
                    {Qt::Key_Up, 0x25, 0x26, Unmarked},   {Qt::Key_Left, 0x21, 0x22, Unmarked},
                    {Qt::Key_Right, 0x23, 0x24, Unmarked}, {Qt::Key_Down, 0x27, 0x28, PressedAgain}};
        for (const auto& row : rows) {
            SCOPED_TRACE(testing::Message() << row.arrow << ' ' << row.repeats);
            key(QEvent::KeyPress, Qt::Key_Control); // Ctrl goes down first
            key(QEvent::KeyPress, row.arrow);
            for (int i = 0; i < 20; ++i) {
                key(QEvent::KeyRelease, row.arrow, row.repeats == Marked);
                key(QEvent::KeyPress, row.arrow, row.repeats == Marked,
                    row.repeats != PressedAgain);
            }
            key(QEvent::KeyRelease, row.arrow);
            key(QEvent::KeyRelease, Qt::Key_Control);
            const QByteArray expected = QByteArray().append(row.start).append(row.stop).repeated(
                row.repeats == PressedAgain ? 21 : 1);
            EXPECT_EQ(pty.read(expected.size() + 1, 500).toHex().toStdString(),
                      expected.toHex().toStdString());
        }
        form.OnStopRecord();
    });
}

} // namespace
} // namespace bc
