#include "ui/base_cool_bar.h"

#include "fixed_look.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QTimer>

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
        // Close; dock when docked at the top or bottom; dock when at a side.
        bar->SetBtnImageList(
            {solidIcon(Qt::red, 13), solidIcon(Qt::blue, 13), solidIcon(Qt::green, 13)});
    }

    void dock(Qt::DockWidgetArea area)
    {
        window.addDockWidget(area, bar);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
    }

    FixedLook look;
    QMainWindow window;
    CBaseCoolBar* bar = nullptr;
};

TEST_F(CoolBarTest, DockedAtTheSideTheBarStartsAt350PixelsAndShrinksNoFurtherThan32)
{
    dock(Qt::RightDockWidgetArea);
    EXPECT_EQ(bar->width(), 350);
    window.resizeDocks({bar}, {5}, Qt::Horizontal);
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->width(), 32);
}

TEST_F(CoolBarTest, DockedLeftOrRightTheGripperRunsAlongTheTopLeftOfTheButtons)
{
    dock(Qt::RightDockWidgetArea);
    QWidget* title = bar->titleBarWidget();
    const int w = title->width();
    EXPECT_EQ(bar->CloseButton()->geometry(), QRect(w - 31, 3, 12, 12));
    EXPECT_EQ(bar->DockButton()->geometry(), QRect(w - 17, 3, 12, 12));
    expectPixels(grabOf(*bar->CloseButton()), {{6, 6, Qt::red}});
    expectPixels(grabOf(*bar->DockButton()), {{6, 6, Qt::green}});
    // Two etched strips, 4 pixels apart: highlight above, shadow below. They
    // run from x = 4 to 4 pixels short of the buttons.
    expectPixels(grabOf(*title), {{20, 5, kFace}, {20, 6, kLight}, {20, 7, kFace}, {20, 8, kShadow},
                                  {20, 10, kLight}, {20, 12, kShadow}, {20, 13, kFace},
                                  {3, 7, kFace}, {4, 7, kLight}, {w - 35, 7, kShadow},
                                  {w - 34, 7, kFace}});

    // Without buttons the gripper takes their place; without frame stuff
    // there is no gripper.
    bar->ShowFrameStuff(true, false);
    EXPECT_FALSE(bar->CloseButton()->isVisible() || bar->DockButton()->isVisible());
    expectPixels(grabOf(*title), {{w - 7, 7, kShadow}, {w - 6, 7, kFace}});
    bar->ShowFrameStuff(false, false);
    expectPixels(grabOf(*title), {{20, 6, kFace}});
}

TEST_F(CoolBarTest, DockedAtTheTopTheGripperRunsDownTheLeftBelowTheButtons)
{
    dock(Qt::TopDockWidgetArea);
    QWidget* title = bar->titleBarWidget();
    const int h = title->height();
    EXPECT_EQ(bar->CloseButton()->geometry(), QRect(2, 3, 12, 12));
    EXPECT_EQ(bar->DockButton()->geometry(), QRect(2, 17, 12, 12));
    expectPixels(grabOf(*bar->DockButton()), {{6, 6, Qt::blue}});
    // From y = 33 to 4 pixels short of the bottom.
    expectPixels(grabOf(*title), {{3, 50, kFace}, {4, 50, kLight}, {6, 50, kShadow},
                                  {8, 50, kLight}, {10, 50, kShadow}, {11, 50, kFace},
                                  {5, 32, kFace}, {5, 33, kLight}, {5, h - 5, kShadow},
                                  {5, h - 4, kFace}});
}

TEST_F(CoolBarTest, DockButtonFloatsAndDocksAgainAndCloseButtonHides)
{
    dock(Qt::RightDockWidgetArea);
    // Floating: the default title bar, no gripper or caption buttons.
    QTest::mouseClick(bar->DockButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
    ASSERT_TRUE(bar->IsFloating());
    EXPECT_FALSE(bar->CloseButton()->isVisible() || bar->DockButton()->isVisible());
    bar->OnButtonMinimize();
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->DockBarId(), CBaseCoolBar::AFX_IDW_DOCKBAR_RIGHT);
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

TEST_F(CoolBarTest, CaptionButtonIsFlatUntilHoveredAndSinksWithItsIconWhenPressed)
{
    CCJButton button;
    button.resize(20, 20);
    button.SetIcon(solidIcon(Qt::red, 6), QSize(6, 6));
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    // The icon is centred, and moves by (1, 1) while pressed.
    expectPixels(grabOf(button),
                 {{0, 0, kFace}, {19, 19, kFace}, {7, 7, Qt::red}, {13, 13, kFace}});
    hover(button);
    ASSERT_TRUE(QTest::qWaitFor([&] { return button.IsMouseOver(); }, 2000));
    expectPixels(grabOf(button), {{0, 0, kLight}, {19, 19, kShadow}});
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
    expectPixels(grabOf(button),
                 {{0, 0, kShadow}, {19, 19, kLight}, {7, 7, kFace}, {13, 13, Qt::red}});
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 10));
    cursorAway();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !button.IsMouseOver(); }, 2000));
    EXPECT_FALSE(button.IsHoverTimerActive());
    expectPixels(grabOf(button), {{0, 0, kFace}});

    // Without the flat look two rings are always drawn.
    button.DisableFlatLook();
    expectPixels(grabOf(button), {{0, 0, kLight}, {1, 1, QColor(223, 223, 223)},
                                  {19, 19, QColor(64, 64, 64)}, {18, 18, kShadow}});
}

} // namespace
