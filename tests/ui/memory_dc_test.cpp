#include "ui/memory_dc.h"

#include "core/jpeg_file.h"
#include "fixed_look.h"
#include "support/file_bytes.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdlib>

using namespace bc;

namespace {

uint32_t le32(const QByteArray& bytes, int at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | uint8_t(bytes[at + i]);
    return v;
}

// How far the RGB pixel at `p` lies from `c`, summed over the channels.
int distance(const uint8_t* p, const QColor& c)
{
    return std::abs(p[0] - c.red()) + std::abs(p[1] - c.green()) + std::abs(p[2] - c.blue());
}

class MemoryDcTest : public ::testing::Test {
  protected:
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    QTemporaryDir dir;
};

TEST_F(MemoryDcTest, NewCanvasIsWhiteAndSavesABottomUpBmpWithPaddedRows)
{
    // 101 pixels: rows of 303 bytes, padded to 304 in the file.
    CMemoryDC dc(24, path("odd.bmp"), QSize(101, 7));
    dc.Painter().fillRect(QRect(0, 0, 1, 1), QColor(255, 0, 0));
    dc.Painter().fillRect(QRect(100, 6, 1, 1), QColor(0, 0, 255));
    ASSERT_EQ(dc.SaveBitmap(), 1);
    const QByteArray bytes = test::fileBytes(path("odd.bmp"));
    ASSERT_EQ(bytes.size(), 54 + 304 * 7);
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    EXPECT_EQ(QList<uint32_t>({le32(bytes, 18), le32(bytes, 22), uint8_t(bytes[28])}),
              QList<uint32_t>({101, 7, 24}));
    // Blue, green, red; the top row is the file's last. Every other pixel
    // stays white.
    EXPECT_EQ(bytes.mid(54 + 6 * 304, 3), QByteArray("\x00\x00\xFF", 3));
    EXPECT_EQ(bytes.mid(54 + 300, 3), QByteArray("\xFF\x00\x00", 3));
    for (int row = 0; row < 7; ++row)
        EXPECT_EQ(bytes.mid(54 + row * 304, 303).count(char(0xFF)),
                  (row == 0 || row == 6) ? 301 : 303);
}

TEST_F(MemoryDcTest, OddWidthJpegOfQuality75KeepsItsCornersInPlace)
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
        const std::tuple<int, int, QColor> corners[] = {
            {0, 0, Qt::red},     {7, 7, Qt::red},     {93, 53, Qt::blue}, {100, 60, Qt::blue},
            {50, 30, Qt::white}, {100, 0, Qt::white}, {0, 60, Qt::white}};
        for (const auto& [x, y, colour] : corners) {
            const uint8_t* p = rgb.get() + (size_t(y) * w + x) * 3;
            EXPECT_LE(distance(p, colour), 60) << bits << " at " << x << "," << y;
        }
        // Quality 75 halves the standard luminance table: its first step, 16,
        // becomes 8.
        const QByteArray bytes = test::fileBytes(file);
        const int dqt = bytes.indexOf("\xFF\xDB");
        ASSERT_GT(dqt, 0);
        EXPECT_EQ(uint8_t(bytes[dqt + 5]), 8) << bits;
    }
}

TEST_F(MemoryDcTest, FailedWritesAreReportedAsFailures)
{
    const QString missing = path("no-such-folder/page.jpg");
    CMemoryDC dc(24, missing, QSize(10, 10));
    ErrorReport error;
    EXPECT_EQ(dc.SaveAsJpeg(&error), 0);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(dc.SaveBitmap(), 0);
    EXPECT_FALSE(QFile::exists(missing));

    // Only canvases of 24 or 32 bits save as JPEG.
    CMemoryDC grey(8, path("grey.jpg"), QSize(10, 10));
    EXPECT_EQ(grey.SaveAsJpeg(), 0);
    CMemoryDC empty(24, path("empty.bmp"), QSize(0, 10));
    EXPECT_FALSE(empty.IsValid());
    EXPECT_EQ(empty.SaveBitmap() + empty.SaveAsJpeg(), 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList());
}

TEST_F(MemoryDcTest, WindowCanvasCopiesWhatTheWindowShows)
{
    QWidget window;
    window.resize(40, 30);
    test::paintBackground(window, QColor(0, 128, 0));
    CMemoryDC dc(path("snap.bmp"), &window);
    EXPECT_EQ(dc.BitsPerPixel(), 24);
    EXPECT_EQ(dc.Image().size(), QSize(40, 30));
    EXPECT_EQ(dc.Image().pixel(5, 5), qRgb(0, 128, 0));
    EXPECT_EQ(dc.SaveBitmap(), 1);
    EXPECT_EQ(QFileInfo(path("snap.bmp")).size(), 54 + 120 * 30);
}

} // namespace
