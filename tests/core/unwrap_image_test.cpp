#include "core/jpeg_file.h"
#include "core/unwrap_image.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

using namespace bc;

namespace {

// A strip of `rows` padded rows filled by f(x, y, channel).
template <typename F> CUnWrapImage makeStrip(int32_t depth, int w, int rows, F f)
{
    CUnWrapImage s(depth, 123);
    const uint32_t stride = JpegFile::paddedStride(uint32_t(w));
    std::unique_ptr<uint8_t[]> px(new uint8_t[size_t(stride) * rows]());
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                px[size_t(y) * stride + 3 * x + c] = uint8_t(f(x, y, c));
    s.adoptPixels(std::move(px), rows, int(stride));
    s.width = w;
    s.shownHeight = rows;
    s.header.setSize(w, rows);
    return s;
}

// Smooth enough for JPEG to keep every value within a few levels.
int smooth(int x, int y, int c)
{
    return c == 0 ? (x / 40) * 20 + 30 : c == 1 ? (y / 8) * 25 + 20 : 128;
}

int noise(int x, int y, int c)
{
    return (x * 131 + y * 71 + c * 37 + x * y) & 0xFF;
}

} // namespace

TEST(StripItem, RecordRoundTripsItsFourFieldsInFourteenBytes)
{
    CUnWrapImage a(-1500, 359);
    a.width = 800;
    a.shownHeight = 60;
    QBuffer buf;
    buf.open(QIODevice::ReadWrite);
    ASSERT_TRUE(a.WriteRecord(buf));
    const QByteArray bytes = buf.data();
    const unsigned char expected[] = {0x24, 0xFA, 0xFF, 0xFF, 0x67, 0x01, 0x20,
                                      0x03, 0,    0,    60,   0,    0,    0};
    ASSERT_EQ(bytes.size(), CUnWrapImage::kRecordSize);
    EXPECT_EQ(bytes, QByteArray(reinterpret_cast<const char*>(expected), 14));

    buf.seek(0);
    CUnWrapImage b;
    ASSERT_TRUE(b.ReadRecord(buf));
    EXPECT_EQ(b.depthKey, -1500);
    EXPECT_EQ(b.angle, 359);
    EXPECT_EQ(b.width, 800);
    EXPECT_EQ(b.shownHeight, 60);
    EXPECT_EQ(b.header.width, 800);
    EXPECT_EQ(b.header.height, 60);
    EXPECT_FALSE(b.hasPixels());

    // A record cut short reads as incomplete and changes nothing.
    QBuffer shortBuf;
    shortBuf.setData(bytes.left(13));
    shortBuf.open(QIODevice::ReadOnly);
    CUnWrapImage c(7, 8);
    EXPECT_FALSE(c.ReadRecord(shortBuf));
    EXPECT_EQ(c.depthKey, 7);
    EXPECT_EQ(c.angle, 8);
    EXPECT_EQ(c.width, 0);
}

TEST(StripItem, FileNamesUseTheSignedDepth)
{
    CUnWrapImage s(-25, 0);
    EXPECT_EQ(s.jpgPath("/data/survey"), "/data/survey/-25.jpg");
    CUnWrapImage t(1234567, 0);
    EXPECT_EQ(t.bmpPath("dir"), "dir/1234567.bmp");
}

TEST(StripItem, JpegKeepsEveryRowAndTheRecordsShownHeight)
{
    QTemporaryDir dir;
    CUnWrapImage s = makeStrip(4000, 800, 71, smooth);
    s.shownHeight = 60;
    ASSERT_TRUE(s.SaveJpg(dir.path()));
    EXPECT_EQ(QImageReader(dir.filePath("4000.jpg")).size(), QSize(800, 71));

    // The file is top-down RGB: buffer row 0 is its bottom row.
    const QImage img(dir.filePath("4000.jpg"));
    const QRgb bottom = img.pixel(100, 70);
    EXPECT_NEAR(qRed(bottom), smooth(100, 0, 2), 4);
    EXPECT_NEAR(qGreen(bottom), smooth(100, 0, 1), 4);
    EXPECT_NEAR(qBlue(bottom), smooth(100, 0, 0), 4);

    QBuffer rec;
    rec.open(QIODevice::ReadWrite);
    s.WriteRecord(rec);
    rec.seek(0);
    CUnWrapImage t;
    ASSERT_TRUE(t.ReadRecord(rec));
    ASSERT_TRUE(t.LoadJpg(dir.path()));
    EXPECT_EQ(t.rows, 71);
    EXPECT_EQ(t.shownHeight, 60);
    EXPECT_EQ(t.width, 800);
    EXPECT_EQ(t.stride, 2400);
    EXPECT_EQ(t.header.width, 800);
    EXPECT_EQ(t.header.height, 71);
    for (int y : {0, 35, 70})
        for (int x : {5, 420, 795})
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(t.row(y)[3 * x + c], s.row(y)[3 * x + c], 4) << x << "," << y;

    // Without a record the file gives both sizes.
    CUnWrapImage u(4000, 0);
    ASSERT_TRUE(u.LoadJpg(dir.path()));
    EXPECT_EQ(u.width, 800);
    EXPECT_EQ(u.shownHeight, 71);
}

TEST(StripItem, WidthNotAMultipleOfFourRoundTripsWithoutSkew)
{
    QTemporaryDir dir;
    // JPEG: loaded with rows padded to 2408 bytes, saved packed (2406).
    CUnWrapImage s = makeStrip(10, 802, 40, smooth);
    EXPECT_EQ(s.stride, 2408);
    ASSERT_TRUE(s.SaveJpg(dir.path()));
    CUnWrapImage j(10, 0);
    ASSERT_TRUE(j.LoadJpg(dir.path()));
    EXPECT_EQ(j.stride, 2408);
    EXPECT_EQ(j.width, 802);
    for (int y : {0, 20, 39})
        for (int x : {0, 420, 801})
            for (int c = 0; c < 3; ++c)
                ASSERT_NEAR(j.row(y)[3 * x + c], s.row(y)[3 * x + c], 4) << x << "," << y;

    // BMP: lossless, so every byte comes back; padded once only.
    CUnWrapImage n = makeStrip(-20, 802, 13, noise);
    ASSERT_TRUE(n.SaveBmp(dir.path()));
    EXPECT_EQ(QFile(dir.filePath("-20.bmp")).size(), 54 + 2408 * 13);
    const QImage img(dir.filePath("-20.bmp"));
    ASSERT_EQ(img.size(), QSize(802, 13));
    EXPECT_EQ(img.pixel(801, 0), qRgb(noise(801, 12, 2), noise(801, 12, 1), noise(801, 12, 0)));
    CUnWrapImage b(-20, 0);
    ASSERT_TRUE(b.LoadBmp(dir.path()));
    EXPECT_EQ(b.rows, 13);
    EXPECT_EQ(b.stride, 2408);
    for (int y = 0; y < 13; ++y)
        ASSERT_EQ(0, memcmp(b.row(y), n.row(y), 802 * 3)) << y;
}

TEST(StripItem, RecordThatDisagreesWithItsFileIsCorrected)
{
    QTemporaryDir dir;
    CUnWrapImage s = makeStrip(5, 402, 30, noise);
    ASSERT_TRUE(s.SaveBmp(dir.path()));
    ASSERT_TRUE(s.SaveJpg(dir.path()));

    for (bool bmp : {true, false}) {
        CUnWrapImage t(5, 0);
        t.width = 900;       // wider than the file
        t.shownHeight = 500; // more rows than held
        ASSERT_TRUE(bmp ? t.LoadBmp(dir.path()) : t.LoadJpg(dir.path()));
        EXPECT_EQ(t.width, 402);
        EXPECT_EQ(t.shownHeight, 30);
        EXPECT_EQ(t.header.width, 402);

        CUnWrapImage u(5, 0);
        u.width = 402;
        u.shownHeight = -4; // a hostile record
        ASSERT_TRUE(bmp ? u.LoadBmp(dir.path()) : u.LoadJpg(dir.path()));
        EXPECT_GE(u.shownHeight, 0);
        EXPECT_LE(u.shownHeight, u.rows);
    }
}

TEST(StripItem, FailedLoadsLeaveNoPixels)
{
    QTemporaryDir dir;
    CUnWrapImage s = makeStrip(77, 16, 8, noise);
    ErrorReport err;
    EXPECT_FALSE(s.LoadJpg(dir.path(), &err));
    EXPECT_FALSE(s.hasPixels());
    EXPECT_EQ(s.rows, 0);
    EXPECT_TRUE(err.text.startsWith("JPEG :\nCan't open "));

    s = makeStrip(77, 16, 8, noise);
    EXPECT_FALSE(s.LoadBmp(dir.path()));
    EXPECT_FALSE(s.hasPixels());

    // An 8-bit BMP is not a strip.
    QImage grey(16, 8, QImage::Format_Indexed8);
    grey.setColorCount(256);
    for (int i = 0; i < 256; ++i)
        grey.setColor(i, qRgb(i, i, i));
    grey.fill(3);
    ASSERT_TRUE(grey.save(dir.filePath("77.bmp"), "BMP"));
    s = makeStrip(77, 16, 8, noise);
    EXPECT_FALSE(s.LoadBmp(dir.path()));
    EXPECT_FALSE(s.hasPixels());

    // Nothing is written for a strip without pixels.
    CUnWrapImage empty(78, 0);
    EXPECT_FALSE(empty.SaveJpg(dir.path()));
    EXPECT_FALSE(empty.SaveBmp(dir.path()));
    EXPECT_FALSE(QFile::exists(dir.filePath("78.jpg")));
    EXPECT_FALSE(QFile::exists(dir.filePath("78.bmp")));
}

TEST(StripItem, CopyIsDeep)
{
    CUnWrapImage a = makeStrip(300, 10, 6, noise);
    a.shownHeight = 4;
    CUnWrapImage b(1, 1);
    b.CopyFrom(a);
    EXPECT_EQ(b.depthKey, 300);
    EXPECT_EQ(b.angle, 123);
    EXPECT_EQ(b.rows, 6);
    EXPECT_EQ(b.stride, 32);
    EXPECT_EQ(b.header.width, 10);
    EXPECT_EQ(b.header.height, 4);
    ASSERT_TRUE(b.hasPixels());
    EXPECT_NE(b.pixels(), a.pixels());
    EXPECT_EQ(0, memcmp(b.pixels(), a.pixels(), 6 * 32));
    a.row(5)[29] ^= 0xFF;
    EXPECT_NE(b.row(5)[29], a.row(5)[29]);

    CUnWrapImage c(a); // the copy constructor copies deeply too
    EXPECT_EQ(0, memcmp(c.pixels(), a.pixels(), 6 * 32));
    CUnWrapImage none(9, 9);
    c = none;
    EXPECT_FALSE(c.hasPixels());
    EXPECT_EQ(c.depthKey, 9);
    c = c;
    EXPECT_EQ(c.depthKey, 9);

    // Moving hands the buffer over and leaves the source without pixels.
    const uint8_t* buffer = a.pixels();
    CUnWrapImage moved(std::move(a));
    EXPECT_EQ(moved.pixels(), buffer);
    EXPECT_EQ(moved.rows, 6);
    EXPECT_FALSE(a.hasPixels());
    EXPECT_EQ(a.rows, 0);
    CUnWrapImage target;
    target = std::move(moved);
    EXPECT_EQ(target.pixels(), buffer);
    EXPECT_EQ(target.depthKey, 300);
    EXPECT_FALSE(moved.hasPixels());
}
