#include "analysis/page_image.h"

#include "analysis/unwrap_data.h"
#include "core/atomic_file.h"
#include "core/bitmap_header.h"
#include "core/int_limits.h"
#include "core/jpeg_file.h"
#include "platform/prompter.h"

#include <QPainter>

#include <algorithm>
#include <cstring>

namespace bc {

namespace {

const QString kErrorCaption = QStringLiteral("出错");

void reportFailure(ErrorReport* error, const QString& text)
{
    reportError(error, text, kErrorCaption, MB_ICONERROR);
}

constexpr int kJpegQuality = 75;

bool withinPixels(const QSize& size, int64_t most, ErrorReport* error)
{
    if (int64_t(size.width()) * int64_t(size.height()) <= most)
        return true;
    reportFailure(error, QStringLiteral("页面图像太大(%1 x %2 像素),无法生成。\n"
                                        "请减小缩放比例或每页显示的图片数。")
                             .arg(size.width())
                             .arg(size.height()));
    return false;
}

// The picture drawn on a white 24-bit canvas of `size`, made only
// within the size PagePictureFits (PageFileFits for a picture to be written)
// allows; null, with "内存不足!" or the size refused, when it cannot be made.
// Pictures are drawn, kept and written at 24 bits with no other copy of
// them, so one takes 3 bytes a pixel at most.
QImage drawnCanvas(const QSize& size, bool forFile, const PagePictureDrawing& draw,
                   ErrorReport* error)
{
    if (!(forFile ? PageFileFits(size, error) : PagePictureFits(size, error)))
        return {};
    // A file's rows are written blue first.
    const QImage::Format format = forFile ? QImage::Format_BGR888 : QImage::Format_RGB888;
    QImage canvas(size, format);
    if (canvas.isNull()) {
        reportFailure(error, QStringLiteral("内存不足!"));
        return {};
    }
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    draw(painter);
    painter.end();
    return canvas;
}

// Writes rows held bottom-up, blue first, padded to 4 bytes, as a 24-bit BMP
// holds them, straight from `rows`.
bool writeBmp(const QString& path, QImage& rows, ErrorReport* error)
{
    const uint32_t width = uint32_t(rows.width()), height = uint32_t(rows.height());
    const qint64 stride = rows.bytesPerLine();
    // The padding at the end of each row is zero in the file.
    for (int y = 0; y < rows.height(); ++y)
        std::memset(rows.scanLine(y) + width * 3u, 0, size_t(stride - width * 3u));
    uint8_t head[14 + BitmapInfoHeader::kSize] = {'B', 'M'};
    putLe32(head + 2, uint32_t(sizeof head + stride * height));
    putLe32(head + 10, sizeof head);
    BitmapInfoHeader info;
    info.setSize(int32_t(width), int32_t(height));
    info.store(head + 14);
    AtomicFile file(path);
    // No sync to disk, as for every picture of a survey.
    if (file.open() && file.write(head, sizeof head) &&
        file.write(rows.constBits(), stride * height) && file.commit(false))
        return true;
    reportFailure(error, QStringLiteral("无法写入图像文件: %1\n%2").arg(path, file.errorString()));
    return false;
}

// The texture's scale: the view's zoom and stretch with the zoomable painter,
// the strips' own size with the plain one.
float textureZoom(const PageViewState& s)
{
    return s.zoomable ? s.zoom : 1.0f;
}

float textureAspect(const PageViewState& s)
{
    return s.zoomable ? s.aspect : 1.0f;
}

} // namespace

bool PagePictureFits(const QSize& size, ErrorReport* error)
{
    return withinPixels(size, kMaxPagePicturePixels, error);
}

bool PageFileFits(const QSize& size, ErrorReport* error)
{
    return withinPixels(size, std::min<int64_t>(kMaxPagePicturePixels, kMaxPageFilePixels), error);
}

QString PageImageName(const CUnWrapData& data, int page, int perPage)
{
    const IndexRange range = PageItems(data.GetItemCount(), page, perPage);
    if (range.end <= range.first)
        return {};
    const double top = double(data.GetItem(range.first)->depthKey) * 0.001;
    const double bottom = double(data.GetItem(range.end - 1)->depthKey) * 0.001;
    // QString's printf formats in the C locale.
    return QString::asprintf("%.2f-%.2f", top, bottom);
}

PageViewState PageStateFor(const CUnWrapData& data, const PageViewState& view, int page,
                           bool aspectAdaptive)
{
    PageViewState s = view;
    s.currentPage = page;
    s.selectedItem = -1;
    s.aspect = aspectAdaptive && view.zoomable
                   ? float(data.GetPageAspect(page, view.perPage, data.header().openingDiameter,
                                              view.zoom))
                   : 1.0f;
    data.GetPageDepthScale(page, view.perPage, view.zoom, s.pageTopDepth, s.pageBottomDepth,
                           s.pxPerMm);
    int height = 0;
    data.GetPageExtent(page, view.perPage, view.zoom, s.aspect, s.pageWidth, height);
    return s;
}

QSize PageImageSize(const CUnWrapData& data, const PageViewState& s)
{
    const QSize page = data.GetPageSize(s.currentPage, s.perPage, s.zoom, s.aspect);
    return {satAdd(page.width(), kPageLeftMargin), satAdd(page.height(), kPageTopMargin)};
}

void PaintPageImage(QPainter& painter, const CUnWrapData& data, const PageViewState& s)
{
    const IndexRange page = PageItems(data.GetItemCount(), s.currentPage, s.perPage);
    if (page.end <= page.first)
        return;
    painter.save();
    DrawCompassRuler(painter, data.GetItem(page.first)->width, s.aspect, s.zoom);
    painter.translate(kPageLeftMargin, kPageTopMargin);
    if (s.zoomable)
        data.DrawPageDib(painter, s.zoom, s.aspect, s.currentPage, s.perPage, -1, s.pxPerMm,
                         s.frameMode);
    else
        data.DrawPage(painter, s.currentPage, s.perPage, -1, s.pxPerMm, s.frameMode);
    data.DrawShapes(painter, s.currentPage, s.perPage, s.pageTopDepth, s.pageBottomDepth,
                    PixelsPerRadian(s.pageWidth), s.pxPerMm);
    painter.restore();
}

QImage RenderPagePicture(const QSize& size, const PagePictureDrawing& draw, ErrorReport* error)
{
    return drawnCanvas(size, false, draw, error);
}

// JPEG and BMP are written from the canvas itself, turned upside down in
// place into the row order of the strips and of BMP files.
bool SavePagePicture(const QSize& size, const PagePictureDrawing& draw, const QString& path,
                     int captureFormat, ErrorReport* error)
{
    QImage canvas = drawnCanvas(size, true, draw, error);
    if (canvas.isNull())
        return false;
    canvas.mirror(false, true);
    if (captureFormat != 0)
        return writeBmp(path, canvas, error);
    return JpegFile::WriteStripAsJpeg(path, canvas.constBits(), uint32_t(canvas.width()),
                                      uint32_t(canvas.height()), uint32_t(canvas.bytesPerLine()),
                                      kJpegQuality, error);
}

QImage RenderPageImage(const CUnWrapData& data, const PageViewState& state, ErrorReport* error)
{
    return RenderPagePicture(
        PageImageSize(data, state), [&](QPainter& p) { PaintPageImage(p, data, state); }, error);
}

bool SavePageImage(const CUnWrapData& data, const PageViewState& state, const QString& path,
                   int captureFormat, ErrorReport* error)
{
    return SavePagePicture(
        PageImageSize(data, state), [&](QPainter& p) { PaintPageImage(p, data, state); }, path,
        captureFormat, error);
}

QSize PageTextureSize(const CUnWrapData& data, const PageViewState& s)
{
    return data.GetPageSize(s.currentPage, s.perPage, textureZoom(s), textureAspect(s));
}

void PaintPageTexture(QPainter& painter, const CUnWrapData& data, const PageViewState& s)
{
    data.DrawPageStrips(painter, textureZoom(s), textureAspect(s), s.currentPage, s.perPage);
}

QImage RenderPageTexture(const CUnWrapData& data, const PageViewState& state, ErrorReport* error)
{
    return RenderPagePicture(
        PageTextureSize(data, state), [&](QPainter& p) { PaintPageTexture(p, data, state); },
        error);
}

bool SavePageTexture(const CUnWrapData& data, const PageViewState& state, const QString& path,
                     ErrorReport* error)
{
    const QSize size = PageTextureSize(data, state);
    QImage canvas = drawnCanvas(
        size, true, [&](QPainter& p) { PaintPageTexture(p, data, state); }, error);
    if (canvas.isNull())
        return false;
    canvas.mirror(false, true);
    ErrorReport why;
    if (writeBmp(path, canvas, &why))
        return true;
    reportFailure(error, QStringLiteral("创建临时位图失败\n") + why.text);
    return false;
}

QString PageImageSuffix(int captureFormat)
{
    return captureFormat == 1 ? QStringLiteral("bmp") : QStringLiteral("jpg");
}

CylinderSize CylinderSizeFor(const QSize& pageSize)
{
    const int64_t w = int64_t(pageSize.width()) + 70;
    const int64_t h = int64_t(pageSize.height()) + 80 - 30;
    return {float(w) * 0.15915507f, float(h)};
}

} // namespace bc
