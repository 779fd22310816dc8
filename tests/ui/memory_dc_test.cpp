#include "ui/memory_dc.h"

#include "core/jpeg_file.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace bc;

namespace {

uint32_t le32(const QByteArray& bytes, int at)
{
    return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
           uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
}

// Whether the pixel's bytes (in the order given) lie within `tolerance` of
// the expected colour.
bool near(const uint8_t* p, int r, int g, int b, int tolerance = 40)
{
    return std::abs(p[0] - r) <= tolerance && std::abs(p[1] - g) <= tolerance &&
           std::abs(p[2] - b) <= tolerance;
}

class MemoryDcTest : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    QTemporaryDir dir;
};

TEST_F(MemoryDcTest, NewCanvasIsWhiteAndSavesABmpOfItsSize)
{
    CMemoryDC dc(24, path("page.bmp"), QSize(100, 50));
    ASSERT_TRUE(dc.IsValid());
    EXPECT_EQ(dc.Width(), 100);
    EXPECT_EQ(dc.Height(), 50);
    EXPECT_EQ(dc.Image().pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(dc.Image().pixel(99, 49), qRgb(255, 255, 255));
    EXPECT_EQ(dc.Painter().backgroundMode(), Qt::TransparentMode);

    ASSERT_EQ(dc.SaveBitmap(), 1);
    QFile file(path("page.bmp"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 54 + 300 * 50);
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    EXPECT_EQ(le32(bytes, 18), 100u);
    EXPECT_EQ(le32(bytes, 22), 50u);
    EXPECT_EQ(uint8_t(bytes[28]), 24);
    for (int i = 54; i < bytes.size(); ++i)
        ASSERT_EQ(uint8_t(bytes[i]), 0xFF) << i;
}

TEST_F(MemoryDcTest, OddWidthBmpKeepsTheRedTopLeftPixelInPlace)
{
    // 101 pixels: rows of 303 bytes, padded to 304 in the file.
    CMemoryDC dc(24, path("odd.bmp"), QSize(101, 7));
    dc.Painter().fillRect(QRect(0, 0, 1, 1), QColor(255, 0, 0));
    dc.Painter().fillRect(QRect(100, 6, 1, 1), QColor(0, 0, 255));
    ASSERT_EQ(dc.SaveBitmap(), 1);
    EXPECT_EQ(QFileInfo(path("odd.bmp")).size(), 54 + 304 * 7);

    uint32_t w = 0, h = 0;
    const PixelBuffer pixels = JpegFile::LoadBmpFile(path("odd.bmp"), &w, &h);
    ASSERT_NE(pixels, nullptr);
    ASSERT_EQ(w, 101u);
    ASSERT_EQ(h, 7u);
    const uint32_t stride = JpegFile::paddedStride(w);
    // Bottom-up blue, green, red: the top row is the file's last.
    const uint8_t* topLeft = pixels.get() + 6 * stride;
    EXPECT_EQ(topLeft[0], 0);
    EXPECT_EQ(topLeft[1], 0);
    EXPECT_EQ(topLeft[2], 255);
    const uint8_t* bottomRight = pixels.get() + 100 * 3;
    EXPECT_EQ(bottomRight[0], 255);
    EXPECT_EQ(bottomRight[1], 0);
    EXPECT_EQ(bottomRight[2], 0);
    // Every other pixel stays white.
    int white = 0;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            white += near(pixels.get() + y * stride + x * 3, 255, 255, 255, 0);
    EXPECT_EQ(white, 101 * 7 - 2);
}

TEST_F(MemoryDcTest, OddWidthJpegKeepsItsCornersInPlace)
{
    for (const int bits : {24, 32}) {
        const QString file = path(bits == 24 ? "odd24.jpg" : "odd32.jpg");
        CMemoryDC dc(bits, file, QSize(101, 61));
        dc.Painter().fillRect(QRect(0, 0, 16, 16), QColor(255, 0, 0));
        dc.Painter().fillRect(QRect(85, 45, 16, 16), QColor(0, 0, 255));
        ErrorReport error;
        ASSERT_EQ(dc.SaveAsJpeg(&error), 1) << bits;
        EXPECT_TRUE(error.isEmpty());

        uint32_t w = 0, h = 0;
        const PixelBuffer rgb = JpegFile::ReadJpegToRgb(file, &w, &h);
        ASSERT_NE(rgb, nullptr);
        ASSERT_EQ(w, 101u);
        ASSERT_EQ(h, 61u);
        auto pixel = [&](int x, int y) { return rgb.get() + (size_t(y) * w + x) * 3; };
        EXPECT_TRUE(near(pixel(0, 0), 255, 0, 0)) << bits;
        EXPECT_TRUE(near(pixel(7, 7), 255, 0, 0)) << bits;
        EXPECT_TRUE(near(pixel(93, 53), 0, 0, 255)) << bits;
        EXPECT_TRUE(near(pixel(100, 60), 0, 0, 255)) << bits;
        EXPECT_TRUE(near(pixel(50, 30), 255, 255, 255)) << bits;
        EXPECT_TRUE(near(pixel(100, 0), 255, 255, 255)) << bits;
        EXPECT_TRUE(near(pixel(0, 60), 255, 255, 255)) << bits;
    }
}

TEST_F(MemoryDcTest, FailedWritesAreReportedAsFailures)
{
    const QString missing = path("no-such-folder/page.jpg");
    CMemoryDC dc(24, missing, QSize(10, 10));
    ErrorReport error;
    EXPECT_EQ(dc.SaveAsJpeg(&error), 0);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(missing));
    EXPECT_EQ(dc.SaveBitmap(), 0);

    // Only canvases of 24 or 32 bits save as JPEG.
    CMemoryDC grey(8, path("grey.jpg"), QSize(10, 10));
    EXPECT_EQ(grey.SaveAsJpeg(), 0);
    EXPECT_FALSE(QFile::exists(path("grey.jpg")));

    CMemoryDC empty(24, path("empty.bmp"), QSize(0, 10));
    EXPECT_FALSE(empty.IsValid());
    EXPECT_EQ(empty.SaveBitmap(), 0);
    EXPECT_EQ(empty.SaveAsJpeg(), 0);
    EXPECT_FALSE(QFile::exists(path("empty.bmp")));
}

TEST_F(MemoryDcTest, WindowCanvasCopiesWhatTheWindowShows)
{
    QWidget window;
    window.resize(40, 30);
    QPalette pal = window.palette();
    pal.setColor(QPalette::Window, QColor(0, 128, 0));
    window.setPalette(pal);
    window.setAutoFillBackground(true);

    CMemoryDC dc(path("snap.bmp"), &window);
    ASSERT_TRUE(dc.IsValid());
    EXPECT_EQ(dc.BitsPerPixel(), 24);
    EXPECT_EQ(dc.Image().size(), QSize(40, 30));
    EXPECT_EQ(dc.Image().pixel(5, 5), qRgb(0, 128, 0));
    EXPECT_EQ(dc.SaveBitmap(), 1);
    EXPECT_EQ(QFileInfo(path("snap.bmp")).size(), 54 + 120 * 30);
}

} // namespace
