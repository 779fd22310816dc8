// Saving and loading an ".sfa" of 10,000 strips and 500 shapes, against the
// same content written and read with QDataStream through the same kind of
// file (a QSaveFile for saving).

#include "analysis/unwrap_data.h"

#include <QDataStream>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include "bench_main.h"

#include <memory>

using namespace bc;

namespace {

constexpr int kStrips = 10000;
constexpr int kShapes = 500;

QTemporaryDir& tempDir()
{
    static QTemporaryDir dir;
    return dir;
}

std::unique_ptr<CUnWrapData> makeDataSet(const QString& path)
{
    auto d = std::make_unique<CUnWrapData>(path, tempDir().path());
    d->header().tester = QStringLiteral("测试人员");
    d->header().site = QStringLiteral("某水电站坝基");
    for (int i = 0; i < kStrips; ++i) {
        auto item = std::make_unique<CUnWrapImage>(i * 100, uint16_t(i % 360));
        item->width = 800;
        item->shownHeight = 90 + i % 10;
        d->InsertImage(std::move(item), false);
    }
    for (int i = 0; i < kShapes; ++i) {
        std::unique_ptr<CAttitudeShape> shape;
        if (i % 2) {
            shape = std::make_unique<CAttitudeLine>(i, CShapePoint(0.5f, 100.0f * i),
                                                    CShapePoint(3.5f, 100.0f * i + 80), 0, 2,
                                                    0x0000FF);
        } else {
            auto poly = std::make_unique<CAttitudePolyline>(i, 0, 2, 0x00FF00);
            for (int k = 0; k < 10; ++k)
                poly->AddPoint({0.6f * k, 100.0f * i + 7.0f * k});
            shape = std::move(poly);
        }
        shape->UpdateAttitude(70, 0.0f, 0.0f, 0.0f);
        shape->SetDescription(QStringLiteral("张开裂隙，宽约2mm，充填泥质"));
        d->AddShape(std::move(shape));
    }
    return d;
}

// The peer: the same fields through QDataStream.
void writePeer(QDataStream& out, const CUnWrapData& d)
{
    const SfaHeader& h = d.header();
    out << qint32(h.startDepth) << qint32(h.samplingStep) << quint8(h.moveDirection)
        << qint32(d.GetItemCount()) << qint32(d.GetShapeCount()) << qint32(h.holeType)
        << qint32(h.openingDiameter) << qint32(h.finalDiameter);
    out << h.elevation << h.holeNumber << h.holeInclination << h.collarCoordinates
        << h.testingUnit << h.tester << h.site << h.testTime << h.waterLevel;
    for (int i = 0; i < d.GetItemCount(); ++i) {
        const CUnWrapImage* item = d.GetItem(i);
        out << qint32(item->depthKey) << quint16(item->angle) << qint32(item->width)
            << qint32(item->shownHeight);
    }
    for (int i = 0; i < d.GetShapeCount(); ++i) {
        const CAttitudeShape* s = d.GetShape(i);
        out << qint32(s->GetType()) << qint32(s->GetPenStyle()) << qint32(s->GetPenWidth())
            << quint32(s->GetPenColor());
        for (int t = TextDepthRange; t <= TextDescription; ++t)
            out << s->GetText(ShapeText(t));
        if (auto* line = dynamic_cast<const CAttitudeLine*>(s)) {
            out << line->point1().x << line->point1().y << line->point2().x << line->point2().y;
        } else if (auto* poly = dynamic_cast<const CAttitudePolyline*>(s)) {
            out << qint32(poly->points().size());
            for (const CShapePoint& p : poly->points())
                out << p.x << p.y;
        }
    }
}

bool savePeer(const QString& path, const CUnWrapData& d)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    writePeer(out, d);
    return file.commit();
}

void readPeer(QDataStream& in, CUnWrapData& d)
{
    SfaHeader& h = d.header();
    qint32 items = 0, shapes = 0;
    quint8 move = 0;
    in >> h.startDepth >> h.samplingStep >> move >> items >> shapes >> h.holeType >>
        h.openingDiameter >> h.finalDiameter;
    in >> h.elevation >> h.holeNumber >> h.holeInclination >> h.collarCoordinates >>
        h.testingUnit >> h.tester >> h.site >> h.testTime >> h.waterLevel;
    for (qint32 i = 0; i < items && in.status() == QDataStream::Ok; ++i) {
        auto item = std::make_unique<CUnWrapImage>();
        quint16 angle = 0;
        in >> item->depthKey >> angle >> item->width >> item->shownHeight;
        item->angle = angle;
        d.InsertImage(std::move(item), false);
    }
    for (qint32 i = 0; i < shapes && in.status() == QDataStream::Ok; ++i) {
        qint32 type = 0, style = 0, width = 0;
        quint32 colour = 0;
        QString texts[4];
        in >> type >> style >> width >> colour >> texts[0] >> texts[1] >> texts[2] >> texts[3];
        if (type == 1) {
            float v[4];
            in >> v[0] >> v[1] >> v[2] >> v[3];
            auto line = std::make_unique<CAttitudeLine>(i, CShapePoint(v[0], v[1]),
                                                        CShapePoint(v[2], v[3]), style, width,
                                                        colour);
            d.AddShape(std::move(line));
        } else {
            qint32 n = 0;
            in >> n;
            auto poly = std::make_unique<CAttitudePolyline>(i, style, width, colour);
            for (qint32 k = 0; k < n; ++k) {
                float x = 0, y = 0;
                in >> x >> y;
                poly->AddPoint({x, y});
            }
            d.AddShape(std::move(poly));
        }
    }
}

void BM_SaveSfa(benchmark::State& state)
{
    const QString path = tempDir().filePath("bench.sfa");
    auto d = makeDataSet(path);
    for (auto _ : state) {
        if (!d->SaveSfa(d->GetItemCount(), false))
            state.SkipWithError("save failed");
    }
    state.counters["bytes"] = double(QFile(path).size());
}
BENCHMARK(BM_SaveSfa)->Unit(benchmark::kMillisecond);

void BM_SaveSfa_PeerQDataStream(benchmark::State& state)
{
    const QString path = tempDir().filePath("peer.bin");
    auto d = makeDataSet(path);
    for (auto _ : state) {
        if (!savePeer(path, *d))
            state.SkipWithError("save failed");
    }
    state.counters["bytes"] = double(QFile(path).size());
}
BENCHMARK(BM_SaveSfa_PeerQDataStream)->Unit(benchmark::kMillisecond);

void BM_LoadSfa(benchmark::State& state)
{
    const QString path = tempDir().filePath("bench.sfa");
    makeDataSet(path)->SaveSfa(kStrips, false);
    for (auto _ : state) {
        CUnWrapData d(path, tempDir().path());
        ErrorReport why;
        if (!d.LoadSfa(&why) || d.GetItemCount() != kStrips || d.GetShapeCount() != kShapes)
            state.SkipWithError("load failed");
    }
}
BENCHMARK(BM_LoadSfa)->Unit(benchmark::kMillisecond);

void BM_LoadSfa_PeerQDataStream(benchmark::State& state)
{
    const QString path = tempDir().filePath("peer.bin");
    savePeer(path, *makeDataSet(path));
    for (auto _ : state) {
        CUnWrapData d(path, tempDir().path());
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        QDataStream in(&file);
        in.setByteOrder(QDataStream::LittleEndian);
        in.setFloatingPointPrecision(QDataStream::SinglePrecision);
        readPeer(in, d);
        if (d.GetItemCount() != kStrips || d.GetShapeCount() != kShapes)
            state.SkipWithError("load failed");
    }
}
BENCHMARK(BM_LoadSfa_PeerQDataStream)->Unit(benchmark::kMillisecond);

} // namespace

BC_BENCHMARK_MAIN()
