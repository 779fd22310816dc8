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

std::vector<CounterFrame> parseAll(const Bytes& bytes)
{
    CSerialFrameParser p;
    return p.feed(bytes.data(), bytes.size());
}

TEST(SerialFrameParser, DecodesDirectionAndHeadingDigits)
{
    const auto frames = parseAll(concat({frame(0xFE, 0x03, 0x05, 0x07), frame(0x01, 0x31, 0x32, 0x39),
                                         frame(0x00, 0x00, 0x00, 0x00)}));
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].pulse(), 1);
    EXPECT_EQ(frames[0].headingDigits(), 357);
    EXPECT_EQ(frames[1].pulse(), -1);
    EXPECT_EQ(frames[1].headingDigits(), 129); // only the low four bits count
    EXPECT_EQ(frames[2].pulse(), 0);
    EXPECT_EQ(frames[2].headingDigits(), 0);
}

TEST(SerialFrameParser, SameFramesHoweverTheStreamIsSplit)
{
    Bytes stream;
    std::mt19937 rng(12345);
    for (int i = 0; i < 200; ++i) {
        const uint8_t dir = (i % 3 == 0) ? 0xFE : (i % 3 == 1 ? 0x01 : 0x10);
        const Bytes f = frame(dir, static_cast<uint8_t>(i % 4), static_cast<uint8_t>(i % 10),
                              static_cast<uint8_t>((i * 7) % 10), static_cast<uint8_t>(i));
        stream.insert(stream.end(), f.begin(), f.end());
    }
    const auto whole = parseAll(stream);
    ASSERT_EQ(whole.size(), 200u);

    for (int trial = 0; trial < 20; ++trial) {
        CSerialFrameParser p;
        std::vector<CounterFrame> got;
        std::size_t pos = 0;
        std::uniform_int_distribution<std::size_t> len(1, 23);
        while (pos < stream.size()) {
            const std::size_t n = std::min(len(rng), stream.size() - pos);
            const auto part = p.feed(stream.data() + pos, n);
            got.insert(got.end(), part.begin(), part.end());
            pos += n;
            EXPECT_LT(p.pendingBytes(), kCounterFrameSize);
        }
        ASSERT_EQ(got.size(), whole.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].direction, whole[i].direction);
            EXPECT_EQ(got[i].headingDigits(), whole[i].headingDigits());
            EXPECT_EQ(got[i].unused, whole[i].unused);
        }
    }
}

TEST(SerialFrameParser, OneByteAtATimeCompletesOnlyOnTheSeventh)
{
    CSerialFrameParser p;
    const Bytes f = frame(0xFE, 3, 5, 7);
    for (std::size_t i = 0; i + 1 < f.size(); ++i)
        EXPECT_TRUE(p.feed(&f[i], 1).empty());
    EXPECT_EQ(p.feed(&f[6], 1).size(), 1u);
}

TEST(SerialFrameParser, ResynchronisesAfterJunkLostAndExtraBytes)
{
    // junk before, a frame missing its last byte, an extra byte between frames,
    // a lone 0x55 and a doubled 0x55 before a header
    Bytes lost = frame(0xFE, 1, 2, 3);
    lost.pop_back();
    const Bytes stream = concat({{0x00, 0xAA, 0x13, 0x55}, frame(0xFE, 0, 0, 1), lost,
                                 frame(0x01, 0, 0, 2), {0x77}, frame(0xFE, 0, 0, 3),
                                 {0x55, 0x12}, {0x55, 0x55}, frame(0xFE, 0, 0, 4)});
    const auto frames = parseAll(stream);
    std::vector<int> headings;
    for (const auto& f : frames)
        headings.push_back(f.headingDigits());
    // the truncated frame ends on the next frame's 0x55, which still starts
    // that frame: only the damaged frame itself is in doubt
    EXPECT_EQ(headings, (std::vector<int>{1, 123, 2, 3, 4}));
}

TEST(SerialFrameParser, ALostByteCostsOnlyTheFrameItFellFrom)
{
    for (std::size_t dropped = 0; dropped < kCounterFrameSize; ++dropped) {
        Bytes damaged = frame(0xFE, 3, 5, 7);
        damaged.erase(damaged.begin() + static_cast<std::ptrdiff_t>(dropped));
        const auto frames = parseAll(concat({frame(0x01, 1, 1, 1), damaged, frame(0xFE, 2, 2, 2),
                                             frame(0x01, 3, 3, 3)}));
        ASSERT_GE(frames.size(), 3u) << dropped;
        EXPECT_EQ(frames.front().headingDigits(), 111) << dropped;
        EXPECT_EQ(frames[frames.size() - 2].headingDigits(), 222) << dropped;
        EXPECT_EQ(frames[frames.size() - 2].pulse(), 1) << dropped;
        EXPECT_EQ(frames.back().headingDigits(), 333) << dropped;
        EXPECT_LE(frames.size(), 4u) << dropped;
    }
}

TEST(SerialFrameParser, AFrameWhoseLastByteIs0x55StaysInStep)
{
    // the unused byte happens to be 0x55: the next header follows as usual
    const auto frames = parseAll(concat({frame(0xFE, 1, 2, 3, 0x55), frame(0x01, 4, 5, 6, 0x55),
                                         frame(0x00, 7, 8, 9)}));
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].headingDigits(), 123);
    EXPECT_EQ(frames[1].pulse(), -1);
    EXPECT_EQ(frames[2].headingDigits(), 789);
}

TEST(SerialFrameParser, SyncBytesInsideAPayloadAreData)
{
    const auto frames =
        parseAll(concat({frame(0x55, 0xAA, 0x55, 0xAA, 0x55), frame(0xFE, 0, 1, 0)}));
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].direction, 0x55);
    EXPECT_EQ(frames[0].pulse(), 0);
    EXPECT_EQ(frames[0].unused, 0x55);
    EXPECT_EQ(frames[1].headingDigits(), 10);
}

TEST(SerialFrameParser, ResetDropsAPartialFrame)
{
    CSerialFrameParser p;
    const Bytes f = frame(0xFE, 0, 0, 9);
    EXPECT_TRUE(p.feed(f.data(), 4).empty());
    p.reset();
    EXPECT_EQ(p.pendingBytes(), 0u);
    EXPECT_TRUE(p.feed(f.data() + 4, 3).empty());
    EXPECT_EQ(p.feed(f.data(), f.size()).size(), 1u);
}

} // namespace
} // namespace bc
