#include "acquisition/serial_frame_parser.h"

namespace bc {

int CounterFrame::pulse() const
{
    if (direction == kPulseDown)
        return 1;
    if (direction == kPulseUp)
        return -1;
    return 0;
}

int CounterFrame::headingDigits() const
{
    return (hundreds & 0x0F) * 100 + (tens & 0x0F) * 10 + (units & 0x0F);
}

std::vector<CounterFrame> CSerialFrameParser::feed(const uint8_t* data, std::size_t length)
{
    std::vector<CounterFrame> frames;
    if (!data)
        return frames;
    for (std::size_t i = 0; i < length; ++i) {
        const uint8_t b = data[i];
        if (fill_ == 0) {
            if (b == kFrameSync1)
                pending_[fill_++] = b;
            continue;
        }
        if (fill_ == 1) {
            if (b == kFrameSync2)
                pending_[fill_++] = b;
            else if (b != kFrameSync1)
                fill_ = 0; // a repeated 0x55 may still be the start
            continue;
        }
        pending_[fill_++] = b;
        if (fill_ == kCounterFrameSize) {
            CounterFrame f;
            f.direction = pending_[2];
            f.hundreds = pending_[3];
            f.tens = pending_[4];
            f.units = pending_[5];
            f.unused = pending_[6];
            frames.push_back(f);
            // A frame that lost a byte on the way ends on the next frame's
            // 0x55: it may still start that frame. In a whole stream the next
            // byte is 0x55 again, which keeps the same state.
            fill_ = f.unused == kFrameSync1 ? 1 : 0;
        }
    }
    return frames;
}

void CSerialFrameParser::reset()
{
    fill_ = 0;
}

} // namespace bc
