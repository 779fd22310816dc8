// Saving and loading 100,000 rows of a grid as a delimited text file, against
// the same file written from and read into a QStandardItemModel with
// QTextStream in the same run.

#include "grid/grid_ctrl.h"
#include "platform/text_codec.h"
#include "bench_main.h"

#include <QApplication>
#include <QFile>
#include <QSaveFile>
#include <QStandardItemModel>
#include <QTemporaryDir>

#include <memory>

#include <benchmark/benchmark.h>

#include <cstdlib>

using namespace bc;

namespace {

constexpr int kRows = 100000;
constexpr int kCols = 6;

QTemporaryDir& dir()
{
    static QTemporaryDir d;
    return d;
}

QString cellText(int r, int c)
{
    return QStringLiteral("r%1 c%2").arg(r).arg(c);
}

// The grid is a widget: it is deleted when the application object ends, not
// with the program's statics after it.
std::unique_ptr<CGridCtrl> g_grid;

void releaseGrid()
{
    g_grid.reset();
}

CGridCtrl& grid()
{
    if (!g_grid) {
        g_grid = std::make_unique<CGridCtrl>();
        qAddPostRoutine(releaseGrid);
        CGridCtrl& g = *g_grid;
        g.SetRedraw(false);
        g.ChangeColumnCount(kCols);
        g.ChangeRowCount(kRows + 1);
        for (int r = 0; r <= kRows; ++r)
            for (int c = 0; c < kCols; ++c)
                g.SetItemText(r, c, cellText(r, c));
        g.SetRedraw(true);
    }
    return *g_grid;
}

QStandardItemModel& model()
{
    static QStandardItemModel m(kRows + 1, kCols);
    static bool filled = false;
    if (!filled) {
        for (int r = 0; r <= kRows; ++r)
            for (int c = 0; c < kCols; ++c)
                m.setItem(r, c, new QStandardItem(cellText(r, c)));
        filled = true;
    }
    return m;
}

void BM_Save_Grid(benchmark::State& state)
{
    CGridCtrl& g = grid();
    const QString path = dir().filePath(QStringLiteral("grid.txt"));
    for (auto _ : state)
        benchmark::DoNotOptimize(g.SaveToTextFile(path, QLatin1Char(',')));
}
BENCHMARK(BM_Save_Grid)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Save_ItemModel(benchmark::State& state)
{
    QStandardItemModel& m = model();
    const QString path = dir().filePath(QStringLiteral("model.txt"));
    for (auto _ : state) {
        QSaveFile f(path);
        f.open(QIODevice::WriteOnly);
        for (int r = 0; r < m.rowCount(); ++r) {
            QString line;
            for (int c = 0; c < m.columnCount(); ++c) {
                line += m.item(r, c)->text();
                line += c + 1 < m.columnCount() ? QStringLiteral(",") : QStringLiteral("\r\n");
            }
            f.write(toGbk(line));
        }
        benchmark::DoNotOptimize(f.commit());
    }
}
BENCHMARK(BM_Save_ItemModel)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Load_Grid(benchmark::State& state)
{
    const QString path = dir().filePath(QStringLiteral("grid.txt"));
    grid().SaveToTextFile(path, QLatin1Char(','));
    for (auto _ : state) {
        CGridCtrl g;
        benchmark::DoNotOptimize(g.LoadFromTextFile(path, QLatin1Char(',')));
    }
}
BENCHMARK(BM_Load_Grid)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Load_ItemModel(benchmark::State& state)
{
    const QString path = dir().filePath(QStringLiteral("grid.txt"));
    grid().SaveToTextFile(path, QLatin1Char(','));
    for (auto _ : state) {
        QStandardItemModel m;
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        const QByteArray bytes = f.readAll();
        bool first = true;
        for (const QByteArray& raw : bytes.split('\n')) {
            if (raw.isEmpty())
                continue;
            const QStringList fields = fromGbk(raw.endsWith('\r') ? raw.chopped(1) : raw).split(QLatin1Char(','));
            if (first) {
                m.setHorizontalHeaderLabels(fields);
                first = false;
                continue;
            }
            QList<QStandardItem*> row;
            for (const QString& field : fields)
                row << new QStandardItem(field);
            m.appendRow(row);
        }
        benchmark::DoNotOptimize(m.rowCount());
    }
}
BENCHMARK(BM_Load_ItemModel)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BC_BENCHMARK_MAIN()
