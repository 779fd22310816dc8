#pragma once
// The whole strip page as the strip view shows it: the page header, the
// compass ruler above the strips, the page's strips with their depth labels or
// depth scale, and the attitude shapes with their labels right of the strips.
// Views, page export and reports paint through this on their own QPainter.

class QPainter;
class QRect;
class QString;

namespace bc {

class CUnWrapData;

// Margins of the page: the depth-label column on the left and the ruler on top.
constexpr int kPageLeftMargin = 60;
constexpr int kPageTopMargin = 50;

struct PageViewState {
    int currentPage = -1; // -1: no page loaded
    int pageCount = 0;
    int perPage = 10;
    int selectedItem = -1;
    float zoom = 1.0f;
    float aspect = 1.0f;
    float pxPerMm = 1.0f;
    int pageTopDepth = 0;
    int pageBottomDepth = 0;
    int pageWidth = 600; // pixels after zoom and aspect
    int frameMode = 0;   // 0 stand-alone (depth scale), 1 live (strip labels)
    bool zoomable = true;
};

// The N-E-S-W-N ruler over a strip of `firstStripWidth` columns, in the top
// margin (y 18 to 48), starting at x 60.
void DrawCompassRuler(QPainter& painter, int firstStripWidth, float aspect, float zoom);

// Header, ruler, page and shapes in the painter's coordinates, with (0, 0) the
// top-left corner of the view: the strips start at (60, 50).
void DrawPageView(QPainter& painter, const CUnWrapData& data, const PageViewState& state);

// A depth label ("%.2fm") right-aligned at the top of `cell` in the
// painter's font; a label wider than the cell (a hole a kilometre deep) is
// drawn in a smaller size of that font, so that no digit is cut off.
void DrawDepthLabel(QPainter& painter, const QRect& cell, const QString& text);

} // namespace bc
