#include "ui/memory_dc.h"

#include "core/jpeg_file.h"

#include <QWidget>

namespace bc {

namespace {

constexpr int kJpegQuality = 75;

// The canvas's pixels as packed rows of width x 3 bytes in `format` (RGB888
// or BGR888), copied row by row with the converted image's own stride.
PixelBuffer packedRows(const QImage& image, QImage::Format format)
{
    const QImage converted = image.convertToFormat(format);
    if (converted.isNull())
        return nullptr;
    return JpegFile::UnpadRows(converted.constBits(), uint32_t(converted.width()),
                               uint32_t(converted.height()), uint32_t(converted.bytesPerLine()));
}

} // namespace

CMemoryDC::CMemoryDC(int bitsPerPixel, const QString& fileName, const QSize& size)
    : bitsPerPixel_(bitsPerPixel), fileName_(fileName), width_(size.width()), height_(size.height())
{
    if (width_ > 0 && height_ > 0)
        image_ = QImage(width_, height_, QImage::Format_RGB32);
    if (!image_.isNull())
        image_.fill(Qt::white);
    begin();
}

CMemoryDC::CMemoryDC(const QString& fileName, QWidget* window) : fileName_(fileName)
{
    if (window) {
        width_ = window->width();
        height_ = window->height();
        if (width_ > 0 && height_ > 0)
            image_ = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
        if (!image_.isNull() && image_.size() != QSize(width_, height_))
            image_ = image_.scaled(width_, height_);
    }
    begin();
}

CMemoryDC::~CMemoryDC()
{
    if (painter_.isActive())
        painter_.end();
}

void CMemoryDC::begin()
{
    if (image_.isNull())
        return;
    painter_.begin(&image_);
    painter_.setBackgroundMode(Qt::TransparentMode);
}

int CMemoryDC::SaveAsBmp(const QString& path, ErrorReport* error)
{
    if (!IsValid())
        return 0;
    PixelBuffer rows = packedRows(image_, QImage::Format_BGR888);
    if (!rows)
        return 0;
    const uint32_t w = uint32_t(image_.width()), h = uint32_t(image_.height());
    // A BMP holds its rows bottom-up.
    JpegFile::FlipRowsVertically(rows.get(), w * 3u, h);
    return JpegFile::SaveBmpFile(path, rows.get(), w, h, 24, error) ? 1 : 0;
}

int CMemoryDC::SaveAsJpeg(ErrorReport* error)
{
    if (!IsValid() || (bitsPerPixel_ != 24 && bitsPerPixel_ != 32))
        return 0;
    // The canvas's own 32-bit rows go to the coder as they are.
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "32-bit canvas rows are read as blue, green, red");
    const bool written =
        JpegFile::WriteBgrxAsJpeg(fileName_, image_.constBits(), uint32_t(image_.width()),
                                  uint32_t(image_.height()), uint32_t(image_.bytesPerLine()),
                                  kJpegQuality, error);
    return written ? 1 : 0;
}

} // namespace bc
