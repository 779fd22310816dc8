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

class DepthCounterTest : public ::testing::Test {
protected:
    void SetUp() override { clearDepthTrigger(); }
    void TearDown() override { clearDepthTrigger(); }

    // Moves the counter pulse by pulse to `target`, collecting the trigger
    // depths raised on the way.
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
};

TEST_F(DepthCounterTest, FrameCountsAPulseAndPublishesDepthWithHeading)
{
    CDepthCounter c;
    c.reset({1000, 2, 10, 200, 0});
    EXPECT_EQ(currentDepthHeading().depth, 1000);
    const auto r = c.applyFrame(pulseFrame(1, 357), 0, false);
    EXPECT_EQ(r.pulse, 1);
    EXPECT_EQ(r.depth, 1002);
    EXPECT_EQ(r.heading, 357);
    EXPECT_EQ(currentDepthHeading().depth, 1002);
    EXPECT_EQ(currentDepthHeading().heading, 357);
    const auto none = c.applyFrame(pulseFrame(0, 12), 0, false);
    EXPECT_EQ(none.pulse, 0);
    EXPECT_EQ(none.depth, 1002);
    EXPECT_EQ(currentDepthHeading().heading, 12); // heading still taken
}

TEST_F(DepthCounterTest, HeadingWithOffsetWrapsIntoACircle)
{
    CDepthCounter c;
    c.reset({});
    auto r = c.applyFrame(pulseFrame(0, 350), 20, false);
    EXPECT_EQ(r.rawHeading, 370);
    EXPECT_EQ(r.heading, 10);
    r = c.applyFrame(pulseFrame(0, 5), -20, false);
    EXPECT_EQ(r.heading, 345);
    r = c.applyFrame(pulseFrame(0, 0), 0, false);
    EXPECT_EQ(r.rawHeading, 0);
    r = c.applyFrame(pulseFrame(0, 180), -180, false);
    EXPECT_EQ(r.rawHeading, 0);
    EXPECT_EQ(formatHeading(r.heading), QStringLiteral("0度"));
    EXPECT_EQ(formatDepthMetres(12345), QStringLiteral("12.345米"));
    EXPECT_EQ(formatDepthMetres(-5), QStringLiteral("-0.005米"));
}

TEST_F(DepthCounterTest, TriggerFiresAtEachNewMultipleAndAgainWhenSteppingBack)
{
    CDepthCounter c;
    c.reset({0, 1, 10, 200, 0});
    EXPECT_TRUE(c.evaluateTrigger()); // the start depth itself
    EXPECT_TRUE(takeDepthTrigger());
    EXPECT_EQ(triggerDepth(), 0);
    EXPECT_EQ(walkTo(c, 400), (std::vector<int32_t>{200, 400}));
    EXPECT_EQ(walkTo(c, 200), (std::vector<int32_t>{200}));
    // staying on the same multiple fires nothing more
    c.applyFrame(pulseFrame(0), 0, true);
    EXPECT_FALSE(takeDepthTrigger());
}

TEST_F(DepthCounterTest, NegativeCountsTriggerAtTheirMultiples)
{
    CDepthCounter c;
    c.reset({5000, 1, 10, 200, 0});
    c.evaluateTrigger();
    takeDepthTrigger();
    EXPECT_EQ(walkTo(c, -401), (std::vector<int32_t>{4800, 4600}));
    EXPECT_EQ(c.depth(), 4599);
    EXPECT_EQ(c.lastQuotient(), -2);
}

TEST_F(DepthCounterTest, UpwardDirectionGivesTriggerDepthOfTheCount)
{
    CDepthCounter c;
    c.reset({1000, 2, 10, 100, 1});
    EXPECT_EQ(walkTo(c, 100), (std::vector<int32_t>{800}));
    EXPECT_EQ(c.depth(), 800);
}

TEST_F(DepthCounterTest, NoTriggerWhenNotAllowedAndNoneRememberedAfterReset)
{
    CDepthCounter c;
    c.reset({0, 1, 10, 2, 0});
    c.applyFrame(pulseFrame(1), 0, false);
    c.applyFrame(pulseFrame(1), 0, false);
    EXPECT_FALSE(depthTriggerRaised());
    EXPECT_FALSE(c.lastQuotient().has_value());
    c.applyFrame(pulseFrame(0), 0, true);
    EXPECT_TRUE(takeDepthTrigger());
    EXPECT_EQ(triggerDepth(), 2);
    c.reset({0, 1, 10, 2, 0});
    EXPECT_FALSE(c.lastQuotient().has_value());
    EXPECT_EQ(c.count(), 0);
    EXPECT_EQ(triggerDepth(), 0);
}

TEST_F(DepthCounterTest, PlusAndMinusMoveByTheManualStep)
{
    CDepthCounter c;
    c.reset({0, 10, 20, 40, 0});
    c.evaluateTrigger();
    takeDepthTrigger();
    EXPECT_FALSE(c.stepManual(+1)); // 20 pulses: not a multiple of 40
    EXPECT_EQ(c.depth(), 200);
    EXPECT_EQ(currentDepthHeading().depth, 200);
    EXPECT_TRUE(c.stepManual(+1)); // 40 pulses
    EXPECT_EQ(triggerDepth(), 400);
    EXPECT_FALSE(c.stepManual(-1));
    EXPECT_TRUE(c.stepManual(-1)); // back at 0: a different quotient
    EXPECT_EQ(triggerDepth(), 0);
    EXPECT_FALSE(c.stepManual(-1));
    EXPECT_TRUE(c.stepManual(-1));
    EXPECT_EQ(c.count(), -40);
    EXPECT_EQ(triggerDepth(), -400);
}

TEST_F(DepthCounterTest, DepthEntryContinuesTheCountFromTheEnteredDepth)
{
    CDepthCounter c;
    c.reset({0, 2, 10, 200, 0});
    walkTo(c, 50);
    EXPECT_EQ(c.depth(), 100);
    c.enterDepth(12345);
    EXPECT_EQ(c.depth(), 12345);
    EXPECT_EQ(c.startDepth(), 12345 - 100);
    EXPECT_EQ(currentDepthHeading().depth, 12345);
    c.applyFrame(pulseFrame(1), 0, false);
    EXPECT_EQ(c.depth(), 12347);

    CDepthCounter up;
    up.reset({0, 1, 10, 200, 1});
    walkTo(up, 30);
    up.enterDepth(1000);
    up.applyFrame(pulseFrame(1), 0, false);
    EXPECT_EQ(up.depth(), 999);
}

} // namespace
} // namespace bc
