#include "platform/prompter.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace bc;

TEST(Prompter, WithoutAPrompterTheDefaultButtonAnswers)
{
    Prompter* old = setPrompter(nullptr);
    const std::pair<unsigned, int> rows[] = {
        {MB_OK, IDOK},
        {MB_YESNO, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, IDNO},
        {MB_OKCANCEL | MB_DEFBUTTON2 | MB_ICONQUESTION, IDCANCEL},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
        {MB_YESNO | MB_DEFBUTTON3, IDYES}}; // beyond the style's buttons: the first
    for (const auto& [style, answer] : rows)
        EXPECT_EQ(messageBox(QStringLiteral("q"), QString(), style), answer) << style;
    EXPECT_TRUE(prompter().saveFileName(nullptr, {}, {}, {}).isEmpty());
    setPrompter(old);
}

TEST(Prompter, QtBoxesOpenCentredOnTheWindowTheyBelongTo)
{
    // A window away from the middle of the screen, with a field inside; the
    // box's default button is the style's.
    QWidget owner;
    owner.setGeometry(40, 30, 360, 240);
    auto* field = new QLineEdit(&owner);
    owner.show();
    QtPrompter qt;
    for (QWidget* parent : {static_cast<QWidget*>(field), static_cast<QWidget*>(nullptr)}) {
        owner.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&owner));
        QPoint offset(9999, 9999);
        bool cancelIsDefault = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            offset = box->frameGeometry().center() - owner.frameGeometry().center();
            cancelIsDefault = box->defaultButton() == box->button(QMessageBox::Cancel);
            box->button(QMessageBox::Cancel)->click();
        });
        EXPECT_EQ(qt.messageBox(parent, QStringLiteral("参数设置成功"), QString(),
                                MB_OKCANCEL | MB_DEFBUTTON2),
                  IDCANCEL);
        EXPECT_LE(offset.manhattanLength(), 4) << (parent ? "with a parent" : "without one");
        EXPECT_TRUE(cancelIsDefault);
    }
}

// Withdrawn with its text and owner, a box answers as through its way out;
// another text or owner leaves it open.
TEST(Prompter, AWithdrawnQtBoxClosesAsThroughItsWayOut)
{
    QWidget owner;
    owner.show();
    QtPrompter qt;
    qt.withdrawBox(&owner, QStringLiteral("q")); // nothing open: nothing happens
    const std::pair<unsigned, int> rows[] = {{MB_OKCANCEL, IDCANCEL}, {MB_YESNO, IDNO}};
    for (const auto& [style, wayOut] : rows) {
        bool otherStayed = false, pressed = false;
        QTimer::singleShot(0, [&] {
            qt.withdrawBox(&owner, QStringLiteral("other"));
            qt.withdrawBox(nullptr, QStringLiteral("q"));
            otherStayed = QApplication::activeModalWidget() != nullptr;
            qt.withdrawBox(&owner, QStringLiteral("q"));
        });
        QObject scope; // the fallback, pressed only if the box was never withdrawn
        QTimer::singleShot(5000, &scope, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                pressed = true;
                box->buttons().first()->click();
            }
        });
        EXPECT_EQ(qt.messageBox(&owner, QStringLiteral("q"), QString(), style), wayOut) << style;
        EXPECT_TRUE(otherStayed && !pressed);
    }
}

// Short texts under a longer title, over a window in the screen's bottom
// right corner: each box is wide enough for its title bar (the title, a
// 24-pixel icon and three 28-pixel buttons at the least) and opens within the
// screen's available area, borders included.
TEST(Prompter, QtBoxesFitTheirTitleAndStayOnTheScreen)
{
    QWidget owner;
    const QRect area = owner.screen()->availableGeometry();
    owner.setGeometry(area.right() - 60, area.bottom() - 40, 200, 150);
    owner.show();
    QtPrompter qt;
    // text, caption (empty: the program's title)
    const std::pair<const char*, const char*> rows[] = {
        {"打开串口失败!", ""}, {"参数设置成功", ""}, {"OK", "没有可以打开它的程序"}};
    for (const auto& [text, caption] : rows) {
        QRect frame;
        int wanted = 0;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            QFont bold = box->font();
            bold.setBold(true);
            wanted = QFontMetrics(bold).horizontalAdvance(box->windowTitle()) + 24 + 3 * 28;
            frame = box->frameGeometry();
            box->button(QMessageBox::Ok)->click();
        });
        qt.messageBox(&owner, QString::fromUtf8(text), QString::fromUtf8(caption), MB_OK);
        EXPECT_GE(frame.width(), wanted) << text;
        EXPECT_TRUE(area.contains(frame)) << frame.right() << "," << frame.bottom();
    }
}
