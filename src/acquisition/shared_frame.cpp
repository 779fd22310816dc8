#include "acquisition/shared_frame.h"

#include <new>

namespace bc {

bool SharedFrame::reserve(std::size_t bytes)
{
    if (pixels_ && capacity_ >= bytes)
        return true;
    pixels_.reset();
    capacity_ = 0;
    width_ = 0;
    height_ = 0;
    pixels_.reset(new (std::nothrow) uint8_t[bytes > 0 ? bytes : 1]);
    if (!pixels_)
        return false;
    capacity_ = bytes;
    return true;
}

void SharedFrame::release()
{
    pixels_.reset();
    capacity_ = 0;
    width_ = 0;
    height_ = 0;
}

SharedFrame& sharedFrame()
{
    static SharedFrame frame;
    return frame;
}

} // namespace bc
