#pragma once
// The program's one copy of a live frame, handed from the streaming thread to
// the raw-frame view. Rows are bottom-up, packed to width x 3 bytes, pixels in
// blue-green-red order. The buffer only grows: a smaller frame reuses it.
//
// Every access happens under bc::frameLock() (core/program_values.h).

#include <cstddef>
#include <cstdint>
#include <memory>

namespace bc {

class SharedFrame {
public:
    // Bytes the buffer can hold (0 before the first frame or after a failed
    // growth).
    std::size_t capacity() const { return capacity_; }
    // Null until the first frame.
    uint8_t* pixels() { return pixels_.get(); }
    const uint8_t* pixels() const { return pixels_.get(); }
    bool hasPixels() const { return pixels_ != nullptr; }

    // The size of the frame the buffer holds.
    int width() const { return width_; }
    int height() const { return height_; }
    std::size_t rowBytes() const { return static_cast<std::size_t>(width_) * 3; }
    std::size_t byteCount() const { return rowBytes() * static_cast<std::size_t>(height_); }

    // Makes room for `bytes`, reallocating only when the buffer is smaller.
    // On allocation failure the buffer is freed, the capacity becomes 0 and
    // false is returned.
    bool reserve(std::size_t bytes);
    void setSize(int width, int height)
    {
        width_ = width;
        height_ = height;
    }

    // Frees the buffer (the form does this when its window goes away).
    void release();

private:
    std::unique_ptr<uint8_t[]> pixels_;
    std::size_t capacity_ = 0;
    int width_ = 0;
    int height_ = 0;
};

// The program's one frame copy. Lock bc::frameLock() around every use.
SharedFrame& sharedFrame();

} // namespace bc
