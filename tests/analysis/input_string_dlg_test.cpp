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
    const struct {
        QString title, initial, button, shownTitle, result;
    } rows[] = {{"", "旧", "确定", "输入字符串", "x1"},
                {"产状", "", "确定", "产状", "x1"},
                {"产状", "旧", "取消", "产状", "旧"}};
    for (const auto& r : rows) {
        QStringList seen; // title, prompt, initial text, focus on the edit
        QTimer::singleShot(0, [&] {
            auto* dlg = qobject_cast<CInputStringDlg*>(QApplication::activeModalWidget());
            auto* edit = static_cast<QLineEdit*>(dlg->control(CInputStringDlg::IDC_TEXT));
            seen << dlg->windowTitle()
                 << static_cast<QLabel*>(dlg->control(CInputStringDlg::IDC_PROMPT))->text()
                 << edit->text() << QString::number(dlg->focusWidget() == edit);
            QTest::keyClicks(edit, "x1"); // replaces the selected initial text
            for (QPushButton* b : dlg->findChildren<QPushButton*>())
                if (b->text() == r.button)
                    QTest::mouseClick(b, Qt::LeftButton);
        });
        QString text = r.initial;
        EXPECT_EQ(askString(nullptr, "请输入产状描述", r.title, text), r.button == "确定");
        EXPECT_EQ(text, r.result);
        EXPECT_EQ(seen, QStringList({r.shownTitle, "请输入产状描述", r.initial, "1"}));
    }
}
