#include "core/jpeg_file.h"
#include "core/unwrap_image.h"

#include "support/strip_fill.h"

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

template <typename F> CUnWrapImage makeStrip(int32_t depth, int w, int rows, F f)
{
    return test::filledStrip(w, rows, f, 0, depth, 123);
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
    EXPECT_EQ(QList<int>({b.depthKey, b.angle, b.width, b.shownHeight, b.header.width,
                          b.header.height, b.hasPixels()}),
              QList<int>({-1500, 359, 800, 60, 800, 60, false}));

    // A record cut short reads as incomplete and changes nothing.
    QBuffer shortBuf;
    shortBuf.setData(bytes.left(13));
    shortBuf.open(QIODevice::ReadOnly);
    CUnWrapImage c(7, 8);
    EXPECT_FALSE(c.ReadRecord(shortBuf));
    EXPECT_EQ(QList<int>({c.depthKey, c.angle, c.width}), QList<int>({7, 8, 0}));
}

TEST(StripItem, JpegAndBmpKeepEveryRowWithoutSkew)
{
    // JPEG: saved packed, loaded with rows padded to 4 bytes; the record's
    // shown height is kept, and without a record the file gives both sizes.
    QTemporaryDir dir;
    for (int w : {800, 802}) {
        CUnWrapImage s = makeStrip(w, w, 71, smooth);
        s.shownHeight = 60;
        ASSERT_TRUE(s.SaveJpg(dir.path()));
        // The file is top-down RGB: buffer row 0 is its bottom row.
        const QImage img(dir.filePath(QStringLiteral("%1.jpg").arg(w)));
        ASSERT_EQ(img.size(), QSize(w, 71));
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
        EXPECT_EQ(QList<int>({t.rows, t.shownHeight, t.width, t.stride, t.header.height}),
                  QList<int>({71, 60, w, int(JpegFile::paddedStride(uint32_t(w))), 71}));
        for (int y : {0, 35, 70})
            for (int x : {0, 420, w - 1})
                for (int c = 0; c < 3; ++c)
                    ASSERT_NEAR(t.row(y)[3 * x + c], s.row(y)[3 * x + c], 4) << x << "," << y;
        CUnWrapImage u(w, 0);
        ASSERT_TRUE(u.LoadJpg(dir.path()));
        EXPECT_EQ(QSize(u.width, u.shownHeight), QSize(w, 71));
    }
    EXPECT_EQ(CUnWrapImage(-25, 0).jpgPath("/data"), "/data/-25.jpg"); // the signed depth
    EXPECT_EQ(CUnWrapImage(-25, 0).bmpPath("dir"), "dir/-25.bmp");

    // BMP: lossless, so every byte comes back; padded once only.
    CUnWrapImage n = makeStrip(-20, 802, 13, noise);
    ASSERT_TRUE(n.SaveBmp(dir.path()));
    EXPECT_EQ(QFile(dir.filePath("-20.bmp")).size(), 54 + 2408 * 13);
    const QImage img(dir.filePath("-20.bmp"));
    ASSERT_EQ(img.size(), QSize(802, 13));
    EXPECT_EQ(img.pixel(801, 0), qRgb(noise(801, 12, 2), noise(801, 12, 1), noise(801, 12, 0)));
    CUnWrapImage b(-20, 0);
    ASSERT_TRUE(b.LoadBmp(dir.path()));
    EXPECT_EQ(QSize(b.rows, b.stride), QSize(13, 2408));
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

    // Nothing is written for a strip without pixels.
    CUnWrapImage empty(78, 0);
    EXPECT_FALSE(empty.SaveJpg(dir.path()));
    EXPECT_FALSE(empty.SaveBmp(dir.path()));
    EXPECT_FALSE(QFile::exists(dir.filePath("78.jpg")));
    EXPECT_FALSE(QFile::exists(dir.filePath("78.bmp")));
}

TEST(StripItem, CopiesAreDeepAndMovesHandTheBufferOver)
{
    CUnWrapImage a = makeStrip(300, 10, 6, noise);
    a.shownHeight = 4;
    CUnWrapImage b(1, 1);
    b.CopyFrom(a);
    CUnWrapImage c(a);
    for (const CUnWrapImage* copy : {&b, &c}) {
        EXPECT_EQ(QList<int>({copy->depthKey, copy->angle, copy->rows, copy->stride,
                              copy->header.width, copy->header.height}),
                  QList<int>({300, 123, 6, 32, 10, 4}));
        ASSERT_TRUE(copy->hasPixels());
        EXPECT_NE(copy->pixels(), a.pixels());
        EXPECT_EQ(0, memcmp(copy->pixels(), a.pixels(), 6 * 32));
    }
    a.row(5)[29] ^= 0xFF;
    EXPECT_NE(b.row(5)[29], a.row(5)[29]);
    c = CUnWrapImage(9, 9);
    EXPECT_FALSE(c.hasPixels());
    c = c;
    EXPECT_EQ(c.depthKey, 9);

    const uint8_t* buffer = a.pixels();
    CUnWrapImage moved(std::move(a));
    EXPECT_EQ(moved.pixels(), buffer);
    EXPECT_FALSE(a.hasPixels());
    EXPECT_EQ(a.rows, 0);
    CUnWrapImage target;
    target = std::move(moved);
    EXPECT_EQ(target.pixels(), buffer);
    EXPECT_FALSE(moved.hasPixels());
}
