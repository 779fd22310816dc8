#pragma once
// Pixel buffers to and from JPEG and 24-bit BMP files, and the row layout
// conversions between them.
//
// A packed buffer holds width x height pixels of 3 bytes in rows of exactly
// width x 3 bytes; a padded buffer rounds each row up to a multiple of 4 bytes
// (its stride). Buffers are owned by the caller through std::unique_ptr.
// Failures are not shown here: they are returned as an ErrorReport for the
// caller to show through the prompter.

#include "core/error_report.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

namespace bc {

using PixelBuffer = std::unique_ptr<uint8_t[]>;

namespace JpegFile {

// Images larger than this many bytes of 24-bit pixels are refused as absurd.
// A JPEG of several scans counts the coefficients the decoder holds beside the
// picture too.
constexpr uint64_t kMaxImageBytes = 256ull * 1024 * 1024;
// Files larger than this are not read at all.
constexpr int64_t kMaxFileBytes = 256ll * 1024 * 1024;

// Row length of a padded buffer: width x 3 rounded up to a multiple of 4.
constexpr uint32_t paddedStride(uint32_t width)
{
    return (width * 3u + 3u) & ~3u;
}

// Reads a JPEG into a packed buffer, rows top-down, bytes red, green, blue; a
// grey image gives three equal bytes per pixel. Width and height are set to 0
// first, then to the image size. Null on failure with "无法读取图像文件: <path>"
// and what is wrong (missing, empty, damaged, cut short, ...) in `error`. A file
// cut short is a failure, as are images of other than 1 or 3 components,
// absurd sizes and files of more scans than any encoder writes (damaged).
PixelBuffer ReadJpegToRgb(const QString& path, uint32_t* width, uint32_t* height,
                          ErrorReport* error = nullptr);

// The same into the strip layout: rows bottom-up, blue-green-red, padded to a
// multiple of 4 bytes (`stride` receives the row length).
PixelBuffer ReadJpegToStrip(const QString& path, uint32_t* width, uint32_t* height,
                            uint32_t* stride, ErrorReport* error = nullptr);

// The report of a picture that cannot be opened under any of `paths` (the
// names tried for it, at least one): the reader's "无法读取图像文件: <path>"
// with every name, joined by " 或 ", and why the first cannot be opened.
ErrorReport OpenFailureReport(const QStringList& paths);

// Writes a packed top-down buffer (red, green, blue) as a JPEG, colour or
// grey (0.299, 0.587, 0.114 of bytes 0, 1, 2, truncated). The file is replaced
// whole or not at all (AtomicFile). False at once for a null buffer or a zero
// size; other failures give "无法写入图像文件: <path>" and the reason in `error`.
bool WriteRgbAsJpeg(const QString& path, const uint8_t* buffer, uint32_t width, uint32_t height,
                    bool colour, int quality, ErrorReport* error = nullptr);

// The same from the strip layout (rows bottom-up, blue-green-red, `stride`
// bytes apart), in colour: the file is what flipping, swapping red and blue
// and WriteRgbAsJpeg would give, without the copies.
bool WriteStripAsJpeg(const QString& path, const uint8_t* buffer, uint32_t width, uint32_t rows,
                      uint32_t stride, int quality, ErrorReport* error = nullptr);

// The same from 32-bit rows, top-down, `stride` bytes apart, each pixel blue,
// green, red and an unused byte (a 32-bit canvas in memory).
bool WriteBgrxAsJpeg(const QString& path, const uint8_t* buffer, uint32_t width, uint32_t height,
                     uint32_t stride, int quality, ErrorReport* error = nullptr);

// Reads the pixels of an uncompressed 24-bit bottom-up BMP: the rows as the
// file holds them, padded to a multiple of 4 bytes (stride paddedStride(width)).
// Any other file, a header that does not add up or pixel data that is not
// all there gives null; width and height are then 0. Fails silently unless
// `error` is given.
PixelBuffer LoadBmpFile(const QString& path, uint32_t* width, uint32_t* height,
                        ErrorReport* error = nullptr);

// Writes a 24-bit BMP from a packed bottom-up buffer (rows padded with zero
// bytes in the file). Only 24 bits per pixel is written; anything else, a null
// buffer or a zero size gives false and writes nothing. The file is replaced
// whole or not at all.
bool SaveBmpFile(const QString& path, const uint8_t* buffer, uint32_t width, uint32_t height,
                 int bitsPerPixel, ErrorReport* error = nullptr);

// Packs `height` rows of width x 3 bytes taken every `stride` bytes.
PixelBuffer UnpadRows(const uint8_t* padded, uint32_t width, uint32_t height, uint32_t stride);

// Copies a packed buffer into one with rows padded to a multiple of 4 bytes;
// `strideOut` receives the padded row length. The padding bytes are zero.
PixelBuffer PadRows(const uint8_t* packed, uint32_t width, uint32_t height, uint32_t* strideOut);

// Swaps row i with row rows - 1 - i. False for a null buffer.
bool FlipRowsVertically(uint8_t* buffer, uint32_t rowBytes, uint32_t rows);

// Exchanges the first and third byte of every pixel. False for a null buffer.
bool SwapRedBlue(uint8_t* buffer, uint32_t width, uint32_t height);

// Keeps bytes 0, 1, 2 of every 4-byte pixel. Null for a null buffer or when
// the copy cannot be made ("内存不足").
PixelBuffer RgbaToRgb(const uint8_t* buffer, uint32_t width, uint32_t height,
                      ErrorReport* error = nullptr);

} // namespace JpegFile
} // namespace bc
