// The grid against Qt's own table view on the same data: filling, repainting
// at the top, middle and bottom, paging near the bottom and row appends.

#include "grid/grid_ctrl.h"
#include "bench_main.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QItemSelectionModel>
#include <QTableView>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

using namespace bc;

namespace {

constexpr int kRows = 100000;
constexpr int kCols = 6;

// Column 0 holds numbers in scrambled order; the others text.
int cellNumber(int r)
{
    return int((long long)r * 7919 % 100003);
}

QString cellText(int r, int c)
{
    if (c == 0)
        return QString::number(cellNumber(r));
    return QStringLiteral("r%1 c%2").arg(cellNumber(r) * 3 % 100003).arg(c);
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
        for (int c = 0; c < kCols; ++c) {
            auto* item = new QStandardItem(cellText(r + 1, c));
            if (c == 0)
                item->setData(cellNumber(r + 1), Qt::UserRole + 1);
            m.setItem(r, c, item);
        }
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

// Shared by the benchmarks of a kind and made on first use. Widgets must go
// before the application object does, so they are deleted when it ends
// rather than with the program's statics.
std::unique_ptr<GridSetup> g_grid;
std::unique_ptr<TableSetup> g_table;

void releaseSetups()
{
    g_grid.reset();
    g_table.reset();
}

GridSetup& gridSetup()
{
    if (!g_grid) {
        g_grid = std::make_unique<GridSetup>();
        qAddPostRoutine(releaseSetups);
    }
    return *g_grid;
}

TableSetup& tableSetup()
{
    if (!g_table) {
        g_table = std::make_unique<TableSetup>();
        qAddPostRoutine(releaseSetups);
    }
    return *g_table;
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

void BM_SelectAllCopy_Grid(benchmark::State& state)
{
    GridSetup& s = gridSetup();
    for (auto _ : state) {
        state.PauseTiming();
        s.grid.SetSelectedRange(-1, -1, -1, -1);
        state.ResumeTiming();
        s.grid.SelectAllCells();
        QString text;
        s.grid.BuildClipboardText(&text);
        benchmark::DoNotOptimize(text.size());
    }
}
BENCHMARK(BM_SelectAllCopy_Grid)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SelectAllCopy_TableView(benchmark::State& state)
{
    TableSetup& s = tableSetup();
    for (auto _ : state) {
        state.PauseTiming();
        s.view.clearSelection();
        state.ResumeTiming();
        s.view.selectAll();
        QModelIndexList sel = s.view.selectionModel()->selectedIndexes();
        std::sort(sel.begin(), sel.end());
        QString text;
        int lastRow = -1;
        for (const QModelIndex& i : sel) {
            if (lastRow != -1)
                text += i.row() != lastRow ? QLatin1Char('\n') : QLatin1Char('\t');
            text += i.data().toString();
            lastRow = i.row();
        }
        benchmark::DoNotOptimize(text.size());
    }
}
BENCHMARK(BM_SelectAllCopy_TableView)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SortText_Grid(benchmark::State& state)
{
    GridSetup& s = gridSetup();
    bool asc = true;
    for (auto _ : state) {
        s.grid.SortTextItems(1, asc);
        asc = !asc;
    }
}
BENCHMARK(BM_SortText_Grid)->Unit(benchmark::kMillisecond)->Iterations(4);

void BM_SortText_TableView(benchmark::State& state)
{
    TableSetup& s = tableSetup();
    s.model.setSortRole(Qt::DisplayRole);
    bool asc = true;
    for (auto _ : state) {
        s.model.sort(1, asc ? Qt::AscendingOrder : Qt::DescendingOrder);
        asc = !asc;
    }
}
BENCHMARK(BM_SortText_TableView)->Unit(benchmark::kMillisecond)->Iterations(4);

void BM_SortNumber_Grid(benchmark::State& state)
{
    GridSetup& s = gridSetup();
    bool asc = true;
    for (auto _ : state) {
        s.grid.SortItems(CGridCtrl::CompareCellNumber, 0, asc);
        asc = !asc;
    }
}
BENCHMARK(BM_SortNumber_Grid)->Unit(benchmark::kMillisecond)->Iterations(4);

void BM_SortNumber_TableView(benchmark::State& state)
{
    TableSetup& s = tableSetup();
    s.model.setSortRole(Qt::UserRole + 1);
    bool asc = true;
    for (auto _ : state) {
        s.model.sort(0, asc ? Qt::AscendingOrder : Qt::DescendingOrder);
        asc = !asc;
    }
}
BENCHMARK(BM_SortNumber_TableView)->Unit(benchmark::kMillisecond)->Iterations(4);

} // namespace

BC_BENCHMARK_MAIN()
