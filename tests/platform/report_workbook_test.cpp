#include "platform/report_workbook.h"
#include "support/file_bytes.h"
#include "support/xlsx_reader.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace bc {
namespace {

using test::xlsxPart;

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

// Templates made to hurt the workbook library: header and footer pictures
// (the library frees their text twice) and merged ranges that cost memory by
// the cell. Each is read, and written as a template built directly, so the
// writer's own check is run through the library too.
TEST(ReportTemplate, HostileHeadersAndRangesAreBounded)
{
    const struct {
        const char* kind; // text, field, header or footer
        const char* arg;  // range or header text
        int lines;        // the line repeated this often
        bool accepted;
    } cases[] = {
        {"footer", "&G", 1, false},
        {"header", "&[Picture]", 1, false},
        {"header", "&L&g&R", 1, false},
        {"footer", "&C&[PICTURE]", 1, false},
        {"text", "A1:XFD1048576", 1, false},
        {"field", "A1:XFD1", 1, false},  // 16,384 cells
        {"text", "A1:CV101", 1, false},  // 10,100 cells
        {"field", "A1:CV100", 3, false}, // 30,000 in all
        {"text", "A1:CV100", 2, true},   // 10,000 each, 20,000 in all
        {"footer", "&C第&P页,共&N页", 1, true},
        {"header", "&\"宋体,Bold\"&14&A", 1, true},
    };
    QTemporaryDir dir;
    std::vector<ReportSheet> sheets(2);
    for (int i = 0; i < 2; ++i) {
        sheets[size_t(i)].name = QString::number(i + 1);
        sheets[size_t(i)].cells = {{QStringLiteral("孔号"), QStringLiteral("ZK-01"), {}}};
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + c.arg);
        const QString kind = QString::fromLatin1(c.kind);
        const QString arg = QString::fromUtf8(c.arg);
        const bool ranged = kind == "text" || kind == "field";
        const QString line =
            kind == "text" ? QStringLiteral("text %1 \"x\"").arg(arg)
            : kind == "field"
                ? QStringLiteral("field 孔号 %1").arg(arg)
                : QStringLiteral("%1 \"%2\"").arg(kind, QString(arg).replace("\"", "\\\""));
        ReportTemplate direct;
        QString text = QStringLiteral("report-template 1\n");
        for (int i = 0; i < c.lines; ++i) {
            text += line + '\n';
            CellRange r;
            if (ranged) {
                ASSERT_TRUE(parseCellRange(arg, r));
            }
            if (kind == "text")
                direct.texts.push_back({r, QStringLiteral("x"), {}});
            else if (kind == "field")
                direct.fields.push_back({QStringLiteral("孔号"), r, {}});
            else
                (kind == "header" ? direct.header : direct.footer) = arg;
        }
        ReportTemplate tpl;
        QString error;
        EXPECT_EQ(parseReportTemplate(text.toUtf8(), tpl, &error), c.accepted);
        EXPECT_EQ(error.contains(QStringLiteral("第%1行").arg(c.lines + 1)), !c.accepted)
            << error.toStdString();

        const QString out = dir.filePath("hostile.xlsx");
        QFile::remove(out);
        error.clear();
        EXPECT_EQ(writeReportWorkbook(direct, out, sheets, &error), c.accepted)
            << error.toStdString();
        EXPECT_EQ(QFile::exists(out), c.accepted);
        EXPECT_EQ(error.isEmpty(), c.accepted);
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
    ASSERT_TRUE(parseReportTemplate("report-template 1\ntext A1:C1 \"标题\" bold center\n"
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
    for (const char* part : {"<mergeCell ref=\"A1:C1\"/>", "<mergeCell ref=\"B2:D2\"/>",
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

// A picture is fitted into its template box keeping its aspect, and one
// smaller than its box keeps its own size.
TEST(ReportWorkbook, PicturesFitTheirBoxKeepTheirAspectAndAreNeverEnlarged)
{
    const struct {
        int width, height; // the picture
        int boxWidth, boxHeight;
        int shownWidth, shownHeight;
    } cases[] = {
        {50, 20, 200, 200, 50, 20},                                    // smaller: as it is
        {200, 200, 200, 200, 200, 200}, {400, 100, 200, 200, 200, 50}, // by its width
        {90, 300, 400, 100, 30, 100},                                  // by its height
        {300, 150, 100, 100, 100, 50},  {150, 60, 300, 40, 100, 40},   // larger only in height
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(
            testing::PrintToString(std::tuple(c.width, c.height, c.boxWidth, c.boxHeight)));
        QImage picture(c.width, c.height, QImage::Format_RGB888);
        picture.fill(Qt::green);
        const QString path = dir.filePath("p.bmp"), out = dir.filePath("fit.xlsx");
        ASSERT_TRUE(picture.save(path, "BMP"));
        ReportTemplate tpl;
        ASSERT_TRUE(
            parseReportTemplate(QStringLiteral("report-template 1\npicture 展开图 B2 %1 %2\n")
                                    .arg(c.boxWidth)
                                    .arg(c.boxHeight)
                                    .toUtf8(),
                                tpl, nullptr));
        std::vector<ReportSheet> sheets(1);
        sheets[0].name = QStringLiteral("1");
        sheets[0].cells = {{QStringLiteral("展开图"), {}, {path}}};
        QString error;
        ASSERT_TRUE(writeReportWorkbook(tpl, out, sheets, &error)) << error.toStdString();
        // 9525 EMU a pixel.
        const QString extent = QStringLiteral("cx=\"%1\" cy=\"%2\"")
                                   .arg(c.shownWidth * 9525)
                                   .arg(c.shownHeight * 9525);
        EXPECT_TRUE(QString::fromUtf8(xlsxPart(out, "xl/drawings/drawing1.xml")).contains(extent))
            << extent.toStdString();
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
