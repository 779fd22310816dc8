#include "analysis/page_painter.h"

#include "analysis/page_geometry.h"
#include "analysis/page_rect.h"
#include "analysis/unwrap_data.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

namespace bc {

namespace {

QFont pageFont(int pixelSize)
{
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Normal);
    font.setStyleHint(QFont::Serif);
    return font;
}

} // namespace

void DrawCompassRuler(QPainter& painter, int firstStripWidth, float aspect, float zoom)
{
    static const char* const kPoints[5] = {"N", "E", "S", "W", "N"};
    const int left = kPageLeftMargin;
    // A ruler longer than any page comes from a damaged strip record.
    const int length =
        paintClamp(truncToInt(float(int64_t(firstStripWidth) - 1) * aspect * zoom + 0.5f));
    painter.save();
    painter.setFont(pageFont(16));
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(left, 48, left + length, 48);
    const float quarter = float(length) * 0.25f;
    auto quarterX = [quarter](int i) { return truncToInt(float(i) * quarter + 0.5f); };
    // Each letter is centred in a 40-pixel cell over its tick; on a narrow
    // page (a small hole shown true to its depth) the letters that would run
    // into each other give way, the closing "N" last of all.
    QRect cells[5];
    std::vector<LabelSpan> spans;
    const QFontMetrics metrics = painter.fontMetrics();
    for (int i = 0; i < 5; ++i) {
        cells[i] = QRect(quarterX(i) + 40 - (i == 4 ? 5 : 0), 18, 40, 22);
        const int w = metrics.horizontalAdvance(QString::fromLatin1(kPoints[i]));
        const int begin = cells[i].center().x() + 1 - w / 2;
        spans.push_back({begin - 1, begin + w + 1}); // a pixel apart at least
    }
    const std::vector<bool> lettered = LabelsKeptApart(spans);
    for (int i = 0; i < 5; ++i) {
        const int x = quarterX(i);
        const int tickX = left + x - (i == 4 ? 1 : 0);
        painter.drawLine(tickX, 48, tickX, 40);
        if (lettered[size_t(i)])
            painter.drawText(cells[i], Qt::AlignHCenter | Qt::AlignBottom | Qt::TextSingleLine,
                             QString::fromLatin1(kPoints[i]));
        if (i < 4)
            for (int j = 1; j <= 8; ++j) {
                const int minor = left + x + truncToInt(float(j) * quarter / 9.0f + 0.5f);
                painter.drawLine(minor, 48, minor, 44);
            }
    }
    painter.restore();
}

void DrawDepthLabel(QPainter& painter, const QRect& cell, const QString& text)
{
    const QFont font = painter.font();
    QFont fitted = font;
    for (int size = font.pixelSize(); size > 6; --size) {
        fitted.setPixelSize(size);
        if (QFontMetrics(fitted).horizontalAdvance(text) <= cell.width())
            break;
    }
    painter.setFont(fitted);
    painter.drawText(cell, Qt::AlignRight | Qt::AlignTop, text);
    painter.setFont(font);
}

void DrawPageView(QPainter& painter, const CUnWrapData& data, const PageViewState& s)
{
    painter.save();
    painter.setFont(pageFont(16));
    painter.setPen(QPen(Qt::black, 1));
    painter.drawText(QRect(20, 0, 180, 22),
                     Qt::AlignLeft | Qt::AlignBottom | Qt::TextSingleLine | Qt::TextDontClip,
                     QStringLiteral("第%1页共%2页").arg(qint64(s.currentPage) + 1).arg(s.pageCount));

    const IndexRange page = PageItems(data.GetItemCount(), s.currentPage, s.perPage);
    if (page.end > page.first)
        DrawCompassRuler(painter, data.GetItem(page.first)->width, s.aspect, s.zoom);

    painter.translate(kPageLeftMargin, kPageTopMargin);
    if (s.currentPage >= 0) {
        if (s.zoomable)
            data.DrawPageDib(painter, s.zoom, s.aspect, s.currentPage, s.perPage, s.selectedItem,
                             s.pxPerMm, s.frameMode);
        else
            data.DrawPage(painter, s.currentPage, s.perPage, s.selectedItem, s.pxPerMm,
                          s.frameMode);
    }
    const float pxPerRadian = PixelsPerRadian(s.pageWidth);
    data.DrawShapes(painter, s.currentPage, s.perPage, s.pageTopDepth, s.pageBottomDepth,
                    pxPerRadian, s.pxPerMm);
    const int labelBox[4] = {s.pageWidth, s.pageTopDepth, satAdd(s.pageWidth, s.pageWidth),
                             s.pageBottomDepth};
    data.DrawShapeLabels(painter, labelBox, pxPerRadian, s.pxPerMm);
    painter.restore();
}

} // namespace bc
