#pragma once
// An off-screen canvas that owns a white picture of a given size, remembers a
// file name and saves itself as a 24-bit BMP or a JPEG (quality 75). The page
// export and the report render pages into it; the 3D view copies its window
// into one for a snapshot.

#include "core/error_report.h"

#include <QImage>
#include <QPainter>
#include <QString>

class QWidget;

namespace bc {

class CMemoryDC {
public:
    // A white canvas of `size` at `bitsPerPixel`, saving to `fileName`.
    CMemoryDC(int bitsPerPixel, const QString& fileName, const QSize& size);
    // A canvas of `window`'s client area at 24 bits per pixel holding a copy
    // of what the window shows.
    CMemoryDC(const QString& fileName, QWidget* window);
    ~CMemoryDC();

    CMemoryDC(const CMemoryDC&) = delete;
    CMemoryDC& operator=(const CMemoryDC&) = delete;

    // False when the picture could not be made (no memory, or an empty size);
    // nothing can be drawn or saved then.
    bool IsValid() const { return !image_.isNull(); }

    // The painter drawing on the canvas, with a transparent background mode.
    QPainter& Painter() { return painter_; }
    // The canvas as drawn so far.
    const QImage& Image() const { return image_; }

    int Width() const { return width_; }
    int Height() const { return height_; }
    int BitsPerPixel() const { return bitsPerPixel_; }
    const QString& FileName() const { return fileName_; }

    // Saves as a 24-bit bottom-up BMP to the remembered file name.
    int SaveBitmap() { return SaveAsBmp(fileName_); }
    // Saves as a 24-bit bottom-up BMP to `path`. 1 when the file was written,
    // else 0 with the reason in `error` when it is given.
    int SaveAsBmp(const QString& path, ErrorReport* error = nullptr);
    // Saves as a JPEG of quality 75 to the remembered file name; only canvases
    // of 24 or 32 bits per pixel. 1 when the file was written, else 0 with the
    // JPEG layer's message in `error` for the caller to show.
    int SaveAsJpeg(ErrorReport* error = nullptr);

private:
    void begin();

    int bitsPerPixel_ = 24;
    QString fileName_;
    int width_ = 0;
    int height_ = 0;
    QImage image_;
    QPainter painter_;
};

} // namespace bc
