// The form's recording when things go wrong underneath it: the recording file
// refuses its writes, the depth counter's device goes away and comes back.

#include "acquisition/acquisition_dlg.h"

#include "acquisition/device_control.h"
#include "acquisition/track_file.h"
#include "acquisition/usb_filter.h"
#include "acquisition/video_wnd.h"
#include "core/program_values.h"
#include "support/scripted_prompter.h"
#include "support/serial_pty.h"
#include "support/serial_slots.h"
#include "support/temp_settings.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>

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
    void makeForm()
    {
        AcquisitionHooks hooks;
        hooks.track = &track;
        hooks.setCaptureTarget = [](const QString&, const QString&, int) {};
        form = std::make_unique<CAcquisitionDlg>(*usb, profile.settings(), hooks);
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
    makeForm();
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
              (kStopQuestion + QStringLiteral("|录像文件写入失败:\n%1\n磁盘空间已满").arg(path))
                  .toStdString());
    const QString trackPath = dir.filePath(QStringLiteral("full.ss"));
    const qint64 size = QFileInfo(trackPath).size();
    EXPECT_EQ(size % kTrackRecordBytes, 0);
    test::waitUntil([] { return false; }, 200);
    EXPECT_EQ(QFileInfo(trackPath).size(), size);
}

} // namespace
} // namespace bc
