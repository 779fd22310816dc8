// Windows kept on the screen: the placement rule, and a window opened over an
// owner near the screen's corner.

#include "platform/window_placement.h"

#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

namespace bc {
namespace {

TEST(WindowPlacement, FramesAreMovedIntoTheAvailableAreaAndCutOnlyWhenLarger)
{
    const QRect screen(0, 0, 1600, 1000);
    // frame, available area, placed
    const std::tuple<QRect, QRect, QRect> rows[] = {
        // the video window below the bottom edge, then the 3D window
        {QRect(416, 399, 780, 654), screen, QRect(416, 346, 780, 654)},
        {QRect(394, 299, 812, 716), screen, QRect(394, 284, 812, 716)},
        {QRect(-50, -20, 300, 200), screen, QRect(0, 0, 300, 200)},
        {QRect(1500, 900, 300, 200), screen, QRect(1300, 800, 300, 200)},
        {QRect(10, 0, 200, 100), QRect(0, 30, 1600, 970), QRect(10, 30, 200, 100)}, // a top panel
        {QRect(100, 100, 2000, 500), screen, QRect(0, 100, 1600, 500)}, // wider than the screen
        {QRect(5, 6, 70, 80), screen, QRect(5, 6, 70, 80)},
        {QRect(5, 6, 70, 80), QRect(), QRect(5, 6, 70, 80)}, // no screen known
    };
    for (const auto& [frame, available, placed] : rows)
        EXPECT_EQ(placedWithin(frame, available), placed) << frame.x() << "," << frame.y();
}

TEST(WindowPlacement, AWindowOverAnOwnerInTheCornerOpensOnTheScreen)
{
    QWidget owner;
    const QRect area = availableAreaFor(&owner);
    ASSERT_FALSE(area.isEmpty());
    owner.setGeometry(area.right() - 200, area.bottom() - 150, 200, 150);
    owner.show();
    QWidget window(&owner, Qt::Window);
    window.resize(area.width() / 2, area.height() / 2);
    keepOnScreenWhenShown(&window);
    window.show();
    EXPECT_TRUE(area.contains(window.frameGeometry())) << window.frameGeometry().y();
    EXPECT_EQ(window.size(), QSize(area.width() / 2, area.height() / 2));
    // Put back over the edge by the program: moved in again.
    window.move(area.right() - 10, area.top());
    keepOnScreen(&window);
    EXPECT_TRUE(area.contains(window.frameGeometry()));
}

} // namespace
} // namespace bc
