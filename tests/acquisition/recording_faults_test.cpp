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

#include <memory>

namespace bc {
namespace {

const QString kStopQuestion = QStringLiteral("正在录制,确认要停止录制");

// A prompter whose stop question stays open, with events running as under a
// real box, until it is answered by withdrawing it (or, failing that, by OK
// after a while). Notes whether the track was still being written when each
// box came up.
class OpenQuestionPrompter : public test::ScriptedPrompter {
  public:
    CTrackFile* track = nullptr;
    QStringList withdrawn;
    std::vector<bool> trackWritingAtBox;

    int messageBox(QWidget* parent, const QString& text, const QString& caption,
                   unsigned style) override
    {
        trackWritingAtBox.push_back(track && track->isWriting());
        if (text != kStopQuestion)
            return ScriptedPrompter::messageBox(parent, text, caption, style);
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
    void SetUp() override
    {
        test::mapSerialSlotsNowhere(profile);
        setCaptureSource(QStringLiteral("test:352x288@25"));
        publishDepthHeading(0, 0);
        prompter.track = &track;
    }
    void TearDown() override
    {
        form.reset();
        setCaptureSource(QString());
    }
    void makeForm(ICaptureGraphFactory& graphs)
    {
        AcquisitionHooks hooks;
        hooks.track = &track;
        hooks.setCaptureTarget = [](const QString&, const QString&, int) {};
        form = std::make_unique<CAcquisitionDlg>(graphs, profile.settings(), hooks);
        form->setWaitFunction([](int) {});
        form->show();
        form->OnInitDialog();
    }
    void record(const QString& path)
    {
        static_cast<QLineEdit*>(form->control(IDC_FILE))->setText(path);
        form->OnStartRecord();
    }

    QTemporaryDir dir;
    test::TempSettings profile;
    test::TempSettings deviceValues;
    OpenQuestionPrompter prompter;
    CTrackFile track;
    std::unique_ptr<ICaptureGraphFactory> usb =
        makeUsbGraphFactory(stationFrameSink(), &deviceValues.settings());
    test::ScriptedGraphFactory scripted;
    std::unique_ptr<CAcquisitionDlg> form;
};

// The disk fills while the user is being asked whether to stop: the question
// goes, the track stops with the video before the failure is told, keeps
// whole records, and the box says why.
TEST_F(RecordingFaultTest, ARecordingThatCannotBeWrittenEndsWithItsTrackAndSaysWhy)
{
    if (!QFileInfo(QStringLiteral("/dev/full")).isWritable())
        GTEST_SKIP() << "no /dev/full here";
    const QString path = dir.filePath(QStringLiteral("full.mpg"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), path));
    makeForm(*usb);
    record(path); // "overwrite?" is answered yes
    ASSERT_EQ(form->GetUiMode(), ModeRecording);
    ASSERT_TRUE(track.isWriting());
    const int before = int(prompter.boxes.size());
    form->OnStopRecord();
    ASSERT_TRUE(test::waitUntil([&] { return form->GetUiMode() == ModeIdle; }));

    EXPECT_EQ(prompter.withdrawn.join('|').toStdString(), kStopQuestion.toStdString());
    QStringList told;
    for (size_t i = size_t(before); i < prompter.boxes.size(); ++i) {
        told << prompter.boxes[i].text;
        if (prompter.boxes[i].text != kStopQuestion) {
            EXPECT_FALSE(prompter.trackWritingAtBox[i]) << prompter.boxes[i].text.toStdString();
        }
    }
    EXPECT_EQ(told.join('|').toStdString(),
              (kStopQuestion + QStringLiteral("|录像文件写入失败:\n%1\n磁盘空间不足").arg(path))
                  .toStdString());
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
    // Slot 1 is a name that leads to the device while it is there.
    const QString device = dir.filePath(QStringLiteral("counter"));
    auto pty = std::make_unique<test::PtyPair>();
    ASSERT_TRUE(pty->ok());
    ASSERT_TRUE(QFile::link(pty->path(), device));
    CPortMap map = test::mapSerialSlotsNowhere(profile);
    map.setDevicePath(1, device);
    map.save(profile.settings());
    profile.settings().setValue(QStringLiteral("镜头控制/COM1"), 1);
    makeForm(scripted);
    form->serialLine().setRetryPeriod(10);
    record(dir.filePath(QStringLiteral("r.mpg")));
    ASSERT_EQ(form->GetUiMode(), ModeRecording);
    const auto depth = [&] {
        return static_cast<QLineEdit*>(form->control(IDC_DEPTH))->text();
    };
    const auto sendDown = [&](const QString& expected) {
        pty->write(test::counterFrameBytes(0xFE, 90));
        EXPECT_TRUE(test::waitUntil([&] { return depth() == expected; })) << depth().toStdString();
    };
    sendDown(QStringLiteral("0.001米"));
    EXPECT_EQ(form->statusText(), QStringLiteral("录制--通讯成功"));
    const size_t boxes = prompter.boxes.size();

    pty->hangUp();
    QFile::remove(device);
    const QString lost = QStringLiteral("录制--深度控制口和电子罗盘口连接中断,等待重新连接");
    EXPECT_TRUE(test::waitUntil([&] { return form->statusText() == lost; }))
        << form->statusText().toStdString();
    test::waitUntil([] { return false; }, 300); // some thirty tries
    ASSERT_EQ(prompter.boxes.size(), boxes + 1);
    EXPECT_EQ(prompter.boxes.back().text,
              QStringLiteral("深度控制口和电子罗盘口连接中断!\n设备接回后将自动重新连接"));
    EXPECT_EQ(form->GetUiMode(), ModeRecording);
    EXPECT_TRUE(track.isWriting());

    pty = std::make_unique<test::PtyPair>();
    ASSERT_TRUE(QFile::link(pty->path(), device));
    EXPECT_TRUE(test::waitUntil([&] { return form->statusText() == "录制--通讯成功"; }))
        << form->statusText().toStdString();
    sendDown(QStringLiteral("0.002米"));
    EXPECT_EQ(prompter.boxes.size(), boxes + 1);

    // Saving the communication settings keeps the mode's word too.
    QTest::mouseClick(form->control(IDC_SAVE_COMM), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(prompter.boxes.back().text, QStringLiteral("设置串口成功"));
    EXPECT_EQ(form->statusText(), QStringLiteral("录制--通讯成功"));
    sendDown(QStringLiteral("0.003米"));
}

} // namespace
} // namespace bc
