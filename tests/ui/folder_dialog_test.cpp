#include "ui/folder_dialog.h"

#include "support/scripted_prompter.h"

#include <gtest/gtest.h>

using namespace bc;

namespace {

// Records the folder a dialog starts at as well.
class RecordingPrompter : public test::ScriptedPrompter {
  public:
    QStringList dirs;
    QString folderName(QWidget* parent, const QString& title, const QString& dir) override
    {
        dirs << dir;
        return ScriptedPrompter::folderName(parent, title, dir);
    }
};

TEST(FolderDialogTest, DialogsStartWhereAskedAndACancelLeavesThePathEmpty)
{
    RecordingPrompter prompter;
    prompter.fileAnswers = {QStringLiteral("/data/survey/"), QString()};
    CSaveFolderDialog dialog(nullptr);
    dialog.SetStartFolder(QStringLiteral("/data/images"));
    ASSERT_TRUE(dialog.DoModal());
    EXPECT_EQ(dialog.GetFolderPath(), QStringLiteral("/data/survey/"));
    EXPECT_EQ(dialog.GetDisplayName(), QStringLiteral("survey"));
    EXPECT_FALSE(dialog.DoModal());
    EXPECT_TRUE(dialog.GetFolderPath().isEmpty() && dialog.GetDisplayName().isEmpty());

    CFolderDialog plain(nullptr, QStringLiteral("/srv"), QStringLiteral("选择目录"));
    EXPECT_FALSE(plain.DoModal());
    const QString save = QStringLiteral("请选择一个保存路径:");
    EXPECT_EQ(prompter.dialogTitles, QStringList({save, save, QStringLiteral("选择目录")}));
    EXPECT_EQ(prompter.dirs, QStringList({"/data/images", "/data/images", "/srv"}));
}

} // namespace
