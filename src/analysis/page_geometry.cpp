#include "analysis/page_geometry.h"

#include <algorithm>
#include <cmath>

namespace bc {

float ClampZoom(float zoom)
{
    if (!(zoom >= kMinZoom))
        return kMinZoom;
    return std::min(zoom, kMaxZoom);
}

int ScaledStripHeight(int shownHeight, float scale)
{
    return shownHeight > 0 ? truncToInt(float(shownHeight) * scale) : 0;
}

int EffectivePerPage(int perPage)
{
    return perPage < 1 ? kDefaultPerPage : perPage;
}

int PageCountFor(int count, int perPage)
{
    if (count <= 0)
        return 0;
    const int p = EffectivePerPage(perPage);
    return count / p + (count % p ? 1 : 0);
}

IndexRange PageItems(int count, int page, int perPage)
{
    const int p = EffectivePerPage(perPage);
    if (page < 0 || count <= 0)
        return {};
    const int64_t first = int64_t(page) * p;
    if (first >= count)
        return {};
    return {int(first), int(std::min<int64_t>(first + p, count))};
}

PageRect PageItemRect(const PageSlice& page, int part, float scale, int index)
{
    int top = 0;
    for (size_t i = 0; i < page.strips.size(); ++i) {
        const PageStrip& s = page.strips[i];
        const int bottom = satAdd(top, ScaledStripHeight(s.shownHeight, scale));
        if (page.first + int(i) == index) {
            const int right = truncToInt(float(s.width) * scale);
            if (part == 0)
                return {-kLabelColumn, top, 0, bottom};
            if (part == 1)
                return {0, top, right, bottom};
            return {-kLabelColumn, top, right, bottom};
        }
        top = bottom;
    }
    return {};
}

int PageHitTestItem(const PageSlice& page, int x, int y, float scale)
{
    if (x < kLabelColumn)
        return -1;
    int top = 0;
    for (size_t i = 0; i < page.strips.size(); ++i) {
        const PageStrip& s = page.strips[i];
        const int bottom = satAdd(top, ScaledStripHeight(s.shownHeight, scale));
        const PageRect r{0, top, truncToInt(float(s.width) * scale + float(kLabelColumn)), bottom};
        if (r.contains(x, y))
            return page.first + int(i);
        top = bottom;
    }
    return -1;
}

QSize PageSizeOf(const PageSlice& page, float scale, float aspect)
{
    int w = 0;
    int h = 0;
    for (const PageStrip& s : page.strips) {
        h = truncToInt(float(std::max(s.shownHeight, 0)) * scale + float(h));
        w = truncToInt(float(s.width) * scale * aspect);
    }
    return {w, h};
}

int PageScaledHeight(const PageSlice& page, float scale)
{
    int h = 0;
    for (const PageStrip& s : page.strips)
        h = satAdd(h, ScaledStripHeight(s.shownHeight, scale));
    return h;
}

QSize PageExtentOf(const PageSlice& page, float scale, float aspect)
{
    if (page.strips.empty())
        return {0, 0};
    return {truncToInt(float(page.strips.front().width) * scale * aspect),
            PageScaledHeight(page, scale)};
}

double PageAspectOf(const PageSlice& page, int diameter, float scale)
{
    if (page.strips.size() < 2)
        return 1.0;
    const int h = PageScaledHeight(page, scale);
    const int64_t span =
        int64_t(page.strips.back().depthKey) - int64_t(page.strips.front().depthKey) + 1;
    const float widthPx = float(page.strips.front().width) * scale;
    if (h <= 0 || span <= 0 || !(widthPx > 0.0f))
        return 1.0;
    const double circumference = std::fabs(double(diameter) * 3.14159 / double(span));
    const float pixelRatio = widthPx / float(h);
    const double aspect = circumference / double(pixelRatio);
    return aspect > 0.0 && std::isfinite(aspect) ? aspect : 1.0;
}

bool PageDepthScaleOf(const PageSlice& page, float scale, PageDepthScale& out)
{
    if (page.strips.empty())
        return false;
    const int64_t top = page.strips.front().depthKey;
    const int64_t bottom = int64_t(page.strips.back().depthKey) + 1;
    out.topDepth = int(top);
    out.bottomDepth = int(std::min<int64_t>(bottom, INT32_MAX));
    const int h = PageScaledHeight(page, scale);
    // Strips out of depth order leave no span: the scale is taken over one
    // millimetre rather than made infinite.
    out.pxPerMm = float(h) / float(std::max<int64_t>(bottom - top, 1));
    return true;
}

CShapePoint WallPointAt(int x, int y, int pageWidth, float pxPerMm, int pageTopDepth)
{
    // 3.14159 is a double: the product is taken in double and stored as float.
    const float azimuth = float(double(2.0f * (float(x) / float(pageWidth))) * 3.14159);
    const float depth = float(y) / pxPerMm + float(pageTopDepth);
    return {azimuth, depth};
}

int ShapeLabelsRight(int pageWidth)
{
    const int width = std::max(pageWidth, 0);
    return satAdd(width, ShapeLabelTextWidth(truncToInt(1.5 * double(width))));
}

PageRect ShapeLabelArea(const PageRect& bound, int pageWidth)
{
    // A wide pen reaches a few pixels beyond the line's ends.
    constexpr int kPen = 5;
    const int width = std::max(pageWidth, 0);
    const int run = ShapeLabelTextWidth(truncToInt(1.5 * double(width)));
    PageRect r;
    r.left = satAdd(width, -kPen);
    r.top = satAdd(bound.top, -kPen);
    r.right = satAdd(satAdd(std::max(bound.right, width), run), kPen);
    r.bottom = satAdd(bound.bottom, kShapeLabelHeight + kPen);
    return r;
}

float PixelsPerRadian(int pageWidth)
{
    return float(double(pageWidth) * 0.5 * (1.0 / 3.14159));
}

std::vector<bool> LabelsKeptApart(const std::vector<LabelSpan>& spans)
{
    std::vector<bool> shown(spans.size(), true);
    std::vector<size_t> kept;
    for (size_t i = 0; i < spans.size(); ++i) {
        const bool last = i + 1 == spans.size();
        auto overlaps = [&] { return !kept.empty() && spans[kept.back()].end > spans[i].begin; };
        if (!last && overlaps()) {
            shown[i] = false;
            continue;
        }
        for (; last && overlaps(); kept.pop_back())
            shown[kept.back()] = false;
        kept.push_back(i);
    }
    return shown;
}

namespace {

// Depth labels from the top down, kept apart as labels along a line are.
void unlabelOverlaps(std::vector<DepthMark>& marks)
{
    std::vector<LabelSpan> spans;
    spans.reserve(marks.size());
    for (const DepthMark& m : marks)
        spans.push_back({m.label.top, m.label.bottom});
    const std::vector<bool> shown = LabelsKeptApart(spans);
    for (size_t i = 0; i < marks.size(); ++i)
        marks[i].labelled = shown[i];
}

} // namespace

std::vector<DepthMark> DepthScaleMarks(int32_t d0, int32_t d1, float pxPerMm, bool zoomable)
{
    std::vector<DepthMark> marks;
    int steps = 0;
    for (int64_t d = d0;; d += 50) {
        // A span of more marks than a page can show comes only from damaged
        // strip records: the scale then jumps to its last mark.
        const bool last = d >= d1 || ++steps > kMaxDepthMarks;
        if (last)
            d = d1;
        if (!zoomable || d1 - d >= 50 || last) {
            DepthMark m;
            m.depth = int(d);
            m.y = truncToInt(float(d - d0) * pxPerMm);
            const int raise = last ? 15 : 0;
            m.label = {-kLabelColumn, satAdd(m.y, -raise), 0, satAdd(m.y, 15 - raise)};
            m.tick = zoomable;
            marks.push_back(m);
        }
        if (last)
            break;
    }
    unlabelOverlaps(marks);
    return marks;
}

} // namespace bc
