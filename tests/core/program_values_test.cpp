#include "core/program_values.h"

#include <gtest/gtest.h>

#include <thread>

using namespace bc;

TEST(ProgramValues, DepthAndHeadingArePublishedTogether)
{
    // Either half alone keeps the other.
    publishDepthHeading(-1, 359);
    publishDepth(123456);
    EXPECT_EQ(currentDepthHeading().heading, 359);
    publishHeading(7);
    EXPECT_EQ(currentDepthHeading().depth, 123456);

    // A reader never sees a depth of one pair with the heading of another;
    // the writer goes on until the reader has looked often.
    publishDepthHeading(0, 0);
    std::atomic<bool> stop{false};
    std::atomic<int> reads{0}, mixed{0};
    std::thread reader([&] {
        while (!stop.load()) {
            const DepthHeading v = currentDepthHeading();
            mixed += v.heading != v.depth % 360;
            ++reads;
        }
    });
    for (int i = 0; i < 100000 || reads.load() < 1000000; ++i)
        publishDepthHeading(i, i % 360);
    stop = true;
    reader.join();
    EXPECT_EQ(mixed.load(), 0);
}
