#include "platform/report_workbook.h"
#include "support/file_bytes.h"
#include "support/xlsx_reader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace bc {
namespace {

using test::xlsxPart;

// A picture as the spreadsheet places it, in pixels from the sheet's left edge.
struct Placed {
    double left = 0, width = 0, height = 0;
    int row = 0;
};

// Writes a sheet of each of `sheets` (every one with pictures) and returns
// where each sheet's drawing put its pictures; `columnPixels` is the width of
// every column of the template.
std::vector<std::vector<Placed>> placeOnSheets(const QTemporaryDir& dir, const ReportTemplate& tpl,
                                               const std::vector<std::vector<ReportCell>>& sheets,
                                               int columnPixels)
{
    const QString out = dir.filePath("placed.xlsx");
    std::vector<ReportSheet> written;
    for (size_t i = 0; i < sheets.size(); ++i)
        written.push_back({QString::number(i + 1), sheets[i]});
    QString error;
    EXPECT_TRUE(writeReportWorkbook(tpl, out, written, &error)) << error.toStdString();
    static const QRegularExpression anchor(QStringLiteral(
        "<xdr:from><xdr:col>(\\d+)</xdr:col><xdr:colOff>(\\d+)</xdr:colOff><xdr:row>(\\d+)</xdr:row>"
        ".*?<a:ext cx=\"(\\d+)\" cy=\"(\\d+)\""));
    std::vector<std::vector<Placed>> placed(sheets.size());
    for (size_t i = 0; i < sheets.size(); ++i) {
        const QString drawing = QString::fromUtf8(
            xlsxPart(out, QStringLiteral("xl/drawings/drawing%1.xml").arg(i + 1)));
        for (auto it = anchor.globalMatch(drawing); it.hasNext();) {
            const auto m = it.next();
            constexpr double kEmu = 9525; // a pixel
            placed[i].push_back(
                {m.captured(1).toInt() * columnPixels + m.captured(2).toDouble() / kEmu,
                 m.captured(4).toDouble() / kEmu, m.captured(5).toDouble() / kEmu,
                 m.captured(3).toInt()});
        }
    }
    return placed;
}

std::vector<Placed> placeOnSheet(const QTemporaryDir& dir, const ReportTemplate& tpl,
                                 const std::vector<ReportCell>& cells, int columnPixels)
{
    return placeOnSheets(dir, tpl, {cells}, columnPixels).front();
}

// A white picture of `size`, in the format its name says.
QString writePicture(const QTemporaryDir& dir, const QString& name, QSize size)
{
    QImage image(size, QImage::Format_RGB888);
    image.fill(Qt::white);
    const QString path = dir.filePath(name);
    return image.save(path) ? path : QString();
}

TEST(ReportTemplate, ForeignFilesAreRefused)
{
    const struct {
        QByteArray bytes;
        const char* why;
    } refused[] = {
        {QByteArray::fromHex("d0cf11e0a1b11ae1000000000000"), "old binary workbook"},
        {"PK\x03\x04", "zip without the first line"},
        {"report-template 2\n", "newer version"},
        {"report-template 1\nfield 孔号 B3:A3\n", "range backwards"},
        {"report-template 1\nfield 孔号 ZZZZ1\n", "column past XFD"},
        {"report-template 1\ntext A1 \"open\n", "unterminated quote"},
        {"report-template 1\npicture 展开图 A1 1e9 10\n", "box beyond bounds"},
        {"report-template 1\nrow 0 12\n", "row 0"},
        {"report-template 1\ncolour A1 red\n", "unknown keyword"},
        {"", "empty file"},
    };
    for (const auto& c : refused) {
        ReportTemplate tpl;
        QString error;
        EXPECT_FALSE(parseReportTemplate(c.bytes, tpl, &error)) << c.why;
        EXPECT_FALSE(error.isEmpty()) << c.why;
    }
}

// "B3" or "B3:D4" of a range.
QString rangeText(const CellRange& r)
{
    const QString first = columnLetters(r.firstCol) + QString::number(r.firstRow + 1);
    return r.isSingle() ? first
                        : first + ':' + columnLetters(r.lastCol) + QString::number(r.lastRow + 1);
}

// Header and footer pictures (the workbook library frees their text twice),
// merged ranges that cost memory by the cell, and picture, row and column
// lines far beyond a report page's (each costs time or memory in every sheet
// written), each line `lines` times (ranges of texts and fields one under
// the other): refused by the reader, and by the writer given such a template
// directly.
TEST(ReportTemplate, HostileHeadersAndRangesAreBounded)
{
    const struct {
        const char* kind; // text, field, header, footer, picture, row or column
        const char* arg;  // range, header text, or the words after the keyword
        int lines;
        bool accepted;
    } cases[] = {
        {"footer", "&G", 1, false},
        {"header", "&[Picture]", 1, false},
        {"header", "&L&g&R", 1, false},
        {"footer", "&C&[PICTURE]", 1, false},
        {"text", "A1:XFD1048576", 1, false},
        {"field", "A1:XFD1", 1, false}, // 16,384 cells
        {"text", "A1:CV101", 1, false},
        {"field", "A1:CV100", 3, false}, // 30,000 in all
        {"text", "A1:CV100", 2, true},
        {"footer", "&C第&P页,共&N页", 1, true},
        {"header", "&\"宋体,Bold\"&14&A", 1, true},
        {"picture", "A2", 101, false}, // a report page anchors one or two
        {"picture", "A2", 100, true},
        {"row", "5 24", 1001, false}, // a report page sets a few dozen
        {"row", "1048576 409", 1000, true},
        {"column", "9", 1001, false}, // each line a column of its own
        {"column", "9", 1000, true},
    };
    QTemporaryDir dir;
    std::vector<ReportSheet> sheets;
    for (const char* name : {"1", "2"})
        sheets.push_back({name, {{QStringLiteral("孔号"), QStringLiteral("ZK-01"), {}}}});
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + c.arg);
        const QString kind = QString::fromLatin1(c.kind), arg = QString::fromUtf8(c.arg);
        ReportTemplate tpl, direct;
        CellRange r;
        parseCellRange(arg, r);
        QString lines = QStringLiteral("report-template 1\n");
        for (int i = 0; i < c.lines; ++i) {
            CellRange below = r;
            below.firstRow += i * (r.lastRow - r.firstRow + 1);
            below.lastRow += i * (r.lastRow - r.firstRow + 1);
            if (kind == "text" || kind == "field") {
                lines += kind == "text" ? QStringLiteral("text %1 \"x\"\n").arg(rangeText(below))
                                        : QStringLiteral("field 孔号 %1\n").arg(rangeText(below));
                if (kind == "text")
                    direct.texts.push_back({below, QStringLiteral("x"), {}});
                else
                    direct.fields.push_back({QStringLiteral("孔号"), below, {}});
            } else if (kind == "picture") {
                lines += QStringLiteral("picture 展开图 %1 10 10\n").arg(arg);
                direct.pictures.push_back({QStringLiteral("展开图"), 1, 0, 10, 10, 0});
            } else if (kind == "row") {
                lines += kind + ' ' + arg + '\n';
                direct.rows.push_back({1048575, 409});
            } else if (kind == "column") {
                lines += QStringLiteral("column %1 %2\n").arg(columnLetters(i), arg);
                direct.columns.push_back({i, i, 9});
            } else {
                lines += QStringLiteral("%1 \"%2\"\n").arg(kind, QString(arg).replace("\"", "\\\""));
                (kind == "header" ? direct.header : direct.footer) = arg;
            }
        }
        QString error;
        EXPECT_EQ(parseReportTemplate(lines.toUtf8(), tpl, &error), c.accepted);
        EXPECT_EQ(error.contains(QStringLiteral("第%1行").arg(c.lines + 1)), !c.accepted)
            << error.toStdString();
        const QString out = dir.filePath(QStringLiteral("hostile%1.xlsx").arg(&c - cases));
        error.clear();
        EXPECT_EQ(writeReportWorkbook(direct, out, sheets, &error), c.accepted)
            << error.toStdString();
        EXPECT_EQ(QFile::exists(out), c.accepted);
        EXPECT_EQ(error.isEmpty(), c.accepted);
    }
}

// No cell belongs to two texts or fields: a range that overlaps an earlier
// one is refused with both lines (comments and blank lines counted), by the
// reader and by the writer; ranges that only touch are fine.
TEST(ReportTemplate, OverlappingRangesAreRefusedWithTheirLines)
{
    const struct {
        const char* what;
        const char* first;  // a text or field line
        const char* second; // the line after it
        bool accepted;
    } cases[] = {
        {"corner", "text A1:C3 \"x\"", "text B2:D4 \"y\"", false},
        {"text range then field range", "text A1:C3 \"x\"", "field 孔号 B2:D4", false},
        {"field range then text range", "field 孔号 F3:H3", "text E3:F3 \"孔号\"", false},
        {"contained", "text A1:D4 \"x\"", "field 孔号 B2:C3", false},
        {"containing", "field 孔号 B2:C3", "text A1:D4 \"x\"", false},
        {"identical", "field 孔号 A1:C3", "field 测试人 A1:C3", false},
        {"one cell in a range", "text A1:C3 \"x\"", "field 孔号 C3", false},
        {"the same cell", "text A2 \"x\"", "field 孔号 A2", false},
        {"touching at the right", "text A1:C3 \"x\"", "field 孔号 D1:F3", true},
        {"touching below", "text A1:C3 \"x\"", "field 孔号 A4:C6", true},
        {"touching at a corner", "text A1:C3 \"x\"", "field 孔号 D4:F6", true},
        {"next cells", "text A2 \"x\"", "field 孔号 B2", true},
        {"a column range over a column", "column B 7", "column A:C 5", false},
        {"crossing column ranges", "column A:C 5", "column C:D 7", false},
        {"the same column line twice", "column B 7", "column B 7", false},
        {"column ranges side by side", "column A:B 5", "column C:D 7", true},
    };
    QTemporaryDir dir;
    const std::vector<ReportSheet> sheets{
        {QStringLiteral("1"), {{QStringLiteral("孔号"), QStringLiteral("ZK-01"), {}}}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ReportTemplate tpl;
        QString error;
        const QByteArray text = QByteArray("report-template 1\n# layout\n") + c.first + "\n\n" +
                                c.second + "\n";
        EXPECT_EQ(parseReportTemplate(text, tpl, &error), c.accepted);
        if (!c.accepted) {
            EXPECT_TRUE(error.startsWith(QStringLiteral("第5行: ")) &&
                        error.contains(QStringLiteral("第3行")))
                << error.toStdString();
            // The same lines given to the writer directly.
            ASSERT_TRUE(parseReportTemplate(QByteArray("report-template 1\n") + c.first, tpl, nullptr));
            ReportTemplate second;
            ASSERT_TRUE(parseReportTemplate(QByteArray("report-template 1\n") + c.second, second, nullptr));
            tpl.texts.insert(tpl.texts.end(), second.texts.begin(), second.texts.end());
            tpl.fields.insert(tpl.fields.end(), second.fields.begin(), second.fields.end());
            tpl.columns.insert(tpl.columns.end(), second.columns.begin(), second.columns.end());
        }
        const QString out = dir.filePath(QStringLiteral("overlap%1.xlsx").arg(&c - cases));
        error.clear();
        EXPECT_EQ(writeReportWorkbook(tpl, out, sheets, &error), c.accepted) << error.toStdString();
        EXPECT_EQ(QFile::exists(out), c.accepted);
        EXPECT_EQ(error.contains(QStringLiteral("重叠")), !c.accepted) << error.toStdString();
    }
}

// What is printed: a print area and one page of the paper, scaled to fit.
TEST(ReportTemplate, PrintAreaAndFitToPage)
{
    const struct {
        const char* lines;
        bool accepted;
        const char* area; // the print area written, when there is one
        bool fit;
    } cases[] = {
        {"print-area A1:H60\nfit-to-page", true, "$A$1:$H$60", true},
        {"print-area B2", true, "$B$2:$B$2", false},
        {"print-area A1:AB60", true, "$A$1:$AB$60", false}, // beyond column Z
        {"print-area A1:P700\nfit-to-page", true, "$A$1:$P$700", true},
        {"fit-to-page", true, nullptr, true},
        {"", true, nullptr, false},
        {"print-area H60:A1", false, nullptr, false},
        {"print-area A1:H60 B2", false, nullptr, false},
        {"print-area", false, nullptr, false},
        {"fit-to-page 2", false, nullptr, false},
    };
    QTemporaryDir dir;
    const std::vector<ReportSheet> sheets{{QStringLiteral("1(0.00-0.90)"), {}}, {QStringLiteral("2"), {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines);
        ReportTemplate tpl;
        const QByteArray text = QByteArray("report-template 1\ntext A1 \"x\"\n") + c.lines;
        ASSERT_EQ(parseReportTemplate(text, tpl, nullptr), c.accepted);
        if (!c.accepted)
            continue;
        const QString out = dir.filePath(QStringLiteral("print%1.xlsx").arg(&c - cases));
        QString error;
        ASSERT_TRUE(writeReportWorkbook(tpl, out, sheets, &error)) << error.toStdString();
        const QString book = QString::fromUtf8(xlsxPart(out, "xl/workbook.xml"));
        for (int i = 0; i < 2; ++i) {
            const QString area =
                c.area ? QStringLiteral("<definedName name=\"_xlnm.Print_Area\" "
                                        "localSheetId=\"%1\">'%2'!%3</definedName>")
                             .arg(i)
                             .arg(sheets[size_t(i)].name, QString::fromLatin1(c.area))
                       : QStringLiteral("Print_Area");
            EXPECT_EQ(book.contains(area), c.area != nullptr) << book.toStdString();
            const QString sheet =
                QString::fromUtf8(xlsxPart(out, QStringLiteral("xl/worksheets/sheet%1.xml").arg(i + 1)));
            EXPECT_EQ(sheet.contains(QStringLiteral("<pageSetUpPr fitToPage=\"1\"/>")), c.fit);
        }
    }
}

TEST(ReportWorkbook, SheetsCarryMergesFooterAndFittedPictures)
{
    QTemporaryDir dir;
    // A tall picture (fitted by its height) and a wide one (by its width).
    QImage tall(100, 400, QImage::Format_RGB888), wide(400, 100, QImage::Format_RGB888);
    tall.fill(Qt::red);
    wide.fill(Qt::blue);
    const QString tallPath = dir.filePath("tall.jpg"), widePath = dir.filePath("wide.bmp");
    ASSERT_TRUE(tall.save(tallPath, "JPG") && wide.save(widePath, "BMP"));

    ReportTemplate tpl;
    // The title spans A-H, room enough for both boxes and their gap.
    ASSERT_TRUE(parseReportTemplate("report-template 1\ntext A1:H1 \"标题\" bold center\n"
                                    "field 孔号 B2:D2 border\n"
                                    "picture 展开图 A4 200 200 gap 10\nfooter \"&C第&P页\"\n",
                                    tpl, nullptr));
    std::vector<ReportSheet> sheets(1);
    sheets[0].name = QStringLiteral("1(0.00-0.90)");
    sheets[0].cells = {{QStringLiteral("孔号"), QStringLiteral("ZK-01"), {}},
                       {QStringLiteral("展开图"), {}, {tallPath, widePath}, 100, 400}};
    const QString out = dir.filePath("report.xlsx");
    QString error;
    ASSERT_TRUE(writeReportWorkbook(tpl, out, sheets, &error)) << error.toStdString();
    const QString sheet = QString::fromUtf8(xlsxPart(out, "xl/worksheets/sheet1.xml"));
    for (const char* part : {"<mergeCell ref=\"A1:H1\"/>", "<mergeCell ref=\"B2:D2\"/>",
                             "<oddFooter>&amp;C第&amp;P页</oddFooter>"})
        EXPECT_TRUE(sheet.contains(QString::fromUtf8(part))) << part;

    // Both pictures anchored at row 4 (index 3), the second one box + gap
    // (210 pixels) to the right; each fitted in 200 x 200 keeping its aspect:
    // 50 x 200 and 200 x 50 pixels, of 9525 EMU each.
    const QString drawing = QString::fromUtf8(xlsxPart(out, "xl/drawings/drawing1.xml"));
    EXPECT_EQ(drawing.count("<xdr:pic>"), 2);
    EXPECT_TRUE(drawing.contains("<xdr:row>3</xdr:row>"));
    EXPECT_TRUE(drawing.contains("<a:off x=\"2000250\""));
    EXPECT_TRUE(drawing.contains("cx=\"476250\" cy=\"1905000\""));
    EXPECT_TRUE(drawing.contains("cx=\"1905000\" cy=\"476250\""));

    // A picture that is not there fails the whole workbook, which keeps the
    // earlier file as it was.
    sheets[0].cells[1].pictures << dir.filePath("gone.jpg");
    const QByteArray before = test::fileBytes(out);
    EXPECT_FALSE(writeReportWorkbook(tpl, out, sheets, &error));
    EXPECT_TRUE(error.contains("gone.jpg"));
    EXPECT_EQ(test::fileBytes(out), before);
    EXPECT_EQ(QDir(dir.path()).entryList({"*.xlsx"}, QDir::Files | QDir::Hidden).size(), 1);
}

// Pictures stay inside their own columns, and the pictures of one row share
// one scale. The attitude report: a page picture of 860 x 1866 in A-D and a
// notes picture of 1140 x 1866 in E-H, 82 pixels a column. The image report:
// 1 to 10 pages side by side in A-P, 68 pixels a column, the last one shorter.
TEST(ReportWorkbook, PicturesStayInTheirColumnsAtOneScaleARow)
{
    QTemporaryDir dir;
    const QString page = writePicture(dir, "page.jpg", {860, 1866});
    const QString shortPage = writePicture(dir, "short.jpg", {860, 700});
    const auto place = [&](const char* name, const std::vector<ReportCell>& cells, int column) {
        ReportTemplate tpl;
        QString error;
        EXPECT_TRUE(loadReportTemplate(QCoreApplication::applicationDirPath() + "/template/" + name,
                                       tpl, &error))
            << error.toStdString();
        return placeOnSheet(dir, tpl, cells, column);
    };

    const auto a = place(
        "template1.rpt",
        {{QStringLiteral("展开图"), {}, {page}, 860, 1866},
         {QStringLiteral("岩心描述"), {}, {writePicture(dir, "n.jpg", {1140, 1866})}, 1140, 1866}},
        82);
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[0].row, a[1].row);
    EXPECT_NEAR(a[0].height, a[1].height, 1.0);
    EXPECT_NEAR(a[0].width / a[1].width, 860.0 / 1140.0, 0.01);
    EXPECT_LE(a[0].left + a[0].width, 4 * 82);
    EXPECT_GE(a[1].left, 4 * 82);
    EXPECT_LE(a[1].left + a[1].width, 8 * 82);

    for (int count = 1; count <= 10; ++count) {
        SCOPED_TRACE(count);
        QStringList files;
        for (int i = 0; i < count; ++i)
            files << (i > 0 && i == count - 1 ? shortPage : page);
        const auto p =
            place("template2.rpt", {{QStringLiteral("展开图"), {}, files, 860, 1866}}, 68);
        ASSERT_EQ(p.size(), size_t(count));
        EXPECT_LE(p.back().left + p.back().width, 16 * 68);
        for (int i = 1; i < count; ++i) {
            EXPECT_NEAR(p[i].width, p[0].width, 1.0) << i;
            EXPECT_GT(p[i].left, p[i - 1].left + p[i - 1].width) << i;
        }
        EXPECT_NEAR(p.back().height / p[0].height, count > 1 ? 700.0 / 1866.0 : 1.0, 0.01);
    }
}

// A report's pictures are as wide on every sheet, and stay in their columns
// on the sheet that holds the most: a last sheet of fewer pages does not
// widen them (pages wide enough for the width to decide the scale: 10 of
// them need narrowed boxes in A-P, 3 would not).
TEST(ReportWorkbook, OneScaleOnEverySheetEvenWhenTheLastHoldsFewer)
{
    QTemporaryDir dir;
    const QString page = writePicture(dir, "wide.jpg", {860, 400});
    ReportTemplate tpl;
    QString error;
    ASSERT_TRUE(loadReportTemplate(
        QCoreApplication::applicationDirPath() + "/template/template2.rpt", tpl, &error))
        << error.toStdString();
    const auto sheetOf = [&](int pages) {
        QStringList files;
        for (int i = 0; i < pages; ++i)
            files << page;
        return std::vector<ReportCell>{{QStringLiteral("展开图"), {}, files, 860, 400}};
    };
    const std::vector<int> counts[] = {{10, 3}, {3, 10}, {10, 10, 1}};
    for (const auto& pages : counts) {
        SCOPED_TRACE(testing::PrintToString(pages));
        std::vector<std::vector<ReportCell>> sheets;
        for (int n : pages)
            sheets.push_back(sheetOf(n));
        const auto placed = placeOnSheets(dir, tpl, sheets, 68);
        ASSERT_EQ(placed.size(), pages.size());
        ASSERT_FALSE(placed.front().empty());
        const double width = placed.front().front().width;
        for (size_t s = 0; s < placed.size(); ++s) {
            SCOPED_TRACE(s);
            ASSERT_EQ(placed[s].size(), size_t(pages[s]));
            for (const Placed& p : placed[s]) {
                EXPECT_NEAR(p.width, width, 1.0);
                EXPECT_LE(p.left + p.width, 16 * 68);
            }
        }
    }
}

// A picture fits its template box keeping its aspect; a smaller one keeps its size.
TEST(ReportWorkbook, PicturesFitTheirBoxKeepTheirAspectAndAreNeverEnlarged)
{
    // picture, box, shown
    const std::tuple<QSize, QSize, QSize> cases[] = {
        {{50, 20}, {200, 200}, {50, 20}},    {{200, 200}, {200, 200}, {200, 200}},
        {{400, 100}, {200, 200}, {200, 50}}, {{90, 300}, {400, 100}, {30, 100}},
        {{300, 150}, {100, 100}, {100, 50}}, {{150, 60}, {300, 40}, {100, 40}},
    };
    QTemporaryDir dir;
    for (const auto& [picture, box, shown] : cases) {
        SCOPED_TRACE(testing::PrintToString(
            std::tuple(picture.width(), picture.height(), box.width(), box.height())));
        ReportTemplate tpl;
        ASSERT_TRUE(
            parseReportTemplate(QStringLiteral("report-template 1\npicture 展开图 B2 %1 %2\n")
                                    .arg(box.width())
                                    .arg(box.height())
                                    .toUtf8(),
                                tpl, nullptr));
        const auto p = placeOnSheet(
            dir, tpl, {{QStringLiteral("展开图"), {}, {writePicture(dir, "p.bmp", picture)}}}, 64);
        ASSERT_EQ(p.size(), 1u);
        EXPECT_EQ(QSize(int(p[0].width), int(p[0].height)), shown);
    }
}

TEST(ReportWorkbook, TableStoresWholeNumbersAsNumbers)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("t.xlsx");
    ASSERT_TRUE(writeTableWorkbook(out, "Sheet1", {{"12", "1.20-1.30"}}, nullptr));
    const QString sheet = QString::fromUtf8(xlsxPart(out, "xl/worksheets/sheet1.xml"));
    EXPECT_TRUE(sheet.contains("<c r=\"A1\"><v>12</v></c>"));
    EXPECT_TRUE(sheet.contains("<c r=\"B1\" t=\"s\">"));
    EXPECT_FALSE(writeTableWorkbook("/proc/none/t.xlsx", "Sheet1", {}, nullptr));
}

} // namespace
} // namespace bc
