#pragma once
// The arithmetic of strip pages: which strips a page holds, where each strip
// lies on it, what a click hits, the page's size, aspect and depth scale, and
// the marks of the depth scale. Pure functions over the page's strips, so the
// views, the export and the reports share one set of rules.

#include "analysis/attitude_shape.h"
#include "analysis/page_rect.h"

#include <QSize>

#include <cstdint>
#include <span>
#include <vector>

namespace bc {

// Strips per page used when a page size below 1 is asked for.
constexpr int kDefaultPerPage = 10;
// Width of the depth-label column left of the strips, in pixels.
constexpr int kLabelColumn = 60;

// Zoom bounds of the strip pages: beyond them a page would be a few pixels or
// hundreds of thousands of pixels across.
constexpr float kMinZoom = 0.1f;
constexpr float kMaxZoom = 10.0f;
float ClampZoom(float zoom);

struct PageStrip {
    int32_t depthKey = 0; // millimetres
    int width = 0;        // columns
    int shownHeight = 0;  // rows drawn
};

// The strips of one page and the absolute index of the first of them.
struct PageSlice {
    int first = 0;
    std::span<const PageStrip> strips;
};

// Rows a strip takes on a page at `scale`: trunc(shownHeight * scale), none for
// a negative height (only damaged records have one).
int ScaledStripHeight(int shownHeight, float scale);

int EffectivePerPage(int perPage);
// 0 for no strips, else the pages needed for `count` strips.
int PageCountFor(int count, int perPage);
// [first, end) of page `page`; empty for a page outside the set.
struct IndexRange {
    int first = 0;
    int end = 0;
};
IndexRange PageItems(int count, int page, int perPage);

// part 0 the label cell, 1 the strip, other both; empty when `index` is not on
// the page.
PageRect PageItemRect(const PageSlice& page, int part, float scale, int index);
// Absolute index of the strip under (x, y), -1 for none. The label column
// (x < 60) never hits.
int PageHitTestItem(const PageSlice& page, int x, int y, float scale);
// Width of the last strip (scaled, stretched) and the running height.
QSize PageSizeOf(const PageSlice& page, float scale, float aspect);
// Width of the first strip and the summed scaled heights.
QSize PageExtentOf(const PageSlice& page, float scale, float aspect);
// Sum of trunc(shownHeight * scale).
int PageScaledHeight(const PageSlice& page, float scale);
// Horizontal stretch that makes a millimetre along the wall as long as a
// millimetre of depth. 1.0 for a page of fewer than two strips or no size.
double PageAspectOf(const PageSlice& page, int diameter, float scale);

struct PageDepthScale {
    int topDepth = 0;
    int bottomDepth = 0; // last key + 1
    float pxPerMm = 1.0f;
};
// False for an empty page.
bool PageDepthScaleOf(const PageSlice& page, float scale, PageDepthScale& out);

// Wall coordinates of a logical page point ((0, 0) the top-left corner of the
// strips): azimuth 2 * (x / pageWidth) * 3.14159 radians, depth
// y / pxPerMm + pageTopDepth millimetres. Shapes are stored this way.
CShapePoint WallPointAt(int x, int y, int pageWidth, float pxPerMm, int pageTopDepth);
// Pixels per radian of a page: pageWidth * 0.5 * (1 / 3.14159).
float PixelsPerRadian(int pageWidth);

// The attitude labels right of the strips: a label's line starts at the
// page's right edge at the latest and runs 1.5 page widths, its text stands
// in the kShapeLabelHeight rows below the line.
constexpr int kShapeLabelHeight = 60;
int ShapeLabelsRight(int pageWidth);
// What a shape's label may cover on a page `pageWidth` wide, from the shape's
// bound rectangle (GetBoundRect, which holds the label's anchor).
PageRect ShapeLabelArea(const PageRect& bound, int pageWidth);

// Where a label lies along its line (pixels, end exclusive).
struct LabelSpan {
    int begin = 0;
    int end = 0;
};
// Which of the labels along a line, in order, are drawn so that no two
// overlap: one that would overlap the label kept before it is left out,
// except the last, for which the ones before it give way.
std::vector<bool> LabelsKeptApart(const std::vector<LabelSpan>& spans);

// One label of the depth scale of a stand-alone page.
struct DepthMark {
    int depth = 0;   // mm
    int y = 0;       // pixels from the page top
    PageRect label;  // right-aligned "%.2fm" cell
    bool tick = false;
    // False where the label would overlap its neighbour's: the page's last
    // depth keeps its label, the one above it gives way.
    bool labelled = true;
};
// Depth-scale marks of one page at most (every 50 mm, 500 m); beyond them the
// scale ends with its last mark.
constexpr int kMaxDepthMarks = 10000;
// Marks every 50 mm from d0 to d1. The zoomable painter skips labels within
// 50 mm of the end and draws ticks; the plain one labels every step. No two
// labels drawn overlap.
std::vector<DepthMark> DepthScaleMarks(int32_t d0, int32_t d1, float pxPerMm, bool zoomable);

} // namespace bc
