#include "core/jpeg_file.h"

#include "core/bitmap_header.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <atomic>
#include <unistd.h>

// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace bc::JpegFile {

namespace {

constexpr unsigned kStopIcon = 0x10;
const char* const kFatalCaption = "JPEG Fatal Error";

// Allocates `bytes` without throwing; null when that fails or is absurd.
uint8_t* allocate(uint64_t bytes)
{
    if (bytes == 0 || bytes > kMaxImageBytes)
        return nullptr;
    return new (std::nothrow) uint8_t[static_cast<size_t>(bytes)];
}

// ---- the library's error handling ------------------------------------------
// The library reports a fatal error through error_exit, which must not return:
// it jumps back to the coding routine. Those routines keep only plain data
// between the jump target and the jump, so nothing with a destructor is
// skipped.

struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void errorExit(j_common_ptr cinfo)
{
    auto* mgr = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, mgr->message);
    longjmp(mgr->jump, 1);
}

// Warnings are counted, except that a file cut short is an error: the library
// would otherwise fill the missing rows with grey and report success.
void emitMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return;
    if (cinfo->err->msg_code == JWRN_JPEG_EOF)
        errorExit(cinfo);
    cinfo->err->num_warnings++;
}

void installErrorManager(ErrorManager* mgr)
{
    jpeg_std_error(&mgr->pub);
    mgr->pub.error_exit = errorExit;
    mgr->pub.emit_message = emitMessage;
    mgr->message[0] = '\0';
}

enum class Outcome { Ok, LibraryError, Components, TooLarge, OutOfMemory };

// ---- decoding ---------------------------------------------------------------

struct DecodeJob {
    const unsigned char* data = nullptr;
    unsigned long size = 0;
    // Layout of the result: blue-green-red instead of red-green-blue, rows
    // bottom-up instead of top-down, rows padded to 4 bytes.
    bool bgr = false;
    bool bottomUp = false;
    bool padded = false;
    uint8_t* pixels = nullptr; // new[]; owned by the caller afterwards
    uint32_t stride = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    int components = 0;
    Outcome outcome = Outcome::Ok;
    char message[JMSG_LENGTH_MAX] = {};
};

void decode(DecodeJob* job)
{
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    installErrorManager(&err);
    cinfo.err = &err.pub;
    if (setjmp(err.jump)) {
        std::memcpy(job->message, err.message, sizeof job->message);
        job->outcome = Outcome::LibraryError;
        jpeg_destroy_decompress(&cinfo);
        delete[] job->pixels;
        job->pixels = nullptr;
        return;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, job->data, job->size);
    jpeg_read_header(&cinfo, TRUE);

    job->components = cinfo.num_components;
    if (cinfo.num_components != 1 && cinfo.num_components != 3) {
        job->outcome = Outcome::Components;
        jpeg_destroy_decompress(&cinfo);
        return;
    }
    cinfo.out_color_space =
        cinfo.num_components == 1 ? JCS_GRAYSCALE : (job->bgr ? JCS_EXT_BGR : JCS_RGB);
    const uint64_t bytes = uint64_t(cinfo.image_width) * cinfo.image_height * 3u;
    if (bytes == 0 || bytes > kMaxImageBytes) {
        job->width = cinfo.image_width;
        job->height = cinfo.image_height;
        job->outcome = Outcome::TooLarge;
        jpeg_destroy_decompress(&cinfo);
        return;
    }
    jpeg_start_decompress(&cinfo);
    const uint32_t w = cinfo.output_width;
    const uint32_t h = cinfo.output_height;
    const size_t rowBytes = size_t(w) * 3u;
    const size_t stride = job->padded ? (rowBytes + 3u) & ~size_t(3) : rowBytes;
    const uint64_t outBytes = uint64_t(stride) * h;
    job->pixels = allocate(outBytes);
    if (!job->pixels) {
        job->outcome = outBytes > kMaxImageBytes ? Outcome::TooLarge : Outcome::OutOfMemory;
        jpeg_destroy_decompress(&cinfo);
        return;
    }
    job->stride = uint32_t(stride);
    auto target = [&](uint32_t scanline) {
        return job->pixels + size_t(job->bottomUp ? h - 1 - scanline : scanline) * stride;
    };
    if (stride != rowBytes) // padding bytes are defined
        for (uint32_t y = 0; y < h; ++y)
            std::memset(job->pixels + size_t(y) * stride + rowBytes, 0, stride - rowBytes);
    if (cinfo.output_components == 3) {
        // Decode straight into the result, several rows per call.
        JSAMPROW rows[16];
        while (cinfo.output_scanline < h) {
            const uint32_t first = cinfo.output_scanline;
            const uint32_t n = std::min<uint32_t>(16, h - first);
            for (uint32_t i = 0; i < n; ++i)
                rows[i] = target(first + i);
            jpeg_read_scanlines(&cinfo, rows, n);
        }
    } else {
        // A grey row is decoded into the last third of its target row and
        // spread forward into three equal bytes per pixel; no byte is
        // overwritten before it has been read.
        while (cinfo.output_scanline < h) {
            uint8_t* row = target(cinfo.output_scanline);
            JSAMPROW grey = row + 2 * size_t(w);
            if (jpeg_read_scanlines(&cinfo, &grey, 1) != 1)
                break;
            for (uint32_t x = 0; x < w; ++x) {
                const uint8_t v = grey[x];
                row[3 * x] = v;
                row[3 * x + 1] = v;
                row[3 * x + 2] = v;
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    job->width = w;
    job->height = h;
}

// ---- encoding ---------------------------------------------------------------

struct EncodeJob {
    const uint8_t* pixels = nullptr;
    size_t stride = 0;     // bytes from one row to the next
    bool bottomUp = false; // the first row in memory is the picture's last
    bool bgr = false;
    uint32_t width = 0;
    uint32_t height = 0;
    int components = 3;
    int quality = 75;
    unsigned char* out = nullptr; // malloc'ed by the library; freed by the caller
    unsigned long outSize = 0;
    Outcome outcome = Outcome::Ok;
    char message[JMSG_LENGTH_MAX] = {};
};

void encode(EncodeJob* job)
{
    jpeg_compress_struct cinfo;
    ErrorManager err;
    installErrorManager(&err);
    cinfo.err = &err.pub;
    if (setjmp(err.jump)) {
        std::memcpy(job->message, err.message, sizeof job->message);
        job->outcome = Outcome::LibraryError;
        jpeg_destroy_compress(&cinfo);
        return;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &job->out, &job->outSize);
    cinfo.image_width = job->width;
    cinfo.image_height = job->height;
    cinfo.input_components = job->components;
    cinfo.in_color_space = job->components == 4   ? JCS_EXT_BGRX
                           : job->components == 3 ? (job->bgr ? JCS_EXT_BGR : JCS_RGB)
                                                  : JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, job->quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    JSAMPROW rows[16];
    while (cinfo.next_scanline < job->height) {
        const uint32_t first = cinfo.next_scanline;
        const uint32_t n = std::min<uint32_t>(16, job->height - first);
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t y = job->bottomUp ? job->height - 1 - (first + i) : first + i;
            rows[i] = const_cast<uint8_t*>(job->pixels + size_t(y) * job->stride);
        }
        jpeg_write_scanlines(&cinfo, rows, n);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
}

// Writes `size` bytes to a new file beside `path` and renames it over `path`:
// the old file stays whole until the new one is complete. (No sync to disk:
// a survey saves hundreds of strips in a row.)
bool replaceFile(const QString& path, const void* data, qint64 size)
{
    static std::atomic<unsigned> counter{0};
    const QString temp =
        QStringLiteral("%1.%2-%3.part").arg(path, QString::number(::getpid()),
                                            QString::number(counter.fetch_add(1)));
    QFile file(temp);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    const bool written = file.write(static_cast<const char*>(data), size) == size && file.flush();
    file.close();
    if (!written || file.error() != QFileDevice::NoError ||
        std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) !=
            0) {
        QFile::remove(temp);
        return false;
    }
    return true;
}

QString tooLargeText(const QString& path, uint32_t w, uint32_t h)
{
    return QStringLiteral("JPEG :\n%1 is too large (%2 x %3)\n").arg(path).arg(w).arg(h);
}

} // namespace

namespace {

PixelBuffer readJpeg(const QString& path, bool stripLayout, uint32_t* width, uint32_t* height,
                     uint32_t* stride, ErrorReport* error)
{
    if (width)
        *width = 0;
    if (height)
        *height = 0;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reportError(error, QStringLiteral("JPEG :\nCan't open %1\n").arg(path));
        return nullptr;
    }
    if (file.size() > kMaxFileBytes) {
        reportError(error, QStringLiteral("JPEG :\n%1 is too large\n").arg(path), QString(),
                    kStopIcon);
        return nullptr;
    }
    const QByteArray data = file.readAll();
    file.close();

    DecodeJob job;
    job.bgr = job.bottomUp = job.padded = stripLayout;
    job.data = reinterpret_cast<const unsigned char*>(data.constData());
    job.size = static_cast<unsigned long>(data.size());
    decode(&job);
    PixelBuffer result(job.pixels);
    switch (job.outcome) {
    case Outcome::Ok:
        if (width)
            *width = job.width;
        if (height)
            *height = job.height;
        if (stride)
            *stride = job.stride;
        return result;
    case Outcome::LibraryError:
        reportError(error, QString::fromLocal8Bit(job.message), QString::fromLatin1(kFatalCaption),
                    kStopIcon);
        break;
    case Outcome::Components:
        reportError(error,
                    QStringLiteral("JPEG :\n%1 has %2 colour components; only 1 or 3 can be read\n")
                        .arg(path)
                        .arg(job.components),
                    QString(), kStopIcon);
        break;
    case Outcome::TooLarge:
        reportError(error, tooLargeText(path, job.width, job.height), QString(), kStopIcon);
        break;
    case Outcome::OutOfMemory:
        reportError(error, QStringLiteral("JpegFile :\nOut of memory"), QString(), kStopIcon);
        break;
    }
    return nullptr;
}

} // namespace

PixelBuffer ReadJpegToRgb(const QString& path, uint32_t* width, uint32_t* height,
                          ErrorReport* error)
{
    return readJpeg(path, false, width, height, nullptr, error);
}

PixelBuffer ReadJpegToStrip(const QString& path, uint32_t* width, uint32_t* height,
                            uint32_t* stride, ErrorReport* error)
{
    return readJpeg(path, true, width, height, stride, error);
}

namespace {

// How the rows of a buffer to be written lie in memory.
enum class RowLayout {
    Rgb,   // top-down red, green, blue
    Strip, // bottom-up blue, green, red
    Bgrx,  // top-down blue, green, red and an unused byte
};

bool writeJpeg(const QString& path, const uint8_t* buffer, uint32_t width, uint32_t height,
               size_t stride, RowLayout layout, bool colour, int quality, ErrorReport* error)
{
    if (!buffer || width == 0 || height == 0)
        return false;
    const uint64_t pixels = uint64_t(width) * height;
    if (pixels * 3u > kMaxImageBytes || width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION) {
        reportError(error, tooLargeText(path, width, height), QString(), kStopIcon);
        return false;
    }

    PixelBuffer grey;
    if (!colour) {
        grey.reset(allocate(pixels));
        if (!grey) {
            reportError(error, QStringLiteral("Memory error"));
            return false;
        }
        for (uint64_t i = 0; i < pixels; ++i) {
            const uint8_t* p = buffer + 3 * i;
            grey[i] = static_cast<uint8_t>(0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]);
        }
        stride = width;
    }

    // The target must be a writable place before any coding is done.
    const QFileInfo target(path);
    if (target.isDir() || !QFileInfo(target.absolutePath()).isDir() ||
        (target.exists() && !target.isWritable())) {
        reportError(error, QStringLiteral("JpegFile :\nCan't open %1\n").arg(path));
        return false;
    }

    EncodeJob job;
    job.pixels = colour ? buffer : grey.get();
    job.stride = stride;
    job.bottomUp = layout == RowLayout::Strip;
    job.bgr = layout != RowLayout::Rgb;
    job.width = width;
    job.height = height;
    job.components = !colour ? 1 : layout == RowLayout::Bgrx ? 4 : 3;
    job.quality = quality;
    encode(&job);
    std::unique_ptr<unsigned char, decltype(&std::free)> out(job.out, &std::free);
    if (job.outcome != Outcome::Ok) {
        reportError(error, QString::fromLocal8Bit(job.message), QString::fromLatin1(kFatalCaption),
                    kStopIcon);
        return false;
    }
    if (!replaceFile(path, out.get(), qint64(job.outSize))) {
        reportError(error, QStringLiteral("JpegFile :\nCan't open %1\n").arg(path));
        return false;
    }
    return true;
}

} // namespace

bool WriteRgbAsJpeg(const QString& path, const uint8_t* buffer, uint32_t width, uint32_t height,
                    bool colour, int quality, ErrorReport* error)
{
    return writeJpeg(path, buffer, width, height, size_t(width) * 3u, RowLayout::Rgb, colour,
                     quality, error);
}

bool WriteBgrxAsJpeg(const QString& path, const uint8_t* buffer, uint32_t width, uint32_t height,
                     uint32_t stride, int quality, ErrorReport* error)
{
    if (stride < uint64_t(width) * 4u)
        return false;
    return writeJpeg(path, buffer, width, height, stride, RowLayout::Bgrx, true, quality, error);
}

bool WriteStripAsJpeg(const QString& path, const uint8_t* buffer, uint32_t width, uint32_t rows,
                      uint32_t stride, int quality, ErrorReport* error)
{
    if (stride < uint64_t(width) * 3u)
        return false;
    return writeJpeg(path, buffer, width, rows, stride, RowLayout::Strip, true, quality, error);
}

PixelBuffer LoadBmpFile(const QString& path, uint32_t* width, uint32_t* height, ErrorReport* error)
{
    if (width)
        *width = 0;
    if (height)
        *height = 0;
    auto fail = [&](const QString& why) {
        reportError(error, QStringLiteral("BMP :\n%1: %2\n").arg(path, why));
        return nullptr;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot open the file"));
    const int64_t fileSize = file.size();
    uint8_t head[14 + BitmapInfoHeader::kSize];
    if (fileSize < qint64(sizeof head) ||
        file.read(reinterpret_cast<char*>(head), sizeof head) != qint64(sizeof head))
        return fail(QStringLiteral("the file is too short"));
    if (head[0] != 'B' || head[1] != 'M')
        return fail(QStringLiteral("not a BMP file"));
    const uint32_t pixelOffset = getLe32(head + 10);
    const BitmapInfoHeader info = BitmapInfoHeader::load(head + 14);
    if (info.size < uint32_t(BitmapInfoHeader::kSize) ||
        uint64_t(info.size) + 14 > uint64_t(fileSize))
        return fail(QStringLiteral("bad header size"));
    if (info.bitCount != 24 || info.compression != 0)
        return fail(QStringLiteral("only uncompressed 24-bit pictures can be read"));
    if (info.width <= 0 || info.height <= 0)
        return fail(QStringLiteral("bad picture size"));
    const uint32_t w = uint32_t(info.width);
    const uint32_t h = uint32_t(info.height);
    const uint64_t stride = (uint64_t(w) * 3u + 3u) & ~uint64_t(3);
    const uint64_t bytes = stride * h;
    if (bytes > kMaxImageBytes)
        return fail(QStringLiteral("the picture is too large"));
    if (pixelOffset < 14 + info.size || uint64_t(pixelOffset) > uint64_t(fileSize) ||
        bytes > uint64_t(fileSize) - pixelOffset)
        return fail(QStringLiteral("the pixel data is not all there"));
    PixelBuffer pixels(allocate(bytes));
    if (!pixels)
        return fail(QStringLiteral("out of memory"));
    if (!file.seek(pixelOffset) ||
        file.read(reinterpret_cast<char*>(pixels.get()), qint64(bytes)) != qint64(bytes))
        return fail(QStringLiteral("the pixel data is not all there"));
    if (width)
        *width = w;
    if (height)
        *height = h;
    return pixels;
}

bool SaveBmpFile(const QString& path, const uint8_t* buffer, uint32_t width, uint32_t height,
                 int bitsPerPixel)
{
    if (!buffer || bitsPerPixel != 24 || width == 0 || height == 0 ||
        uint64_t(width) * 3u * height > kMaxImageBytes)
        return false;
    const uint32_t stride = paddedStride(width);
    const uint64_t bytes = uint64_t(stride) * height;
    if (bytes > kMaxImageBytes)
        return false;
    PixelBuffer data(allocate(54 + bytes));
    if (!data)
        return false;
    uint8_t* p = data.get();
    p[0] = 'B';
    p[1] = 'M';
    putLe32(p + 2, uint32_t(54 + bytes));
    putLe32(p + 6, 0);
    putLe32(p + 10, 54);
    BitmapInfoHeader info;
    info.setSize(int32_t(width), int32_t(height));
    info.store(p + 14);
    const size_t rowBytes = size_t(width) * 3;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = p + 54 + size_t(y) * stride;
        std::memcpy(row, buffer + size_t(y) * rowBytes, rowBytes);
        std::memset(row + rowBytes, 0, stride - rowBytes);
    }
    return replaceFile(path, p, qint64(54 + bytes));
}

PixelBuffer UnpadRows(const uint8_t* padded, uint32_t width, uint32_t height, uint32_t stride)
{
    const uint64_t rowBytes = uint64_t(width) * 3u;
    if (!padded || stride < rowBytes)
        return nullptr;
    PixelBuffer out(allocate(rowBytes * height));
    if (!out)
        return nullptr;
    for (uint32_t y = 0; y < height; ++y)
        std::memcpy(out.get() + y * rowBytes, padded + uint64_t(y) * stride, rowBytes);
    return out;
}

PixelBuffer PadRows(const uint8_t* packed, uint32_t width, uint32_t height, uint32_t* strideOut)
{
    if (!packed || uint64_t(width) * 3u > 0xFFFFFFF0u)
        return nullptr;
    const uint32_t stride = paddedStride(width);
    const size_t rowBytes = size_t(width) * 3u;
    PixelBuffer out(allocate(uint64_t(stride) * height));
    if (!out)
        return nullptr;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = out.get() + size_t(y) * stride;
        std::memcpy(row, packed + size_t(y) * rowBytes, rowBytes);
        std::memset(row + rowBytes, 0, stride - rowBytes);
    }
    if (strideOut)
        *strideOut = stride;
    return out;
}

bool FlipRowsVertically(uint8_t* buffer, uint32_t rowBytes, uint32_t rows)
{
    if (!buffer)
        return false;
    for (uint32_t i = 0; i < rows / 2; ++i) {
        uint8_t* a = buffer + size_t(i) * rowBytes;
        uint8_t* b = buffer + size_t(rows - 1 - i) * rowBytes;
        std::swap_ranges(a, a + rowBytes, b);
    }
    return true;
}

bool SwapRedBlue(uint8_t* buffer, uint32_t width, uint32_t height)
{
    if (!buffer)
        return false;
    const uint64_t n = uint64_t(width) * height;
    for (uint64_t i = 0; i < n; ++i)
        std::swap(buffer[3 * i], buffer[3 * i + 2]);
    return true;
}

PixelBuffer RgbaToRgb(const uint8_t* buffer, uint32_t width, uint32_t height, ErrorReport* error)
{
    if (!buffer)
        return nullptr;
    const uint64_t n = uint64_t(width) * height;
    PixelBuffer out(allocate(n * 3u));
    if (!out) {
        reportError(error, QStringLiteral("JpegFile :\nOut of memory"), QString(), kStopIcon);
        return nullptr;
    }
    for (uint64_t i = 0; i < n; ++i) {
        out[3 * i] = buffer[4 * i];
        out[3 * i + 1] = buffer[4 * i + 1];
        out[3 * i + 2] = buffer[4 * i + 2];
    }
    return out;
}

} // namespace bc::JpegFile

namespace bc {

void BitmapInfoHeader::store(uint8_t* out) const
{
    putLe32(out + 0, size);
    putLe32(out + 4, uint32_t(width));
    putLe32(out + 8, uint32_t(height));
    putLe16(out + 12, planes);
    putLe16(out + 14, bitCount);
    putLe32(out + 16, compression);
    putLe32(out + 20, sizeImage);
    putLe32(out + 24, uint32_t(xPelsPerMeter));
    putLe32(out + 28, uint32_t(yPelsPerMeter));
    putLe32(out + 32, clrUsed);
    putLe32(out + 36, clrImportant);
}

BitmapInfoHeader BitmapInfoHeader::load(const uint8_t* in)
{
    BitmapInfoHeader h;
    h.size = getLe32(in + 0);
    h.width = int32_t(getLe32(in + 4));
    h.height = int32_t(getLe32(in + 8));
    h.planes = getLe16(in + 12);
    h.bitCount = getLe16(in + 14);
    h.compression = getLe32(in + 16);
    h.sizeImage = getLe32(in + 20);
    h.xPelsPerMeter = int32_t(getLe32(in + 24));
    h.yPelsPerMeter = int32_t(getLe32(in + 28));
    h.clrUsed = getLe32(in + 32);
    h.clrImportant = getLe32(in + 36);
    return h;
}

} // namespace bc
