// Page pictures drawn without a window: the exported page and the cylinder
// texture, checked by their pixels in memory and in the files written.

#include "analysis/page_image.h"
#include "analysis/unwrap_data.h"
#include "core/jpeg_file.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace bc;

namespace {

const QRgb kBlue = qRgb(20, 60, 200);
const QRgb kGreen = qRgb(30, 180, 40);
const QRgb kRed = qRgb(255, 0, 0);

// A strip of one colour whose buffer row 0 (drawn at the bottom) may be red.
std::unique_ptr<CUnWrapImage> solidStrip(int32_t key, int rows, QRgb colour, bool redBottom)
{
    auto item = std::make_unique<CUnWrapImage>(key, uint16_t(0));
    const int width = 40, stride = int(JpegFile::paddedStride(40));
    std::unique_ptr<uint8_t[]> bits(new uint8_t[size_t(stride * rows)]());
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < width; ++x) {
            const QRgb c = redBottom && y == 0 ? kRed : colour;
            uint8_t* p = bits.get() + y * stride + x * 3;
            p[0] = uint8_t(qBlue(c)), p[1] = uint8_t(qGreen(c)), p[2] = uint8_t(qRed(c));
        }
    item->width = width;
    item->shownHeight = rows;
    item->adoptPixels(std::move(bits), rows, stride);
    return item;
}

// Strips at 12.50 m (10 rows) and 13.40 m (12 rows, the bottom one red) and
// a shape across the first.
struct TwoStripPage {
    CUnWrapData data{QStringLiteral("/x/a.sfa"), QStringLiteral("/x")};
    PageViewState state;
    TwoStripPage()
    {
        data.InsertImage(solidStrip(12500, 10, kBlue, false), false);
        data.InsertImage(solidStrip(13400, 12, kGreen, true), false);
        data.AddShape(std::make_unique<CAttitudeLine>(0, CShapePoint(0.5f, 12700.0f),
                                                      CShapePoint(2.5f, 12700.0f), 0, 3, 0xFF));
        state.currentPage = 0;
        state = PageStateFor(data, state, 0, false);
    }
};

bool near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

int bmpBitsPerPixel(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? int(uint8_t(f.read(30).at(28))) : 0;
}

} // namespace

TEST(PageImage, RulerStripsAndShapesInMemoryAndInEitherFile)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German));
    TwoStripPage page;
    const QString name = PageImageName(page.data, 0, page.state.perPage);
    QLocale::setDefault(before);
    ASSERT_EQ(name, QStringLiteral("12.50-13.40"));

    QTemporaryDir dir;
    const QString jpg = dir.filePath(name + u'.' + PageImageSuffix(0));
    const QString bmp = dir.filePath(name + u'.' + PageImageSuffix(1));
    ASSERT_TRUE(jpg.endsWith(QLatin1String("/12.50-13.40.jpg")) && bmp.endsWith(QLatin1String(".bmp")));
    ASSERT_TRUE(SavePageImage(page.data, page.state, jpg, 0));
    ASSERT_TRUE(SavePageImage(page.data, page.state, bmp, 1));
    EXPECT_EQ(bmpBitsPerPixel(bmp), 24);

    for (const QImage& image : {RenderPageImage(page.data, page.state), QImage(bmp)}) {
        ASSERT_EQ(image.size(), QSize(100, 72));
        EXPECT_EQ(image.pixel(65, 52), kBlue);
        EXPECT_EQ(image.pixel(65, 65), kGreen);
        EXPECT_EQ(image.pixel(65, 71), kRed) << "buffer row 0 at the bottom";
        for (int x = 60; x < 100; ++x)
            ASSERT_EQ(image.pixel(x, 48), qRgb(0, 0, 0)) << x;
        EXPECT_EQ(image.pixel(20, 10), qRgb(255, 255, 255)) << "no page header";
        EXPECT_EQ(image.pixel(70, 54), kRed) << "the shape is drawn";
    }
    const QImage lossy(jpg, "JPG");
    ASSERT_EQ(lossy.size(), QSize(100, 72));
    EXPECT_TRUE(near(lossy.pixel(95, 53), kBlue, 16));
    EXPECT_TRUE(near(lossy.pixel(95, 66), kGreen, 16));
    EXPECT_TRUE(near(lossy.pixel(80, 48), qRgb(0, 0, 0), 16));
}

TEST(PageImage, TextureIsTheStripsAloneAsBmp)
{
    TwoStripPage page;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("texture.bmp"));
    ASSERT_TRUE(SavePageTexture(page.data, page.state, path));
    EXPECT_EQ(bmpBitsPerPixel(path), 24);
    const QImage texture(path);
    ASSERT_EQ(texture.size(), QSize(40, 22));
    for (int y = 0; y < 22; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(texture.pixel(x, y), y < 10 ? kBlue : y == 21 ? kRed : kGreen) << x << "," << y;

    const CylinderSize cylinder = CylinderSizeFor(texture.size());
    EXPECT_FLOAT_EQ(cylinder.height, 22.0f + 50.0f);
    EXPECT_NEAR(cylinder.radius, (40.0f + 70.0f) / (2.0f * 3.14159265f), 1e-4f);

    ErrorReport error;
    EXPECT_FALSE(SavePageTexture(page.data, page.state, dir.filePath("no/t.bmp"), &error));
    EXPECT_EQ(error.text, QStringLiteral("创建临时位图失败"));
}
