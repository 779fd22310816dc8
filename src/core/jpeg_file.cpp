#include "core/jpeg_file.h"

#include "core/atomic_file.h"
#include "core/bitmap_header.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>


// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace bc::JpegFile {

namespace {

constexpr unsigned kStopIcon = 0x10;

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
    bool tooManyScans = false;
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

// ---- what a file may cost to read ---------------------------------------------
// Every scan of a file of several scans is decoded over the whole picture, and
// a scan may repeat one already read (the library only warns), so a small file
// could keep the reader busy for minutes. The longest scan script an encoder
// writes for 1 or 3 components has 14 scans (2 + 4 a component; 10 for colour
// as YCbCr); a file with more than four times that is refused as damaged.
constexpr int kMaxScans = 64;

// Called by the library between pieces of its work; while the file's scans
// are read in, it stops the read once there are too many of them.
void watchScans(j_common_ptr cinfo)
{
    const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number <= kMaxScans)
        return;
    auto* mgr = reinterpret_cast<ErrorManager*>(cinfo->err);
    mgr->tooManyScans = true;
    longjmp(mgr->jump, 1);
}

// A file of several scans (progressive, or not every component in the first
// scan) is held whole as coefficients while it is read: 64 of 2 bytes a block
// of every component, its block rows and columns rounded up to its sampling
// factors. That buffer lives beside the picture while it is decoded.
uint64_t coefficientBytes(const jpeg_decompress_struct& cinfo)
{
    if (!cinfo.progressive_mode && cinfo.comps_in_scan >= cinfo.num_components)
        return 0;
    auto roundUp = [](uint64_t n, int factor) {
        const uint64_t f = uint64_t(std::max(factor, 1));
        return (n + f - 1) / f * f;
    };
    uint64_t blocks = 0;
    for (int i = 0; i < cinfo.num_components; ++i) {
        const jpeg_component_info& c = cinfo.comp_info[i];
        blocks += roundUp(c.width_in_blocks, c.h_samp_factor) *
                  roundUp(c.height_in_blocks, c.v_samp_factor);
    }
    return blocks * DCTSIZE2 * sizeof(JCOEF);
}

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
    bool cutShort = false; // the data ended before the picture did
};

void decode(DecodeJob* job)
{
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    installErrorManager(&err);
    cinfo.err = &err.pub;
    jpeg_progress_mgr progress{};
    progress.progress_monitor = watchScans;
    if (setjmp(err.jump)) {
        job->cutShort = !err.tooManyScans && cinfo.err->msg_code == JWRN_JPEG_EOF;
        job->outcome = Outcome::LibraryError;
        jpeg_destroy_decompress(&cinfo);
        delete[] job->pixels;
        job->pixels = nullptr;
        return;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.progress = &progress;
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
    // The picture and what the library holds beside it while decoding.
    const uint64_t rowBytes64 = uint64_t(cinfo.image_width) * 3u;
    const uint64_t pictureBytes =
        (job->padded ? (rowBytes64 + 3u) & ~uint64_t(3) : rowBytes64) * cinfo.image_height;
    if (pictureBytes == 0 || pictureBytes > kMaxImageBytes ||
        coefficientBytes(cinfo) > kMaxImageBytes - pictureBytes) {
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
};

void encode(EncodeJob* job)
{
    jpeg_compress_struct cinfo;
    ErrorManager err;
    installErrorManager(&err);
    cinfo.err = &err.pub;
    if (setjmp(err.jump)) {
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

const QString kErrorCaption = QStringLiteral("出错");

QString tooLargeText(uint32_t w, uint32_t h)
{
    return QStringLiteral("图像太大 (%1 x %2)").arg(w).arg(h);
}

// "无法读取图像文件: <path>" and why, one line each.
void readFailure(ErrorReport* error, const QString& path, const QString& why)
{
    reportError(error, QStringLiteral("无法读取图像文件: %1\n%2").arg(path, why), kErrorCaption,
                kStopIcon);
}

void writeFailure(ErrorReport* error, const QString& path, const QString& why)
{
    reportError(error, QStringLiteral("无法写入图像文件: %1\n%2").arg(path, why), kErrorCaption,
                kStopIcon);
}

// Why a file cannot be opened for reading.
QString openFailure(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("文件不存在");
    if (info.isDir())
        return QStringLiteral("这是一个目录");
    if (!info.isReadable())
        return QStringLiteral("没有读取权限");
    return QStringLiteral("无法打开文件");
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
        readFailure(error, path, openFailure(path));
        return nullptr;
    }
    if (file.isSequential() || file.size() > kMaxFileBytes) {
        readFailure(error, path, QStringLiteral("文件太大"));
        return nullptr;
    }
    if (file.size() == 0) {
        readFailure(error, path, QStringLiteral("文件是空的"));
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
        readFailure(error, path,
                    job.cutShort ? QStringLiteral("文件不完整(被截断)")
                                 : QStringLiteral("文件已损坏,不是有效的JPEG图像"));
        break;
    case Outcome::Components:
        readFailure(error, path,
                    QStringLiteral("图像有%1个颜色分量,只能读取1或3个").arg(job.components));
        break;
    case Outcome::TooLarge:
        readFailure(error, path, tooLargeText(job.width, job.height));
        break;
    case Outcome::OutOfMemory:
        readFailure(error, path, QStringLiteral("内存不足"));
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

ErrorReport OpenFailureReport(const QStringList& paths)
{
    ErrorReport report;
    if (!paths.isEmpty())
        readFailure(&report, paths.join(QStringLiteral(" 或 ")), openFailure(paths.front()));
    return report;
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
        writeFailure(error, path, tooLargeText(width, height));
        return false;
    }

    PixelBuffer grey;
    if (!colour) {
        grey.reset(allocate(pixels));
        if (!grey) {
            writeFailure(error, path, QStringLiteral("内存不足"));
            return false;
        }
        for (uint64_t i = 0; i < pixels; ++i) {
            const uint8_t* p = buffer + 3 * i;
            grey[i] = static_cast<uint8_t>(0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]);
        }
        stride = width;
    }

    // The target must be a writable place before any coding is done.
    AtomicFile file(path);
    if (!file.open()) {
        writeFailure(error, path, file.errorString());
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
        writeFailure(error, path, QStringLiteral("图像编码失败"));
        return false;
    }
    // No sync to disk: a survey saves hundreds of strips in a row.
    if (!file.write(out.get(), qint64(job.outSize)) || !file.commit(false)) {
        writeFailure(error, path, file.errorString());
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
        readFailure(error, path, why);
        return nullptr;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(openFailure(path));
    const int64_t fileSize = file.size();
    uint8_t head[14 + BitmapInfoHeader::kSize];
    if (fileSize < qint64(sizeof head) ||
        file.read(reinterpret_cast<char*>(head), sizeof head) != qint64(sizeof head))
        return fail(QStringLiteral("文件不完整(被截断)"));
    if (head[0] != 'B' || head[1] != 'M')
        return fail(QStringLiteral("文件已损坏,不是有效的BMP图像"));
    const uint32_t pixelOffset = getLe32(head + 10);
    const BitmapInfoHeader info = BitmapInfoHeader::load(head + 14);
    if (info.size < uint32_t(BitmapInfoHeader::kSize) ||
        uint64_t(info.size) + 14 > uint64_t(fileSize))
        return fail(QStringLiteral("文件已损坏,文件头无效"));
    if (info.bitCount != 24 || info.compression != 0)
        return fail(QStringLiteral("只能读取未压缩的24位图像"));
    if (info.width <= 0 || info.height <= 0)
        return fail(QStringLiteral("文件已损坏,图像尺寸无效"));
    const uint32_t w = uint32_t(info.width);
    const uint32_t h = uint32_t(info.height);
    const uint64_t stride = (uint64_t(w) * 3u + 3u) & ~uint64_t(3);
    const uint64_t bytes = stride * h;
    if (bytes > kMaxImageBytes)
        return fail(QStringLiteral("图像太大"));
    if (pixelOffset < 14 + info.size || uint64_t(pixelOffset) > uint64_t(fileSize) ||
        bytes > uint64_t(fileSize) - pixelOffset)
        return fail(QStringLiteral("文件不完整(被截断)"));
    PixelBuffer pixels(allocate(bytes));
    if (!pixels)
        return fail(QStringLiteral("内存不足"));
    if (!file.seek(pixelOffset) ||
        file.read(reinterpret_cast<char*>(pixels.get()), qint64(bytes)) != qint64(bytes))
        return fail(QStringLiteral("文件不完整(被截断)"));
    if (width)
        *width = w;
    if (height)
        *height = h;
    return pixels;
}

bool SaveBmpFile(const QString& path, const uint8_t* buffer, uint32_t width, uint32_t height,
                 int bitsPerPixel, ErrorReport* error)
{
    if (!buffer || bitsPerPixel != 24 || width == 0 || height == 0 ||
        uint64_t(width) * 3u * height > kMaxImageBytes)
        return false;
    const uint32_t stride = paddedStride(width);
    const uint64_t bytes = uint64_t(stride) * height;
    if (bytes > kMaxImageBytes)
        return false;
    PixelBuffer data(allocate(54 + bytes));
    if (!data) {
        writeFailure(error, path, QStringLiteral("内存不足"));
        return false;
    }
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
    QString why;
    if (WriteFileAtomically(path, p, qint64(54 + bytes), &why, false))
        return true;
    writeFailure(error, path, why);
    return false;
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
        reportError(error, QStringLiteral("内存不足"), kErrorCaption, kStopIcon);
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
