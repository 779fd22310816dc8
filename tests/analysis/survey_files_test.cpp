// The survey's files under faults: a disk that refuses writes, stale
// temporaries of a killed save, damaged and missing files.

#include "analysis/unwrap_data.h"
#include "analysis/unwrap_frame.h"
#include "analysis/unwrap_frame_ids.h"
#include "analysis/unwrap_view.h"
#include "core/atomic_file.h"
#include "core/survey_params.h"
#include "support/file_bytes.h"
#include "support/file_size_limit.h"
#include "support/no_file_override.h"
#include "support/scripted_prompter.h"
#include "support/survey_fixtures.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

namespace bc {
namespace {

using test::fileBytes;

class SurveyFiles : public ::testing::Test {
  protected:
    // A survey of `count` strips with their JPEG files.
    QString writeSurvey(int count = 12)
    {
        const QString sfa = dir.filePath(QStringLiteral("hole.sfa"));
        CUnWrapData d(sfa, dir.path());
        test::addStrips(d, count, 1000, 100, 16, 12);
        EXPECT_TRUE(d.SaveSfa(count, true));
        return sfa;
    }
    // The stitch window as the station opens it, with `sfa` opened.
    std::unique_ptr<CUnWrapFrame> openInStitchWindow(const QString& sfa)
    {
        WorkspaceContext ctx;
        ctx.settings = &settings;
        std::unique_ptr<CUnWrapFrame> frame(OpenStitchFrame(nullptr, ctx));
        frame->setAttribute(Qt::WA_DeleteOnClose, false);
        frame->show();
        prompter.fileAnswers.push_back(sfa);
        frame->commandAction(ID_FILE_OPEN)->trigger();
        return frame;
    }
    QStringList files() const
    {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    CSurveyParams settings;
    test::ScriptedPrompter prompter;
    QTemporaryDir dir;
};

// "保存" on a disk that refuses the index keeps the old index whole, leaves
// no temporary file and says why.
TEST_F(SurveyFiles, SaveOnAFullDiskKeepsTheOldIndexAndSaysWhy)
{
    const QString sfa = writeSurvey();
    const QByteArray old = fileBytes(sfa);
    const QStringList before = files();
    // What a save killed before its rename left behind goes with the next one.
    ASSERT_TRUE(test::writeFileBytes(sfa + QStringLiteral(".4242-1.tmp"), "newer"));
    auto frame = openInStitchWindow(sfa);
    ASSERT_EQ(frame->GetUnWrapView()->GetData()->GetItemCount(), 12);
    {
        test::FileSizeLimit full(64);
        frame->commandAction(ID_FILE_SAVE)->trigger();
    }
    EXPECT_EQ(fileBytes(sfa), old);
    EXPECT_EQ(files(), before);
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].text, QStringLiteral("保存SFA文件失败\n") + SystemErrorText(EFBIG));
    EXPECT_EQ(prompter.boxes[0].caption, QStringLiteral("出错"));
}

// A survey on a folder the user may not write: "保存" and "导出当前页面" say
// why, in Chinese, and change nothing.
TEST_F(SurveyFiles, AReadOnlySurveySaysWhyItCannotBeWritten)
{
    const QString sfa = writeSurvey();
    const QByteArray old = fileBytes(sfa);
    const QStringList before = files();
    auto frame = openInStitchWindow(sfa);
    const QString page = dir.filePath(QStringLiteral("page.jpg"));
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    {
        test::NoFileOverride user;
        frame->commandAction(ID_FILE_SAVE)->trigger();
        prompter.fileAnswers.push_back(page);
        frame->commandAction(ID_EXPORT_CURRENT_PAGE)->trigger();
    }
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(prompter.boxTexts(),
              QStringList({QStringLiteral("保存SFA文件失败\n没有写入权限"),
                           QStringLiteral("无法写入图像文件: %1\n没有写入权限").arg(page)}));
    EXPECT_EQ(fileBytes(sfa), old);
    EXPECT_EQ(files(), before);
}

} // namespace
} // namespace bc
