#include "core/unwrap_image.h"

#include "core/jpeg_file.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace bc {

CUnWrapImage::CUnWrapImage() = default;

CUnWrapImage::CUnWrapImage(int32_t depthKey_, uint16_t angle_) : depthKey(depthKey_), angle(angle_)
{
}

CUnWrapImage::CUnWrapImage(const CUnWrapImage& other)
{
    CopyFrom(other);
}

CUnWrapImage& CUnWrapImage::operator=(const CUnWrapImage& other)
{
    if (this != &other)
        CopyFrom(other);
    return *this;
}

CUnWrapImage::CUnWrapImage(CUnWrapImage&& other) noexcept
{
    *this = std::move(other);
}

CUnWrapImage& CUnWrapImage::operator=(CUnWrapImage&& other) noexcept
{
    if (this == &other)
        return *this;
    depthKey = other.depthKey;
    angle = other.angle;
    width = other.width;
    shownHeight = other.shownHeight;
    rows = other.rows;
    stride = other.stride;
    bits = std::move(other.bits);
    unwrapX = other.unwrapX;
    unwrapY = other.unwrapY;
    unwrapColumn = other.unwrapColumn;
    unwrapRadius = other.unwrapRadius;
    unwrapStep = other.unwrapStep;
    unwrapPhase = other.unwrapPhase;
    header = other.header;
    columnCos_ = std::move(other.columnCos_);
    columnSin_ = std::move(other.columnSin_);
    sampleScratch_ = std::move(other.sampleScratch_);
    trigWidth_ = other.trigWidth_;
    trigPhase_ = other.trigPhase_;
    other.rows = 0;
    other.stride = 0;
    other.trigWidth_ = -1;
    return *this;
}

CUnWrapImage::~CUnWrapImage() = default;

void CUnWrapImage::CopyFrom(const CUnWrapImage& other)
{
    if (this == &other)
        return;
    bits.reset();
    width = other.width;
    stride = other.stride;
    shownHeight = other.shownHeight;
    rows = other.rows;
    depthKey = other.depthKey;
    angle = other.angle;
    if (other.bits) {
        const size_t bytes = size_t(other.rows) * size_t(other.stride);
        bits.reset(new (std::nothrow) uint8_t[std::max<size_t>(bytes, 1)]);
        if (bits)
            std::memcpy(bits.get(), other.bits.get(), bytes);
    }
    if (!bits) {
        rows = 0;
        stride = 0;
    }
    header.setSize(width, shownHeight);
}

void CUnWrapImage::freePixels()
{
    bits.reset();
    rows = 0;
    stride = 0;
}

void CUnWrapImage::adoptPixels(std::unique_ptr<uint8_t[]> buffer, int rowCount, int rowStride)
{
    bits = std::move(buffer);
    rows = bits ? rowCount : 0;
    stride = bits ? rowStride : 0;
}

bool CUnWrapImage::WriteRecord(QIODevice& file) const
{
    uint8_t record[kRecordSize];
    putLe32(record, uint32_t(depthKey));
    putLe16(record + 4, angle);
    putLe32(record + 6, uint32_t(width));
    putLe32(record + 10, uint32_t(shownHeight));
    return file.write(reinterpret_cast<const char*>(record), kRecordSize) == kRecordSize;
}

bool CUnWrapImage::ReadRecord(QIODevice& file)
{
    uint8_t record[kRecordSize];
    if (file.read(reinterpret_cast<char*>(record), kRecordSize) != kRecordSize)
        return false;
    depthKey = int32_t(getLe32(record));
    angle = getLe16(record + 4);
    width = int32_t(getLe32(record + 6));
    shownHeight = int32_t(getLe32(record + 10));
    header.setSize(width, shownHeight);
    return true;
}

QString CUnWrapImage::jpgPath(const QString& dir) const
{
    return QStringLiteral("%1/%2.jpg").arg(dir, QString::number(depthKey));
}

QString CUnWrapImage::bmpPath(const QString& dir) const
{
    return QStringLiteral("%1/%2.bmp").arg(dir, QString::number(depthKey));
}

namespace {

// A packed copy (rows of exactly width x 3 bytes) of every held row.
PixelBuffer packedCopy(const uint8_t* bits, int width, int rows, int stride)
{
    if (!bits || width <= 0 || rows <= 0 || stride < width * 3)
        return nullptr;
    return JpegFile::UnpadRows(bits, uint32_t(width), uint32_t(rows), uint32_t(stride));
}

} // namespace

bool CUnWrapImage::SaveJpg(const QString& dir, ErrorReport* error) const
{
    return SaveJpgFile(jpgPath(dir), error);
}

bool CUnWrapImage::SaveBmp(const QString& dir, ErrorReport* error) const
{
    return SaveBmpFile(bmpPath(dir), error);
}

bool CUnWrapImage::SaveJpgFile(const QString& path, ErrorReport* error) const
{
    // Every held row, top row first, red-green-blue in the file.
    if (!bits || width <= 0 || rows <= 0 || stride < width * 3)
        return false;
    return JpegFile::WriteStripAsJpeg(path, bits.get(), uint32_t(width), uint32_t(rows),
                                      uint32_t(stride), 75, error);
}

bool CUnWrapImage::SaveBmpFile(const QString& path, ErrorReport* error) const
{
    PixelBuffer copy = packedCopy(bits.get(), width, rows, stride);
    if (!copy)
        return false;
    return JpegFile::SaveBmpFile(path, copy.get(), uint32_t(width), uint32_t(rows), 24, error);
}

namespace {

// The sizes after a load: the width is the file's; a shown height set from
// the strip record stays but never exceeds the rows held.
void settleSizes(int32_t& width, int32_t& shownHeight, uint32_t fileWidth, uint32_t fileHeight)
{
    const bool fromRecord = width != 0 && shownHeight != 0;
    width = int32_t(fileWidth);
    if (fromRecord)
        shownHeight = std::clamp<int32_t>(shownHeight, 0, int32_t(fileHeight));
    else
        shownHeight = int32_t(fileHeight);
}

} // namespace

bool CUnWrapImage::LoadJpg(const QString& dir, ErrorReport* error)
{
    return LoadJpgFile(jpgPath(dir), error);
}

bool CUnWrapImage::LoadJpgFile(const QString& path, ErrorReport* error)
{
    freePixels();
    uint32_t w = 0;
    uint32_t h = 0;
    uint32_t padded = 0;
    // Straight into the held layout: bottom-up, blue-green-red, rows padded.
    PixelBuffer data = JpegFile::ReadJpegToStrip(path, &w, &h, &padded, error);
    return takeLoaded(std::move(data), w, h, padded);
}

bool CUnWrapImage::LoadBmp(const QString& dir, ErrorReport* error)
{
    return LoadBmpFile(bmpPath(dir), error);
}

bool CUnWrapImage::LoadBmpFile(const QString& path, ErrorReport* error)
{
    freePixels();
    uint32_t w = 0;
    uint32_t h = 0;
    // The rows come padded to 4 bytes, bottom-up, blue-green-red: as held.
    PixelBuffer data = JpegFile::LoadBmpFile(path, &w, &h, error);
    return takeLoaded(std::move(data), w, h, JpegFile::paddedStride(w));
}

bool CUnWrapImage::takeLoaded(std::unique_ptr<uint8_t[]> data, uint32_t fileWidth,
                              uint32_t fileHeight, uint32_t fileStride)
{
    if (!data)
        return false;
    adoptPixels(std::move(data), int(fileHeight), int(fileStride));
    settleSizes(width, shownHeight, fileWidth, fileHeight);
    header.setSize(width, int32_t(fileHeight));
    return true;
}

} // namespace bc
