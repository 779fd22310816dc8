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
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <memory>

namespace bc {
namespace {

using test::fileBytes;

class SurveyFiles : public ::testing::Test {
  protected:
    // A survey of `count` strips with their JPEG files, in `folder` (the
    // fixture's folder when empty).
    QString writeSurvey(int count = 12, QString folder = {})
    {
        if (folder.isEmpty())
            folder = dir.path();
        const QString sfa = QDir(folder).filePath(QStringLiteral("hole.sfa"));
        CUnWrapData d(sfa, folder);
        test::addStrips(d, count, 1000, 100, 16, 12);
        EXPECT_TRUE(d.SaveSfa(count, true));
        EXPECT_EQ(d.GetPageCount(10), 2);
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

// Damaged and missing files say which file and what is wrong with it, in
// Chinese, in one box: an index too short to be one is damaged, not of
// another kind; the strips of a page that cannot be read are named together.
TEST_F(SurveyFiles, DamagedFilesNameTheFileAndWhatIsWrong)
{
    using Damage = std::function<void(const QString& folder)>;
    const auto strip = [](const QString& folder, int key) {
        return QDir(folder).filePath(QStringLiteral("%1.jpg").arg(key));
    };
    const auto rewrite = [](const QString& path, const QByteArray& bytes) {
        ASSERT_TRUE(test::writeFileBytes(path, bytes));
    };
    const auto sfaOf = [](const QString& folder) {
        return QDir(folder).filePath(QStringLiteral("hole.sfa"));
    };
    // An unknown marker right after the start of the picture.
    const auto damage = [&](const QString& path) {
        rewrite(path, fileBytes(path).insert(2, QByteArray("\xFF\x24\x00\x04"
                                                           "ab",
                                                           6)));
    };
    const auto cut = [&](const QString& path) {
        rewrite(path, fileBytes(path).left(int(QFileInfo(path).size() / 2)));
    };
    const QString sfaText = QStringLiteral("无法读取SFA文件: '%1'\n文件已损坏(%2)");
    const QString stripText = QStringLiteral("无法读取图像文件: %1\n%2");
    const QString damaged = QStringLiteral("文件已损坏,不是有效的JPEG图像");
    const struct {
        const char* name;
        Damage harm;
        std::function<QString(const QString& folder)> says; // the one box
    } cases[] = {
        {"empty index", [&](const QString& f) { rewrite(sfaOf(f), {}); },
         [&](const QString& f) { return sfaText.arg(sfaOf(f), QStringLiteral("文件是空的")); }},
        {"three bytes of index", [&](const QString& f) { rewrite(sfaOf(f), "sfa"); },
         [&](const QString& f) { return sfaText.arg(sfaOf(f), QStringLiteral("只有3字节")); }},
        {"damaged strip", [&](const QString& f) { damage(strip(f, 1000)); },
         [&](const QString& f) { return stripText.arg(strip(f, 1000), damaged); }},
        {"strip cut short", [&](const QString& f) { cut(strip(f, 1300)); },
         [&](const QString& f) {
             return stripText.arg(strip(f, 1300), QStringLiteral("文件不完整(被截断)"));
         }},
        {"missing strip", [&](const QString& f) { QFile::remove(strip(f, 1900)); },
         [&](const QString& f) {
             return stripText.arg(strip(f, 1900), QStringLiteral("文件不存在"));
         }},
        {"two bad strips on one page",
         [&](const QString& f) {
             damage(strip(f, 1100));
             QFile::remove(strip(f, 1500));
         },
         [&](const QString& f) {
             return stripText.arg(strip(f, 1100), damaged) + u'\n' +
                    stripText.arg(strip(f, 1500), QStringLiteral("文件不存在"));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        writeSurvey(12, folder.path());
        c.harm(folder.path());
        prompter.boxes.clear();
        auto frame = openInStitchWindow(sfaOf(folder.path()));
        ASSERT_EQ(prompter.boxes.size(), 1u) << prompter.boxTexts().join(u'|').toStdString();
        EXPECT_EQ(prompter.boxes[0].text, c.says(folder.path()));
        EXPECT_EQ(prompter.boxes[0].caption, QStringLiteral("出错"));
    }
}

} // namespace
} // namespace bc
