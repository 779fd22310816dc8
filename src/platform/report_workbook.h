#pragma once
// Report workbooks: a sheet layout read from one of the program's report
// templates, filled with the values of each report sheet and written as an
// ".xlsx" workbook.
//
// A template is a UTF-8 text file. Blank lines and lines starting with '#'
// are ignored; words are separated by blanks; a word holding blanks is put in
// double quotes (\" and \\ inside). Cells are named as in a spreadsheet (B3),
// ranges as B3:D3. The first line that is not a comment must be
//     report-template 1
// and the lines after it are any of:
//     paper N                  paper size code of the printer set-up (9 = A4)
//     orientation portrait|landscape
//     margins L R T B          page margins in inches
//     column A 12              width of column A (or a range A:C) in characters
//     row 5 24                 height of row 5 in points
//     print-area A1:H60        the part of each sheet that is printed
//     fit-to-page              each sheet printed on one page of its paper,
//                              scaled down to fit it
//     text B1:F1 "标题" [opts] a fixed text, merged over a range
//     field KEY B3:C3 [opts]   where the value under KEY goes
//     picture KEY A8 W H [gap G]
//                              where the pictures under KEY go: anchored at
//                              the cell's top-left corner, each fitted into a
//                              W x H pixel box keeping its aspect; several
//                              pictures stand side by side, G pixels apart.
//                              A picture stays inside its own columns (up to
//                              the next picture anchored to its right in the
//                              row, or the last column of the sheet's texts
//                              and fields): boxes and gaps are narrowed alike
//                              to fit. Pictures anchored in one row share
//                              one scale, so that their rows line up.
//     header "text"            printed page header and footer, with the
//     footer "text"            spreadsheet's own codes (&P page, &N pages);
//                              at most 255 bytes, and no pictures: &G and
//                              &[Picture] (in any case) are refused
// Options of text and field: bold, center, left, wrap, border, size N.
// A key without a line in the template is not shown.
// No cell belongs to two texts or fields: ranges that overlap are refused
// (ranges that only touch at an edge are fine), as a spreadsheet program
// finds overlapping merged cells damaged. Nor is a column in two "column"
// lines (the same line twice included): the workbook library requires the
// column ranges it writes not to overlap. Ranges side by side are fine.
// A text or field range holds at most 10,000 cells, and all text and field
// ranges of a template together at most 20,000 (a report page takes a few
// hundred): every merged cell costs memory in each sheet written.
// A template has at most 100 picture lines (a report page anchors one or
// two): every line places its pictures again, and lines anchored in one row
// are fitted against each other.
// A template has at most 1,000 "row" lines and 1,000 "column" lines (a report
// page sets a few dozen): every line is set again in each sheet written.
//
// The pictures of one template line are drawn at one scale through the whole
// workbook, sheet after sheet: the smallest any of its sheets needs.

#include <QString>
#include <QStringList>

#include <vector>

namespace bc {

struct ReportCell {
    QString key;
    QString text;         // the value of a text cell
    QStringList pictures; // the picture files of a picture cell
    float width = 0.0f;   // size of the (first) picture as rendered, pixels
    float height = 0.0f;
    bool isPicture() const { return !pictures.isEmpty(); }
};

struct ReportSheet {
    QString name;
    std::vector<ReportCell> cells;
};

// The bounds on merged cells and picture lines given above.
constexpr qint64 kMaxReportRangeCells = 10000;
constexpr qint64 kMaxReportCells = 20000;
constexpr qint64 kMaxReportPictures = 100;
// The bounds on "row" and "column" lines given above.
constexpr qint64 kMaxReportRowLines = 1000;
constexpr qint64 kMaxReportColumnLines = 1000;

struct CellRange {
    int firstRow = 0, firstCol = 0, lastRow = 0, lastCol = 0; // 0-based, inclusive
    bool isSingle() const { return firstRow == lastRow && firstCol == lastCol; }
};

struct CellStyle {
    bool bold = false;
    bool wrap = false;
    bool border = false;
    int align = 0; // 0 default, 1 left, 2 centre
    double size = 0; // points; 0 keeps the default
};

struct ReportTemplate {
    struct Column { int first = 0, last = 0; double width = 0; };
    struct Row { int row = 0; double height = 0; };
    struct Text { CellRange range; QString text; CellStyle style; };
    struct Field { QString key; CellRange range; CellStyle style; };
    struct Picture { QString key; int row = 0, col = 0; int boxWidth = 0, boxHeight = 0; int gap = 0; };

    int paper = 0;
    bool landscape = false;
    bool fitToPage = false;
    bool hasPrintArea = false;
    CellRange printArea;
    bool hasMargins = false;
    double margins[4] = {0, 0, 0, 0};
    std::vector<Column> columns;
    std::vector<Row> rows;
    std::vector<Text> texts;
    std::vector<Field> fields;
    std::vector<Picture> pictures;
    QString header;
    QString footer;
};

// The size of a sheet.
constexpr int kMaxSheetRows = 1048576;
constexpr int kMaxSheetColumns = 16384; // up to XFD

// "B3" or "B3:D3"; false for anything else (rows up to 1048576, columns up to XFD).
bool parseCellRange(const QString& text, CellRange& range);
// "A", "Z", "AA", ... of a column from 0.
QString columnLetters(int col);

// Reads a template. False, with the reason in `error`, for a file that is not
// a template of this program (an old binary workbook, say) or holds a line it
// does not understand.
bool parseReportTemplate(const QByteArray& bytes, ReportTemplate& tpl, QString* error);
bool loadReportTemplate(const QString& path, ReportTemplate& tpl, QString* error);
// The bounds the reader keeps, for a template that did not come through it:
// empty when `tpl` keeps them, else what it breaks.
QString reportTemplateFault(const ReportTemplate& tpl);

// Writes one sheet per element of `sheets` laid out by `tpl` (refused, with
// nothing written, when `tpl` breaks the bounds the reader keeps), through a
// temporary file renamed over `outPath` at the end: a failure leaves no
// file, or the old one whole, and gives the reason in `error`.
bool writeReportWorkbook(const ReportTemplate& tpl, const QString& outPath,
                         const std::vector<ReportSheet>& sheets, QString* error);

// A workbook of one sheet holding `rows` from A1 on; a cell whose text is a
// whole number is stored as a number, as typing it would store it.
bool writeTableWorkbook(const QString& outPath, const QString& sheetName,
                        const std::vector<QStringList>& rows, QString* error);

} // namespace bc
