#pragma once
// The 40-byte header of a 24-bit device-independent bitmap, as strips, frames
// and BMP files carry it. Written and read byte by byte, little-endian.

#include <cstdint>

namespace bc {

struct BitmapInfoHeader {
    static constexpr int kSize = 40;

    uint32_t size = kSize;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0; // BI_RGB
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t clrUsed = 0;
    uint32_t clrImportant = 0;

    void setSize(int32_t w, int32_t h)
    {
        width = w;
        height = h;
    }

    // Writes the 40 bytes to `out`.
    void store(uint8_t* out) const;
    // Reads 40 bytes from `in`.
    static BitmapInfoHeader load(const uint8_t* in);
};

// Little-endian helpers shared by the binary formats of the core.
inline void putLe16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void putLe32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}
inline uint16_t getLe16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t getLe32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

} // namespace bc
