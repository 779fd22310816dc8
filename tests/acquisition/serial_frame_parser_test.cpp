#include "acquisition/serial_frame_parser.h"

#include <gtest/gtest.h>

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

// Each frame as pulse x 10000 + heading digits. With `maxChunk` the stream is
// fed in random pieces of 1 to maxChunk bytes, as reads deliver it.
std::vector<int> parse(const Bytes& bytes, std::size_t maxChunk = 0)
{
    static std::mt19937 rng(12345);
    CSerialFrameParser p;
    std::vector<int> out;
    for (std::size_t pos = 0, n = 0; pos < bytes.size(); pos += n) {
        n = maxChunk ? std::min<std::size_t>(rng() % maxChunk + 1, bytes.size() - pos)
                     : bytes.size();
        for (const CounterFrame& f : p.feed(bytes.data() + pos, n))
            out.push_back(f.pulse() * 10000 + f.headingDigits());
        EXPECT_LT(p.pendingBytes(), kCounterFrameSize);
    }
    return out;
}

TEST(SerialFrameParser, DecodesAndResynchronisesHoweverTheStreamIsSplit)
{
    Bytes lost = frame(0xFE, 1, 2, 3);
    lost.pop_back();
    const struct {
        const char* what;
        Bytes stream;
        std::vector<int> frames;
    } rows[] = {
        {"direction and digits; only the low four bits count",
         concat({frame(0xFE, 3, 5, 7), frame(0x01, 0x31, 0x32, 0x39), frame(0x10, 0, 0, 0)}),
         {10357, -9871, 0}},
        // the truncated frame ends on the next frame's 0x55, which still
        // starts that frame: only the damaged frame itself is in doubt
        {"junk, a lost byte, an extra byte, a lone and a doubled 0x55",
         concat({{0x00, 0xAA, 0x13, 0x55},
                 frame(0xFE, 0, 0, 1),
                 lost,
                 frame(0x01, 0, 0, 2),
                 {0x77},
                 frame(0xFE, 0, 0, 3),
                 {0x55, 0x12},
                 {0x55, 0x55},
                 frame(0xFE, 0, 0, 4)}),
         {10001, 10123, -9998, 10003, 10004}},
        {"a last byte of 0x55 stays in step",
         concat({frame(0xFE, 1, 2, 3, 0x55), frame(0x01, 4, 5, 6, 0x55), frame(0x00, 7, 8, 9)}),
         {10123, -9544, 789}},
        {"sync bytes inside a payload are data",
         concat({frame(0x55, 0xAA, 0x55, 0xAA, 0x55), frame(0xFE, 0, 1, 0)}),
         {1060, 10010}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(parse(r.stream), r.frames);
        for (std::size_t maxChunk : {1, 3, 23})
            EXPECT_EQ(parse(r.stream, maxChunk), r.frames) << "pieces up to " << maxChunk;
    }
    // reset drops a partial frame
    const Bytes f = frame(0xFE, 0, 0, 5);
    CSerialFrameParser p;
    EXPECT_TRUE(p.feed(f.data(), 4).empty());
    p.reset();
    EXPECT_TRUE(p.feed(f.data() + 4, 3).empty());
    EXPECT_EQ(p.feed(f.data(), 7).size(), 1u);
}

TEST(SerialFrameParser, ALostByteCostsOnlyTheFrameItFellFrom)
{
    for (std::size_t dropped = 0; dropped < kCounterFrameSize; ++dropped) {
        SCOPED_TRACE(dropped);
        Bytes damaged = frame(0xFE, 3, 5, 7);
        damaged.erase(damaged.begin() + static_cast<std::ptrdiff_t>(dropped));
        const auto frames = parse(
            concat({frame(0x01, 1, 1, 1), damaged, frame(0xFE, 2, 2, 2), frame(0x01, 3, 3, 3)}));
        ASSERT_GE(frames.size(), 3u);
        EXPECT_LE(frames.size(), 4u);
        EXPECT_EQ(frames.front(), -9889);
        EXPECT_EQ(frames[frames.size() - 2], 10222);
        EXPECT_EQ(frames.back(), -9667);
    }
}

} // namespace
} // namespace bc
