#pragma once
// The frames of the depth counter and compass as a byte stream.
//
// Each frame is seven bytes: 0x55 0xAA, a direction byte (0xFE one pulse
// down, 0x01 one pulse up, anything else no pulse), the hundreds, tens and
// units digits of the compass heading in their low four bits, and one unused
// byte. The parser keeps at most one partial frame between reads, so a stream
// gives the same frames however it is split; junk, lost and extra bytes cost
// at most the frame they fall into, and the parser picks up again at the next
// 0x55 0xAA. A frame's own bytes are payload: a 0x55 0xAA inside them starts
// no frame; only a frame's last byte, when it is 0x55, may begin the next.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace bc {

enum : uint8_t {
    kFrameSync1 = 0x55,
    kFrameSync2 = 0xAA,
    kPulseDown = 0xFE,
    kPulseUp = 0x01,
};

constexpr std::size_t kCounterFrameSize = 7;

struct CounterFrame {
    uint8_t direction = 0;
    uint8_t hundreds = 0;
    uint8_t tens = 0;
    uint8_t units = 0;
    uint8_t unused = 0;

    // +1 for a pulse down, -1 for a pulse up, 0 for none.
    int pulse() const;
    // The three heading digits (low four bits each) as one number, 0..1665.
    int headingDigits() const;
};

class CSerialFrameParser {
public:
    // Feeds received bytes; returns the frames completed by them, in order.
    std::vector<CounterFrame> feed(const uint8_t* data, std::size_t length);
    std::vector<CounterFrame> feed(const char* data, std::size_t length)
    {
        return feed(reinterpret_cast<const uint8_t*>(data), length);
    }

    // Drops any partial frame (reception switched off, line reopened).
    void reset();

    // Bytes of the partial frame kept for the next read (0..6).
    std::size_t pendingBytes() const { return fill_; }

private:
    std::array<uint8_t, kCounterFrameSize> pending_{};
    std::size_t fill_ = 0; // 0 looking for 0x55, 1 after 0x55, 2.. inside a frame
};

} // namespace bc
