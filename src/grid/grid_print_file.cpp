// Printing the grid and saving and loading it as a delimited text file.

#include "grid/grid_ctrl.h"

#include "core/atomic_file.h"
#include "platform/prompter.h"
#include "platform/text_codec.h"

#include <algorithm>

#include <QDateTime>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>

namespace bc {

namespace {
constexpr qint64 kMaxTextFileBytes = 512LL * 1024 * 1024;
constexpr int kMaxTextFileColumns = 4096;
// Every row holds a cell for every column, so a small file of many short
// lines under a wide heading could still ask for more cells than memory has.
constexpr long long kMaxTextFileCells = 4'000'000;

// Lines from `pos` on that hold anything (blank lines make no row).
long long countRowLines(const QByteArray& bytes, qsizetype pos)
{
    long long count = 0;
    while (pos < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', pos);
        if (end < 0)
            end = bytes.size();
        const qsizetype length = end - pos - (end > pos && bytes[end - 1] == '\r' ? 1 : 0);
        if (length > 0)
            ++count;
        pos = end + 1;
    }
    return count;
}
} // namespace

// ------------------------------------------------------------------ text files

bool CGridCtrl::SaveToTextFile(const QString& fileName, QChar separator)
{
    AtomicFile file(fileName);
    if (!file.open()) {
        messageBox(QStringLiteral("%1 cannot be opened: %2").arg(fileName, file.errorString()),
                   QString(), MB_OK | MB_ICONSTOP, this);
        return false;
    }
    QString line;
    QByteArray bytes;
    for (int r = 0; r < m_rows; ++r) {
        line.clear();
        for (int c = 0; c < m_cols; ++c) {
            line += GetItemText(r, c);
            if (c + 1 < m_cols)
                line += separator;
        }
        line += QLatin1String("\r\n");
        bytes += toGbk(line);
    }
    if (!file.write(bytes) || !file.commit()) {
        messageBox(QStringLiteral("Unable to save grid list\n") + file.errorString(), QString(),
                   MB_OK | MB_ICONSTOP, this);
        return false;
    }
    return true;
}


bool CGridCtrl::LoadFromTextFile(const QString& fileName, QChar separator)
{
    if (m_virtualMode)
        return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        messageBox(QStringLiteral("%1 cannot be opened.").arg(fileName), QString(), MB_OK | MB_ICONSTOP, this);
        return false;
    }
    if (file.size() > kMaxTextFileBytes) {
        messageBox(QStringLiteral("Unable to load grid data"), QString(), MB_OK | MB_ICONSTOP, this);
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        messageBox(QStringLiteral("Unable to load grid data"), QString(), MB_OK | MB_ICONSTOP, this);
        return false;
    }
    RemoveAllCells();
    const bool redraw = m_redraw;
    m_redraw = false;
    qsizetype pos = 0;
    bool first = true;
    bool ok = true;
    // Whole lines, however long; CR LF and LF both end a line.
    while (pos < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', pos);
        if (end < 0)
            end = bytes.size();
        qsizetype stop = end;
        if (stop > pos && bytes[stop - 1] == '\r')
            --stop;
        const QString line = fromGbk(bytes.constData() + pos, stop - pos);
        pos = end + 1;
        // Every field counts, an empty last one too: the saver writes one per
        // column with separators between them.
        const QStringList fields = line.split(separator);
        if (first) {
            first = false;
            if (fields.size() > kMaxTextFileColumns ||
                (countRowLines(bytes, pos) + 1) * std::max<long long>(fields.size(), 1) >
                    kMaxTextFileCells) {
                ok = false;
                break;
            }
            for (const QString& f : fields)
                AddColumnAt(f, DT_CENTER | DT_VCENTER | DT_SINGLELINE, -1);
            continue;
        }
        // A blank line adds no row, except in a grid of one column, where it
        // is the saved form of a row with an empty text.
        if (line.isEmpty() && m_cols != 1)
            continue;
        // Row 0 holds the headings: a new row never lands there, and a row
        // that could not be made ends the load rather than writing elsewhere.
        const int row = AddRowAt(fields[0], -1);
        if (row <= 0) {
            ok = false;
            break;
        }
        for (int k = 1; k < fields.size() && k < m_cols; ++k)
            if (CGridCellBase* cell = GetCell(row, k)) {
                cell->SetText(fields[k]);
                MarkModified(true, row, k);
            }
    }
    m_redraw = redraw;
    for (int c = 0; c < m_cols; ++c)
        if (GetColumnWidth(c) > 0)
            FitColumnToContent(c, GVS_DEFAULT, false);
    UpdateScrollBars();
    Refresh();
    if (!ok) {
        messageBox(QStringLiteral("Unable to load grid data"), QString(), MB_OK | MB_ICONSTOP, this);
        return false;
    }
    return true;
}

// ------------------------------------------------------------------ pagination

std::vector<int> gridPageStarts(const std::vector<int>& sizes, int usable)
{
    std::vector<int> starts{0};
    long long running = 0;
    for (int i = 0; i < int(sizes.size()); ++i) {
        const int s = std::max(sizes[std::size_t(i)], 0);
        if (running > 0 && running + s > usable) {
            starts.push_back(i);
            running = s;
        } else {
            running += s;
        }
    }
    return starts;
}

QPoint gridPagePosition(int page, int across)
{
    across = std::max(across, 1);
    const int down = (page + across - 1) / across;
    const int col = ((page - 1) % across) + 1;
    return QPoint(col, down);
}

// ------------------------------------------------------------------ printing

void CGridCtrl::SetPrintMargins(int header, int footer, int left, int right, int top, int bottom, int gap)
{
    if (header >= 0)
        m_printHeaderMargin = header;
    if (footer >= 0)
        m_printFooterMargin = footer;
    if (left >= 0)
        m_printLeftMargin = left;
    if (right >= 0)
        m_printRightMargin = right;
    if (top >= 0)
        m_printTopMargin = top;
    if (bottom >= 0)
        m_printBottomMargin = bottom;
    if (gap >= 0)
        m_printGap = gap;
}

void CGridCtrl::GetPrintMargins(int* header, int* footer, int* left, int* right, int* top, int* bottom,
                                int* gap) const
{
    if (header)
        *header = m_printHeaderMargin;
    if (footer)
        *footer = m_printFooterMargin;
    if (left)
        *left = m_printLeftMargin;
    if (right)
        *right = m_printRightMargin;
    if (top)
        *top = m_printTopMargin;
    if (bottom)
        *bottom = m_printBottomMargin;
    if (gap)
        *gap = m_printGap;
}

QFont CGridCtrl::printFont(const QFont& screenFont) const
{
    QFont f = screenFont;
    if (f.pixelSize() <= 0 && f.pointSizeF() > 0)
        f.setPixelSize(std::max(1, int(f.pointSizeF() * m_printScreenDpiY / 72.0 + 0.5)));
    return f;
}

void CGridCtrl::OnBeginPrinting(QPainter& dc, QPrinter& printer)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        m_printScreenDpiX = int(screen->logicalDotsPerInchX());
        m_printScreenDpiY = int(screen->logicalDotsPerInchY());
    }
    PrintLayout& L = m_print;
    L = PrintLayout();
    L.font = QFont(QStringLiteral("Arial"));
    L.font.setPixelSize(10);
    const QFontMetrics fm(L.font);
    const QString sample = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSATUVWXYZ");
    L.charWidth = std::max(fm.horizontalAdvance(sample) / 52, 1);
    L.charHeight = std::max(fm.height(), 1);
    const QRect device = printer.pageLayout().paintRectPixels(printer.resolution());
    L.deviceWidth = std::max(device.width(), 1);
    L.deviceHeight = std::max(device.height(), 1);
    if (!m_printToScale) {
        L.pageWidth = int(TotalColumnWidth()) + (m_printLeftMargin + m_printRightMargin) * L.charWidth;
        L.pageHeight = int((long long)L.pageWidth * L.deviceHeight / L.deviceWidth);
    } else {
        const int dpiX = std::max(printer.logicalDpiX(), 1);
        const int dpiY = std::max(printer.logicalDpiY(), 1);
        L.pageWidth = L.deviceWidth * m_printScreenDpiX / dpiX * 3 / 4;
        L.pageHeight = L.deviceHeight * m_printScreenDpiY / dpiY * 3 / 4;
    }
    L.usableHeight = L.pageHeight - (m_printHeaderMargin + m_printFooterMargin + 2 * m_printGap) * L.charHeight
                     - GetFixedRowHeight();
    L.usableWidth = L.pageWidth - GetFixedColumnWidth() - (m_printLeftMargin + m_printRightMargin) * L.charWidth;
    std::vector<int> heights, widths;
    for (int r = m_fixedRows; r < m_rows; ++r)
        heights.push_back(GetRowHeight(r));
    for (int c = m_fixedCols; c < m_cols; ++c)
        widths.push_back(GetColumnWidth(c));
    L.rowStarts = gridPageStarts(heights, L.usableHeight);
    L.pagesDown = int(L.rowStarts.size());
    L.colStarts = m_printToScale ? gridPageStarts(widths, L.usableWidth) : std::vector<int>{0};
    L.pagesAcross = int(L.colStarts.size());
    L.pageCount = L.pagesDown * L.pagesAcross;
    (void)dc;
}

void CGridCtrl::PrintCellAt(QPainter& dc, int row, int col, const GridRect& rect)
{
    CGridCellBase* cell = GetCell(row, col);
    if (!cell || cell->IsCoveredByMerge())
        return;
    GridRect r = rect;
    if (cell->IsMerged()) {
        const CGridCellRange m = cell->GetMergeRange();
        int w = 0, h = 0;
        for (int c = m.minCol; c <= m.maxCol; ++c)
            w += std::max(GetColumnWidth(c), 0);
        for (int rr = m.minRow; rr <= m.maxRow; ++rr)
            h += std::max(GetRowHeight(rr), 0);
        r = GridRect(rect.left, rect.top, rect.left + w - 1, rect.top + h - 1);
    }
    cell->PrintCell(&dc, row, col, r);
}

void CGridCtrl::PrintHeader(QPainter& dc, const GridRect& rect)
{
    QFont bold = m_print.font;
    bold.setWeight(QFont::Bold);
    dc.setFont(bold);
    dc.setPen(Qt::black);
    QString title;
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (!w->windowTitle().isEmpty()) {
            title = w->windowTitle();
            break;
        }
    griddraw::text(dc, rect, title, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    griddraw::line(dc, rect.left, rect.bottom - 1, rect.right, rect.bottom - 1, 0);
}

void CGridCtrl::PrintFooter(QPainter& dc, const GridRect& rect, int page)
{
    griddraw::line(dc, rect.left, rect.top, rect.right, rect.top, 0);
    QFont bold = m_print.font;
    bold.setWeight(QFont::Bold);
    dc.setFont(bold);
    dc.setPen(Qt::black);
    const QString date = QLocale().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);
    griddraw::text(dc, rect, date, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    griddraw::text(dc, rect, QStringLiteral("Page %1 of %2").arg(page).arg(m_print.pageCount),
                   DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void CGridCtrl::OnPrint(QPainter& dc, int page)
{
    const PrintLayout& L = m_print;
    dc.save();
    dc.setWindow(0, 0, L.pageWidth, L.pageHeight);
    dc.setViewport(0, 0, L.deviceWidth, L.deviceHeight);
    dc.setFont(L.font);
    const int left = m_printLeftMargin * L.charWidth;
    const int bandWidth = L.pageWidth - (m_printLeftMargin + m_printRightMargin) * L.charWidth;
    PrintHeader(dc, GridRect(left, 0, left + bandWidth, m_printHeaderMargin * L.charHeight));

    const QPoint where = gridPagePosition(page, L.pagesAcross);
    const int down = std::clamp(where.y() - 1, 0, L.pagesDown - 1);
    const int across = std::clamp(where.x() - 1, 0, L.pagesAcross - 1);
    const int firstRow = m_fixedRows + L.rowStarts[std::size_t(down)];
    const int firstCol = m_fixedCols + L.colStarts[std::size_t(across)];
    const int fixedW = GetFixedColumnWidth();
    const int fixedH = GetFixedRowHeight();
    const int top = (m_printHeaderMargin + m_printGap) * L.charHeight;
    const int cellsLeft = left + fixedW;
    const int cellsTop = top + fixedH;
    const int usableRight = cellsLeft + L.usableWidth;
    const int usableBottom = cellsTop + L.usableHeight;

    // The rows and columns of this page; the first always prints, clipped.
    std::vector<int> rows, cols;
    for (int r = firstRow, y = cellsTop; r < m_rows; ++r) {
        const int h = std::max(GetRowHeight(r), 0);
        if (h == 0)
            continue;
        if (!rows.empty() && y + h > usableBottom)
            break;
        rows.push_back(r);
        y += h;
    }
    for (int c = firstCol, x = cellsLeft; c < m_cols; ++c) {
        const int w = std::max(GetColumnWidth(c), 0);
        if (w == 0)
            continue;
        if (!cols.empty() && x + w > usableRight)
            break;
        cols.push_back(c);
        x += w;
    }

    dc.save();
    dc.setClipRect(QRect(left, top, bandWidth, usableBottom - top));
    // Column headings: the fixed rows over the fixed columns and this page's columns.
    for (int r = 0, y = top; r < m_fixedRows; ++r) {
        const int h = std::max(GetRowHeight(r), 0);
        int x = left;
        for (int c = 0; c < m_fixedCols; ++c) {
            const int w = std::max(GetColumnWidth(c), 0);
            if (w && h)
                PrintCellAt(dc, r, c, GridRect(x, y, x + w - 1, y + h - 1));
            x += w;
        }
        for (int c : cols) {
            const int w = GetColumnWidth(c);
            if (h)
                PrintCellAt(dc, r, c, GridRect(x, y, x + w - 1, y + h - 1));
            x += w;
        }
        y += h;
    }
    // Row headings: the fixed columns beside this page's rows.
    for (int c = 0, x = left; c < m_fixedCols; ++c) {
        const int w = std::max(GetColumnWidth(c), 0);
        int y = cellsTop;
        for (int r : rows) {
            const int h = std::min(GetRowHeight(r), usableBottom - y);
            if (w) {
                const GridRect rc(x, y, x + w - 1, y + h - 1);
                PrintCellAt(dc, r, c, rc);
                if (m_gridLines == GVL_HORZ || m_gridLines == GVL_BOTH) {
                    griddraw::line(dc, rc.left, rc.bottom, rc.right + 1, rc.bottom, 0);
                    if (r == rows.front())
                        griddraw::line(dc, rc.left, rc.top - 1, rc.right + 1, rc.top - 1, 0);
                }
                if (m_gridLines == GVL_VERT || m_gridLines == GVL_BOTH) {
                    griddraw::line(dc, rc.right, rc.top, rc.right, rc.bottom + 1, 0);
                    if (c == 0)
                        griddraw::line(dc, rc.left - 1, rc.top, rc.left - 1, rc.bottom + 1, 0);
                }
            }
            y += h;
        }
        x += w;
    }
    // The cells. A row taller than the page prints the part that fits.
    int y = cellsTop;
    for (int r : rows) {
        const int h = std::min(GetRowHeight(r), usableBottom - y);
        int x = cellsLeft;
        for (int c : cols) {
            const int w = GetColumnWidth(c);
            PrintCellAt(dc, r, c, GridRect(x, y, x + w - 1, y + h - 1));
            x += w;
        }
        y += h;
    }
    dc.restore();
    const int footerTop = L.pageHeight - m_printFooterMargin * L.charHeight;
    if (y < footerTop)
        griddraw::fill(dc, GridRect(left, std::max(y, cellsTop), left + bandWidth, footerTop), RGB(255, 255, 255));
    PrintFooter(dc, GridRect(left, footerTop, left + bandWidth, L.pageHeight), page);
    dc.restore();
}

bool CGridCtrl::PrintGrid(QPrinter& printer)
{
    EndEditing();
    QString title;
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (!w->windowTitle().isEmpty()) {
            title = w->windowTitle();
            break;
        }
    printer.setDocName(title);
    QPainter dc;
    if (!dc.begin(&printer))
        return false;
    OnBeginPrinting(dc, printer);
    bool ok = true;
    for (int page = 1; page <= m_print.pageCount && ok; ++page) {
        if (page > 1)
            ok = printer.newPage();
        if (ok)
            OnPrint(dc, page);
    }
    OnEndPrinting();
    dc.end();
    return ok;
}

bool CGridCtrl::PrintGrid()
{
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    return PrintGrid(printer);
}

} // namespace bc
