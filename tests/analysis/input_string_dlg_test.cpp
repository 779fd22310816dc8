#include "analysis/input_string_dlg.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace bc;

TEST(InputStringDlg, AsksWithPromptAndTitleAndReturnsTheTypedText)
{
    struct Row {
        QString title;
        QString initial;
        bool ok;
        QString shownTitle;
        QString result;
    };
    const Row rows[] = {
        {QString(), QStringLiteral("旧"), true, QStringLiteral("输入字符串"), QStringLiteral("x1")},
        {QStringLiteral("产状"), QString(), true, QStringLiteral("产状"), QStringLiteral("x1")},
        {QStringLiteral("产状"), QStringLiteral("旧"), false, QStringLiteral("产状"),
         QStringLiteral("旧")},
    };
    for (const Row& r : rows) {
        QString seenTitle, seenPrompt, seenText;
        bool focused = false;
        QTimer::singleShot(0, [&] {
            auto* dlg = qobject_cast<CInputStringDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dlg, nullptr);
            seenTitle = dlg->windowTitle();
            seenPrompt = static_cast<QLabel*>(dlg->control(CInputStringDlg::IDC_PROMPT))->text();
            auto* edit = static_cast<QLineEdit*>(dlg->control(CInputStringDlg::IDC_TEXT));
            seenText = edit->text();
            focused = dlg->focusWidget() == edit;
            QTest::keyClicks(edit, QStringLiteral("x1")); // replaces the selected initial text
            for (QPushButton* b : dlg->findChildren<QPushButton*>())
                if (b->text() == (r.ok ? QStringLiteral("确定") : QStringLiteral("取消")))
                    QTest::mouseClick(b, Qt::LeftButton);
        });
        QString text = r.initial;
        EXPECT_EQ(askString(nullptr, QStringLiteral("请输入产状描述"), r.title, text), r.ok);
        EXPECT_EQ(text, r.result);
        EXPECT_EQ(seenTitle, r.shownTitle);
        EXPECT_EQ(seenPrompt, QStringLiteral("请输入产状描述"));
        EXPECT_EQ(seenText, r.initial);
        EXPECT_TRUE(focused);
    }
}
