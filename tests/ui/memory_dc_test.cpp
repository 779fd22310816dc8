#include "ui/memory_dc.h"

#include "core/jpeg_file.h"
#include "fixed_look.h"
#include "support/file_bytes.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

using namespace bc;

namespace {

uint32_t le32(const QByteArray& bytes, int at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | uint8_t(bytes[at + i]);
    return v;
}

// Whether the pixel's three bytes lie within `tolerance` of the expected ones.
bool near(const uint8_t* p, int a, int b, int c, int tolerance = 40)
{
    return std::abs(p[0] - a) <= tolerance && std::abs(p[1] - b) <= tolerance &&
           std::abs(p[2] - c) <= tolerance;
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
    EXPECT_EQ(dc.Image().pixel(99, 49), qRgb(255, 255, 255));
    EXPECT_EQ(dc.Painter().backgroundMode(), Qt::TransparentMode);
    ASSERT_EQ(dc.SaveBitmap(), 1);
    const QByteArray bytes = test::fileBytes(path("page.bmp"));
    ASSERT_EQ(bytes.size(), 54 + 300 * 50);
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    EXPECT_EQ(QList<uint32_t>({le32(bytes, 18), le32(bytes, 22), uint8_t(bytes[28])}),
              QList<uint32_t>({100, 50, 24}));
    EXPECT_EQ(bytes.mid(54), QByteArray(300 * 50, char(0xFF)));
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
    ASSERT_EQ(QSize(int(w), int(h)), QSize(101, 7));
    // Bottom-up blue, green, red: the top row is the file's last; every
    // other pixel stays white.
    int white = 0;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            white += near(pixels.get() + y * 304 + x * 3, 255, 255, 255, 0);
    EXPECT_EQ(white, 101 * 7 - 2);
    EXPECT_TRUE(near(pixels.get() + 6 * 304, 0, 0, 255, 0));
    EXPECT_TRUE(near(pixels.get() + 100 * 3, 255, 0, 0, 0));
}

TEST_F(MemoryDcTest, OddWidthJpegKeepsItsCornersInPlace)
{
    for (const int bits : {24, 32}) {
        const QString file = path("odd.jpg");
        CMemoryDC dc(bits, file, QSize(101, 61));
        dc.Painter().fillRect(QRect(0, 0, 16, 16), QColor(255, 0, 0));
        dc.Painter().fillRect(QRect(85, 45, 16, 16), QColor(0, 0, 255));
        ErrorReport error;
        ASSERT_EQ(dc.SaveAsJpeg(&error), 1) << bits;
        EXPECT_TRUE(error.isEmpty());

        uint32_t w = 0, h = 0;
        const PixelBuffer rgb = JpegFile::ReadJpegToRgb(file, &w, &h);
        ASSERT_NE(rgb, nullptr);
        ASSERT_EQ(QSize(int(w), int(h)), QSize(101, 61));
        const struct {
            int x, y, r, g, b;
        } corners[] = {{0, 0, 255, 0, 0},         {7, 7, 255, 0, 0},       {93, 53, 0, 0, 255},
                       {100, 60, 0, 0, 255},      {50, 30, 255, 255, 255}, {100, 0, 255, 255, 255},
                       {0, 60, 255, 255, 255}};
        for (const auto& c : corners)
            EXPECT_TRUE(near(rgb.get() + (size_t(c.y) * w + c.x) * 3, c.r, c.g, c.b))
                << bits << " at " << c.x << "," << c.y;

        // Quality 75: the same file as the packed rows coded at 75.
        const QImage packed = dc.Image().convertToFormat(QImage::Format_RGB888);
        std::vector<uint8_t> rows(size_t(101) * 3 * 61);
        for (int y = 0; y < 61; ++y)
            std::memcpy(&rows[size_t(y) * 303], packed.constScanLine(y), 303);
        ASSERT_TRUE(JpegFile::WriteRgbAsJpeg(path("ref.jpg"), rows.data(), 101, 61, true, 75));
        EXPECT_EQ(test::fileBytes(file), test::fileBytes(path("ref.jpg"))) << bits;
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
    EXPECT_EQ(empty.SaveBitmap() + empty.SaveAsJpeg(), 0);
    EXPECT_FALSE(QFile::exists(path("empty.bmp")));
}

TEST_F(MemoryDcTest, WindowCanvasCopiesWhatTheWindowShows)
{
    QWidget window;
    window.resize(40, 30);
    test::paintBackground(window, QColor(0, 128, 0));
    CMemoryDC dc(path("snap.bmp"), &window);
    ASSERT_TRUE(dc.IsValid());
    EXPECT_EQ(dc.BitsPerPixel(), 24);
    EXPECT_EQ(dc.Image().size(), QSize(40, 30));
    EXPECT_EQ(dc.Image().pixel(5, 5), qRgb(0, 128, 0));
    EXPECT_EQ(dc.SaveBitmap(), 1);
    EXPECT_EQ(QFileInfo(path("snap.bmp")).size(), 54 + 120 * 30);
}

} // namespace
