// Page pictures drawn without a window: the exported page and the cylinder
// texture, checked by their pixels in memory and in the files written.

#include "analysis/page_image.h"
#include "analysis/unwrap_data.h"
#include "core/jpeg_file.h"

#include <QColor>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace bc;

namespace {

// A strip of one colour (r, g, b); buffer row 0, drawn at the bottom, red
// when `redBottom`.
std::unique_ptr<CUnWrapImage> solidStrip(int32_t key, int width, int rows, QRgb colour,
                                         bool redBottom = false)
{
    auto item = std::make_unique<CUnWrapImage>(key, uint16_t(0));
    const int stride = int(JpegFile::paddedStride(uint32_t(width)));
    std::unique_ptr<uint8_t[]> bits(new uint8_t[size_t(stride) * size_t(rows)]());
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < width; ++x) {
            const QRgb c = redBottom && y == 0 ? qRgb(255, 0, 0) : colour;
            uint8_t* p = bits.get() + y * stride + x * 3;
            p[0] = uint8_t(qBlue(c));
            p[1] = uint8_t(qGreen(c));
            p[2] = uint8_t(qRed(c));
        }
    item->width = width;
    item->shownHeight = rows;
    item->adoptPixels(std::move(bits), rows, stride);
    return item;
}

const QRgb kBlue = qRgb(20, 60, 200);
const QRgb kGreen = qRgb(30, 180, 40);

// Strips 40 wide at 12.50 m (10 rows shown) and 13.40 m (12 rows, red bottom row).
struct TwoStripPage {
    CUnWrapData data{QStringLiteral("/x/a.sfa"), QStringLiteral("/x")};
    PageViewState state;
    TwoStripPage()
    {
        data.InsertImage(solidStrip(12500, 40, 10, kBlue), false);
        data.InsertImage(solidStrip(13400, 40, 12, kGreen, true), false);
        state.currentPage = 0;
        state.pageCount = 1;
        state = PageStateFor(data, state, 0, false);
    }
};

QRgb bmpPixel(const uint8_t* rows, uint32_t w, uint32_t h, int x, int y)
{
    const uint8_t* p = rows + size_t(h - 1 - uint32_t(y)) * JpegFile::paddedStride(w) + x * 3;
    return qRgb(p[2], p[1], p[0]);
}

QRgb rgbPixel(const uint8_t* rows, uint32_t w, int x, int y)
{
    const uint8_t* p = rows + (size_t(y) * w + size_t(x)) * 3;
    return qRgb(p[0], p[1], p[2]);
}

bool near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

} // namespace

TEST(PageImage, PageHoldsRulerAndStripsWithoutHeader)
{
    TwoStripPage page;
    const QImage img = RenderPageImage(page.data, page.state);
    ASSERT_EQ(img.size(), QSize(100, 72));
    EXPECT_EQ(img.pixel(65, 52), kBlue);
    EXPECT_EQ(img.pixel(65, 65), kGreen);
    EXPECT_EQ(img.pixel(65, 71), qRgb(255, 0, 0)) << "buffer row 0 is the strip's bottom";
    EXPECT_EQ(img.pixel(65, 70), kGreen);
    for (int x = 60; x < 100; ++x)
        ASSERT_EQ(img.pixel(x, 48), qRgb(0, 0, 0)) << "ruler at x " << x;
    EXPECT_EQ(img.pixel(59, 48), qRgb(255, 255, 255));
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(img.pixel(x, y), qRgb(255, 255, 255)) << "no page header at " << x << "," << y;
}

TEST(PageImage, FileNamedByDepthsInEitherFormat)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German));
    TwoStripPage page;
    const QString name = PageImageName(page.data, 0, page.state.perPage);
    QLocale::setDefault(before);
    EXPECT_EQ(name, QStringLiteral("12.50-13.40"));

    QTemporaryDir dir;
    struct Case {
        int format;
        const char* file;
        int tolerance;
    };
    for (const Case c : {Case{0, "12.50-13.40.jpg", 40}, Case{1, "12.50-13.40.bmp", 0}}) {
        const QString path = dir.filePath(name + '.' + PageImageSuffix(c.format));
        ASSERT_TRUE(path.endsWith(QLatin1String(c.file)));
        ASSERT_TRUE(SavePageImage(page.data, page.state, path, c.format));
        uint32_t w = 0, h = 0;
        PixelBuffer bmp = JpegFile::LoadBmpFile(path, &w, &h);
        EXPECT_EQ(bmp != nullptr, c.format == 1) << c.file;
        PixelBuffer jpg;
        if (!bmp)
            jpg = JpegFile::ReadJpegToRgb(path, &w, &h);
        ASSERT_TRUE(bmp || jpg) << c.file;
        ASSERT_EQ(w, 100u);
        ASSERT_EQ(h, 72u);
        auto pixel = [&](int x, int y) {
            return bmp ? bmpPixel(bmp.get(), w, h, x, y) : rgbPixel(jpg.get(), w, x, y);
        };
        EXPECT_TRUE(near(pixel(65, 52), kBlue, c.tolerance)) << c.file;
        EXPECT_TRUE(near(pixel(65, 65), kGreen, c.tolerance)) << c.file;
        EXPECT_TRUE(near(pixel(80, 48), qRgb(0, 0, 0), c.tolerance * 2)) << c.file;
    }
}

TEST(PageImage, TextureIsTheStripsAloneAsBmp)
{
    TwoStripPage page;
    page.data.AddShape(std::make_unique<CAttitudeLine>(0, CShapePoint(0.5f, 12505.0f),
                                                       CShapePoint(2.5f, 12505.0f), 0, 3,
                                                       0x000000FF));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("texture.bmp"));
    ASSERT_TRUE(SavePageTexture(page.data, page.state, path));
    uint32_t w = 0, h = 0;
    PixelBuffer bmp = JpegFile::LoadBmpFile(path, &w, &h);
    ASSERT_TRUE(bmp) << "a 24-bit uncompressed BMP";
    ASSERT_EQ(w, 40u);
    ASSERT_EQ(h, 22u);
    for (int y = 0; y < 22; ++y)
        for (int x = 0; x < 40; ++x) {
            const QRgb want = y < 10 ? kBlue : y == 21 ? qRgb(255, 0, 0) : kGreen;
            ASSERT_EQ(bmpPixel(bmp.get(), w, h, x, y), want) << x << "," << y;
        }

    const CylinderSize cylinder = CylinderSizeFor(QSize(int(w), int(h)));
    EXPECT_FLOAT_EQ(cylinder.height, 72.0f);
    EXPECT_NEAR(cylinder.radius, 110.0f / (2.0f * 3.14159265f), 1e-4f);
}

TEST(PageImage, FailuresAreReported)
{
    TwoStripPage page;
    ErrorReport error;
    EXPECT_FALSE(SavePageTexture(page.data, page.state, QStringLiteral("/nonexistent/t.bmp"),
                                 &error));
    EXPECT_EQ(error.text, QStringLiteral("创建临时位图失败"));
    for (int format : {0, 1}) {
        error = {};
        EXPECT_FALSE(SavePageImage(page.data, page.state, QStringLiteral("/nonexistent/p.x"),
                                   format, &error));
        EXPECT_FALSE(error.isEmpty()) << format;
    }
}
