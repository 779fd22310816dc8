#include "ui/base_cool_bar.h"

#include "fixed_look.h"

#include <QCursor>
#include <QImage>
#include <QLabel>
#include <QContextMenuEvent>
#include <QMainWindow>
#include <QMenu>
#include <QTimer>
#include <QPainter>
#include <QPixmap>
#include <QTest>

#include <gtest/gtest.h>

using namespace bc;
using bc::test::at;
using bc::test::grabOf;

namespace {

QIcon solidIcon(const QColor& colour)
{
    return test::solidIcon(colour, 13);
}

class CoolBarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QCursor::setPos(QPoint(5000, 5000));
        window.resize(900, 700);
        window.setCentralWidget(new QLabel(QStringLiteral("centre")));
        bar = new CBaseCoolBar(QStringLiteral("产状工具箱"), &window);
        bar->setWidget(new QLabel(QStringLiteral("list")));
    }

    void dock(Qt::DockWidgetArea area)
    {
        window.addDockWidget(area, bar);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
    }

    QWidget* title() const { return bar->titleBarWidget(); }

    test::FixedLook look;
    QMainWindow window;
    CBaseCoolBar* bar = nullptr;
};

TEST_F(CoolBarTest, DockedAtTheSideTheBarStartsAtItsWidthAndShrinksNoFurtherThan32)
{
    dock(Qt::RightDockWidgetArea);
    EXPECT_EQ(bar->DockBarId(), CBaseCoolBar::AFX_IDW_DOCKBAR_RIGHT);
    EXPECT_TRUE(bar->IsVertDocked());
    EXPECT_FALSE(bar->IsHorzDocked());
    EXPECT_FALSE(bar->IsFloating());
    EXPECT_EQ(bar->width(), 350);
    EXPECT_EQ(bar->minimumSize(), QSize(32, 32));

    window.resizeDocks({bar}, {5}, Qt::Horizontal);
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->width(), 32);
    EXPECT_EQ(bar->VertDockedSize().width(), 32);

    window.resizeDocks({bar}, {2000}, Qt::Horizontal);
    QCoreApplication::processEvents();
    EXPECT_LT(bar->width(), window.width());
}

TEST_F(CoolBarTest, GivenSizeIsUsedOnEverySide)
{
    delete bar;
    bar = new CBaseCoolBar(QStringLiteral("bar"), QSize(240, 120), &window);
    EXPECT_EQ(bar->HorzDockedSize(), QSize(240, 120));
    EXPECT_EQ(bar->VertDockedSize(), QSize(240, 120));
    EXPECT_EQ(bar->FloatingSize(), QSize(240, 120));
    dock(Qt::LeftDockWidgetArea);
    EXPECT_EQ(bar->width(), 240);
}

TEST_F(CoolBarTest, DockedLeftOrRightTheGripperRunsAlongTheTopLeftOfTheButtons)
{
    dock(Qt::RightDockWidgetArea);
    ASSERT_NE(title(), nullptr);
    const int w = title()->width();
    EXPECT_EQ(title()->height(), CBaseCoolBar::kCaptionThickness);
    EXPECT_EQ(bar->GetGripperRect(), QRect(4, 6, w - 34 - 4, 3));
    EXPECT_EQ(bar->CloseButton()->geometry(), QRect(w - 31, 3, 12, 12));
    EXPECT_EQ(bar->DockButton()->geometry(), QRect(w - 17, 3, 12, 12));
    EXPECT_TRUE(bar->CloseButton()->isVisible());
    EXPECT_EQ(bar->CloseButton()->toolTip(), QStringLiteral("Hide Docked Window"));
    EXPECT_EQ(bar->DockButton()->toolTip(), QStringLiteral("Minimize Docked Window"));

    // Two etched strips, 4 pixels apart: highlight above, shadow below.
    const QImage image = grabOf(*title());
    const int x = 20;
    EXPECT_EQ(at(image, x, 5), test::kFace);
    EXPECT_EQ(at(image, x, 6), test::kLight);
    EXPECT_EQ(at(image, x, 7), test::kFace);
    EXPECT_EQ(at(image, x, 8), test::kShadow);
    EXPECT_EQ(at(image, x, 10), test::kLight);
    EXPECT_EQ(at(image, x, 12), test::kShadow);
    EXPECT_EQ(at(image, x, 13), test::kFace);
    // Nothing between the strip's end and the buttons.
    EXPECT_EQ(at(image, w - 33, 6), test::kFace);
}

TEST_F(CoolBarTest, DockedAtTheTopTheGripperRunsDownTheLeftBelowTheButtons)
{
    dock(Qt::TopDockWidgetArea);
    EXPECT_TRUE(bar->IsHorzDocked());
    EXPECT_TRUE(bar->features().testFlag(QDockWidget::DockWidgetVerticalTitleBar));
    ASSERT_NE(title(), nullptr);
    const int h = title()->height();
    EXPECT_EQ(title()->width(), CBaseCoolBar::kCaptionThickness);
    EXPECT_EQ(bar->GetGripperRect(), QRect(4, 33, 3, h - 4 - 33));
    EXPECT_EQ(bar->CloseButton()->geometry(), QRect(2, 3, 12, 12));
    EXPECT_EQ(bar->DockButton()->geometry(), QRect(2, 17, 12, 12));

    const QImage image = grabOf(*title());
    const int y = 50;
    EXPECT_EQ(at(image, 3, y), test::kFace);
    EXPECT_EQ(at(image, 4, y), test::kLight);
    EXPECT_EQ(at(image, 6, y), test::kShadow);
    EXPECT_EQ(at(image, 8, y), test::kLight);
    EXPECT_EQ(at(image, 10, y), test::kShadow);
    EXPECT_EQ(at(image, 11, y), test::kFace);
}

TEST_F(CoolBarTest, WithoutButtonsTheGripperTakesTheirPlace)
{
    dock(Qt::RightDockWidgetArea);
    bar->ShowFrameStuff(true, false);
    const int w = title()->width();
    EXPECT_FALSE(bar->CloseButton()->isVisible());
    EXPECT_FALSE(bar->DockButton()->isVisible());
    EXPECT_EQ(bar->GetGripperRect(), QRect(4, 6, w - 6 - 4, 3));

    bar->ShowFrameStuff(false, false);
    const QImage image = grabOf(*title());
    EXPECT_EQ(at(image, 20, 6), test::kFace);
}

TEST_F(CoolBarTest, CaptionButtonsUseTheImageListByDockingSide)
{
    const QList<QIcon> images = {solidIcon(Qt::red), solidIcon(Qt::green), solidIcon(Qt::blue)};
    EXPECT_TRUE(bar->SetBtnImageList(images).isEmpty());
    dock(Qt::RightDockWidgetArea);
    const QImage close = grabOf(*bar->CloseButton());
    const QImage dockSide = grabOf(*bar->DockButton());
    EXPECT_EQ(at(close, 6, 6), QColor(Qt::red));
    EXPECT_EQ(at(dockSide, 6, 6), QColor(Qt::blue));

    window.removeDockWidget(bar);
    window.addDockWidget(Qt::BottomDockWidgetArea, bar);
    bar->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(at(grabOf(*bar->DockButton()), 6, 6), QColor(Qt::green));
    EXPECT_EQ(bar->SetBtnImageList({}).size(), 3);
}

TEST_F(CoolBarTest, CloseButtonHidesAndDockButtonFloatsAndDocksAgain)
{
    dock(Qt::RightDockWidgetArea);
    QTest::mouseClick(bar->DockButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
    ASSERT_TRUE(bar->IsFloating());
    EXPECT_EQ(bar->DockBarId(), 0);
    // Floating: the default title bar, no gripper or caption buttons.
    EXPECT_EQ(bar->titleBarWidget(), nullptr);
    EXPECT_FALSE(bar->CloseButton()->isVisible());
    EXPECT_FALSE(bar->DockButton()->isVisible());

    bar->OnButtonMinimize();
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->DockBarId(), CBaseCoolBar::AFX_IDW_DOCKBAR_RIGHT);
    ASSERT_NE(bar->titleBarWidget(), nullptr);
    EXPECT_TRUE(bar->CloseButton()->isVisible());

    QTest::mouseClick(bar->CloseButton(), Qt::LeftButton);
    EXPECT_FALSE(bar->isVisible());
}

TEST_F(CoolBarTest, KeyboardContextMenuOpensNearTheTopLeftCorner)
{
    dock(Qt::RightDockWidgetArea);
    QMenu menu;
    menu.addAction(QStringLiteral("entry"));
    bar->SetMenu(&menu);
    EXPECT_EQ(bar->GetMenu(), &menu);

    QPoint shownAt(-1, -1);
    QTimer::singleShot(0, [&] {
        shownAt = menu.pos();
        menu.close();
    });
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(0, 0),
                            bar->mapToGlobal(QPoint(0, 0)));
    QCoreApplication::sendEvent(bar, &event);
    EXPECT_EQ(shownAt, bar->mapToGlobal(bar->contentsRect().topLeft() + QPoint(5, 5)));

    shownAt = QPoint(-1, -1);
    QTimer::singleShot(0, [&] {
        shownAt = menu.pos();
        menu.close();
    });
    const QPoint local(40, 60);
    QContextMenuEvent mouse(QContextMenuEvent::Mouse, local, bar->mapToGlobal(local));
    QCoreApplication::sendEvent(bar, &mouse);
    EXPECT_EQ(shownAt, bar->mapToGlobal(local));
}

// ---------------------------------------------------------------------------

class CJButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QCursor::setPos(QPoint(5000, 5000));
        button.resize(20, 20);
        QPixmap pixmap(6, 6);
        pixmap.fill(Qt::red);
        button.SetIcon(QIcon(pixmap), QSize(6, 6));
        button.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    }
    void TearDown() override { QCursor::setPos(QPoint(5000, 5000)); }

    test::FixedLook look;
    CCJButton button;
};

TEST_F(CJButtonTest, FlatUntilHoveredRaisedUnderTheMouseSunkenWhenPressed)
{
    QImage image = grabOf(button);
    EXPECT_EQ(at(image, 0, 0), test::kFace);
    EXPECT_EQ(at(image, 19, 19), test::kFace);
    EXPECT_EQ(button.IconRect(), QRect(7, 7, 6, 6));
    EXPECT_EQ(at(image, 7, 7), QColor(Qt::red));
    EXPECT_EQ(at(image, 13, 13), test::kFace);

    QCursor::setPos(button.mapToGlobal(QPoint(10, 10)));
    QTest::mouseMove(&button, QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitFor([&] { return button.IsMouseOver(); }, 2000));
    image = grabOf(button);
    EXPECT_EQ(at(image, 0, 0), test::kLight);
    EXPECT_EQ(at(image, 19, 19), test::kShadow);

    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(button.IsButtonDown());
    image = grabOf(button);
    EXPECT_EQ(at(image, 0, 0), test::kShadow);
    EXPECT_EQ(at(image, 19, 19), test::kLight);
    // The icon moves by (1, 1) while pressed.
    EXPECT_EQ(at(image, 7, 7), test::kFace);
    EXPECT_EQ(at(image, 13, 13), QColor(Qt::red));
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(button.IsButtonDown());

    QCursor::setPos(QPoint(5000, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !button.IsMouseOver(); }, 2000));
    EXPECT_FALSE(button.IsHoverTimerActive());
    image = grabOf(button);
    EXPECT_EQ(at(image, 0, 0), test::kFace);
}

TEST_F(CJButtonTest, WithoutTheFlatLookTwoRingsAreAlwaysDrawn)
{
    button.DisableFlatLook();
    const QImage image = grabOf(button);
    EXPECT_EQ(at(image, 0, 0), test::kLight);
    EXPECT_EQ(at(image, 1, 1), QColor(223, 223, 223));
    EXPECT_EQ(at(image, 19, 19), QColor(64, 64, 64));
    EXPECT_EQ(at(image, 18, 18), test::kShadow);
}

} // namespace
