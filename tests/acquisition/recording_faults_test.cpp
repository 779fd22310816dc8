// The form's recording when things go wrong underneath it: the recording file
// refuses its writes, the depth counter's device goes away and comes back.

#include "acquisition/acquisition_dlg.h"

#include "acquisition/device_control.h"
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

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>

namespace bc {
namespace {

const QString kStopQuestion = QStringLiteral("正在录制,确认要停止录制");

// The stop question stays open, with events running as under a real box,
// until it is withdrawn (or, failing that, answered OK after a while). Keeps
// the texts of the boxes that came up while the track was still written.
class OpenQuestionPrompter : public test::ScriptedPrompter {
  public:
    CTrackFile* track = nullptr;
    QStringList withdrawn, toldWhileTrackWrites;
    // Runs under the next other box, as events do while a real box is open.
    std::function<void()> underNextBox;

    int messageBox(QWidget* parent, const QString& text, const QString& caption,
                   unsigned style) override
    {
        if (track->isWriting())
            toldWhileTrackWrites << text;
        if (text != kStopQuestion) {
            if (auto during = std::exchange(underNextBox, nullptr))
                during();
            return ScriptedPrompter::messageBox(parent, text, caption, style);
        }
        boxes.push_back({text, caption, style});
        open_ = text;
        const bool out = test::waitUntil([this] { return open_.isEmpty(); }, 20000);
        open_.clear();
        return out ? IDCANCEL : IDOK;
    }
    void withdrawBox(QWidget*, const QString& text) override
    {
        withdrawn << text;
        if (text == open_)
            open_.clear();
    }

  private:
    QString open_;
};

class RecordingFaultTest : public ::testing::Test {
  protected:
    RecordingFaultTest()
    {
        test::mapSerialSlotsNowhere(profile);
        setCaptureSource(QStringLiteral("test:352x288@25"));
        publishDepthHeading(0, 0);
        prompter.track = &track;
    }
    ~RecordingFaultTest() override
    {
        form.reset();
        setCaptureSource(QString());
    }
    // The form on `graphs`, recording into `file`.
    void record(ICaptureGraphFactory& graphs, const QString& file)
    {
        AcquisitionHooks hooks;
        hooks.track = &track;
        hooks.setCaptureTarget = [](const QString&, const QString&, int) {};
        form = std::make_unique<CAcquisitionDlg>(graphs, profile.settings(), hooks);
        form->setWaitFunction([](int) {});
        form->show();
        form->OnInitDialog();
        form->serialLine().setRetryPeriod(10);
        static_cast<QLineEdit*>(form->control(IDC_FILE))->setText(dir.filePath(file));
        form->OnStartRecord(); // "overwrite?" is answered yes
        ASSERT_EQ(form->GetUiMode(), ModeRecording);
        ASSERT_TRUE(track.isWriting());
    }

    // The form recording with the counter on slot 1: `device`, a name that
    // leads to `pty` while it is there.
    void recordWithCounter(const QString& device, const test::PtyPair& pty)
    {
        ASSERT_TRUE(pty.ok() && QFile::link(pty.path(), device));
        CPortMap map = test::mapSerialSlotsNowhere(profile);
        map.setDevicePath(1, device);
        map.save(profile.settings());
        profile.settings().setValue(QStringLiteral("镜头控制/COM1"), 1);
        record(scripted, QStringLiteral("r.mpg"));
    }

    QTemporaryDir dir;
    test::TempSettings profile, deviceValues;
    OpenQuestionPrompter prompter;
    CTrackFile track;
    test::ScriptedGraphFactory scripted;
    std::unique_ptr<ICaptureGraphFactory> usb;
    std::unique_ptr<CAcquisitionDlg> form; // last: it uses the graphs and the track
};

// The disk fills while the user is asked whether to stop: the question goes,
// the track stops with the video before the failure is told and keeps whole
// records, and the box says why.
TEST_F(RecordingFaultTest, ARecordingThatCannotBeWrittenEndsWithItsTrackAndSaysWhy)
{
    if (!QFileInfo(QStringLiteral("/dev/full")).isWritable())
        GTEST_SKIP() << "no /dev/full here";
    const QString path = dir.filePath(QStringLiteral("full.mpg"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), path));
    usb = makeUsbGraphFactory(stationFrameSink(), &deviceValues.settings());
    ASSERT_NO_FATAL_FAILURE(record(*usb, QStringLiteral("full.mpg")));
    const qsizetype before = prompter.boxTexts().size();
    form->OnStopRecord();
    ASSERT_TRUE(test::waitUntil([&] { return form->GetUiMode() == ModeIdle; }));

    EXPECT_EQ(prompter.withdrawn, QStringList{kStopQuestion});
    EXPECT_EQ(prompter.toldWhileTrackWrites, QStringList{kStopQuestion});
    EXPECT_EQ(prompter.boxTexts().mid(before),
              QStringList({kStopQuestion,
                           QStringLiteral("录像文件写入失败:\n%1\n磁盘空间不足").arg(path)}));
    const QString trackPath = dir.filePath(QStringLiteral("full.ss"));
    const qint64 size = QFileInfo(trackPath).size();
    EXPECT_EQ(size % kTrackRecordBytes, 0);
    test::waitUntil([] { return false; }, 200);
    EXPECT_EQ(QFileInfo(trackPath).size(), size);
}

// The counter's device goes away during a recording and comes back: the
// user is told at once and once, the recording runs on, the line is opened
// again by itself and the status keeps saying "录制" whatever the line does.
TEST_F(RecordingFaultTest, ACounterLostWhileRecordingIsToldOnceAndReconnectedByItself)
{
    const QString device = dir.filePath(QStringLiteral("counter"));
    auto pty = std::make_unique<test::PtyPair>();
    ASSERT_NO_FATAL_FAILURE(recordWithCounter(device, *pty));
    const auto status = [&](const QString& expected) {
        EXPECT_TRUE(test::waitUntil([&] { return form->statusText() == expected; }))
            << form->statusText().toStdString();
    };
    const auto sendDown = [&](const char* expected) {
        auto* depth = static_cast<QLineEdit*>(form->control(IDC_DEPTH));
        pty->write(test::counterFrameBytes(0xFE, 90));
        EXPECT_TRUE(test::waitUntil([&] { return depth->text() == QString::fromUtf8(expected); }))
            << depth->text().toStdString();
    };
    sendDown("0.001米");
    EXPECT_EQ(form->statusText(), QStringLiteral("录制--通讯成功"));
    const QStringList toldBefore = prompter.boxTexts();

    pty->hangUp();
    QFile::remove(device);
    status(QStringLiteral("录制--深度控制口和电子罗盘口连接中断,等待重新连接"));
    test::waitUntil([] { return false; }, 300); // some thirty tries
    const QStringList lost =
        toldBefore +
        QStringList{QStringLiteral("深度控制口和电子罗盘口连接中断!\n设备接回后将自动重新连接")};
    EXPECT_EQ(prompter.boxTexts(), lost);
    EXPECT_EQ(form->GetUiMode(), ModeRecording);
    EXPECT_TRUE(track.isWriting());

    pty = std::make_unique<test::PtyPair>();
    ASSERT_TRUE(QFile::link(pty->path(), device));
    status(QStringLiteral("录制--通讯成功"));
    sendDown("0.002米");
    EXPECT_EQ(prompter.boxTexts(), lost);

    // Saving the communication settings keeps the mode's word too.
    QTest::mouseClick(form->control(IDC_SAVE_COMM), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(prompter.boxTexts().last(), QStringLiteral("设置串口成功"));
    EXPECT_EQ(form->statusText(), QStringLiteral("录制--通讯成功"));
    sendDown("0.003米");
}

// A loose plug: the counter's device comes back and goes again while the
// user still reads that it went. The box is not shown again over itself.
TEST_F(RecordingFaultTest, ACounterThatComesAndGoesUnderItsBoxIsToldOnce)
{
    const QString device = dir.filePath(QStringLiteral("counter"));
    auto pty = std::make_unique<test::PtyPair>();
    ASSERT_NO_FATAL_FAILURE(recordWithCounter(device, *pty));
    const QString ok = QStringLiteral("录制--通讯成功");
    const QString lost = QStringLiteral("录制--深度控制口和电子罗盘口连接中断,等待重新连接");
    const auto goes = [&] {
        pty->hangUp();
        QFile::remove(device);
        EXPECT_TRUE(test::waitUntil([&] { return form->statusText() == lost; }));
    };
    prompter.underNextBox = [&] {
        pty = std::make_unique<test::PtyPair>();
        ASSERT_TRUE(QFile::link(pty->path(), device));
        EXPECT_TRUE(test::waitUntil([&] { return form->statusText() == ok; }));
        goes();
        test::waitUntil([] { return false; }, 100);
    };
    const qsizetype before = prompter.boxTexts().size();
    goes();
    test::waitUntil([] { return false; }, 100);
    EXPECT_EQ(prompter.boxTexts().mid(before),
              QStringList{QStringLiteral("深度控制口和电子罗盘口连接中断!\n设备接回后将自动重新连接")});
    EXPECT_EQ(form->GetUiMode(), ModeRecording);
}

} // namespace
} // namespace bc
