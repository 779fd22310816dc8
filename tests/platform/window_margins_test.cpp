// The decorations a window about to be shown is placed with: those of the
// nearest shown window up its chain of owners.

#include "platform/window_placement.h"

#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

namespace bc {
namespace {

TEST(WindowMargins, AWindowOwnedByAHiddenWindowTakesTheShownGrandOwnersDecorations)
{
    // The station's chain: the form (shown), its video window (built, not yet
    // shown), the bar inside it, and the live frame the bar opens.
    QWidget form;
    form.show();
    const QMargins decorations = knownFrameMargins(&form);
    if (decorations.isNull())
        GTEST_SKIP() << "this window system draws no decorations";
    QWidget video(&form, Qt::Window);
    auto* bar = new QWidget(&video);
    QWidget live(bar, Qt::Window);
    EXPECT_EQ(knownFrameMargins(&video), decorations);
    EXPECT_EQ(knownFrameMargins(&live), decorations);
    QWidget alone;
    EXPECT_EQ(knownFrameMargins(&alone), QMargins());
}

} // namespace
} // namespace bc
