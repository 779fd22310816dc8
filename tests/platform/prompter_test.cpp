#include "platform/prompter.h"
#include "support/scripted_prompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace bc;

TEST(Prompter, DefaultAnswerFollowsDefaultButton)
{
    EXPECT_EQ(defaultAnswer(MB_OK), IDOK);
    EXPECT_EQ(defaultAnswer(MB_YESNO), IDYES);
    EXPECT_EQ(defaultAnswer(MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(defaultAnswer(MB_OKCANCEL | MB_DEFBUTTON2 | MB_ICONQUESTION), IDCANCEL);
    EXPECT_EQ(defaultAnswer(MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
    // A default button beyond the style's buttons falls back to the first.
    EXPECT_EQ(defaultAnswer(MB_OK | MB_DEFBUTTON3), IDOK);
}

TEST(Prompter, ScriptedPrompterRecordsAndRestores)
{
    Prompter* before = &prompter();
    {
        test::ScriptedPrompter scripted;
        EXPECT_EQ(&prompter(), &scripted);
        scripted.boxAnswers.push_back(IDNO);
        EXPECT_EQ(messageBox(QStringLiteral("正在录制"), QStringLiteral("提示"), MB_YESNO), IDNO);
        // Script exhausted: the default button answers.
        EXPECT_EQ(messageBox(QStringLiteral("x"), QString(), MB_YESNO | MB_DEFBUTTON2), IDNO);
        ASSERT_EQ(scripted.boxes.size(), 2u);
        EXPECT_EQ(scripted.boxes[0].caption, QStringLiteral("提示"));
        scripted.fileAnswers.push_back(QStringLiteral("/tmp/a.sfa"));
        EXPECT_EQ(prompter().openFileName(nullptr, QStringLiteral("t"), {}, {}),
                  QStringLiteral("/tmp/a.sfa"));
        EXPECT_TRUE(prompter().folderName(nullptr, QStringLiteral("f"), {}).isEmpty());
        EXPECT_EQ(scripted.dialogTitles, QStringList({"t", "f"}));
    }
    EXPECT_EQ(&prompter(), before);
}

TEST(Prompter, SilentDefaultCancelsDialogs)
{
    Prompter* old = setPrompter(nullptr);
    EXPECT_TRUE(prompter().saveFileName(nullptr, {}, {}, {}).isEmpty());
    EXPECT_EQ(messageBox(QStringLiteral("q"), QString(), MB_OKCANCEL), IDOK);
    setPrompter(old);
}

TEST(Prompter, QtBoxesOpenCentredOnTheWindowTheyBelongTo)
{
    // A window away from the middle of the screen, with a field inside.
    QWidget owner;
    owner.setGeometry(40, 30, 360, 240);
    auto* field = new QLineEdit(&owner);
    owner.show();
    QtPrompter qt;
    for (QWidget* parent : {static_cast<QWidget*>(field), static_cast<QWidget*>(nullptr)}) {
        owner.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&owner));
        QPoint offset(9999, 9999);
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            offset = box->frameGeometry().center() - owner.frameGeometry().center();
            box->button(QMessageBox::Ok)->click();
        });
        EXPECT_EQ(qt.messageBox(parent, QStringLiteral("参数设置成功"), QString(), MB_OK), IDOK);
        EXPECT_LE(offset.manhattanLength(), 4) << (parent ? "with a parent" : "without one");
    }
}
