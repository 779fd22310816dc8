#pragma once
// Pages of the strip view as pictures, drawn without any window: the page
// image that "导出当前页面" and "导出所有页面" save (compass ruler, strips
// with their depth labels or scale, shapes, no page header and no shape
// labels), the cylinder texture of the 3D view (the page's strips alone), the
// cylinder's size and the file name of a page. Exports and reports share them.

#include "analysis/page_painter.h"
#include "core/error_report.h"
#include "core/jpeg_file.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>

class QPainter;

namespace bc {

class CUnWrapData;

// "%.2f-%.2f": the depths in metres of the page's first and last strip, with
// a '.' whatever the locale. Empty for a page the data set does not have.
QString PageImageName(const CUnWrapData& data, int page, int perPage);

// The view's state moved to `page`: its depth scale, width and (when
// `aspectAdaptive` and the view draws zoomable) its own aspect, with no strip
// selected. The zoom, label mode and painter stay the view's.
PageViewState PageStateFor(const CUnWrapData& data, const PageViewState& view, int page,
                           bool aspectAdaptive);

// The largest picture of a page made (the page image, the cylinder texture
// and the report's notes picture): 2^28 pixels. A real page at its usual
// zoom is a few million pixels; a larger size comes from damaged strip
// records or extreme zoom and page settings.
constexpr int64_t kMaxPagePicturePixels = int64_t(1) << 28;
// The most memory one page picture takes while it is drawn and written:
// 1 GiB for the largest. Pictures are drawn at 24 bits and written from
// where they are drawn, with no copy: 3 bytes a pixel.
constexpr int64_t kMaxPagePictureBytes = int64_t(1) << 30;
// True when a picture of `size` may be made; else, with nothing allocated,
// "页面图像太大…" in `error`.
bool PagePictureFits(const QSize& size, ErrorReport* error);
// A picture written to a file (the page image, the texture, the report's
// pictures) is refused before it is drawn beyond 256 MiB of 24-bit pixels,
// about 89 million: the most the program's picture files are written and
// read with (JpegFile::kMaxImageBytes).
constexpr int64_t kMaxPageFilePixels = int64_t(JpegFile::kMaxImageBytes / 3);
bool PageFileFits(const QSize& size, ErrorReport* error);

// A page picture of `size` drawn by `draw` on a white canvas: in memory as an
// RGB888 image, refused beyond PagePictureFits (null, with "内存不足!" or the
// size refused in `error`, when it cannot be made), or written as a JPEG of
// quality 75 for capture format 0 or a 24-bit BMP for format 1, refused
// beyond PageFileFits, the file replaced whole or not at all.
using PagePictureDrawing = std::function<void(QPainter&)>;
QImage RenderPagePicture(const QSize& size, const PagePictureDrawing& draw,
                         ErrorReport* error = nullptr);
bool SavePagePicture(const QSize& size, const PagePictureDrawing& draw, const QString& path,
                     int captureFormat, ErrorReport* error = nullptr);

// The page image of `state.currentPage`: PageImageSize pixels holding the
// compass ruler, the page painter's strips with no strip selected and the
// state's label mode, and the shapes without their labels.
QSize PageImageSize(const CUnWrapData& data, const PageViewState& state);
void PaintPageImage(QPainter& painter, const CUnWrapData& data, const PageViewState& state);
// The same as an RGB888 picture; null, with "内存不足!" or the size refused by
// PagePictureFits in `error`, when the picture cannot be made.
QImage RenderPageImage(const CUnWrapData& data, const PageViewState& state,
                       ErrorReport* error = nullptr);
// Renders and writes the page image: a JPEG of quality 75 for capture format
// 0, a 24-bit BMP for format 1, the file replaced whole or not at all. False
// with the reason in `error`.
bool SavePageImage(const CUnWrapData& data, const PageViewState& state, const QString& path,
                   int captureFormat, ErrorReport* error = nullptr);

// The cylinder texture: the strips of `state.currentPage` alone stacked from
// the top-left corner on GetPageSize pixels (zoomed and stretched as the view
// draws them when its painter is the zoomable one, else unscaled).
QSize PageTextureSize(const CUnWrapData& data, const PageViewState& state);
void PaintPageTexture(QPainter& painter, const CUnWrapData& data, const PageViewState& state);
QImage RenderPageTexture(const CUnWrapData& data, const PageViewState& state,
                         ErrorReport* error = nullptr);
// Writes the texture as a 24-bit BMP; "内存不足!" or "创建临时位图失败" in
// `error` on failure.
bool SavePageTexture(const CUnWrapData& data, const PageViewState& state, const QString& path,
                     ErrorReport* error = nullptr);

// "jpg" for capture format 0, "bmp" for format 1.
QString PageImageSuffix(int captureFormat);

// The cylinder the texture of a page of `pageSize` (GetPageSize) is wrapped
// round: height = page height + 50, radius = (page width + 70) / 2π.
struct CylinderSize {
    float radius = 0.0f;
    float height = 0.0f;
};
CylinderSize CylinderSizeFor(const QSize& pageSize);

} // namespace bc
