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

namespace bc {

namespace {

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
        return QStringLiteral("$%1$%2").arg(columnLetters(col)).arg(row + 1);
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
    *error = reportTemplateFault(tpl);
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
    for (size_t r = 0; r < rows.size() && r < size_t(kMaxSheetRows); ++r) {
        for (int c = 0; c < rows[r].size() && c < kMaxSheetColumns; ++c) {
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
