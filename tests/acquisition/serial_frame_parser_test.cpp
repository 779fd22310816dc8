#include "acquisition/serial_frame_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace bc {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes frame(uint8_t dir, uint8_t h, uint8_t t, uint8_t u, uint8_t unused = 0)
{
    return {0x55, 0xAA, dir, h, t, u, unused};
}

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Each frame as pulse x 10000 + heading digits.
std::vector<int> parse(const Bytes& bytes)
{
    CSerialFrameParser p;
    std::vector<int> out;
    for (const CounterFrame& f : p.feed(bytes.data(), bytes.size()))
        out.push_back(f.pulse() * 10000 + f.headingDigits());
    return out;
}

TEST(SerialFrameParser, DecodesAndResynchronises)
{
    Bytes lost = frame(0xFE, 1, 2, 3);
    lost.pop_back();
    const struct {
        const char* what;
        Bytes stream;
        std::vector<int> frames;
    } rows[] = {
        {"direction and digits; only the low four bits count",
         concat({frame(0xFE, 3, 5, 7), frame(0x01, 0x31, 0x32, 0x39), frame(0x00, 0, 0, 0)}),
         {10357, -9871, 0}},
        // the truncated frame ends on the next frame's 0x55, which still
        // starts that frame: only the damaged frame itself is in doubt
        {"junk, a lost byte, an extra byte, a lone and a doubled 0x55",
         concat({{0x00, 0xAA, 0x13, 0x55}, frame(0xFE, 0, 0, 1), lost, frame(0x01, 0, 0, 2), {0x77},
                 frame(0xFE, 0, 0, 3), {0x55, 0x12}, {0x55, 0x55}, frame(0xFE, 0, 0, 4)}),
         {10001, 10123, -9998, 10003, 10004}},
        {"a last byte of 0x55 stays in step",
         concat({frame(0xFE, 1, 2, 3, 0x55), frame(0x01, 4, 5, 6, 0x55), frame(0x00, 7, 8, 9)}),
         {10123, -9544, 789}},
        {"sync bytes inside a payload are data",
         concat({frame(0x55, 0xAA, 0x55, 0xAA, 0x55), frame(0xFE, 0, 1, 0)}), {1060, 10010}},
    };
    for (const auto& r : rows)
        EXPECT_EQ(parse(r.stream), r.frames) << r.what;
}

TEST(SerialFrameParser, ALostByteCostsOnlyTheFrameItFellFrom)
{
    for (std::size_t dropped = 0; dropped < kCounterFrameSize; ++dropped) {
        Bytes damaged = frame(0xFE, 3, 5, 7);
        damaged.erase(damaged.begin() + static_cast<std::ptrdiff_t>(dropped));
        const auto frames = parse(concat({frame(0x01, 1, 1, 1), damaged, frame(0xFE, 2, 2, 2),
                                          frame(0x01, 3, 3, 3)}));
        ASSERT_GE(frames.size(), 3u) << dropped;
        EXPECT_LE(frames.size(), 4u) << dropped;
        EXPECT_EQ(frames.front(), -9889) << dropped;
        EXPECT_EQ(frames[frames.size() - 2], 10222) << dropped;
        EXPECT_EQ(frames.back(), -9667) << dropped;
    }
}

TEST(SerialFrameParser, SameFramesHoweverTheStreamIsSplit)
{
    Bytes stream;
    for (int i = 0; i < 200; ++i) {
        const Bytes f = frame(i % 3 == 0 ? 0xFE : (i % 3 == 1 ? 0x01 : 0x10), static_cast<uint8_t>(i % 4),
                              static_cast<uint8_t>(i % 10), static_cast<uint8_t>(i * 7 % 10),
                              static_cast<uint8_t>(i));
        stream.insert(stream.end(), f.begin(), f.end());
    }
    const auto whole = parse(stream);
    ASSERT_EQ(whole.size(), 200u);
    std::mt19937 rng(12345);
    for (int trial = 0; trial < 20; ++trial) {
        CSerialFrameParser p;
        std::vector<int> got;
        std::size_t pos = 0;
        std::uniform_int_distribution<std::size_t> len(1, trial == 0 ? 1 : 23);
        while (pos < stream.size()) {
            const std::size_t n = std::min(len(rng), stream.size() - pos);
            for (const CounterFrame& f : p.feed(stream.data() + pos, n))
                got.push_back(f.pulse() * 10000 + f.headingDigits());
            pos += n;
            EXPECT_LT(p.pendingBytes(), kCounterFrameSize);
        }
        ASSERT_EQ(got, whole) << trial;
    }
    // reset drops a partial frame
    CSerialFrameParser p;
    EXPECT_TRUE(p.feed(stream.data(), 4).empty());
    p.reset();
    EXPECT_TRUE(p.feed(stream.data() + 4, 3).empty());
    EXPECT_EQ(p.feed(stream.data(), 7).size(), 1u);
}

} // namespace
} // namespace bc
