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

using InkRun = std::pair<int, int>; // columns [first, second)

QImage ruler(int stripWidth)
{
    return test::painted(stripWidth + 200, 60,
                         [&](QPainter& p) { DrawCompassRuler(p, stripWidth, 1.0f, 1.0f); });
}

// Runs of columns with ink in the letters' band above the ruler's ticks.
std::vector<InkRun> letterRuns(const QImage& img)
{
    std::vector<InkRun> runs;
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

// The quarter ticks (N, E, S, W, N): only they reach up to row 41.
std::vector<int> quarterTicks(const QImage& img)
{
    std::vector<int> ticks;
    for (int x = 0; x < img.width(); ++x)
        if (img.pixel(x, 41) != qRgb(255, 255, 255))
            ticks.push_back(x);
    return ticks;
}

} // namespace

// Whatever font the painter finds for the letters, each letter stands where it
// stands on a wide page relative to its tick; on a narrow one the letters that
// would run into each other give way, never the closing N.
TEST(PageRulerLetters, NeverRunIntoEachOtherAndTheClosingNorthStays)
{
    const QImage wide = ruler(400);
    const std::vector<InkRun> letters = letterRuns(wide);
    const std::vector<int> wideTicks = quarterTicks(wide);
    ASSERT_EQ(letters.size(), 5u) << "N E S W N apart on a wide page";
    ASSERT_EQ(wideTicks.size(), 5u);
    for (int width : {120, 60, 46, 30, 12}) {
        SCOPED_TRACE(width);
        const QImage img = ruler(width);
        const std::vector<int> ticks = quarterTicks(img);
        ASSERT_EQ(ticks.size(), 5u);
        // Each run is one letter where its tick puts it, in order, apart
        // from the next (two letters run together make no such run). Read
        // from the right: on a narrow page the closing N may stand where the
        // S would.
        const std::vector<InkRun> runs = letterRuns(img);
        ASSERT_FALSE(runs.empty());
        std::vector<int> shown;
        for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
            int found = -1;
            for (int i = shown.empty() ? 4 : shown.back() - 1; i >= 0 && found < 0; --i)
                if (*run == InkRun(letters[i].first - wideTicks[i] + ticks[i],
                                   letters[i].second - wideTicks[i] + ticks[i]))
                    found = i;
            ASSERT_GE(found, 0) << "ink at " << run->first << ".." << run->second
                                << " is no letter over its tick";
            shown.push_back(found);
        }
        EXPECT_EQ(shown.front(), 4) << "the closing N stays";
    }
}
