#include "core/jpeg_file.h"

#include "support/file_bytes.h"

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <jpeglib.h>

using namespace bc;
using namespace bc::JpegFile;
using bc::test::fileBytes;
using bc::test::writeFileBytes;

namespace {

// Packed top-down RGB of four solid quadrants: red top-left, green top-right,
// blue bottom-left, white bottom-right.
int quadrantColour(int x, int y, int w, int h)
{
    return y < h / 2 ? (x < w / 2 ? 0xFF0000 : 0x00FF00) : (x < w / 2 ? 0x0000FF : 0xFFFFFF);
}

std::vector<uint8_t> quadrants(int w, int h)
{
    std::vector<uint8_t> px(size_t(w) * h * 3);
    for (int i = 0; i < w * h; ++i)
        for (int c = 0; c < 3; ++c)
            px[3 * i + c] = uint8_t(quadrantColour(i % w, i / w, w, h) >> (16 - 8 * c));
    return px;
}

bool near(int a, int b, int tolerance = 12)
{
    return std::abs(a - b) <= tolerance;
}

bool nearRgb(const uint8_t* p, int rgb, int tolerance = 12)
{
    return near(p[0], rgb >> 16 & 0xFF, tolerance) && near(p[1], rgb >> 8 & 0xFF, tolerance) &&
           near(p[2], rgb & 0xFF, tolerance);
}

// A 4-component (CMYK) JPEG written with the library itself.
QByteArray cmykJpeg(int w, int h)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = w;
    cinfo.image_height = h;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(size_t(w) * 4, 100);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    const QByteArray bytes(reinterpret_cast<const char*>(out), int(size));
    free(out);
    return bytes;
}

} // namespace

TEST(JpegFile, ColourJpegKeepsOrientationAndChannelOrderBothWays)
{
    // Written by us and read by another decoder, and written by another
    // encoder and read by us: the picture the right way up, in RGB.
    QTemporaryDir dir;
    const QString path = dir.filePath("q.jpg");
    const int w = 64, h = 48;
    const auto px = quadrants(w, h);
    for (bool ours : {true, false}) {
        if (ours)
            ASSERT_TRUE(WriteRgbAsJpeg(path, px.data(), w, h, true, 75));
        else
            ASSERT_TRUE(QImage(px.data(), w, h, w * 3, QImage::Format_RGB888).save(path, "JPG", 90));
        const QImage img = QImage(path).convertToFormat(QImage::Format_RGB888);
        uint32_t rw = 0, rh = 0;
        PixelBuffer back = ReadJpegToRgb(path, &rw, &rh);
        ASSERT_TRUE(back);
        ASSERT_EQ(QSize(int(rw), int(rh)), QSize(w, h));
        ASSERT_EQ(img.size(), QSize(w, h));
        for (int y : {6, h - 6})
            for (int x : {6, w - 6}) {
                const int rgb = quadrantColour(x, y, w, h);
                EXPECT_TRUE(nearRgb(back.get() + (size_t(y) * w + x) * 3, rgb)) << ours << x << y;
                EXPECT_TRUE(nearRgb(img.constScanLine(y) + 3 * x, rgb)) << ours << x << y;
            }
    }
    // The quality asked for is the quality written.
    ASSERT_TRUE(WriteRgbAsJpeg(path, px.data(), w, h, true, 10));
    const auto coarse = fileBytes(path).size();
    ASSERT_TRUE(WriteRgbAsJpeg(path, px.data(), w, h, true, 95));
    EXPECT_LT(coarse, fileBytes(path).size());
}

TEST(JpegFile, GreyJpegReadsAsThreeEqualBytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("g.jpg");
    const int w = 33, h = 17; // odd sizes: the spreading must not skip a pixel
    std::vector<uint8_t> px(size_t(w) * h * 3);
    for (int i = 0; i < w * h; ++i) {
        px[3 * i] = uint8_t(i * 7);
        px[3 * i + 1] = uint8_t(i * 3);
        px[3 * i + 2] = uint8_t(255 - i);
    }
    ASSERT_TRUE(WriteRgbAsJpeg(path, px.data(), w, h, false, 95));
    const QImage img(path);
    ASSERT_TRUE(img.isGrayscale());
    uint32_t rw = 0, rh = 0;
    PixelBuffer back = ReadJpegToRgb(path, &rw, &rh);
    ASSERT_TRUE(back);
    ASSERT_EQ(rw * rh, uint32_t(w * h));
    for (int i = 0; i < w * h; ++i) {
        ASSERT_EQ(back[3 * i], back[3 * i + 1]) << i;
        ASSERT_EQ(back[3 * i], back[3 * i + 2]) << i;
        ASSERT_TRUE(near(back[3 * i], qGray(img.pixel(i % w, i / w)), 2)) << i;
    }
    // The grey value is 0.299, 0.587, 0.114 of the three bytes.
    std::vector<uint8_t> solid(8 * 8 * 3);
    for (size_t i = 0; i < solid.size(); i += 3)
        std::memcpy(&solid[i], "\xC8\x64\x32", 3);
    ASSERT_TRUE(WriteRgbAsJpeg(path, solid.data(), 8, 8, false, 100));
    back = ReadJpegToRgb(path, &rw, &rh);
    ASSERT_TRUE(back);
    EXPECT_TRUE(near(back[0], int(0.299 * 200 + 0.587 * 100 + 0.114 * 50), 1)) << int(back[0]);
}

TEST(JpegFile, ReadFailuresAreReportedNotShown)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath("none.jpg");
    uint32_t w = 7, h = 7;
    ErrorReport err;
    EXPECT_FALSE(ReadJpegToRgb(missing, &w, &h, &err));
    EXPECT_EQ(QSize(int(w), int(h)), QSize(0, 0));
    EXPECT_EQ(err.text, "JPEG :\nCan't open " + missing + "\n");

    const QString whole = dir.filePath("whole.jpg");
    const auto px = quadrants(200, 160);
    ASSERT_TRUE(WriteRgbAsJpeg(whole, px.data(), 200, 160, true, 75));
    const QByteArray bytes = fileBytes(whole);
    // A header claiming 60000 x 60000 pixels is refused before any allocation.
    QByteArray huge = bytes;
    const int sof = huge.indexOf("\xFF\xC0");
    ASSERT_GT(sof, 0);
    huge.replace(sof + 5, 4, "\xEA\x60\xEA\x60");
    const struct {
        const char* name;
        QByteArray data;
        const char* says;
    } cases[] = {{"cut in half", bytes.left(bytes.size() / 2), ""},
                 {"cut in the header", bytes.left(20), ""},
                 {"text", QByteArray("hello, this is text"), ""},
                 {"empty", QByteArray(), ""},
                 {"huge", huge, "too large"},
                 {"four components", cmykJpeg(16, 16), "4 colour components"}};
    const QString path = dir.filePath("bad.jpg");
    for (const auto& c : cases) {
        ASSERT_TRUE(writeFileBytes(path, c.data) || c.data.isEmpty());
        err = {};
        w = h = 7;
        EXPECT_FALSE(ReadJpegToRgb(path, &w, &h, &err)) << c.name;
        EXPECT_EQ(w, 0u) << c.name;
        if (!*c.says) { // what the decoder itself gave up on
            EXPECT_TRUE(err.caption == "JPEG Fatal Error" && err.style == 0x10u) << c.name;
        }
        EXPECT_TRUE(err.text.contains(QString::fromUtf8(c.says)) && !err.text.isEmpty())
            << c.name << ": " << err.text.toStdString();
    }
}

TEST(JpegFile, WriteFailuresLeaveNothingBehind)
{
    QTemporaryDir dir;
    const auto px = quadrants(16, 16);
    EXPECT_FALSE(WriteRgbAsJpeg(dir.filePath("a.jpg"), nullptr, 16, 16, true, 75));
    EXPECT_FALSE(WriteRgbAsJpeg(dir.filePath("a.jpg"), px.data(), 0, 16, true, 75));
    EXPECT_FALSE(WriteRgbAsJpeg(dir.filePath("a.jpg"), px.data(), 16, 0, true, 75));
    EXPECT_FALSE(QFile::exists(dir.filePath("a.jpg")));

    ErrorReport err;
    const QString bad = dir.filePath("no/such/folder/a.jpg");
    EXPECT_FALSE(WriteRgbAsJpeg(bad, px.data(), 16, 16, true, 75, &err));
    EXPECT_EQ(err.text, "JpegFile :\nCan't open " + bad + "\n");

    // Rewriting replaces the old file whole.
    const QString path = dir.filePath("b.jpg");
    ASSERT_TRUE(WriteRgbAsJpeg(path, px.data(), 16, 16, true, 75));
    ASSERT_TRUE(WriteRgbAsJpeg(path, px.data(), 8, 8, true, 75));
    EXPECT_EQ(QImageReader(path).size(), QSize(8, 8));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"b.jpg"});
}

TEST(JpegFile, BmpOfFivePixelsIsWrittenByteForByte)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("five.bmp");
    std::vector<uint8_t> px(5 * 2 * 3);
    for (size_t i = 0; i < px.size(); ++i)
        px[i] = uint8_t(i + 1);
    ASSERT_TRUE(SaveBmpFile(path, px.data(), 5, 2, 24));
    const unsigned char expected[] = {
        'B', 'M', 86, 0,  0,  0,  0,  0,  0,  0,  54, 0,  0,  0, // file header
        40,  0,   0,  0,  5,  0,  0,  0,  2,  0,  0,  0,  1,  0,  24, 0, 0, 0, 0, 0,
        0,   0,   0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0, 0, 0, 0, 0, // info header
        1,   2,   3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 0,             // row 0 + pad
        16,  17,  18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 0,             // row 1 + pad
    };
    EXPECT_EQ(fileBytes(path), QByteArray(reinterpret_cast<const char*>(expected), sizeof expected));

    // Read back: the rows as held in the file, padded.
    uint32_t w = 0, h = 0;
    PixelBuffer back = LoadBmpFile(path, &w, &h);
    ASSERT_TRUE(back);
    EXPECT_EQ(QSize(int(w), int(h)), QSize(5, 2));
    EXPECT_EQ(0, memcmp(back.get(), expected + 54, 32));

    // Another reader agrees: buffer row 0 is the bottom row, bytes blue-green-red.
    const QImage img(path);
    EXPECT_EQ(img.pixel(0, 1), qRgb(3, 2, 1));
    EXPECT_EQ(img.pixel(4, 0), qRgb(30, 29, 28));

    EXPECT_FALSE(SaveBmpFile(dir.filePath("x.bmp"), px.data(), 5, 2, 32));
    EXPECT_FALSE(SaveBmpFile(dir.filePath("x.bmp"), nullptr, 5, 2, 24));
    EXPECT_FALSE(QFile::exists(dir.filePath("x.bmp")));
}

TEST(JpegFile, HostileBmpFilesFailCleanly)
{
    QTemporaryDir dir;
    std::vector<uint8_t> px(6 * 4 * 3, 77);
    const QString good = dir.filePath("good.bmp");
    ASSERT_TRUE(SaveBmpFile(good, px.data(), 6, 4, 24));
    const QByteArray bytes = fileBytes(good);
    auto patched = [&](int at, const QByteArray& values) {
        return QByteArray(bytes).replace(at, values.size(), values);
    };
    const struct {
        const char* name;
        QByteArray data;
    } cases[] = {
        {"empty", QByteArray()},
        {"header only", bytes.left(30)},
        {"not BM", patched(0, "XY")},
        {"100000 x 100000", patched(18, QByteArray("\xA0\x86\x01\x00\xA0\x86\x01\x00", 8))},
        {"8 bits per pixel", patched(28, QByteArray("\x08\x00", 2))},
        {"compressed", patched(30, QByteArray("\x01\x00", 2))},
        {"header size 12", patched(14, QByteArray("\x0C\x00", 2))},
        {"header size past the end", patched(14, QByteArray("\xFF\xFF", 2))},
        {"pixel offset past the end", patched(10, QByteArray("\xFF\xFF", 2))},
        {"pixel offset inside the header", patched(10, QByteArray("\x14\x00", 2))},
        {"negative height", patched(22, "\xFC\xFF\xFF\xFF")},
        {"zero width", patched(18, QByteArray(4, '\0'))},
        {"pixels cut short", bytes.left(bytes.size() - 1)}};
    const QString path = dir.filePath("bad.bmp");
    for (const auto& c : cases) {
        writeFileBytes(path, c.data);
        uint32_t w = 9, h = 9;
        ErrorReport err;
        EXPECT_FALSE(LoadBmpFile(path, &w, &h, &err)) << c.name;
        EXPECT_EQ(QSize(int(w), int(h)), QSize(0, 0)) << c.name;
        EXPECT_FALSE(err.text.isEmpty()) << c.name;
    }
    uint32_t w = 0, h = 0;
    EXPECT_TRUE(LoadBmpFile(good, &w, &h));
    EXPECT_FALSE(LoadBmpFile(dir.filePath("missing.bmp"), &w, &h));
}

TEST(JpegFile, RowLayoutConversionsRefuseWhatTheyCannotDo)
{
    uint8_t one[] = {1, 2, 3};
    EXPECT_TRUE(FlipRowsVertically(one, 3, 1));
    EXPECT_EQ(one[0], 1);
    uint8_t four[] = {1, 2, 3, 4};
    EXPECT_TRUE(FlipRowsVertically(four, 1, 4));
    EXPECT_EQ(0, memcmp(four, "\x04\x03\x02\x01", 4));
    EXPECT_FALSE(FlipRowsVertically(nullptr, 3, 3));
    EXPECT_FALSE(SwapRedBlue(nullptr, 2, 1));
    const uint8_t packed[7 * 3 * 3] = {};
    EXPECT_FALSE(UnpadRows(packed, 7, 3, 20)); // stride shorter than a row
}

TEST(JpegFile, StripLayoutCodingEqualsFlipSwapAndPad)
{
    // Writing from bottom-up blue-green-red rows gives the same file as
    // flipping, swapping and writing the packed copy; reading into that
    // layout gives the same bytes as reading, swapping, flipping and padding.
    QTemporaryDir dir;
    for (uint32_t w : {802u, 800u, 33u}) {
        const uint32_t h = 21;
        const uint32_t stride = paddedStride(w);
        std::vector<uint8_t> strip(size_t(stride) * h, 0);
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w * 3; ++x)
                strip[y * stride + x] = uint8_t((x * 5 + y * 11 + (x * y) % 7) & 0xFF);
        const QString direct = dir.filePath("direct.jpg");
        ASSERT_TRUE(WriteStripAsJpeg(direct, strip.data(), w, h, stride, 75));
        PixelBuffer packed = UnpadRows(strip.data(), w, h, stride);
        FlipRowsVertically(packed.get(), w * 3, h);
        SwapRedBlue(packed.get(), w, h);
        const QString viaCopy = dir.filePath("copy.jpg");
        ASSERT_TRUE(WriteRgbAsJpeg(viaCopy, packed.get(), w, h, true, 75));
        EXPECT_EQ(fileBytes(direct), fileBytes(viaCopy)) << w;

        uint32_t rw = 0, rh = 0, rs = 0;
        PixelBuffer asStrip = ReadJpegToStrip(direct, &rw, &rh, &rs);
        ASSERT_TRUE(asStrip);
        EXPECT_EQ(rs, stride);
        PixelBuffer rgb = ReadJpegToRgb(direct, &rw, &rh);
        SwapRedBlue(rgb.get(), rw, rh);
        FlipRowsVertically(rgb.get(), rw * 3, rh);
        uint32_t ps = 0;
        PixelBuffer padded = PadRows(rgb.get(), rw, rh, &ps);
        EXPECT_EQ(0, memcmp(asStrip.get(), padded.get(), size_t(ps) * rh)) << w;
    }
    EXPECT_FALSE(WriteStripAsJpeg(dir.filePath("x.jpg"), nullptr, 4, 4, 12, 75));
    EXPECT_FALSE(
        WriteStripAsJpeg(dir.filePath("x.jpg"), std::vector<uint8_t>(64).data(), 8, 2, 20, 75));
}
