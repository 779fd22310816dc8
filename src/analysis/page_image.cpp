#include "analysis/page_image.h"

#include "analysis/unwrap_data.h"
#include "core/int_limits.h"
#include "platform/prompter.h"
#include "ui/memory_dc.h"

#include <QPainter>

namespace bc {

namespace {

const QString kErrorCaption = QStringLiteral("出错");

void reportFailure(ErrorReport* error, const QString& text)
{
    reportError(error, text, kErrorCaption, MB_ICONERROR);
}

// A white 24-bit canvas, or "内存不足!" when it cannot be made.
bool canvasReady(const CMemoryDC& dc, ErrorReport* error)
{
    if (dc.IsValid())
        return true;
    reportFailure(error, QStringLiteral("内存不足!"));
    return false;
}

QImage rgb888(const CMemoryDC& dc)
{
    return dc.Image().convertToFormat(QImage::Format_RGB888);
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
    if (int64_t(size.width()) * int64_t(size.height()) <= kMaxPagePicturePixels)
        return true;
    reportFailure(error, QStringLiteral("页面图像太大(%1 x %2 像素),无法生成。\n"
                                        "请减小缩放比例或每页显示的图片数。")
                             .arg(size.width())
                             .arg(size.height()));
    return false;
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

QImage RenderPageImage(const CUnWrapData& data, const PageViewState& state, ErrorReport* error)
{
    const QSize size = PageImageSize(data, state);
    if (!PagePictureFits(size, error))
        return {};
    CMemoryDC dc(24, QString(), size);
    if (!canvasReady(dc, error))
        return {};
    PaintPageImage(dc.Painter(), data, state);
    return rgb888(dc);
}

bool SavePageImage(const CUnWrapData& data, const PageViewState& state, const QString& path,
                   int captureFormat, ErrorReport* error)
{
    const QSize size = PageImageSize(data, state);
    if (!PagePictureFits(size, error))
        return false;
    CMemoryDC dc(24, path, size);
    if (!canvasReady(dc, error))
        return false;
    PaintPageImage(dc.Painter(), data, state);
    if (captureFormat == 0)
        return dc.SaveAsJpeg(error) == 1;
    return dc.SaveAsBmp(path, error) == 1;
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
    const QSize size = PageTextureSize(data, state);
    if (!PagePictureFits(size, error))
        return {};
    CMemoryDC dc(24, QString(), size);
    if (!canvasReady(dc, error))
        return {};
    PaintPageTexture(dc.Painter(), data, state);
    return rgb888(dc);
}

bool SavePageTexture(const CUnWrapData& data, const PageViewState& state, const QString& path,
                     ErrorReport* error)
{
    const QSize size = PageTextureSize(data, state);
    if (!PagePictureFits(size, error))
        return false;
    CMemoryDC dc(24, path, size);
    if (!canvasReady(dc, error))
        return false;
    PaintPageTexture(dc.Painter(), data, state);
    ErrorReport why;
    if (dc.SaveAsBmp(path, &why) == 1)
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
