// Painting a page of ten 800x100 strips into a QImage with the page painter
// (1:1 and zoomed), against drawing ten ready top-down QImages of the same
// strips at the same places (the blit alone, no flip, no labels).
// Exporting the page as a JPEG file (ruler, strips, shapes; quality 75),
// against painting the same picture and saving it with Qt's image writer.

#include "analysis/page_image.h"
#include "analysis/unwrap_data.h"

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "bench_main.h"

#include <memory>

using namespace bc;

namespace {

constexpr int kWidth = 800;
constexpr int kRows = 100;
constexpr int kStrips = 10;

std::unique_ptr<CUnWrapData> makePage()
{
    auto d = std::make_unique<CUnWrapData>("/tmp/x.sfa", "/tmp");
    for (int i = 0; i < kStrips; ++i) {
        auto item = std::make_unique<CUnWrapImage>(1000 + i * 100, uint16_t(0));
        const int stride = (kWidth * 3 + 3) & ~3;
        std::unique_ptr<uint8_t[]> bits(new uint8_t[size_t(stride) * kRows]);
        for (int b = 0; b < stride * kRows; ++b)
            bits[size_t(b)] = uint8_t((b * 7 + i * 13) & 0xFF);
        item->width = kWidth;
        item->shownHeight = kRows - 5;
        item->adoptPixels(std::move(bits), kRows, stride);
        d->InsertImage(std::move(item), false);
    }
    return d;
}

// The page's strips as top-down images, made once outside the timing.
std::vector<QImage> readyImages(const CUnWrapData& d)
{
    std::vector<QImage> images;
    for (int i = 0; i < d.GetItemCount(); ++i) {
        const CUnWrapImage* item = d.GetItem(i);
        images.push_back(QImage(item->pixels(), item->width, item->shownHeight, item->stride,
                                QImage::Format_BGR888)
                             .mirrored());
    }
    return images;
}

QImage target()
{
    QImage img(kWidth * 2 + 60, kRows * kStrips * 2 + 50, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

void BM_DrawPage(benchmark::State& state)
{
    auto d = makePage();
    QImage img = target();
    for (auto _ : state) {
        QPainter p(&img);
        p.translate(60, 50);
        d->DrawPage(p, 0, kStrips, 3, 1.0f, 1);
    }
}
BENCHMARK(BM_DrawPage)->Unit(benchmark::kMicrosecond);

void BM_DrawPageDib_Zoomed(benchmark::State& state)
{
    auto d = makePage();
    QImage img = target();
    for (auto _ : state) {
        QPainter p(&img);
        p.translate(60, 50);
        d->DrawPageDib(p, 1.25f, 1.2f, 0, kStrips, 3, 1.0f, 0);
    }
}
BENCHMARK(BM_DrawPageDib_Zoomed)->Unit(benchmark::kMicrosecond);

// Peer: the same strips as ready top-down images, drawn 1:1.
void BM_DrawPage_PeerPlainBlit(benchmark::State& state)
{
    auto d = makePage();
    const std::vector<QImage> images = readyImages(*d);
    QImage img = target();
    for (auto _ : state) {
        QPainter p(&img);
        p.translate(60, 50);
        int top = 0;
        for (const QImage& strip : images) {
            p.drawImage(QPoint(0, top), strip);
            top += strip.height();
        }
    }
}
BENCHMARK(BM_DrawPage_PeerPlainBlit)->Unit(benchmark::kMicrosecond);

// Peer of the zoomed form: the ready images scaled smoothly into the same rectangles.
void BM_DrawPage_PeerScaledBlit(benchmark::State& state)
{
    auto d = makePage();
    const std::vector<QImage> images = readyImages(*d);
    QImage img = target();
    for (auto _ : state) {
        QPainter p(&img);
        p.translate(60, 50);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        int top = 0;
        for (const QImage& strip : images) {
            const int h = int(strip.height() * 1.25f);
            p.drawImage(QRect(0, top, int(kWidth * 1.25f * 1.2f), h), strip);
            top += h;
        }
    }
}
BENCHMARK(BM_DrawPage_PeerScaledBlit)->Unit(benchmark::kMicrosecond);

PageViewState exportState(const CUnWrapData& d)
{
    PageViewState s;
    s.currentPage = 0;
    s.perPage = kStrips;
    return PageStateFor(d, s, 0, false);
}

void BM_SavePageImageJpeg(benchmark::State& state)
{
    auto d = makePage();
    const PageViewState s = exportState(*d);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.jpg"));
    for (auto _ : state)
        benchmark::DoNotOptimize(SavePageImage(*d, s, path, 0));
}
BENCHMARK(BM_SavePageImageJpeg)->Unit(benchmark::kMillisecond);

// Peer: the same picture painted on a QImage and saved by Qt's JPEG writer.
void BM_SavePageImage_PeerQtWriter(benchmark::State& state)
{
    auto d = makePage();
    const PageViewState s = exportState(*d);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.jpg"));
    for (auto _ : state) {
        QImage img(PageImageSize(*d, s), QImage::Format_RGB32);
        img.fill(Qt::white);
        {
            QPainter p(&img);
            PaintPageImage(p, *d, s);
        }
        benchmark::DoNotOptimize(img.save(path, "JPG", 75));
    }
}
BENCHMARK(BM_SavePageImage_PeerQtWriter)->Unit(benchmark::kMillisecond);

} // namespace

BC_BENCHMARK_MAIN()
