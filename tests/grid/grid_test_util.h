#pragma once
// Helpers shared by the grid tests: an owner that records notifications and
// a grid laid out with known sizes.

#include "grid/grid_ctrl.h"

#include <QImage>
#include <QPainter>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace bc::test {

struct Notice {
    int code;
    int row;
    int col;
    bool operator==(const Notice&) const = default;
};

class RecordingOwner : public GridOwner {
public:
    std::vector<Notice> notices;
    std::vector<CGridCellRange> hints;
    std::vector<CGridCellId> dispRequests;
    int commands = 0;
    // Answer for a code; 0 when not set.
    std::function<long(int code, int row, int col)> answer;
    std::function<void(GridItem&)> fill;

    long onGridNotify(const GridCellNotify& n) override
    {
        notices.push_back({n.hdr.code, n.row, n.col});
        return answer ? answer(n.hdr.code, n.row, n.col) : 0;
    }
    void onGridCacheHint(const GridCacheHint& h) override { hints.push_back(h.range); }
    long onGridDispInfo(GridDispInfo& info) override
    {
        dispRequests.push_back({info.item.row, info.item.col});
        if (fill)
            fill(info.item);
        return 0;
    }
    void onGridCommand(CGridCtrl*) override { ++commands; }
};

// Every column `colWidth` wide and every row `rowHeight` high.
inline void setUniformSizes(CGridCtrl& g, int colWidth, int rowHeight)
{
    for (int c = 0; c < g.GetColumnCount(); ++c)
        g.ChangeColumnWidth(c, colWidth);
    for (int r = 0; r < g.GetRowCount(); ++r)
        g.ChangeRowHeight(r, rowHeight);
}

// A shown grid of rows x cols, every column `colWidth` wide and every row
// `rowHeight` high, in a window of `size`.
template <class Grid = CGridCtrl>
std::unique_ptr<Grid> makeGrid(int rows, int cols, int fixedRows = 1, int fixedCols = 1,
                               int colWidth = 50, int rowHeight = 20, QSize size = QSize(300, 200))
{
    auto grid = std::make_unique<Grid>(rows, cols, fixedRows, fixedCols);
    setUniformSizes(*grid, colWidth, rowHeight);
    grid->resize(size);
    grid->show();
    grid->UpdateScrollBars();
    return grid;
}

// Texts of `row` from column `col` to the last.
inline QStringList rowTexts(const CGridCtrl& g, int row, int col = 0)
{
    QStringList out;
    for (int c = col; c < g.GetColumnCount(); ++c)
        out << g.GetItemText(row, c);
    return out;
}

// Fills the cells from (row, col) on, one list per row.
inline void setTexts(CGridCtrl& g, int row, int col, const std::vector<QStringList>& rows)
{
    for (const QStringList& texts : rows) {
        for (int c = 0; c < texts.size(); ++c)
            g.SetItemText(row, col + c, texts[c]);
        ++row;
    }
}

inline QImage render(CGridCtrl& g)
{
    const QSize s = g.viewport()->size();
    QImage img(s, QImage::Format_RGB32);
    img.fill(Qt::magenta);
    QPainter p(&img);
    g.OnDraw(&p, GridRect(0, 0, s.width(), s.height()));
    return img;
}

inline COLORREF pixel(const QImage& img, int x, int y)
{
    return toColorRef(QColor(img.pixel(x, y)));
}

} // namespace bc::test
