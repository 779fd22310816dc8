// A report of 50 pages (attitude type): the whole report, and its three
// parts on their own — rendering the page and notes pictures, rendering and
// writing them as JPEG files, and writing the workbook from the pictures — so
// that each part's share of the whole can be read off. The JPEG files are set
// beside Qt's own JPEG writer saving the same pictures.

#include "analysis/page_image.h"
#include "analysis/report_output.h"
#include "analysis/unwrap_data.h"
#include "platform/report_workbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include "bench_main.h"

#include <memory>

using namespace bc;

namespace {

constexpr int kPages = 50;
constexpr int kPerPage = 10;
constexpr int kWidth = 800;
constexpr int kRows = 100;

struct Survey {
    QTemporaryDir dir;
    std::unique_ptr<CUnWrapData> data;
    PageViewState view;
    ReportJob job;

    Survey()
    {
        data = std::make_unique<CUnWrapData>(dir.filePath(QStringLiteral("s.sfa")), dir.path());
        for (int i = 0; i < kPages * kPerPage; ++i) {
            auto item = std::make_unique<CUnWrapImage>(1000 + i * 100, uint16_t(0));
            const int stride = kWidth * 3;
            std::unique_ptr<uint8_t[]> bits(new uint8_t[size_t(stride) * kRows]);
            for (int b = 0; b < stride * kRows; ++b)
                bits[size_t(b)] = uint8_t((b * 7 + i * 13) & 0xFF);
            item->width = kWidth;
            item->shownHeight = kRows;
            item->adoptPixels(std::move(bits), kRows, stride);
            data->InsertImage(std::move(item), false);
        }
        for (int p = 0; p < kPages; ++p) {
            const float top = 1000.0f + p * kPerPage * 100.0f;
            auto line = std::make_unique<CAttitudeLine>(NextShapeId(), CShapePoint(0.5f, top + 300),
                                                        CShapePoint(3.0f, top + 600), 0, 1, 0xff);
            line->UpdateAttitude(100, 0, 0, 0);
            data->AddShape(std::move(line));
        }
        view.perPage = kPerPage;
        view.pageCount = kPages;
        view.currentPage = 0;
        view = PageStateFor(*data, view, 0, false);
        job.templatePath = QCoreApplication::applicationDirPath() + QStringLiteral("/template/template1.rpt");
        job.outputPath = dir.filePath(QStringLiteral("report.xlsx"));
        job.pictureFolder = dir.filePath(QStringLiteral("pictures"));
        job.first = 1;
        job.last = kPages;
    }
};

Survey& survey()
{
    static Survey s;
    return s;
}

void BM_ReportWhole(benchmark::State& state)
{
    Survey& s = survey();
    QString error;
    for (auto _ : state)
        if (!WriteSurveyReport(*s.data, s.view, false, s.job, &error))
            state.SkipWithError(error.toUtf8().constData());
}

void BM_ReportPicturesRenderOnly(benchmark::State& state)
{
    Survey& s = survey();
    for (auto _ : state) {
        for (int p = 0; p < kPages; ++p) {
            const PageViewState st = PageStateFor(*s.data, s.view, p, false);
            benchmark::DoNotOptimize(RenderPageImage(*s.data, st));
            benchmark::DoNotOptimize(RenderNotesPicture(*s.data, st));
        }
    }
}

void BM_ReportPicturesRenderAndJpeg(benchmark::State& state)
{
    Survey& s = survey();
    std::vector<ReportSheet> sheets;
    QString error;
    for (auto _ : state)
        if (!RenderReportSheets(*s.data, s.view, false, s.job, sheets, &error))
            state.SkipWithError(error.toUtf8().constData());
}

// Peer of the JPEG part: the same pictures rendered, then saved by Qt.
void BM_ReportPicturesRenderAndQtJpeg(benchmark::State& state)
{
    Survey& s = survey();
    const QString folder = s.dir.filePath(QStringLiteral("qt"));
    QDir().mkpath(folder);
    for (auto _ : state) {
        for (int p = 0; p < kPages; ++p) {
            const PageViewState st = PageStateFor(*s.data, s.view, p, false);
            RenderPageImage(*s.data, st).save(folder + QStringLiteral("/%1.jpg").arg(p), "JPG", 75);
            RenderNotesPicture(*s.data, st).save(folder + QStringLiteral("/%1-Note.jpg").arg(p), "JPG", 75);
        }
    }
}

void BM_ReportWorkbookOnly(benchmark::State& state)
{
    Survey& s = survey();
    std::vector<ReportSheet> sheets;
    QString error;
    RenderReportSheets(*s.data, s.view, false, s.job, sheets, &error);
    ReportTemplate tpl;
    loadReportTemplate(s.job.templatePath, tpl, &error);
    for (auto _ : state)
        if (!writeReportWorkbook(tpl, s.job.outputPath, sheets, &error))
            state.SkipWithError(error.toUtf8().constData());
}

} // namespace

BENCHMARK(BM_ReportWhole)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReportPicturesRenderOnly)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReportPicturesRenderAndJpeg)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReportPicturesRenderAndQtJpeg)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReportWorkbookOnly)->Unit(benchmark::kMillisecond)->Iterations(3);

BC_BENCHMARK_MAIN();
