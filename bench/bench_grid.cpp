// The grid against Qt's own table view on the same data: filling, repainting
// at the top, middle and bottom, paging near the bottom and row appends.

#include "grid/grid_ctrl.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

using namespace bc;

namespace {

constexpr int kRows = 100000;
constexpr int kCols = 6;

QString cellText(int r, int c)
{
    return QStringLiteral("r%1 c%2").arg(r).arg(c);
}

void fillGrid(CGridCtrl& g)
{
    g.SetRedraw(false);
    g.ChangeColumnCount(kCols);
    g.ChangeRowCount(kRows + 1);
    g.ChangeFixedRowCount(1);
    for (int r = 1; r <= kRows; ++r)
        for (int c = 0; c < kCols; ++c)
            g.SetItemText(r, c, cellText(r, c));
    g.SetRedraw(true);
}

void fillModel(QStandardItemModel& m)
{
    m.setColumnCount(kCols);
    m.setRowCount(kRows);
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c)
            m.setItem(r, c, new QStandardItem(cellText(r + 1, c)));
}

struct GridSetup {
    CGridCtrl grid;
    GridSetup()
    {
        fillGrid(grid);
        grid.resize(640, 480);
        grid.show();
        grid.UpdateScrollBars();
    }
};

struct TableSetup {
    QStandardItemModel model;
    QTableView view;
    TableSetup()
    {
        fillModel(model);
        view.setModel(&model);
        view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view.resize(640, 480);
        view.show();
    }
};

GridSetup& gridSetup()
{
    static GridSetup s;
    return s;
}

TableSetup& tableSetup()
{
    static TableSetup s;
    return s;
}

void renderInto(QWidget* w, QImage& img)
{
    w->render(&img);
}

void BM_Fill_Grid(benchmark::State& state)
{
    for (auto _ : state) {
        CGridCtrl g;
        fillGrid(g);
        benchmark::DoNotOptimize(g.GetRowCount());
    }
}
BENCHMARK(BM_Fill_Grid)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Fill_TableView(benchmark::State& state)
{
    for (auto _ : state) {
        QStandardItemModel m;
        fillModel(m);
        benchmark::DoNotOptimize(m.rowCount());
    }
}
BENCHMARK(BM_Fill_TableView)->Unit(benchmark::kMillisecond)->Iterations(3);

// 0 top, 1 middle, 2 bottom
void scrollGridTo(CGridCtrl& g, int where)
{
    QScrollBar* sb = g.verticalScrollBar();
    g.OnVScroll(SB_THUMBTRACK, where == 0 ? 0 : where == 1 ? sb->maximum() / 2 : sb->maximum());
}

void scrollTableTo(QTableView& v, int where)
{
    QScrollBar* sb = v.verticalScrollBar();
    sb->setValue(where == 0 ? 0 : where == 1 ? sb->maximum() / 2 : sb->maximum());
}

void BM_Repaint_Grid(benchmark::State& state)
{
    GridSetup& s = gridSetup();
    scrollGridTo(s.grid, int(state.range(0)));
    QImage img(s.grid.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state)
        renderInto(&s.grid, img);
}
BENCHMARK(BM_Repaint_Grid)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_Repaint_TableView(benchmark::State& state)
{
    TableSetup& s = tableSetup();
    scrollTableTo(s.view, int(state.range(0)));
    QImage img(s.view.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state)
        renderInto(&s.view, img);
}
BENCHMARK(BM_Repaint_TableView)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_PageNearBottom_Grid(benchmark::State& state)
{
    GridSetup& s = gridSetup();
    scrollGridTo(s.grid, 2);
    QImage img(s.grid.size(), QImage::Format_ARGB32_Premultiplied);
    bool up = true;
    for (auto _ : state) {
        s.grid.OnVScroll(up ? SB_PAGEUP : SB_PAGEDOWN);
        up = !up;
        renderInto(&s.grid, img);
    }
}
BENCHMARK(BM_PageNearBottom_Grid)->Unit(benchmark::kMicrosecond);

void BM_PageNearBottom_TableView(benchmark::State& state)
{
    TableSetup& s = tableSetup();
    scrollTableTo(s.view, 2);
    QImage img(s.view.size(), QImage::Format_ARGB32_Premultiplied);
    bool up = true;
    for (auto _ : state) {
        s.view.verticalScrollBar()->triggerAction(up ? QAbstractSlider::SliderPageStepSub
                                                     : QAbstractSlider::SliderPageStepAdd);
        up = !up;
        renderInto(&s.view, img);
    }
}
BENCHMARK(BM_PageNearBottom_TableView)->Unit(benchmark::kMicrosecond);

void BM_Append10k_Grid(benchmark::State& state)
{
    for (auto _ : state) {
        CGridCtrl g(1, kCols, 1, 0);
        g.resize(640, 480);
        for (int i = 0; i < 10000; ++i) {
            const int r = g.AddRowAt(QStringLiteral("row"), -1);
            for (int c = 1; c < kCols; ++c)
                g.SetItemText(r, c, cellText(r, c));
        }
        benchmark::DoNotOptimize(g.GetRowCount());
    }
}
BENCHMARK(BM_Append10k_Grid)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Append10k_TableView(benchmark::State& state)
{
    for (auto _ : state) {
        QStandardItemModel m;
        m.setColumnCount(kCols);
        QTableView v;
        v.setModel(&m);
        v.resize(640, 480);
        for (int i = 0; i < 10000; ++i) {
            QList<QStandardItem*> row;
            row << new QStandardItem(QStringLiteral("row"));
            for (int c = 1; c < kCols; ++c)
                row << new QStandardItem(cellText(i, c));
            m.appendRow(row);
        }
        benchmark::DoNotOptimize(m.rowCount());
    }
}
BENCHMARK(BM_Append10k_TableView)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
