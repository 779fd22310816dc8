// The compass letters over the strips stay apart however narrow the page is
// (a small hole shown true to its depth gives a page a few dozen pixels wide).

#include "analysis/page_painter.h"
#include "support/survey_fixtures.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace bc;

namespace {

// Runs of columns with ink in the letters' band above the ruler's ticks.
std::vector<std::pair<int, int>> letterRuns(int stripWidth)
{
    const QImage img = test::painted(
        stripWidth + 200, 60, [&](QPainter& p) { DrawCompassRuler(p, stripWidth, 1.0f, 1.0f); });
    std::vector<std::pair<int, int>> runs;
    for (int x = 0; x < img.width(); ++x) {
        bool ink = false;
        for (int y = 18; y < 39 && !ink; ++y)
            ink = img.pixel(x, y) != qRgb(255, 255, 255);
        if (!ink)
            continue;
        if (!runs.empty() && runs.back().second == x)
            ++runs.back().second;
        else
            runs.push_back({x, x + 1});
    }
    return runs;
}

int widest(const std::vector<std::pair<int, int>>& runs)
{
    int w = 0;
    for (const auto& r : runs)
        w = std::max(w, r.second - r.first);
    return w;
}

} // namespace

TEST(PageRulerLetters, NeverRunIntoEachOtherAndTheClosingNorthStays)
{
    const auto wide = letterRuns(400);
    ASSERT_EQ(wide.size(), 5u) << "N E S W N apart on a wide page";
    const int letter = widest(wide);
    for (int width : {120, 60, 46, 30, 12}) {
        const auto runs = letterRuns(width);
        ASSERT_FALSE(runs.empty()) << width;
        EXPECT_LE(widest(runs), letter) << "two letters run together at width " << width;
        // The first "N" over the ruler's start, the closing one over its end.
        EXPECT_LT(runs.front().first, 60) << width;
        EXPECT_GT(runs.back().second, 60 + width - 15) << width;
    }
}
