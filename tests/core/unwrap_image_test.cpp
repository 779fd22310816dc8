#include "core/unwrap_image.h"

#include "support/strip_fill.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

using namespace bc;
using bc::test::filledStrip;

namespace {

// Smooth enough for JPEG to keep every value within a few levels.
int smooth(int x, int y, int c)
{
    return c == 0 ? (x / 40) * 20 + 30 : c == 1 ? (y / 8) * 25 + 20 : 128;
}

int noise(int x, int y, int c)
{
    return (x * 131 + y * 71 + c * 37 + x * y) & 0xFF;
}

// The strip as its 14-byte record gives it back: keys and sizes, no pixels.
CUnWrapImage throughRecord(const CUnWrapImage& s, QByteArray* bytes = nullptr)
{
    QBuffer buf;
    buf.open(QIODevice::ReadWrite);
    s.WriteRecord(buf);
    if (bytes)
        *bytes = buf.data();
    buf.seek(0);
    CUnWrapImage t;
    t.ReadRecord(buf);
    return t;
}

} // namespace

TEST(StripItem, RecordOfFourteenBytesAndFilesOfEveryRow)
{
    // The record: depth key, angle, width and shown height, little-endian. A
    // record cut short reads as incomplete and changes nothing.
    CUnWrapImage s = filledStrip(802, 71, smooth, 0, -25, 359);
    s.shownHeight = 60;
    QByteArray bytes;
    const CUnWrapImage r = throughRecord(s, &bytes);
    EXPECT_EQ(bytes, QByteArray::fromHex("e7ffffff6701220300003c000000"));
    EXPECT_EQ(QList<int>({r.depthKey, r.angle, r.width, r.shownHeight, r.header.height}),
              QList<int>({-25, 359, 802, 60, 60}));
    QBuffer shortBuf;
    shortBuf.setData(bytes.left(13));
    shortBuf.open(QIODevice::ReadOnly);
    CUnWrapImage cut(7, 8);
    EXPECT_FALSE(cut.ReadRecord(shortBuf));
    EXPECT_EQ(QList<int>({cut.depthKey, cut.angle, cut.width}), QList<int>({7, 8, 0}));

    // JPEG and BMP of every held row, odd widths padded once only; loaded
    // through a record, the shown height stays unless the file cannot hold
    // it; without a record the file gives both sizes.
    QTemporaryDir dir;
    for (bool bmp : {false, true}) {
        SCOPED_TRACE(bmp ? "bmp" : "jpg");
        if (bmp)
            s = filledStrip(802, 71, noise, 0, -25, 359);
        s.shownHeight = 60;
        ASSERT_TRUE(bmp ? s.SaveBmp(dir.path()) : s.SaveJpg(dir.path()));
        const QString file = dir.filePath(bmp ? "-25.bmp" : "-25.jpg");
        // The file is top-down RGB: buffer row 0 is its bottom row.
        const QImage img(file);
        ASSERT_EQ(img.size(), QSize(802, 71));
        const QRgb p = img.pixel(801, 70);
        EXPECT_NEAR(qRed(p), s.row(0)[3 * 801 + 2], bmp ? 0 : 4);
        EXPECT_NEAR(qBlue(p), s.row(0)[3 * 801], bmp ? 0 : 4);
        EXPECT_TRUE(!bmp || QFile(file).size() == 54 + 2408 * 71); // padded once only

        for (int shown : {60, 500, -4, 0}) { // 0: no record
            CUnWrapImage t = throughRecord(s);
            t.width = shown ? 900 : 0;
            t.shownHeight = shown;
            ASSERT_TRUE(bmp ? t.LoadBmp(dir.path()) : t.LoadJpg(dir.path()));
            EXPECT_EQ(QList<int>({t.rows, t.width, t.stride, t.header.width, t.header.height}),
                      QList<int>({71, 802, 2408, 802, 71}));
            EXPECT_EQ(t.shownHeight, shown == 60 ? 60 : shown == -4 ? 0 : 71) << shown;
            for (int y : {0, 35, 70})
                for (int x : {0, 420, 801})
                    for (int c = 0; c < 3; ++c)
                        ASSERT_NEAR(t.row(y)[3 * x + c], s.row(y)[3 * x + c], bmp ? 0 : 4);
        }
    }
}

TEST(StripItem, FailedLoadsLeaveNoPixelsAndNothingIsWrittenWithout)
{
    QTemporaryDir dir;
    for (bool bmp : {false, true}) {
        CUnWrapImage s = filledStrip(16, 8, noise, 0, 77);
        ErrorReport err;
        EXPECT_FALSE(bmp ? s.LoadBmp(dir.path(), &err) : s.LoadJpg(dir.path(), &err));
        EXPECT_TRUE(!s.hasPixels() && s.rows == 0 && !err.text.isEmpty());
        EXPECT_FALSE(bmp ? s.SaveBmp(dir.path()) : s.SaveJpg(dir.path()));
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(StripItem, CopiesAreDeepAndMovesHandTheBufferOver)
{
    CUnWrapImage a = filledStrip(10, 6, noise, 0, 300, 123);
    a.shownHeight = 4;
    const CUnWrapImage b(a);
    EXPECT_EQ(QList<int>({b.depthKey, b.angle, b.rows, b.stride, b.header.height}),
              QList<int>({300, 123, 6, 32, 4}));
    ASSERT_TRUE(b.hasPixels() && b.pixels() != a.pixels());
    EXPECT_EQ(0, memcmp(b.pixels(), a.pixels(), 6 * 32));

    const uint8_t* buffer = a.pixels();
    CUnWrapImage moved(std::move(a));
    EXPECT_EQ(moved.pixels(), buffer);
    EXPECT_TRUE(!a.hasPixels() && a.rows == 0);
}
