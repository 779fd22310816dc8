#include "ui/base_cool_bar.h"

#include "fixed_look.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QTimer>

#include <gtest/gtest.h>

using namespace bc;
using namespace bc::test;

namespace {

class CoolBarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        cursorAway();
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

    FixedLook look;
    QMainWindow window;
    CBaseCoolBar* bar = nullptr;
};

TEST_F(CoolBarTest, DockedAtTheSideTheBarStartsAtItsWidthAndShrinksNoFurtherThan32)
{
    dock(Qt::RightDockWidgetArea);
    EXPECT_EQ(bar->DockBarId(), CBaseCoolBar::AFX_IDW_DOCKBAR_RIGHT);
    EXPECT_EQ(bar->width(), 350);
    window.resizeDocks({bar}, {5}, Qt::Horizontal);
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->width(), 32);
    EXPECT_EQ(bar->VertDockedSize().width(), 32);
    window.resizeDocks({bar}, {2000}, Qt::Horizontal);
    QCoreApplication::processEvents();
    EXPECT_LT(bar->width(), window.width());

    // A size given at construction is the size docked.
    delete bar;
    bar = new CBaseCoolBar(QStringLiteral("bar"), QSize(240, 120), &window);
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
    // Two etched strips, 4 pixels apart: highlight above, shadow below;
    // nothing between the strip's end and the buttons.
    expectPixels(grabOf(*title()), {{20, 5, kFace}, {20, 6, kLight}, {20, 7, kFace},
                                    {20, 8, kShadow}, {20, 10, kLight}, {20, 12, kShadow},
                                    {20, 13, kFace}, {w - 33, 6, kFace}});

    // Without buttons the gripper takes their place; without frame stuff
    // there is no gripper.
    bar->ShowFrameStuff(true, false);
    EXPECT_FALSE(bar->CloseButton()->isVisible() || bar->DockButton()->isVisible());
    EXPECT_EQ(bar->GetGripperRect(), QRect(4, 6, w - 6 - 4, 3));
    bar->ShowFrameStuff(false, false);
    EXPECT_EQ(at(grabOf(*title()), 20, 6), kFace);
}

TEST_F(CoolBarTest, DockedAtTheTopTheGripperRunsDownTheLeftBelowTheButtons)
{
    dock(Qt::TopDockWidgetArea);
    EXPECT_TRUE(bar->features().testFlag(QDockWidget::DockWidgetVerticalTitleBar));
    ASSERT_NE(title(), nullptr);
    const int h = title()->height();
    EXPECT_EQ(title()->width(), CBaseCoolBar::kCaptionThickness);
    EXPECT_EQ(bar->GetGripperRect(), QRect(4, 33, 3, h - 4 - 33));
    EXPECT_EQ(bar->CloseButton()->geometry(), QRect(2, 3, 12, 12));
    EXPECT_EQ(bar->DockButton()->geometry(), QRect(2, 17, 12, 12));
    expectPixels(grabOf(*title()), {{3, 50, kFace}, {4, 50, kLight}, {6, 50, kShadow},
                                    {8, 50, kLight}, {10, 50, kShadow}, {11, 50, kFace}});
}

TEST_F(CoolBarTest, CaptionButtonsUseTheImageListByDockingSide)
{
    EXPECT_TRUE(bar->SetBtnImageList({solidIcon(Qt::red, 13), solidIcon(Qt::green, 13),
                                      solidIcon(Qt::blue, 13)})
                    .isEmpty());
    dock(Qt::RightDockWidgetArea);
    EXPECT_EQ(at(grabOf(*bar->CloseButton()), 6, 6), QColor(Qt::red));
    EXPECT_EQ(at(grabOf(*bar->DockButton()), 6, 6), QColor(Qt::blue));

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
    EXPECT_FALSE(bar->CloseButton()->isVisible() || bar->DockButton()->isVisible());

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
    auto shownAt = [&](QContextMenuEvent::Reason reason, QPoint local) {
        QPoint pos(-1, -1);
        QTimer::singleShot(0, [&] {
            pos = menu.pos();
            menu.close();
        });
        QContextMenuEvent event(reason, local, bar->mapToGlobal(local));
        QCoreApplication::sendEvent(bar, &event);
        return pos;
    };
    EXPECT_EQ(shownAt(QContextMenuEvent::Keyboard, QPoint(0, 0)),
              bar->mapToGlobal(bar->contentsRect().topLeft() + QPoint(5, 5)));
    EXPECT_EQ(shownAt(QContextMenuEvent::Mouse, QPoint(40, 60)), bar->mapToGlobal(QPoint(40, 60)));
}

class CJButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        cursorAway();
        button.resize(20, 20);
        button.SetIcon(solidIcon(Qt::red, 6), QSize(6, 6));
        button.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    }
    void TearDown() override { cursorAway(); }

    FixedLook look;
    CCJButton button;
};

TEST_F(CJButtonTest, FlatUntilHoveredRaisedUnderTheMouseSunkenWhenPressed)
{
    // The icon is centred, and moves by (1, 1) while pressed.
    expectPixels(grabOf(button), {{0, 0, kFace}, {19, 19, kFace}, {7, 7, Qt::red}, {13, 13, kFace}});
    hover(button);
    ASSERT_TRUE(QTest::qWaitFor([&] { return button.IsMouseOver(); }, 2000));
    expectPixels(grabOf(button), {{0, 0, kLight}, {19, 19, kShadow}});

    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(button.IsButtonDown());
    expectPixels(grabOf(button), {{0, 0, kShadow}, {19, 19, kLight}, {7, 7, kFace}, {13, 13, Qt::red}});
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(button.IsButtonDown());

    cursorAway();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !button.IsMouseOver(); }, 2000));
    EXPECT_FALSE(button.IsHoverTimerActive());
    EXPECT_EQ(at(grabOf(button), 0, 0), kFace);

    // Without the flat look two rings are always drawn.
    button.DisableFlatLook();
    expectPixels(grabOf(button), {{0, 0, kLight}, {1, 1, QColor(223, 223, 223)},
                                  {19, 19, QColor(64, 64, 64)}, {18, 18, kShadow}});
}

} // namespace
