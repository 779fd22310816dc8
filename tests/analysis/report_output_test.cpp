// Reports and the attitude table written through the strip view's commands,
// read back from the workbooks.

#include "analysis/excel_export.h"
#include "analysis/report_output.h"
#include "analysis/report_output_dlg.h"
#include "analysis/unwrap_data.h"
#include "analysis/unwrap_view.h"
#include "core/program_values.h"
#include "platform/file_opener.h"
#include "platform/work_folder.h"
#include "support/modal_watchdog.h"
#include "support/scripted_prompter.h"
#include "support/survey_fixtures.h"
#include "support/xlsx_reader.h"
#include "report_survey.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace bc;
using namespace bc::test;

namespace {

QString workbookText(const QString& path)
{
    return QString::fromUtf8(xlsxPart(path, QStringLiteral("xl/workbook.xml")) +
                             xlsxPart(path, QStringLiteral("xl/sharedStrings.xml")));
}

// A picture as a sheet of the workbook shows it.
struct ShownPicture {
    int sheet = 0;      // from 1
    QSize pixels;       // of the picture file the workbook holds
    double width = 0;   // shown, in pixels
    double height = 0;
    int lastCol = 0;    // the cell its bottom-right corner lies in, 0-based
    int lastRow = 0;
};

int columnIndex(const QString& letters)
{
    int col = 0;
    for (QChar c : letters)
        col = col * 26 + (c.unicode() - 'A' + 1);
    return col - 1;
}

// Every picture of every sheet, found through the sheets' drawings and
// their relations to the pictures stored in the workbook.
std::vector<ShownPicture> shownPictures(const QString& path)
{
    static const QRegularExpression target(QStringLiteral("Id=\"(rId\\d+)\"[^>]*Target=\"\\.\\./([^\"]+)\""));
    static const QRegularExpression anchor(QStringLiteral(
        "<xdr:to><xdr:col>(\\d+)</xdr:col><xdr:colOff>(\\d+)</xdr:colOff><xdr:row>(\\d+)</xdr:row>"
        "<xdr:rowOff>(\\d+)</xdr:rowOff>.*?r:embed=\"(rId\\d+)\""
        ".*?<a:ext cx=\"(\\d+)\" cy=\"(\\d+)\""));
    auto targets = [](const QByteArray& rels) {
        std::map<QString, QString> byId;
        for (auto it = target.globalMatch(QString::fromUtf8(rels)); it.hasNext();) {
            const auto m = it.next();
            byId[m.captured(1)] = QStringLiteral("xl/") + m.captured(2);
        }
        return byId;
    };
    std::vector<ShownPicture> shown;
    const QStringList parts = xlsxParts(path);
    for (int sheet = 1; parts.contains(QStringLiteral("xl/worksheets/sheet%1.xml").arg(sheet)); ++sheet) {
        const auto sheetRels =
            targets(xlsxPart(path, QStringLiteral("xl/worksheets/_rels/sheet%1.xml.rels").arg(sheet)));
        for (const auto& [id, drawing] : sheetRels) {
            const QString name = QFileInfo(drawing).fileName();
            const auto media = targets(xlsxPart(path, QStringLiteral("xl/drawings/_rels/%1.rels").arg(name)));
            const QString xml = QString::fromUtf8(xlsxPart(path, drawing));
            for (auto it = anchor.globalMatch(xml); it.hasNext();) {
                const auto m = it.next();
                constexpr double kEmu = 9525; // a pixel
                ShownPicture p;
                p.sheet = sheet;
                p.pixels = QImage::fromData(xlsxPart(path, media.at(m.captured(5)))).size();
                p.width = m.captured(6).toDouble() / kEmu;
                p.height = m.captured(7).toDouble() / kEmu;
                // A corner on a cell's top or left edge ends in the cell before.
                p.lastCol = m.captured(1).toInt() - (m.captured(2).toInt() == 0 ? 1 : 0);
                p.lastRow = m.captured(3).toInt() - (m.captured(4).toInt() == 0 ? 1 : 0);
                shown.push_back(p);
            }
        }
    }
    return shown;
}

} // namespace

TEST(Report, AttitudeAndImageReportsOfSeveralPages)
{
    for (int format : {0, 1}) {
        SCOPED_TRACE(format);
        CaptureFormatScope capture(format);
        Survey s;
        CUnWrapView& view = *s.st.view;
        ASSERT_EQ(view.GetPageCount(), 3) << s.prompter.boxTexts().join('|').toStdString();
        view.GoToPage(1);
        // An unsaved turn of a strip of the current page.
        CUnWrapData& data = *view.GetData();
        data.OnItemKey(12, Qt::Key_Right, true);
        auto pixels = [&] {
            return QByteArray(reinterpret_cast<const char*>(data.GetItem(12)->pixels()),
                              kWidth * 3 * kRows);
        };
        const QByteArray turned = pixels();

        s.prompter.boxAnswers.push_back(IDYES);
        s.report(Dlg::IDC_ALL_PAGES, Dlg::IDC_ATTITUDE_TYPE, {}, "4",
                 s.st.dir.filePath(QStringLiteral("report.xls")));
        ASSERT_EQ(s.opened, QStringList{s.out()}) << s.prompter.boxTexts().join('|').toStdString();
        const QString text = workbookText(s.out());
        for (const char* name : {"1(1.00-1.90)", "2(2.00-2.90)", "3(3.00-3.40)", "第2页/共3页"})
            EXPECT_TRUE(text.contains(QString::fromUtf8(name))) << name;
        const char* ext = format == 0 ? "jpeg" : "bmp";
        EXPECT_TRUE(xlsxParts(s.out()).contains(QStringLiteral("xl/media/image1.") + ext));
        const QString folder = QDir(workspaceTempFolder()).filePath(QStringLiteral("拼接图"));
        EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/2.00-2.90-Note.") +
                                      (format ? "bmp" : "jpg")));

        // The current page came through the report as it was; other pages
        // are dropped again.
        EXPECT_EQ(view.currentPage(), 1);
        ASSERT_TRUE(data.GetItem(12)->hasPixels());
        EXPECT_EQ(pixels(), turned);
        EXPECT_FALSE(data.GetItem(25 - 1)->hasPixels());
        // A page too narrow for the notes' formula still gets the labels' least width.
        PageViewState narrow = view.pageState();
        narrow.pageWidth = 40;
        EXPECT_EQ(RenderNotesPicture(data, narrow).width(), kMinShapeLabelWidth);

        // Three pages two by two: sheets "1" and "2" of two and one pictures.
        s.prompter.boxAnswers.push_back(IDNO);
        s.report(Dlg::IDC_PAGE_RANGE, Dlg::IDC_IMAGE_TYPE, QStringLiteral("1-3"), "2");
        const QString images = workbookText(s.out());
        EXPECT_TRUE(images.contains(QStringLiteral("name=\"2\"")));
        EXPECT_TRUE(images.contains(QStringLiteral("第2页/共2页")));
        EXPECT_EQ(QString::fromUtf8(xlsxPart(s.out(), QStringLiteral("xl/drawings/drawing1.xml")))
                      .count(QStringLiteral("<xdr:pic>")),
                  2);
        EXPECT_EQ(s.opened.size(), 1);
    }
}

TEST(Report, CurrentPageAndRefusals)
{
    Survey s;
    s.prompter.boxAnswers.push_back(IDNO);
    s.report(Dlg::IDC_CURRENT_PAGE, Dlg::IDC_ATTITUDE_TYPE, QStringLiteral("7-2"));
    EXPECT_TRUE(workbookText(s.out()).contains(QStringLiteral("1(1.00-1.90)")));
    EXPECT_TRUE(
        QFileInfo::exists(QDir(workspaceTempFolder()).filePath(QStringLiteral("print1.jpg"))));
    QFile::remove(s.out());

    QTemporaryDir other;
    const QString binary = other.filePath(QStringLiteral("old.xls"));
    ASSERT_TRUE(
        writeFileBytes(binary, QByteArray::fromHex("d0cf11e0a1b11ae1") + QByteArray(504, 0)));
    // page choice, range, template, the box's first words
    const std::tuple<int, const char*, QString, const char*> refused[] = {
        {Dlg::IDC_PAGE_RANGE, "7-2", {}, "页码范围错误!"},                   // backwards
        {Dlg::IDC_PAGE_RANGE, "2-4", {}, "页码范围错误!"},                   // past the end
        {Dlg::IDC_ALL_PAGES, "", other.filePath("none.rpt"), "模板文件"},    // missing template
        {Dlg::IDC_ALL_PAGES, "", binary, "输出报表失败\n无法读取模板文件"}}; // old binary workbook
    for (const auto& [pages, range, templatePath, box] : refused) {
        SCOPED_TRACE(box);
        s.prompter.boxes.clear();
        s.report(pages, Dlg::IDC_ATTITUDE_TYPE, range, "4", {}, templatePath);
        ASSERT_EQ(s.prompter.boxes.size(), 1u);
        EXPECT_TRUE(s.prompter.boxes[0].text.startsWith(QString::fromUtf8(box)))
            << s.prompter.boxes[0].text.toStdString();
        EXPECT_EQ(s.prompter.boxes[0].caption, QStringLiteral("出错"));
        EXPECT_FALSE(QFileInfo::exists(s.out()));
    }

    // Cancelling either dialog writes nothing.
    s.prompter.boxes.clear();
    s.st.view->OnReport(); // the save dialog cancelled
    s.prompter.fileAnswers.push_back(s.out());
    Dlg::setRunner([](Dlg&) { return false; });
    s.st.view->OnReport();
    EXPECT_TRUE(s.prompter.boxes.empty());
    EXPECT_FALSE(QFileInfo::exists(s.out()));
}

// "输出" as the command opens it: its paths readable from their start, with
// the whole path as the tip; a range the survey does not hold is told and the
// dialog stays open as the user left it, the focus in the range box; a
// corrected range then makes the report.
TEST(Report, RangeErrorKeepsTheDialogOpen)
{
    Survey s;
    s.prompter.fileAnswers.push_back(s.out());
    s.prompter.boxAnswers.push_back(IDNO); // not opened afterwards
    bool driven = false;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<Dlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        // However the driving ends, the dialog does not stay open.
        const test::ModalGuard guard(dlg);
        // Near the left edge: on a radio button's circle, inside any other.
        auto click = [](QWidget* w) {
            QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(std::min(8, w->width() / 2), w->height() / 2));
        };
        auto edit = [dlg](int id) { return static_cast<QLineEdit*>(dlg->control(id)); };
        auto* path = edit(Dlg::IDC_OUTPUT_PATH);
        EXPECT_EQ(std::tuple(path->cursorPosition(), path->toolTip()), std::tuple(0, s.out()));
        EXPECT_GE(path->width() - 12, path->fontMetrics().horizontalAdvance(s.out()));
        QPushButton* ok = nullptr;
        for (QPushButton* b : dlg->findChildren<QPushButton*>())
            ok = b->text() == QStringLiteral("确定") ? b : ok;
        ASSERT_NE(ok, nullptr);
        click(dlg->control(Dlg::IDC_PAGE_RANGE));
        click(dlg->control(Dlg::IDC_IMAGE_TYPE));
        edit(Dlg::IDC_COLUMNS)->selectAll();
        QTest::keyClicks(edit(Dlg::IDC_COLUMNS), QStringLiteral("3"));
        auto* range = edit(Dlg::IDC_RANGE_TEXT);
        click(range);
        for (const char* wrong : {"2-4", "3-2", "1-1,2-7"}) {
            SCOPED_TRACE(wrong);
            s.prompter.boxes.clear();
            range->selectAll();
            QTest::keyClicks(range, QString::fromUtf8(wrong));
            click(ok);
            ASSERT_EQ(s.prompter.boxTexts(), QStringList{QStringLiteral("页码范围错误!")});
            EXPECT_TRUE(dlg->isVisible() && dlg->focusWidget() == range);
            EXPECT_EQ(range->text(), QString::fromUtf8(wrong));
            EXPECT_EQ(edit(Dlg::IDC_COLUMNS)->text(), QStringLiteral("3"));
        }
        range->selectAll();
        QTest::keyClicks(range, QStringLiteral("2-3"));
        click(ok);
        driven = true;
    });
    s.st.view->OnReport();
    ASSERT_TRUE(driven);
    // Pages 2 and 3 side by side on one sheet: the choices held.
    EXPECT_EQ(QString::fromUtf8(xlsxPart(s.out(), QStringLiteral("xl/drawings/drawing1.xml")))
                  .count(QStringLiteral("<xdr:pic>")),
              2);
}

// A finished report or table that could not be opened, whatever the reason,
// says where it was saved; one that was opened says nothing.
TEST(Report, FileNotOpenedIsTold)
{
    Survey s;
    QTemporaryDir bin;
    const QString marker = bin.filePath(QStringLiteral("opened-with"));
    // The desktop's opener as a script: it notes the file it was given, then
    // ends as told.
    auto opener = [&](const char* name, const char* end) {
        const QString path = bin.filePath(QString::fromUtf8(name));
        writeFileBytes(path, QByteArray("#!/bin/sh\nprintf '%s' \"$1\" > '") + marker.toUtf8() +
                                 "'\n" + end + "\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    };
    const struct {
        const char* why;
        QString program; // empty: an installed opener that refuses
        bool told;
    } cases[] = {
        {"installed opener refuses", {}, true},
        {"no opener program", bin.filePath(QStringLiteral("none")), true},
        {"no application for the file",
         opener("no-handler", "echo 'xdg-open: no method available' >&2; exit 3"), true},
        {"opener dies", opener("dies", "kill -9 $$"), true},
        {"opened", opener("opens", "exit 0"), false},
    };
    const QString previousProgram = setOpenerProgram(QString());
    for (const auto& c : cases) {
        setFileOpener(c.program.isEmpty() ? FileOpener([](const QString&) { return false; })
                                          : FileOpener());
        setOpenerProgram(c.program);
        for (const bool report : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.why << (report ? ", report" : ", table"));
            s.prompter.boxes.clear();
            QFile::remove(marker);
            CExcelExport exporter;
            QTemporaryDir folder;
            if (report) {
                s.prompter.boxAnswers.push_back(IDYES);
                s.report(Dlg::IDC_CURRENT_PAGE, Dlg::IDC_ATTITUDE_TYPE);
            } else {
                ASSERT_TRUE(exporter.Export(s.st.view->GetData(), folder.path()));
            }
            const QString file = report ? s.out() : exporter.path();
            auto told = [&] {
                return !s.prompter.boxes.empty() &&
                       s.prompter.boxes.back().text ==
                           QStringLiteral("没有可以打开它的程序，文件已保存在") + file;
            };
            if (c.told) {
                EXPECT_TRUE(QTest::qWaitFor(told, 5000));
            } else {
                EXPECT_TRUE(QTest::qWaitFor([&] { return fileBytes(marker) == file.toUtf8(); }, 5000));
                QTest::qWait(200); // time for a late word, should there be one
                EXPECT_FALSE(told());
            }
        }
    }
    setOpenerProgram(previousProgram);
}

// A name the program completes with an extension is asked about before a
// file of the completed name is replaced, in the save dialog's words; "否"
// opens the dialog again. The page export adds ".jpg", the report turns
// ".xls" into ".xlsx", in its first dialog and behind "输出"'s "...".
TEST(Report, CompletedNamesAskBeforeReplacing)
{
    enum Caller { Page, Report, Browse };
    const struct {
        Caller caller;
        const char* typed;
        int answer;          // 0: not asked
        const char* retyped; // the dialog opened again; nullptr cancels it
        const char* result;  // the name written; nullptr for none
    } rows[] = {
        {Page, "p", IDYES, nullptr, "p.jpg"},
        {Page, "p", IDNO, nullptr, nullptr},
        {Page, "p.jpg", 0, nullptr, "p.jpg"}, // the name the dialog asked about
        {Report, "x.xls", IDNO, "y.xls", "y.xlsx"},
        {Report, "x", IDYES, nullptr, "x.xlsx"},
        {Browse, "x.xls", IDNO, nullptr, "start.xlsx"},
        {Browse, "x", IDYES, nullptr, "x.xlsx"},
    };
    CaptureFormatScope jpeg(0);
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.caller << ' ' << row.typed << ' ' << row.answer);
        Survey s;
        QTemporaryDir dir;
        const QString written = dir.filePath(row.caller == Page ? "p.jpg" : "x.xlsx");
        ASSERT_TRUE(writeFileBytes(written, "old"));
        QString dialogShows;
        Dlg::setRunner([&](Dlg& dlg) {
            if (row.caller == Browse) {
                QWidget* browse = dlg.control(Dlg::IDC_OUTPUT_BROWSE);
                QTest::mouseClick(browse, Qt::LeftButton, {}, browse->rect().center());
            }
            dialogShows = static_cast<QLineEdit*>(dlg.control(Dlg::IDC_OUTPUT_PATH))->text();
            return false;
        });
        if (row.caller == Browse)
            s.prompter.fileAnswers.push_back(dir.filePath(QStringLiteral("start.xlsx")));
        s.prompter.fileAnswers.push_back(dir.filePath(QString::fromUtf8(row.typed)));
        if (row.retyped)
            s.prompter.fileAnswers.push_back(dir.filePath(QString::fromUtf8(row.retyped)));
        if (row.answer)
            s.prompter.boxAnswers.push_back(row.answer);
        if (row.caller == Page)
            s.st.view->OnExportCurrentPage();
        else
            s.st.view->OnReport();

        const QStringList asked{QFileInfo(written).fileName() + QStringLiteral(" 已存在。\n您想要替换它吗？")};
        EXPECT_EQ(s.prompter.boxTexts(), row.answer ? asked : QStringList());
        EXPECT_TRUE(s.prompter.fileAnswers.empty()) << "a 否 opens the dialog again";
        const QString result = row.result ? dir.filePath(QString::fromUtf8(row.result)) : QString();
        if (row.caller == Page) {
            EXPECT_EQ(fileBytes(written) == "old", result != written);
            EXPECT_EQ(!result.isEmpty() && !QImage(result, "JPG").isNull(), !result.isEmpty());
        } else { // the dialog shows the name; the report is not written here
            EXPECT_EQ(std::tuple(dialogShows, fileBytes(written)), std::tuple(result, QByteArray("old")));
        }
    }
}

TEST(Report, AttitudeTableExport)
{
    Survey s;
    QTemporaryDir folder;
    CExcelExport exporter;
    ASSERT_TRUE(exporter.Export(s.st.view->GetData(), folder.path()));
    ASSERT_EQ(s.opened, QStringList{exporter.path()});
    const QString sheet =
        QString::fromUtf8(xlsxPart(exporter.path(), QStringLiteral("xl/worksheets/sheet1.xml")));
    EXPECT_TRUE(sheet.contains(QStringLiteral("<c r=\"A1\"><v>")));
    EXPECT_TRUE(sheet.contains(QStringLiteral("r=\"E2\"")));
    EXPECT_FALSE(sheet.contains(QStringLiteral("r=\"A3\"")));
    EXPECT_TRUE(workbookText(exporter.path()).contains(QStringLiteral("name=\"Sheet1\"")));
    // A second export at once gets a workbook of its own.
    const QString first = exporter.path();
    ASSERT_TRUE(exporter.Export(s.st.view->GetData(), folder.path()));
    EXPECT_NE(exporter.path(), first);

    // No shapes: nothing written or opened. An unwritable folder: the
    // reason, and nothing opened.
    CUnWrapData empty(folder.filePath(QStringLiteral("e.sfa")), folder.path());
    EXPECT_FALSE(exporter.Export(&empty, folder.path()));
    EXPECT_FALSE(exporter.Export(s.st.view->GetData(), QStringLiteral("/proc/no-such")));
    EXPECT_EQ(s.opened.size(), 2);
    ASSERT_EQ(s.prompter.boxes.size(), 1u);
    EXPECT_EQ(s.prompter.boxes[0].caption, QStringLiteral("导出数据到Excel"));
    EXPECT_EQ(QDir(folder.path()).entryList({QStringLiteral("*.xlsx")}).size(), 2);
}

// Every sheet of both reports prints on one page of its paper: it is scaled
// to fit one page wide and tall, and its print area holds its texts, fields
// and pictures.
TEST(Report, EverySheetPrintsOnOnePageOfItsPaper)
{
    for (int type : {Dlg::IDC_ATTITUDE_TYPE, Dlg::IDC_IMAGE_TYPE}) {
        SCOPED_TRACE(type);
        Survey s(2); // 13 pages
        s.prompter.boxAnswers.push_back(IDNO);
        s.report(Dlg::IDC_ALL_PAGES, type, {}, "3");
        const int sheets = type == Dlg::IDC_ATTITUDE_TYPE ? 13 : 5;
        static const QRegularExpression printArea(QStringLiteral(
            "<definedName name=\"_xlnm.Print_Area\" localSheetId=\"(\\d+)\">'[^']+'!"
            "\\$([A-Z]+)\\$(\\d+):\\$([A-Z]+)\\$(\\d+)</definedName>"));
        std::map<int, std::pair<int, int>> lastCell; // sheet from 1: last column and row, 0-based
        const QString book = QString::fromUtf8(xlsxPart(s.out(), QStringLiteral("xl/workbook.xml")));
        for (auto it = printArea.globalMatch(book); it.hasNext();) {
            const auto m = it.next();
            EXPECT_EQ(std::tuple(m.captured(2), m.captured(3)), std::tuple(QString("A"), QString("1")));
            lastCell[m.captured(1).toInt() + 1] = {columnIndex(m.captured(4)), m.captured(5).toInt() - 1};
        }
        ASSERT_EQ(int(lastCell.size()), sheets) << book.toStdString();
        static const QRegularExpression dimension(QStringLiteral("<dimension ref=\"A1:([A-Z]+)(\\d+)\"/>"));
        for (int sheet = 1; sheet <= sheets; ++sheet) {
            SCOPED_TRACE(sheet);
            const QString xml = QString::fromUtf8(
                xlsxPart(s.out(), QStringLiteral("xl/worksheets/sheet%1.xml").arg(sheet)));
            EXPECT_TRUE(xml.contains(QStringLiteral("<pageSetUpPr fitToPage=\"1\"/>")));
            // One page wide and tall, the default when not written.
            for (const char* attribute : {"fitToWidth", "fitToHeight"})
                EXPECT_TRUE(!xml.contains(attribute) ||
                            xml.contains(QStringLiteral("%1=\"1\"").arg(attribute)))
                    << attribute;
            const auto m = dimension.match(xml);
            ASSERT_TRUE(m.hasMatch());
            EXPECT_LE(columnIndex(m.captured(1)), lastCell[sheet].first);
            EXPECT_LE(m.captured(2).toInt() - 1, lastCell[sheet].second);
        }
        const auto pictures = shownPictures(s.out());
        EXPECT_EQ(int(pictures.size()), type == Dlg::IDC_ATTITUDE_TYPE ? 2 * 13 : 13);
        for (const ShownPicture& p : pictures) {
            EXPECT_LE(p.lastCol, lastCell[p.sheet].first) << p.sheet;
            EXPECT_LE(p.lastRow, lastCell[p.sheet].second) << p.sheet;
        }
    }
}

// The pages of one report are drawn at one scale, however many stand side
// by side on a sheet and however many the last sheet has left: 13 pages of
// two strips, 3 pages of ten (the last of five).
TEST(Report, AllPagesOfAReportAreDrawnAtOneScale)
{
    const struct {
        int perPage;
        int type;
        const char* columns;
    } cases[] = {
        {2, Dlg::IDC_IMAGE_TYPE, "10"}, {2, Dlg::IDC_IMAGE_TYPE, "4"}, {2, Dlg::IDC_IMAGE_TYPE, "3"},
        {2, Dlg::IDC_IMAGE_TYPE, "2"},  {10, Dlg::IDC_IMAGE_TYPE, "2"}, {2, Dlg::IDC_ATTITUDE_TYPE, "4"},
        {10, Dlg::IDC_ATTITUDE_TYPE, "4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.perPage << " a page, " << c.type << ", " << c.columns);
        Survey s(c.perPage, 600, false);
        s.prompter.boxAnswers.push_back(IDNO);
        s.report(Dlg::IDC_ALL_PAGES, c.type, {}, c.columns);
        const auto pictures = shownPictures(s.out());
        ASSERT_GE(pictures.size(), 3u);
        const double scale = pictures[0].width / pictures[0].pixels.width();
        EXPECT_LT(scale, 1.01);
        for (const ShownPicture& p : pictures) {
            SCOPED_TRACE(p.sheet);
            // The workbook holds whole pixels.
            EXPECT_NEAR(p.width, scale * p.pixels.width(), 1.0);
            EXPECT_NEAR(p.height, scale * p.pixels.height(), 1.0);
        }
    }
}
