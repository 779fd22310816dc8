#include "platform/report_workbook.h"

#include "core/atomic_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <map>
#include <unordered_map>

namespace bc {

namespace {

constexpr int kMaxRows = 1048576;
constexpr int kMaxCols = 16384;
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

QString columnName(int col)
{
    QString name;
    for (int c = col + 1; c > 0; c = (c - 1) / 26)
        name.prepend(QChar(u'A' + (c - 1) % 26));
    return name;
}

// "B3" or "B3:D4", as the template writes it.
QString rangeName(const CellRange& r)
{
    const QString first = columnName(r.firstCol) + QString::number(r.firstRow + 1);
    if (r.isSingle())
        return first;
    return first + u':' + columnName(r.lastCol) + QString::number(r.lastRow + 1);
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

// The same bounds for a template that did not come through the reader.
QString templateFault(const ReportTemplate& tpl)
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

lxw_format* makeFormat(lxw_workbook* wb, const CellStyle& s)
{
    lxw_format* f = workbook_add_format(wb);
    if (s.bold)
        format_set_bold(f);
    if (s.wrap)
        format_set_text_wrap(f);
    if (s.border)
        format_set_border(f, LXW_BORDER_THIN);
    if (s.align == 1)
        format_set_align(f, LXW_ALIGN_LEFT);
    else if (s.align == 2)
        format_set_align(f, LXW_ALIGN_CENTER);
    format_set_align(f, LXW_ALIGN_VERTICAL_CENTER);
    if (s.size > 0)
        format_set_font_size(f, s.size);
    return f;
}

lxw_error putText(lxw_worksheet* ws, const CellRange& r, const QString& text, lxw_format* f)
{
    const QByteArray utf8 = text.toUtf8();
    if (r.isSingle())
        return worksheet_write_string(ws, lxw_row_t(r.firstRow), lxw_col_t(r.firstCol),
                                      utf8.constData(), f);
    return worksheet_merge_range(ws, lxw_row_t(r.firstRow), lxw_col_t(r.firstCol),
                                 lxw_row_t(r.lastRow), lxw_col_t(r.lastCol), utf8.constData(), f);
}

QString lxwReason(lxw_error e)
{
    return QString::fromUtf8(lxw_strerror(e));
}

// What went wrong when the workbook was closed: the system's reason when a
// write failed, else the library's.
QString closeReason(lxw_error e, int errnum)
{
    if (errnum != 0 && (e == LXW_ERROR_CREATING_XLSX_FILE || e == LXW_ERROR_CREATING_TMPFILE ||
                        (e >= LXW_ERROR_ZIP_FILE_OPERATION && e <= LXW_ERROR_ZIP_CLOSE)))
        return SystemErrorText(errnum);
    return QStringLiteral("写入工作簿失败: ") + lxwReason(e);
}

// Writes through a temporary file beside the target (AtomicFile), renamed
// over it once the library has closed it without error.
class PendingWorkbook {
public:
    explicit PendingWorkbook(const QString& outPath) : file_(outPath) {}
    ~PendingWorkbook()
    {
        if (wb_)
            workbook_close(wb_);
    }
    lxw_workbook* open(QString* error)
    {
        if (!file_.open()) {
            *error = QStringLiteral("无法写入文件%1\n%2").arg(file_.path(), file_.errorString());
            return nullptr;
        }
        wb_ = workbook_new(QFile::encodeName(file_.tempPath()).constData());
        if (!wb_)
            *error = QStringLiteral("无法创建文件%1").arg(file_.path());
        return wb_;
    }
    bool finish(QString* error)
    {
        errno = 0;
        const lxw_error e = workbook_close(wb_);
        const int errnum = errno;
        wb_ = nullptr;
        if (e != LXW_NO_ERROR) {
            *error = closeReason(e, errnum);
            file_.discard();
            return false;
        }
        if (!file_.commit()) {
            *error = QStringLiteral("无法写入文件%1\n%2").arg(file_.path(), file_.errorString());
            return false;
        }
        return true;
    }

private:
    AtomicFile file_;
    lxw_workbook* wb_ = nullptr;
};

// A column's width as the spreadsheet draws it, in pixels: seven a character
// of the default font and five of padding; 0 for a hidden column.
int columnPixels(const ReportTemplate& tpl, int col)
{
    double width = LXW_DEF_COL_WIDTH;
    for (const auto& c : tpl.columns)
        if (col >= c.first && col <= c.last)
            width = c.width;
    if (width <= 0)
        return 0;
    return width < 1.0 ? int(width * 12 + 0.5) : int(width * 7 + 0.5) + 5;
}

// The width in pixels of a picture's own columns: from its anchor up to the
// next picture anchored to its right in the same row, or else to the last
// column a text or field of the sheet covers. 0 when nothing bounds it.
int ownColumnsPixels(const ReportTemplate& tpl, const ReportTemplate::Picture& p)
{
    int last = -1;
    for (const auto& t : tpl.texts)
        last = std::max(last, t.range.lastCol);
    for (const auto& f : tpl.fields)
        last = std::max(last, f.range.lastCol);
    for (const auto& q : tpl.pictures)
        if (q.row == p.row && q.col > p.col)
            last = last < p.col ? q.col - 1 : std::min(last, q.col - 1);
    int pixels = 0;
    for (int c = p.col; c <= last; ++c)
        pixels += columnPixels(tpl, c);
    return pixels;
}

// The pictures of one template picture line on one sheet.
struct PictureRun {
    size_t slot = 0; // the line, an index of the template's pictures
    QStringList files;
    std::vector<QSize> sizes;
};

// How a template picture line is drawn on every sheet of the workbook.
struct PictureFit {
    double boxWidth = 0; // each picture's share of the columns
    double gap = 0;
    double scale = 1.0;
};

// Reads the sizes of the pictures of one sheet.
bool measurePictures(const ReportTemplate& tpl, const std::map<QString, const ReportCell*>& byKey,
                     std::vector<PictureRun>& runs, QString* error)
{
    for (size_t slot = 0; slot < tpl.pictures.size(); ++slot) {
        const auto it = byKey.find(tpl.pictures[slot].key);
        if (it == byKey.end() || !it->second->isPicture())
            continue;
        PictureRun run;
        run.slot = slot;
        run.files = it->second->pictures;
        for (const QString& file : run.files) {
            QImageReader reader(file);
            const QSize size = reader.size();
            if (!QFileInfo::exists(file) || !size.isValid() || size.isEmpty()) {
                *error = QStringLiteral("无法读取图片%1").arg(file);
                return false;
            }
            run.sizes.push_back(size);
        }
        runs.push_back(std::move(run));
    }
    return true;
}

// Fits the pictures of every sheet: the boxes and gaps of a line are
// narrowed together until its longest run fits the line's own columns, each
// picture fits its box keeping its aspect and is never enlarged, and a line
// takes the smallest scale any of its pictures needs on any sheet. Then all
// lines anchored in one row take the smallest of their scales, so that their
// rows of pixels line up on the sheet. So one scale holds for a line through
// the workbook: a sheet of fewer or shorter pages draws them as large as the
// others.
std::vector<PictureFit> fitPictures(const ReportTemplate& tpl,
                                    const std::vector<std::vector<PictureRun>>& sheets)
{
    std::vector<PictureFit> fits(tpl.pictures.size());
    std::vector<size_t> longest(tpl.pictures.size(), 0);
    for (const auto& runs : sheets)
        for (const PictureRun& run : runs)
            longest[run.slot] = std::max<size_t>(longest[run.slot], run.files.size());
    for (size_t slot = 0; slot < fits.size(); ++slot) {
        const ReportTemplate::Picture& p = tpl.pictures[slot];
        const double n = double(std::max<size_t>(longest[slot], 1));
        const double natural = n * p.boxWidth + (n - 1) * p.gap;
        const int room = ownColumnsPixels(tpl, p);
        const double narrow = room > 0 && natural > room ? room / natural : 1.0;
        fits[slot].boxWidth = p.boxWidth * narrow;
        fits[slot].gap = p.gap * narrow;
    }
    for (const auto& runs : sheets)
        for (const PictureRun& run : runs) {
            PictureFit& fit = fits[run.slot];
            for (const QSize& size : run.sizes)
                fit.scale = std::min({fit.scale, fit.boxWidth / size.width(),
                                      double(tpl.pictures[run.slot].boxHeight) / size.height()});
        }
    std::vector<double> rowScale(fits.size());
    for (size_t slot = 0; slot < fits.size(); ++slot) {
        rowScale[slot] = fits[slot].scale;
        for (size_t other = 0; other < fits.size(); ++other)
            if (tpl.pictures[other].row == tpl.pictures[slot].row)
                rowScale[slot] = std::min(rowScale[slot], fits[other].scale);
    }
    for (size_t slot = 0; slot < fits.size(); ++slot)
        fits[slot].scale = rowScale[slot];
    return fits;
}

// The sheet's print area, as the spreadsheet's own name for it. The sheet is
// named in quotes whatever its name: a sheet name starting with a digit
// ("1", "1(1.00-1.90)") must be quoted in a reference.
bool definePrintArea(lxw_workbook* wb, const QString& sheetName, const CellRange& area,
                     QString* error)
{
    const QString sheet = u'\'' + QString(sheetName).replace(u'\'', QStringLiteral("''")) + u'\'';
    const auto corner = [](int row, int col) {
        return QStringLiteral("$%1$%2").arg(columnName(col)).arg(row + 1);
    };
    const QByteArray name = (sheet + QStringLiteral("!_xlnm.Print_Area")).toUtf8();
    const QByteArray range = QStringLiteral("=%1!%2:%3")
                                 .arg(sheet, corner(area.firstRow, area.firstCol),
                                      corner(area.lastRow, area.lastCol))
                                 .toUtf8();
    const lxw_error e = workbook_define_name(wb, name.constData(), range.constData());
    if (e == LXW_NO_ERROR)
        return true;
    *error = QStringLiteral("打印区域: ") + lxwReason(e);
    return false;
}

bool insertPictures(lxw_worksheet* ws, const ReportTemplate& tpl, const PictureRun& run,
                    const PictureFit& fit, QString* error)
{
    const ReportTemplate::Picture& p = tpl.pictures[run.slot];
    for (int i = 0; i < run.files.size(); ++i) {
        lxw_image_options opt{};
        opt.x_offset = int32_t(std::floor(i * (fit.boxWidth + fit.gap)));
        opt.x_scale = fit.scale;
        opt.y_scale = fit.scale;
        opt.object_position = LXW_OBJECT_MOVE_DONT_SIZE;
        const lxw_error e = worksheet_insert_image_opt(ws, lxw_row_t(p.row), lxw_col_t(p.col),
                                                       QFile::encodeName(run.files[i]).constData(), &opt);
        if (e != LXW_NO_ERROR) {
            *error = QStringLiteral("%1: %2").arg(run.files[i], lxwReason(e));
            return false;
        }
    }
    return true;
}

} // namespace

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
        if (!parseLine(words, out, why)) {
            if (!why.isEmpty())
                return fail(QStringLiteral("第%1行: %2").arg(lineNo).arg(why));
            return fail(QStringLiteral("第%1行无法识别: %2").arg(lineNo).arg(line.left(80)));
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

bool writeReportWorkbook(const ReportTemplate& tpl, const QString& outPath,
                         const std::vector<ReportSheet>& sheets, QString* error)
{
    QString why;
    if (!error)
        error = &why;
    if (sheets.empty()) {
        *error = QStringLiteral("没有要输出的页面");
        return false;
    }
    *error = templateFault(tpl);
    if (!error->isEmpty())
        return false;
    PendingWorkbook pending(outPath);
    lxw_workbook* wb = pending.open(error);
    if (!wb)
        return false;
    std::vector<lxw_format*> textFormats, fieldFormats;
    for (const auto& t : tpl.texts)
        textFormats.push_back(makeFormat(wb, t.style));
    for (const auto& f : tpl.fields)
        fieldFormats.push_back(makeFormat(wb, f.style));
    const QByteArray header = tpl.header.toUtf8();
    const QByteArray footer = tpl.footer.toUtf8();

    std::vector<std::map<QString, const ReportCell*>> keys(sheets.size());
    std::vector<std::vector<PictureRun>> pictures(sheets.size());
    for (size_t s = 0; s < sheets.size(); ++s) {
        for (const ReportCell& c : sheets[s].cells)
            keys[s].emplace(c.key, &c);
        if (!measurePictures(tpl, keys[s], pictures[s], error))
            return false;
    }
    const std::vector<PictureFit> fits = fitPictures(tpl, pictures);

    for (size_t s = 0; s < sheets.size(); ++s) {
        const ReportSheet& sheet = sheets[s];
        lxw_worksheet* ws = workbook_add_worksheet(wb, sheet.name.toUtf8().constData());
        if (!ws) {
            *error = QStringLiteral("工作表名称%1无效").arg(sheet.name);
            return false;
        }
        if (tpl.paper > 0)
            worksheet_set_paper(ws, uint8_t(tpl.paper));
        if (tpl.landscape)
            worksheet_set_landscape(ws);
        if (tpl.hasMargins)
            worksheet_set_margins(ws, tpl.margins[0], tpl.margins[1], tpl.margins[2],
                                  tpl.margins[3]);
        if (tpl.fitToPage)
            worksheet_fit_to_pages(ws, 1, 1);
        if (tpl.hasPrintArea && !definePrintArea(wb, sheet.name, tpl.printArea, error))
            return false;
        if (!header.isEmpty())
            worksheet_set_header(ws, header.constData());
        if (!footer.isEmpty())
            worksheet_set_footer(ws, footer.constData());
        for (const auto& c : tpl.columns)
            worksheet_set_column(ws, lxw_col_t(c.first), lxw_col_t(c.last), c.width, nullptr);
        for (const auto& r : tpl.rows)
            worksheet_set_row(ws, lxw_row_t(r.row), r.height, nullptr);
        for (size_t i = 0; i < tpl.texts.size(); ++i)
            putText(ws, tpl.texts[i].range, tpl.texts[i].text, textFormats[i]);

        for (size_t i = 0; i < tpl.fields.size(); ++i) {
            const auto it = keys[s].find(tpl.fields[i].key);
            if (it != keys[s].end() && !it->second->isPicture())
                putText(ws, tpl.fields[i].range, it->second->text, fieldFormats[i]);
        }
        for (const PictureRun& run : pictures[s])
            if (!insertPictures(ws, tpl, run, fits[run.slot], error))
                return false;
    }
    return pending.finish(error);
}

bool writeTableWorkbook(const QString& outPath, const QString& sheetName,
                        const std::vector<QStringList>& rows, QString* error)
{
    QString why;
    if (!error)
        error = &why;
    PendingWorkbook pending(outPath);
    lxw_workbook* wb = pending.open(error);
    if (!wb)
        return false;
    lxw_worksheet* ws = workbook_add_worksheet(wb, sheetName.toUtf8().constData());
    if (!ws) {
        *error = QStringLiteral("工作表名称%1无效").arg(sheetName);
        return false;
    }
    static const QRegularExpression whole(QStringLiteral("^-?[0-9]{1,15}$"));
    for (size_t r = 0; r < rows.size() && r < size_t(kMaxRows); ++r) {
        for (int c = 0; c < rows[r].size() && c < kMaxCols; ++c) {
            const QString& text = rows[r][c];
            if (whole.match(text).hasMatch())
                worksheet_write_number(ws, lxw_row_t(r), lxw_col_t(c), text.toDouble(), nullptr);
            else
                worksheet_write_string(ws, lxw_row_t(r), lxw_col_t(c), text.toUtf8().constData(),
                                       nullptr);
        }
    }
    return pending.finish(error);
}

} // namespace bc
