#include "acquisition/depth_counter.h"

#include "core/program_values.h"

#include <gtest/gtest.h>

#include <vector>

namespace bc {
namespace {

CounterFrame pulseFrame(int pulse, int heading = 100)
{
    CounterFrame f;
    f.direction = pulse > 0 ? 0xFE : (pulse < 0 ? 0x01 : 0x33);
    f.hundreds = static_cast<uint8_t>(heading / 100);
    f.tens = static_cast<uint8_t>(heading / 10 % 10);
    f.units = static_cast<uint8_t>(heading % 10);
    return f;
}

// Moves the counter pulse by pulse to `target`, collecting the trigger depths
// raised on the way.
std::vector<int32_t> walkTo(CDepthCounter& c, int64_t target)
{
    std::vector<int32_t> fired;
    while (c.count() != target) {
        c.applyFrame(pulseFrame(c.count() < target ? 1 : -1), 0, true);
        if (takeDepthTrigger())
            fired.push_back(triggerDepth());
    }
    return fired;
}

TEST(DepthCounter, FrameCountsAPulseAndPublishesDepthWithHeadingInACircle)
{
    clearDepthTrigger();
    CDepthCounter c;
    c.reset({1000, 2, 10, 200, 0});
    const auto r = c.applyFrame(pulseFrame(1, 357), 0, false);
    EXPECT_EQ(std::tie(r.pulse, r.depth, r.heading), std::make_tuple(1, 1002, 357));
    c.applyFrame(pulseFrame(0, 12), 0, false);
    EXPECT_EQ(currentDepthHeading().depth, 1002);
    EXPECT_EQ(currentDepthHeading().heading, 12); // heading still taken

    // digits, offset, raw heading, heading
    const int rows[][4] = {{350, 20, 370, 10}, {5, -20, -15, 345}, {180, -180, 0, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row[0] * 1000 + row[1]);
        const auto h = c.applyFrame(pulseFrame(0, row[0]), row[1], false);
        EXPECT_EQ(h.rawHeading, row[2]);
        EXPECT_EQ(h.heading, row[3]);
    }
    EXPECT_FALSE(depthTriggerRaised()); // no trigger when not allowed
    EXPECT_EQ(formatDepthMetres(-5), QStringLiteral("-0.005米"));
}

TEST(DepthCounter, TriggerFiresAtEachNewMultipleOfTheStep)
{
    struct Row {
        CounterSettings settings;
        std::vector<int64_t> targets;
        std::vector<std::vector<int32_t>> fired;
        int32_t depthAtEnd;
    } rows[] = {
        // down; back to a multiple fires again, staying on it does not
        {{0, 1, 10, 200, 0}, {400, 200}, {{200, 400}, {200}}, 200},
        // negative counts trigger at their multiples
        {{5000, 1, 10, 200, 0}, {-401}, {{4800, 4600}}, 4599},
        // upward: the depth falls with the count
        {{1000, 2, 10, 100, 1}, {100}, {{800}}, 800},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.settings.startDepth);
        clearDepthTrigger();
        CDepthCounter c;
        c.reset(r.settings);
        EXPECT_TRUE(c.evaluateTrigger()); // the start depth itself
        EXPECT_TRUE(takeDepthTrigger());
        EXPECT_EQ(triggerDepth(), r.settings.startDepth);
        for (std::size_t i = 0; i < r.targets.size(); ++i)
            EXPECT_EQ(walkTo(c, r.targets[i]), r.fired[i]);
        c.applyFrame(pulseFrame(0), 0, true);
        EXPECT_FALSE(takeDepthTrigger());
        EXPECT_EQ(c.depth(), r.depthAtEnd);
    }
    // reset forgets the last multiple
    CDepthCounter c;
    c.reset({0, 1, 10, 2, 0});
    walkTo(c, 2);
    c.reset({0, 1, 10, 2, 0});
    EXPECT_FALSE(c.lastQuotient().has_value());
    clearDepthTrigger();
}

TEST(DepthCounter, PlusAndMinusMoveByTheManualStep)
{
    clearDepthTrigger();
    CDepthCounter c;
    c.reset({0, 10, 20, 40, 0});
    c.evaluateTrigger();
    takeDepthTrigger();
    // sign, fires, depth after
    const int rows[][3] = {{+1, 0, 200}, {+1, 1, 400},  {-1, 0, 200},
                           {-1, 1, 0},   {-1, 0, -200}, {-1, 1, -400}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row[2]);
        EXPECT_EQ(c.stepManual(row[0]), row[1] != 0);
        EXPECT_EQ(currentDepthHeading().depth, row[2]);
        if (row[1]) {
            EXPECT_EQ(triggerDepth(), row[2]);
        }
    }
    clearDepthTrigger();
}

TEST(DepthCounter, DepthEntryContinuesTheCountFromTheEnteredDepth)
{
    // start depth, mm per pulse, direction, pulses before, entered, depth a pulse later
    const int rows[][6] = {{0, 2, 0, 50, 12345, 12347}, {0, 1, 1, 30, 1000, 999}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row[2]);
        CDepthCounter c;
        c.reset({row[0], row[1], 10, 200, row[2]});
        walkTo(c, row[3]);
        c.enterDepth(row[4]);
        EXPECT_EQ(currentDepthHeading().depth, row[4]);
        c.applyFrame(pulseFrame(1), 0, false);
        EXPECT_EQ(c.depth(), row[5]);
    }
    clearDepthTrigger();
}

} // namespace
} // namespace bc
