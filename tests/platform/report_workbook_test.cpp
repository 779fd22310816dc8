#include "platform/report_workbook.h"
#include "support/xlsx_reader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace bc {
namespace {

using test::xlsxPart;
using test::xlsxParts;

QString templateFolder()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/template");
}

TEST(ReportTemplate, ShippedTemplatesReadAndForeignFilesAreRefused)
{
    for (const char* name : {"template1.rpt", "template2.rpt"}) {
        ReportTemplate tpl;
        QString error;
        EXPECT_TRUE(loadReportTemplate(templateFolder() + QLatin1Char('/') + QLatin1String(name), tpl, &error))
            << name << ": " << error.toStdString();
        EXPECT_FALSE(tpl.fields.empty());
        EXPECT_FALSE(tpl.pictures.empty());
    }
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

TEST(ReportWorkbook, SheetsCarryTextsMergesFooterAndFittedPictures)
{
    QTemporaryDir dir;
    // A tall picture (fitted by its height) and a wide one (by its width).
    QImage tall(100, 400, QImage::Format_RGB888), wide(400, 100, QImage::Format_RGB888);
    tall.fill(Qt::red);
    wide.fill(Qt::blue);
    const QString tallPath = dir.filePath(QStringLiteral("tall.jpg"));
    const QString widePath = dir.filePath(QStringLiteral("wide.bmp"));
    ASSERT_TRUE(tall.save(tallPath, "JPG") && wide.save(widePath, "BMP"));

    ReportTemplate tpl;
    ASSERT_TRUE(parseReportTemplate("report-template 1\ntext A1:C1 \"标题\" bold center\n"
                                    "field 孔号 B2:D2 border\nfield 页码 E9\n"
                                    "picture 展开图 A4 200 200 gap 10\nfooter \"&C第&P页\"\n",
                                    tpl, nullptr));
    std::vector<ReportSheet> sheets(2);
    sheets[0].name = QStringLiteral("1(0.00-0.90)");
    sheets[0].cells = {{QStringLiteral("孔号"), QStringLiteral("ZK-01"), {}},
                       {QStringLiteral("页码"), QStringLiteral("第1页/共2页"), {}},
                       {QStringLiteral("展开图"), {}, {tallPath, widePath}, 100, 400}};
    sheets[1].name = QStringLiteral("2(1.00-1.90)");
    sheets[1].cells = {{QStringLiteral("孔号"), QStringLiteral("ZK-01"), {}}};
    const QString out = dir.filePath(QStringLiteral("report.xlsx"));
    QString error;
    ASSERT_TRUE(writeReportWorkbook(tpl, out, sheets, &error)) << error.toStdString();

    const QString workbook = QString::fromUtf8(xlsxPart(out, QStringLiteral("xl/workbook.xml")));
    EXPECT_TRUE(workbook.contains(QStringLiteral("name=\"1(0.00-0.90)\"")));
    EXPECT_TRUE(workbook.contains(QStringLiteral("name=\"2(1.00-1.90)\"")));
    const QString strings = QString::fromUtf8(xlsxPart(out, QStringLiteral("xl/sharedStrings.xml")));
    for (const char* s : {"标题", "ZK-01", "第1页/共2页"})
        EXPECT_TRUE(strings.contains(QString::fromUtf8(s))) << s;
    const QString sheet1 = QString::fromUtf8(xlsxPart(out, QStringLiteral("xl/worksheets/sheet1.xml")));
    EXPECT_TRUE(sheet1.contains(QStringLiteral("<mergeCell ref=\"A1:C1\"/>")));
    EXPECT_TRUE(sheet1.contains(QStringLiteral("<mergeCell ref=\"B2:D2\"/>")));
    EXPECT_TRUE(sheet1.contains(QStringLiteral("<oddFooter>&amp;C第&amp;P页</oddFooter>")));

    // Both pictures anchored at row 4 (index 3), the second one box + gap to
    // the right; each fitted in 200 x 200 keeping its aspect: 50 x 200 and 200 x 50.
    const QString drawing = QString::fromUtf8(xlsxPart(out, QStringLiteral("xl/drawings/drawing1.xml")));
    EXPECT_EQ(drawing.count(QStringLiteral("<xdr:pic>")), 2);
    EXPECT_TRUE(drawing.contains(QStringLiteral("<xdr:row>3</xdr:row>")));
    constexpr int kEmuPerPixel = 9525;
    EXPECT_TRUE(drawing.contains(QStringLiteral("cx=\"%1\" cy=\"%2\"").arg(50 * kEmuPerPixel).arg(200 * kEmuPerPixel)));
    EXPECT_TRUE(drawing.contains(QStringLiteral("cx=\"%1\" cy=\"%2\"").arg(200 * kEmuPerPixel).arg(50 * kEmuPerPixel)));
    const QStringList parts = xlsxParts(out);
    EXPECT_TRUE(parts.contains(QStringLiteral("xl/media/image1.jpeg")));
    EXPECT_TRUE(parts.contains(QStringLiteral("xl/media/image2.bmp")));

    // A picture that is not there fails the whole workbook, which keeps the
    // earlier file as it was.
    sheets[1].cells.push_back({QStringLiteral("展开图"), {}, {dir.filePath(QStringLiteral("gone.jpg"))}, 1, 1});
    const QByteArray before = [&] { QFile f(out); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    EXPECT_FALSE(writeReportWorkbook(tpl, out, sheets, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("gone.jpg")));
    QFile again(out);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), before);
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*.xlsx")}, QDir::Files | QDir::Hidden).size(), 1);
}

TEST(ReportWorkbook, TableStoresWholeNumbersAsNumbers)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("t.xlsx"));
    ASSERT_TRUE(writeTableWorkbook(out, QStringLiteral("Sheet1"),
                                   {{QStringLiteral("12"), QStringLiteral("1.20-1.30")}}, nullptr));
    const QString sheet = QString::fromUtf8(xlsxPart(out, QStringLiteral("xl/worksheets/sheet1.xml")));
    EXPECT_TRUE(sheet.contains(QStringLiteral("<c r=\"A1\"><v>12</v></c>")));
    EXPECT_TRUE(sheet.contains(QStringLiteral("<c r=\"B1\" t=\"s\">")));
    EXPECT_FALSE(writeTableWorkbook(QStringLiteral("/proc/none/t.xlsx"), QStringLiteral("Sheet1"), {}, nullptr));
}

} // namespace
} // namespace bc
