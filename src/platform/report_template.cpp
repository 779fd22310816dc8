// Report templates read from their text, and the bounds every template
// written keeps (report_workbook.h describes the language).
#include "platform/report_workbook.h"

#include <QFile>
#include <QRegularExpression>

#include <cmath>
#include <unordered_map>
#include <utility>

namespace bc {

namespace {

constexpr int kMaxRows = kMaxSheetRows;
constexpr int kMaxCols = kMaxSheetColumns;
constexpr qint64 kMaxTemplateBytes = 1 << 20;
constexpr int kMaxBox = 20000; // pixels

qint64 cellCount(const CellRange& r)
{
    return qint64(r.lastRow - r.firstRow + 1) * qint64(r.lastCol - r.firstCol + 1);
}

// The workbook library writes a formatted blank into every merged cell, so a
// range's size is memory; a report page is a few hundred cells.
QString rangeFault(const CellRange& r, bool merged = true)
{
    if (r.firstRow < 0 || r.firstCol < 0 || r.lastRow < r.firstRow || r.lastCol < r.firstCol ||
        r.lastRow >= kMaxRows || r.lastCol >= kMaxCols)
        return QStringLiteral("单元格范围无效");
    if (merged && cellCount(r) > kMaxReportRangeCells)
        return QStringLiteral("合并范围超过%1个单元格").arg(kMaxReportRangeCells);
    return {};
}

// Header and footer pictures (&G, &[Picture]) are not supported: the templates
// carry no picture files for them.
QString headerFooterFault(const QString& text)
{
    if (text.toUtf8().size() > 255)
        return QStringLiteral("页眉页脚超过255字节");
    if (text.contains(QLatin1String("&G"), Qt::CaseInsensitive) ||
        text.contains(QLatin1String("&[Picture]"), Qt::CaseInsensitive))
        return QStringLiteral("页眉页脚不能含图片(&G, &[Picture])");
    return {};
}

QString tooManyCells()
{
    return QStringLiteral("文字和字段共超过%1个单元格").arg(kMaxReportCells);
}

QString tooManyPictures()
{
    return QStringLiteral("图片行超过%1个").arg(kMaxReportPictures);
}

QString tooManyRows()
{
    return QStringLiteral("行高设置超过%1行").arg(kMaxReportRowLines);
}

QString tooManyColumns()
{
    return QStringLiteral("列宽设置超过%1行").arg(kMaxReportColumnLines);
}

// "B3" or "B3:D4", as the template writes it.
QString rangeName(const CellRange& r)
{
    const QString first = columnLetters(r.firstCol) + QString::number(r.firstRow + 1);
    if (r.isSingle())
        return first;
    return first + u':' + columnLetters(r.lastCol) + QString::number(r.lastRow + 1);
}

// Which text or field each cell belongs to. A cell in two of them would be
// written twice, or merged twice, which a spreadsheet program takes for a
// damaged file; ranges that only touch are fine. The ranges are bounded in
// cells before they come here.
class CellOwners {
public:
    // Takes every cell of `r` for `owner`; the owner already holding one of
    // them, or -1.
    int take(const CellRange& r, int owner)
    {
        for (int row = r.firstRow; row <= r.lastRow; ++row)
            for (int col = r.firstCol; col <= r.lastCol; ++col) {
                const auto [it, added] = owners_.insert({quint64(row) << 16 | quint64(col), owner});
                if (!added)
                    return it->second;
            }
        return -1;
    }

private:
    std::unordered_map<quint64, int> owners_;
};

QString overlapFault(const CellRange& r, const CellRange& earlier)
{
    return QStringLiteral("单元格范围%1与%2重叠").arg(rangeName(r), rangeName(earlier));
}

// "B" or "A:C", as the template writes it.
QString columnsName(const ReportTemplate::Column& c)
{
    const QString first = columnLetters(c.first);
    return c.first == c.last ? first : first + u':' + columnLetters(c.last);
}

// Column lines set the width of column ranges, which the workbook library
// (and a spreadsheet program reading the file) requires not to overlap: a
// column in two lines, the same line twice included, is refused. Ranges
// side by side are fine.
bool columnsOverlap(const ReportTemplate::Column& a, const ReportTemplate::Column& b)
{
    return a.first <= b.last && b.first <= a.last;
}

// The first of `columns` that overlaps an earlier one, and that earlier one;
// (-1, -1) when none does.
std::pair<int, int> firstColumnOverlap(const std::vector<ReportTemplate::Column>& columns)
{
    for (size_t i = 1; i < columns.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            if (columnsOverlap(columns[i], columns[j]))
                return {int(i), int(j)};
    return {-1, -1};
}

} // namespace

QString reportTemplateFault(const ReportTemplate& tpl)
{
    qint64 cells = 0;
    std::vector<const CellRange*> ranges;
    for (const auto& t : tpl.texts)
        ranges.push_back(&t.range);
    for (const auto& f : tpl.fields)
        ranges.push_back(&f.range);
    for (const CellRange* r : ranges) {
        const QString why = rangeFault(*r);
        if (!why.isEmpty())
            return why;
        cells += cellCount(*r);
    }
    if (cells > kMaxReportCells)
        return tooManyCells();
    CellOwners owners;
    for (size_t i = 0; i < ranges.size(); ++i) {
        const int earlier = owners.take(*ranges[i], int(i));
        if (earlier >= 0)
            return overlapFault(*ranges[i], *ranges[size_t(earlier)]);
    }
    if (qint64(tpl.pictures.size()) > kMaxReportPictures)
        return tooManyPictures();
    if (qint64(tpl.rows.size()) > kMaxReportRowLines)
        return tooManyRows();
    if (qint64(tpl.columns.size()) > kMaxReportColumnLines)
        return tooManyColumns();
    const auto [column, earlierColumn] = firstColumnOverlap(tpl.columns);
    if (column >= 0)
        return QStringLiteral("列%1与%2重叠")
            .arg(columnsName(tpl.columns[size_t(column)]),
                 columnsName(tpl.columns[size_t(earlierColumn)]));
    if (tpl.hasPrintArea) {
        const QString why = rangeFault(tpl.printArea, false);
        if (!why.isEmpty())
            return why;
    }
    for (const QString* text : {&tpl.header, &tpl.footer}) {
        const QString why = headerFooterFault(*text);
        if (!why.isEmpty())
            return why;
    }
    return {};
}

namespace {

int columnFromLetters(const QString& letters)
{
    int col = 0;
    for (QChar c : letters) {
        col = col * 26 + (c.toUpper().unicode() - 'A' + 1);
        if (col > kMaxCols)
            return -1;
    }
    return col - 1;
}

bool parseCell(const QString& text, int& row, int& col)
{
    static const QRegularExpression re(QStringLiteral("^([A-Za-z]{1,3})([1-9][0-9]{0,6})$"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return false;
    col = columnFromLetters(m.captured(1));
    row = m.captured(2).toInt() - 1;
    return col >= 0 && row >= 0 && row < kMaxRows;
}

// Splits a line into words; quoted words keep their blanks. False on an
// unterminated quote.
bool splitWords(const QString& line, QStringList& words)
{
    words.clear();
    int i = 0;
    const int n = int(line.size());
    while (i < n) {
        while (i < n && line[i].isSpace())
            ++i;
        if (i >= n)
            break;
        QString word;
        if (line[i] == QLatin1Char('"')) {
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar c = line[i++];
                if (c == QLatin1Char('\\') && i < n) {
                    word += line[i++];
                } else if (c == QLatin1Char('"')) {
                    closed = true;
                    break;
                } else {
                    word += c;
                }
            }
            if (!closed)
                return false;
        } else {
            while (i < n && !line[i].isSpace())
                word += line[i++];
        }
        words << word;
    }
    return true;
}

bool parseNumber(const QString& text, double lo, double hi, double& value)
{
    bool ok = false;
    value = text.toDouble(&ok);
    return ok && std::isfinite(value) && value >= lo && value <= hi;
}

bool parseStyle(const QStringList& words, int from, CellStyle& style)
{
    for (int i = from; i < words.size(); ++i) {
        const QString& w = words[i];
        if (w == QLatin1String("bold"))
            style.bold = true;
        else if (w == QLatin1String("wrap"))
            style.wrap = true;
        else if (w == QLatin1String("border"))
            style.border = true;
        else if (w == QLatin1String("center"))
            style.align = 2;
        else if (w == QLatin1String("left"))
            style.align = 1;
        else if (w == QLatin1String("size") && i + 1 < words.size()) {
            if (!parseNumber(words[++i], 1, 409, style.size))
                return false;
        } else
            return false;
    }
    return true;
}

// False for a line that is not understood; `why` then says what is wrong
// with it when more than that can be said.
bool parseLine(const QStringList& w, ReportTemplate& tpl, QString& why)
{
    const QString& kw = w[0];
    const int n = int(w.size());
    if (kw == QLatin1String("paper") && n == 2) {
        double v;
        if (!parseNumber(w[1], 0, 118, v))
            return false;
        tpl.paper = int(v);
        return true;
    }
    if (kw == QLatin1String("orientation") && n == 2) {
        if (w[1] != QLatin1String("portrait") && w[1] != QLatin1String("landscape"))
            return false;
        tpl.landscape = w[1] == QLatin1String("landscape");
        return true;
    }
    if (kw == QLatin1String("margins") && n == 5) {
        for (int i = 0; i < 4; ++i)
            if (!parseNumber(w[i + 1], 0, 10, tpl.margins[i]))
                return false;
        tpl.hasMargins = true;
        return true;
    }
    if (kw == QLatin1String("column") && n == 3) {
        ReportTemplate::Column c;
        const QStringList parts = w[1].split(QLatin1Char(':'));
        static const QRegularExpression letters(QStringLiteral("^[A-Za-z]{1,3}$"));
        if (parts.size() > 2)
            return false;
        for (const QString& p : parts)
            if (!letters.match(p).hasMatch())
                return false;
        c.first = columnFromLetters(parts.front());
        c.last = columnFromLetters(parts.back());
        if (c.first < 0 || c.last < c.first || !parseNumber(w[2], 0, 255, c.width))
            return false;
        if (qint64(tpl.columns.size()) >= kMaxReportColumnLines) {
            why = tooManyColumns();
            return false;
        }
        tpl.columns.push_back(c);
        return true;
    }
    if (kw == QLatin1String("row") && n == 3) {
        double r, h;
        if (!parseNumber(w[1], 1, kMaxRows, r) || r != std::floor(r) ||
            !parseNumber(w[2], 0, 409, h))
            return false;
        if (qint64(tpl.rows.size()) >= kMaxReportRowLines) {
            why = tooManyRows();
            return false;
        }
        tpl.rows.push_back({int(r) - 1, h});
        return true;
    }
    if (kw == QLatin1String("print-area") && n == 2) {
        if (!parseCellRange(w[1], tpl.printArea))
            return false;
        tpl.hasPrintArea = true;
        return true;
    }
    if (kw == QLatin1String("fit-to-page") && n == 1) {
        tpl.fitToPage = true;
        return true;
    }
    if (kw == QLatin1String("text") && n >= 3) {
        ReportTemplate::Text t;
        t.text = w[2];
        if (!parseCellRange(w[1], t.range) || !parseStyle(w, 3, t.style))
            return false;
        why = rangeFault(t.range);
        if (!why.isEmpty())
            return false;
        tpl.texts.push_back(t);
        return true;
    }
    if (kw == QLatin1String("field") && n >= 3) {
        ReportTemplate::Field f;
        f.key = w[1];
        if (!parseCellRange(w[2], f.range) || !parseStyle(w, 3, f.style))
            return false;
        why = rangeFault(f.range);
        if (!why.isEmpty())
            return false;
        tpl.fields.push_back(f);
        return true;
    }
    if (kw == QLatin1String("picture") && (n == 5 || n == 7)) {
        ReportTemplate::Picture p;
        p.key = w[1];
        double bw, bh, gap = 0;
        if (!parseCell(w[2], p.row, p.col) || !parseNumber(w[3], 1, kMaxBox, bw) ||
            !parseNumber(w[4], 1, kMaxBox, bh))
            return false;
        if (n == 7 && (w[5] != QLatin1String("gap") || !parseNumber(w[6], 0, kMaxBox, gap)))
            return false;
        p.boxWidth = int(bw);
        p.boxHeight = int(bh);
        p.gap = int(gap);
        if (qint64(tpl.pictures.size()) >= kMaxReportPictures) {
            why = tooManyPictures();
            return false;
        }
        tpl.pictures.push_back(p);
        return true;
    }
    if ((kw == QLatin1String("header") || kw == QLatin1String("footer")) && n == 2) {
        why = headerFooterFault(w[1]);
        if (!why.isEmpty())
            return false;
        (kw == QLatin1String("header") ? tpl.header : tpl.footer) = w[1];
        return true;
    }
    return false;
}


} // namespace

QString columnLetters(int col)
{
    QString name;
    for (int c = col + 1; c > 0; c = (c - 1) / 26)
        name.prepend(QChar(u'A' + (c - 1) % 26));
    return name;
}

bool parseCellRange(const QString& text, CellRange& range)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() > 2)
        return false;
    CellRange r;
    if (!parseCell(parts.front(), r.firstRow, r.firstCol))
        return false;
    r.lastRow = r.firstRow;
    r.lastCol = r.firstCol;
    if (parts.size() == 2 && !parseCell(parts.back(), r.lastRow, r.lastCol))
        return false;
    if (r.lastRow < r.firstRow || r.lastCol < r.firstCol)
        return false;
    range = r;
    return true;
}

bool parseReportTemplate(const QByteArray& bytes, ReportTemplate& tpl, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (bytes.size() > kMaxTemplateBytes)
        return fail(QStringLiteral("文件太大"));
    if (bytes.contains('\0'))
        return fail(QStringLiteral("不是本程序的报表模板(二进制文件)"));
    const QString text = QString::fromUtf8(bytes);
    if (text.contains(QChar::ReplacementCharacter))
        return fail(QStringLiteral("不是UTF-8文本"));
    ReportTemplate out;
    bool sawMagic = false;
    int lineNo = 0;
    qint64 cells = 0; // of all text and field lines
    CellOwners owners; // each cell's text or field, an index of `taken`
    std::vector<std::pair<int, CellRange>> taken; // line number and range
    std::vector<int> columnLines; // of each of out.columns
    QStringList words;
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        ++lineNo;
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (!splitWords(line, words) || words.isEmpty())
            return fail(QStringLiteral("第%1行无法识别").arg(lineNo));
        if (!sawMagic) {
            if (words.size() != 2 || words[0] != QLatin1String("report-template"))
                return fail(QStringLiteral("不是本程序的报表模板"));
            if (words[1] != QLatin1String("1"))
                return fail(QStringLiteral("模板版本%1不受支持").arg(words[1]));
            sawMagic = true;
            continue;
        }
        QString why;
        const size_t texts = out.texts.size(), fields = out.fields.size();
        const size_t columns = out.columns.size();
        if (!parseLine(words, out, why)) {
            if (!why.isEmpty())
                return fail(QStringLiteral("第%1行: %2").arg(lineNo).arg(why));
            return fail(QStringLiteral("第%1行无法识别: %2").arg(lineNo).arg(line.left(80)));
        }
        if (out.columns.size() > columns) {
            const ReportTemplate::Column& c = out.columns.back();
            for (size_t i = 0; i < columns; ++i)
                if (columnsOverlap(c, out.columns[i]))
                    return fail(QStringLiteral("第%1行: %2与第%3行的%4重叠")
                                    .arg(lineNo)
                                    .arg(columnsName(c))
                                    .arg(columnLines[i])
                                    .arg(columnsName(out.columns[i])));
            columnLines.push_back(lineNo);
            continue;
        }
        const CellRange* range = out.texts.size() > texts    ? &out.texts.back().range
                                 : out.fields.size() > fields ? &out.fields.back().range
                                                              : nullptr;
        if (!range)
            continue;
        cells += cellCount(*range);
        if (cells > kMaxReportCells)
            return fail(QStringLiteral("第%1行: %2").arg(lineNo).arg(tooManyCells()));
        const int earlier = owners.take(*range, int(taken.size()));
        if (earlier >= 0)
            return fail(QStringLiteral("第%1行: %2与第%3行的%4重叠")
                            .arg(lineNo)
                            .arg(rangeName(*range))
                            .arg(taken[size_t(earlier)].first)
                            .arg(rangeName(taken[size_t(earlier)].second)));
        taken.emplace_back(lineNo, *range);
    }
    if (!sawMagic)
        return fail(QStringLiteral("不是本程序的报表模板"));
    tpl = std::move(out);
    return true;
}

bool loadReportTemplate(const QString& path, ReportTemplate& tpl, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    const QByteArray bytes = f.read(kMaxTemplateBytes + 1);
    return parseReportTemplate(bytes, tpl, error);
}

} // namespace bc
