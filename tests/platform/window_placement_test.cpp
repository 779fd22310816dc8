// The rule that keeps windows on the screen.

#include "platform/window_placement.h"

#include <gtest/gtest.h>

namespace bc {
namespace {

TEST(WindowPlacement, FramesAreMovedIntoTheAvailableAreaAndCutOnlyWhenLarger)
{
    const QRect screen(0, 0, 1600, 1000);
    // frame, available area, placed
    const std::tuple<QRect, QRect, QRect> rows[] = {
        {QRect(416, 399, 780, 654), screen, QRect(416, 346, 780, 654)}, // below the bottom edge
        {QRect(-50, -20, 300, 200), screen, QRect(0, 0, 300, 200)},
        {QRect(10, 0, 200, 100), QRect(0, 30, 1600, 970), QRect(10, 30, 200, 100)}, // a top panel
        {QRect(100, 100, 2000, 500), screen, QRect(0, 100, 1600, 500)}, // wider than the screen
        {QRect(5, 6, 70, 80), QRect(), QRect(5, 6, 70, 80)},            // no screen known
    };
    for (const auto& [frame, available, placed] : rows)
        EXPECT_EQ(placedWithin(frame, available), placed) << frame.x() << "," << frame.y();
}

} // namespace
} // namespace bc
