// Reports and the attitude table written through the strip view's commands,
// read back from the workbooks.

#include "analysis/excel_export.h"
#include "analysis/report_output.h"
#include "analysis/report_output_dlg.h"
#include "analysis/unwrap_data.h"
#include "analysis/unwrap_view.h"
#include "core/program_values.h"
#include "core/survey_params.h"
#include "platform/file_opener.h"
#include "platform/work_folder.h"
#include "support/scripted_prompter.h"
#include "support/xlsx_reader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace bc;
using bc::test::ScriptedPrompter;
using bc::test::xlsxPart;
using bc::test::xlsxParts;

namespace {

constexpr int kStrips = 25; // three pages of ten
constexpr int kWidth = 120;
constexpr int kRows = 10;

std::unique_ptr<CUnWrapImage> strip(int32_t key)
{
    auto item = std::make_unique<CUnWrapImage>(key, uint16_t(0));
    const int stride = kWidth * 3;
    std::unique_ptr<uint8_t[]> bits(new uint8_t[size_t(stride) * kRows]);
    for (int i = 0; i < stride * kRows; ++i)
        bits[i] = uint8_t((key / 100 + i) & 0xff);
    item->width = kWidth;
    item->shownHeight = kRows;
    item->adoptPixels(std::move(bits), kRows, stride);
    return item;
}

// A saved survey of three pages with two attitudes, opened in a view as the
// stand-alone window opens it, and a scripted prompter and opener.
struct Survey {
    QTemporaryDir dir;
    CSurveyParams settings;
    std::unique_ptr<CUnWrapView> view;
    ScriptedPrompter prompter;
    QStringList opened;
    FileOpener previousOpener;

    Survey()
    {
        settings.itemsPerPage = 10;
        const QString sfa = dir.filePath(QStringLiteral("s.sfa"));
        {
            CUnWrapData d(sfa, dir.path());
            for (int i = 0; i < kStrips; ++i)
                d.InsertImage(strip(1000 + 100 * i));
            for (int32_t y : {1100, 1400}) {
                auto line = std::make_unique<CAttitudeLine>(NextShapeId(), CShapePoint(0.5f, float(y)),
                                                            CShapePoint(2.5f, float(y + 200)), 0, 1, 0xff);
                line->UpdateAttitude(100, 0, 0, 0);
                line->SetDescription(QStringLiteral("裂隙"));
                d.AddShape(std::move(line));
            }
            EXPECT_TRUE(d.SaveSfa(d.GetItemCount(), true));
        }
        WorkspaceContext ctx;
        ctx.settings = &settings;
        view = std::make_unique<CUnWrapView>(ctx);
        view->resize(400, 300);
        prompter.fileAnswers.push_back(sfa);
        view->OnFileOpen();
        previousOpener = setFileOpener([this](const QString& p) {
            opened << p;
            return true;
        });
    }
    ~Survey()
    {
        setFileOpener(previousOpener);
        CReportOutputDlg::setRunner({});
    }
    QString out() const { return dir.filePath(QStringLiteral("report.xlsx")); }

    // Runs "输出报表" with the dialog answered by `fill`.
    void report(const std::function<void(CReportOutputDlg&)>& fill, const QString& typed = {})
    {
        prompter.fileAnswers.push_back(typed.isEmpty() ? out() : typed);
        CReportOutputDlg::setRunner([fill](CReportOutputDlg& dlg) {
            fill(dlg);
            return dlg.pullValues();
        });
        view->OnReport();
    }
};

void choose(CReportOutputDlg& dlg, int pageRadio, int typeRadio, const QString& range = {},
            const QString& columns = QStringLiteral("4"))
{
    static_cast<QRadioButton*>(dlg.control(pageRadio))->setChecked(true);
    static_cast<QRadioButton*>(dlg.control(typeRadio))->setChecked(true);
    static_cast<QLineEdit*>(dlg.control(CReportOutputDlg::IDC_RANGE_TEXT))->setText(range);
    static_cast<QLineEdit*>(dlg.control(CReportOutputDlg::IDC_COLUMNS))->setText(columns);
}

QString workbookText(const QString& path)
{
    return QString::fromUtf8(xlsxPart(path, QStringLiteral("xl/workbook.xml"))
                             + xlsxPart(path, QStringLiteral("xl/sharedStrings.xml")));
}

} // namespace

TEST(Report, AttitudeAndImageReportsOfSeveralPages)
{
    for (int format : {0, 1}) {
        SCOPED_TRACE(format);
        currentCaptureFormat = format;
        Survey s;
        ASSERT_EQ(s.view->GetPageCount(), 3) << s.prompter.boxTexts().join(QLatin1Char('|')).toStdString();
        s.view->GoToPage(1);
        // An unsaved turn of a strip of the current page.
        CUnWrapData& data = *s.view->GetData();
        data.OnItemKey(12, Qt::Key_Right, true);
        const QByteArray turned(reinterpret_cast<const char*>(data.GetItem(12)->pixels()), kWidth * 3 * kRows);

        s.prompter.boxAnswers.push_back(IDYES);
        s.report([](CReportOutputDlg& d) {
            choose(d, CReportOutputDlg::IDC_ALL_PAGES, CReportOutputDlg::IDC_ATTITUDE_TYPE);
        }, s.dir.filePath(QStringLiteral("report.xls")));
        ASSERT_EQ(s.opened, QStringList{s.out()}) << s.prompter.boxTexts().join('|').toStdString();
        const QString text = workbookText(s.out());
        for (const char* name : {"1(1.00-1.90)", "2(2.00-2.90)", "3(3.00-3.40)", "第2页/共3页"})
            EXPECT_TRUE(text.contains(QString::fromUtf8(name))) << name;
        const QString ext = format == 0 ? QStringLiteral("jpeg") : QStringLiteral("bmp");
        EXPECT_TRUE(xlsxParts(s.out()).contains(QStringLiteral("xl/media/image1.") + ext));
        const QString folder = QDir(workspaceTempFolder()).filePath(QStringLiteral("拼接图"));
        EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/2.00-2.90-Note.") + (format ? "bmp" : "jpg")));

        // The current page came through the report as it was.
        EXPECT_EQ(s.view->currentPage(), 1);
        ASSERT_TRUE(data.GetItem(12)->hasPixels());
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(data.GetItem(12)->pixels()), turned.size()), turned);
        EXPECT_FALSE(data.GetItem(25 - 1)->hasPixels()); // other pages dropped again
        // A page too narrow for the notes' formula still gets the label column.
        PageViewState narrow = s.view->pageState();
        narrow.pageWidth = 40;
        EXPECT_EQ(RenderNotesPicture(data, narrow).width(), 60);

        // Three pages two by two: sheets "1" and "2" of two and one pictures.
        s.prompter.boxAnswers.push_back(IDNO);
        s.report([](CReportOutputDlg& d) {
            choose(d, CReportOutputDlg::IDC_PAGE_RANGE, CReportOutputDlg::IDC_IMAGE_TYPE,
                   QStringLiteral("1-3"), QStringLiteral("2"));
        });
        const QString images = workbookText(s.out());
        EXPECT_TRUE(images.contains(QStringLiteral("name=\"2\"")));
        EXPECT_TRUE(images.contains(QStringLiteral("第2页/共2页")));
        EXPECT_EQ(QString::fromUtf8(xlsxPart(s.out(), QStringLiteral("xl/drawings/drawing1.xml")))
                      .count(QStringLiteral("<xdr:pic>")), 2);
        EXPECT_EQ(s.opened.size(), 1);
    }
    currentCaptureFormat = 0;
}

TEST(Report, CurrentPageAndRefusals)
{
    Survey s;
    s.prompter.boxAnswers.push_back(IDNO);
    s.report([](CReportOutputDlg& d) {
        choose(d, CReportOutputDlg::IDC_CURRENT_PAGE, CReportOutputDlg::IDC_ATTITUDE_TYPE, QStringLiteral("7-2"));
    });
    EXPECT_TRUE(workbookText(s.out()).contains(QStringLiteral("1(1.00-1.90)")));
    EXPECT_TRUE(QFileInfo::exists(QDir(workspaceTempFolder()).filePath(QStringLiteral("print1.jpg"))));
    QFile::remove(s.out());

    QTemporaryDir other;
    const QString binary = other.filePath(QStringLiteral("old.xls"));
    QFile f(binary);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray::fromHex("d0cf11e0a1b11ae1") + QByteArray(504, '\0'));
    f.close();
    const struct {
        const char* name;
        std::function<void(CReportOutputDlg&)> fill;
        const char* box;
    } refused[] = {
        {"range backwards",
         [](CReportOutputDlg& d) { choose(d, CReportOutputDlg::IDC_PAGE_RANGE, CReportOutputDlg::IDC_ATTITUDE_TYPE, QStringLiteral("7-2")); },
         "页码范围错误!"},
        {"range past the end",
         [](CReportOutputDlg& d) { choose(d, CReportOutputDlg::IDC_PAGE_RANGE, CReportOutputDlg::IDC_ATTITUDE_TYPE, QStringLiteral("2-4")); },
         "页码范围错误!"},
        {"missing template",
         [&](CReportOutputDlg& d) {
             static_cast<QLineEdit*>(d.control(CReportOutputDlg::IDC_TEMPLATE_PATH))->setText(other.filePath(QStringLiteral("none.rpt")));
         },
         "模板文件"},
        {"old binary workbook as template",
         [&](CReportOutputDlg& d) {
             static_cast<QLineEdit*>(d.control(CReportOutputDlg::IDC_TEMPLATE_PATH))->setText(binary);
         },
         "输出报表失败\n无法读取模板文件"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.name);
        s.prompter.boxes.clear();
        s.report(r.fill);
        ASSERT_EQ(s.prompter.boxes.size(), 1u);
        EXPECT_TRUE(s.prompter.boxes[0].text.startsWith(QString::fromUtf8(r.box))) << s.prompter.boxes[0].text.toStdString();
        EXPECT_EQ(s.prompter.boxes[0].caption, QStringLiteral("出错"));
        EXPECT_FALSE(QFileInfo::exists(s.out()));
    }

    // Cancelling either dialog writes nothing.
    s.prompter.boxes.clear();
    s.view->OnReport(); // the save dialog cancelled
    s.prompter.fileAnswers.push_back(s.out());
    CReportOutputDlg::setRunner([](CReportOutputDlg&) { return false; });
    s.view->OnReport();
    EXPECT_TRUE(s.prompter.boxes.empty());
    EXPECT_FALSE(QFileInfo::exists(s.out()));
}

TEST(Report, AttitudeTableExport)
{
    Survey s;
    QTemporaryDir folder;
    CExcelExport exporter;
    ASSERT_TRUE(exporter.Export(s.view->GetData(), folder.path()));
    ASSERT_EQ(s.opened, QStringList{exporter.path()});
    const QString sheet = QString::fromUtf8(xlsxPart(exporter.path(), QStringLiteral("xl/worksheets/sheet1.xml")));
    EXPECT_TRUE(sheet.contains(QStringLiteral("<c r=\"A1\"><v>")));
    EXPECT_TRUE(sheet.contains(QStringLiteral("r=\"E2\"")));
    EXPECT_FALSE(sheet.contains(QStringLiteral("r=\"A3\"")));
    EXPECT_TRUE(QString::fromUtf8(xlsxPart(exporter.path(), QStringLiteral("xl/workbook.xml"))).contains(QStringLiteral("name=\"Sheet1\"")));

    // No shapes: nothing written or opened. An unwritable folder: the
    // reason, and nothing opened.
    CUnWrapData empty(folder.filePath(QStringLiteral("e.sfa")), folder.path());
    EXPECT_FALSE(exporter.Export(&empty, folder.path()));
    EXPECT_FALSE(exporter.Export(s.view->GetData(), QStringLiteral("/proc/no-such")));
    EXPECT_EQ(s.opened.size(), 1);
    ASSERT_EQ(s.prompter.boxes.size(), 1u);
    EXPECT_EQ(s.prompter.boxes[0].caption, QStringLiteral("导出数据到Excel"));
    EXPECT_EQ(QDir(folder.path()).entryList({QStringLiteral("*.xlsx")}).size(), 1);
}
