#include "core/jpeg_file.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include <jpeglib.h>

using namespace bc;
using namespace bc::JpegFile;

namespace {

// A packed top-down RGB picture of four solid quadrants: red top-left, green
// top-right, blue bottom-left, white bottom-right.
std::vector<uint8_t> quadrants(int w, int h)
{
    std::vector<uint8_t> px(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &px[(size_t(y) * w + x) * 3];
            const bool right = x >= w / 2;
            const bool lower = y >= h / 2;
            const int rgb = !lower ? (right ? 0x00FF00 : 0xFF0000) : (right ? 0xFFFFFF : 0x0000FF);
            p[0] = uint8_t(rgb >> 16);
            p[1] = uint8_t(rgb >> 8);
            p[2] = uint8_t(rgb);
        }
    return px;
}

bool near(int a, int b, int tolerance = 12)
{
    return std::abs(a - b) <= tolerance;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A 4-component (CMYK) JPEG written with the library itself.
void writeCmykJpeg(const QString& path, int w, int h)
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
    writeAll(path, QByteArray(reinterpret_cast<const char*>(out), int(size)));
    free(out);
}

} // namespace

TEST(JpegFile, ColourJpegKeepsOrientationAndChannelOrder)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("q.jpg");
    const int w = 64, h = 48;
    const auto px = quadrants(w, h);
    ASSERT_TRUE(WriteRgbAsJpeg(path, px.data(), w, h, true, 75));

    // An independent decoder sees the picture the right way up, in RGB.
    QImageReader reader(path);
    const QImage img = reader.read();
    ASSERT_FALSE(img.isNull());
    ASSERT_EQ(img.size(), QSize(w, h));
    auto check = [&](int x, int y, int rgb) {
        const QRgb c = img.pixel(x, y);
        EXPECT_TRUE(near(qRed(c), rgb >> 16 & 0xFF) && near(qGreen(c), rgb >> 8 & 0xFF) &&
                    near(qBlue(c), rgb & 0xFF))
            << x << "," << y << " " << std::hex << c;
    };
    check(8, 8, 0xFF0000);
    check(w - 8, 8, 0x00FF00);
    check(8, h - 8, 0x0000FF);
    check(w - 8, h - 8, 0xFFFFFF);

    // Our reader gives top-down rows in red, green, blue order.
    uint32_t rw = 0, rh = 0;
    PixelBuffer back = ReadJpegToRgb(path, &rw, &rh);
    ASSERT_TRUE(back);
    ASSERT_EQ(rw, uint32_t(w));
    ASSERT_EQ(rh, uint32_t(h));
    for (int y : {4, h - 4})
        for (int x : {4, w - 4}) {
            const uint8_t* p = back.get() + (size_t(y) * w + x) * 3;
            const QRgb c = img.pixel(x, y);
            EXPECT_TRUE(near(p[0], qRed(c), 3) && near(p[1], qGreen(c), 3) &&
                        near(p[2], qBlue(c), 3))
                << x << "," << y;
        }
}

TEST(JpegFile, ReadsAJpegWrittenByAnotherEncoder)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("qt.jpg");
    QImage img(40, 30, QImage::Format_RGB888);
    img.fill(QColor(10, 200, 90));
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 40; ++x)
            img.setPixelColor(x, y, QColor(250, 240, 20));
    ASSERT_TRUE(img.save(path, "JPG", 90));
    uint32_t w = 0, h = 0;
    PixelBuffer px = ReadJpegToRgb(path, &w, &h);
    ASSERT_TRUE(px);
    EXPECT_EQ(w, 40u);
    EXPECT_EQ(h, 30u);
    const uint8_t* top = px.get() + (5 * 40 + 20) * 3;
    const uint8_t* low = px.get() + (25 * 40 + 20) * 3;
    EXPECT_TRUE(near(top[0], 250) && near(top[1], 240) && near(top[2], 20));
    EXPECT_TRUE(near(low[0], 10) && near(low[1], 200) && near(low[2], 90));
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
    QImageReader reader(path);
    const QImage img = reader.read();
    ASSERT_FALSE(img.isNull());
    EXPECT_TRUE(img.isGrayscale());

    uint32_t rw = 0, rh = 0;
    PixelBuffer back = ReadJpegToRgb(path, &rw, &rh);
    ASSERT_TRUE(back);
    ASSERT_EQ(rw * rh, uint32_t(w * h));
    for (int i = 0; i < w * h; ++i) {
        ASSERT_EQ(back[3 * i], back[3 * i + 1]) << i;
        ASSERT_EQ(back[3 * i], back[3 * i + 2]) << i;
        const int x = i % w, y = i / w;
        ASSERT_TRUE(near(back[3 * i], qGray(img.pixel(x, y)), 2)) << i;
    }
    // The grey value is 0.299, 0.587, 0.114 of the three bytes.
    const int flat = int(0.299 * 200 + 0.587 * 100 + 0.114 * 50);
    std::vector<uint8_t> solid(8 * 8 * 3);
    for (size_t i = 0; i < solid.size(); i += 3) {
        solid[i] = 200;
        solid[i + 1] = 100;
        solid[i + 2] = 50;
    }
    ASSERT_TRUE(WriteRgbAsJpeg(path, solid.data(), 8, 8, false, 100));
    back = ReadJpegToRgb(path, &rw, &rh);
    ASSERT_TRUE(back);
    EXPECT_TRUE(near(back[0], flat, 1)) << int(back[0]) << " vs " << flat;
}

TEST(JpegFile, ReadFailuresAreReportedNotShown)
{
    QTemporaryDir dir;
    uint32_t w = 7, h = 7;
    ErrorReport err;

    // Missing file.
    const QString missing = dir.filePath("none.jpg");
    EXPECT_FALSE(ReadJpegToRgb(missing, &w, &h, &err));
    EXPECT_EQ(w, 0u);
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(err.text, "JPEG :\nCan't open " + missing + "\n");

    // A file cut in half.
    const QString whole = dir.filePath("whole.jpg");
    const auto px = quadrants(200, 160);
    ASSERT_TRUE(WriteRgbAsJpeg(whole, px.data(), 200, 160, true, 75));
    const QByteArray bytes = readAll(whole);
    const QString cut = dir.filePath("cut.jpg");
    writeAll(cut, bytes.left(bytes.size() / 2));
    err = {};
    w = h = 7;
    EXPECT_FALSE(ReadJpegToRgb(cut, &w, &h, &err));
    EXPECT_EQ(w, 0u);
    EXPECT_EQ(err.caption, "JPEG Fatal Error");
    EXPECT_EQ(err.style, 0x10u);
    EXPECT_FALSE(err.text.isEmpty());

    // Cut inside the header, and not a JPEG at all.
    for (const QByteArray& junk :
         {bytes.left(20), QByteArray("hello, this is text"), QByteArray()}) {
        writeAll(cut, junk);
        err = {};
        EXPECT_FALSE(ReadJpegToRgb(cut, &w, &h, &err));
        EXPECT_EQ(err.caption, "JPEG Fatal Error");
    }

    // A header claiming 60000 x 60000 pixels is refused before any allocation.
    QByteArray huge = bytes;
    const int sof = huge.indexOf("\xFF\xC0");
    ASSERT_GT(sof, 0);
    huge[sof + 5] = char(0xEA);
    huge[sof + 6] = char(0x60);
    huge[sof + 7] = char(0xEA);
    huge[sof + 8] = char(0x60);
    const QString hugePath = dir.filePath("huge.jpg");
    writeAll(hugePath, huge);
    err = {};
    EXPECT_FALSE(ReadJpegToRgb(hugePath, &w, &h, &err));
    EXPECT_TRUE(err.text.contains("too large")) << err.text.toStdString();

    // Four components are refused with a clear message.
    const QString cmyk = dir.filePath("cmyk.jpg");
    writeCmykJpeg(cmyk, 16, 16);
    err = {};
    EXPECT_FALSE(ReadJpegToRgb(cmyk, &w, &h, &err));
    EXPECT_TRUE(err.text.contains("4 colour components")) << err.text.toStdString();
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
    const QByteArray got = readAll(path);
    const unsigned char expected[] = {
        'B', 'M', 86, 0,  0,  0,  0,  0,  0,  0,  54, 0,  0,  0, // file header
        40,  0,   0,  0,  5,  0,  0,  0,  2,  0,  0,  0,  1,  0,  24, 0, 0, 0, 0, 0,
        0,   0,   0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0, 0, 0, 0, 0, // info header
        1,   2,   3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 0,             // row 0 + pad
        16,  17,  18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 0,             // row 1 + pad
    };
    ASSERT_EQ(got.size(), int(sizeof expected));
    EXPECT_EQ(got, QByteArray(reinterpret_cast<const char*>(expected), sizeof expected));

    // Read back: the rows as held in the file, padded.
    uint32_t w = 0, h = 0;
    PixelBuffer back = LoadBmpFile(path, &w, &h);
    ASSERT_TRUE(back);
    EXPECT_EQ(w, 5u);
    EXPECT_EQ(h, 2u);
    EXPECT_EQ(0, memcmp(back.get(), expected + 54, 32));

    // Another reader agrees: buffer row 0 is the bottom row, bytes blue-green-red.
    const QImage img(path);
    ASSERT_EQ(img.size(), QSize(5, 2));
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
    const QByteArray bytes = readAll(good);

    auto patched = [&](int at, std::initializer_list<uint8_t> values) {
        QByteArray b = bytes;
        int i = at;
        for (uint8_t v : values)
            b[i++] = char(v);
        return b;
    };
    struct Case {
        const char* name;
        QByteArray data;
    };
    const Case cases[] = {
        {"empty", QByteArray()},
        {"header only", bytes.left(30)},
        {"not BM", patched(0, {'X', 'Y'})},
        {"100000 x 100000", patched(18, {0xA0, 0x86, 0x01, 0x00, 0xA0, 0x86, 0x01, 0x00})},
        {"8 bits per pixel", patched(28, {8, 0})},
        {"compressed", patched(30, {1, 0, 0, 0})},
        {"header size 12", patched(14, {12, 0, 0, 0})},
        {"header size past the end", patched(14, {0xFF, 0xFF, 0, 0})},
        {"pixel offset past the end", patched(10, {0xFF, 0xFF, 0, 0})},
        {"pixel offset inside the header", patched(10, {20, 0, 0, 0})},
        {"negative height", patched(22, {0xFC, 0xFF, 0xFF, 0xFF})},
        {"zero width", patched(18, {0, 0, 0, 0})},
        {"pixels cut short", bytes.left(bytes.size() - 1)},
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath("bad.bmp");
        writeAll(path, c.data);
        uint32_t w = 9, h = 9;
        ErrorReport err;
        EXPECT_FALSE(LoadBmpFile(path, &w, &h, &err)) << c.name;
        EXPECT_EQ(w, 0u) << c.name;
        EXPECT_EQ(h, 0u) << c.name;
        EXPECT_FALSE(err.text.isEmpty()) << c.name;
    }
    uint32_t w = 0, h = 0;
    EXPECT_TRUE(LoadBmpFile(good, &w, &h));
    EXPECT_FALSE(LoadBmpFile(dir.filePath("missing.bmp"), &w, &h));
}

TEST(JpegFile, RowLayoutConversions)
{
    // Flip: one row stays, three rows swap the first and last.
    uint8_t one[] = {1, 2, 3};
    EXPECT_TRUE(FlipRowsVertically(one, 3, 1));
    EXPECT_EQ(one[0], 1);
    uint8_t three[] = {1, 1, 2, 2, 3, 3};
    EXPECT_TRUE(FlipRowsVertically(three, 2, 3));
    const uint8_t flipped[] = {3, 3, 2, 2, 1, 1};
    EXPECT_EQ(0, memcmp(three, flipped, 6));
    uint8_t four[] = {1, 2, 3, 4};
    EXPECT_TRUE(FlipRowsVertically(four, 1, 4));
    const uint8_t flipped4[] = {4, 3, 2, 1};
    EXPECT_EQ(0, memcmp(four, flipped4, 4));
    EXPECT_FALSE(FlipRowsVertically(nullptr, 3, 3));

    uint8_t rgb[] = {1, 2, 3, 4, 5, 6};
    EXPECT_TRUE(SwapRedBlue(rgb, 2, 1));
    const uint8_t bgr[] = {3, 2, 1, 6, 5, 4};
    EXPECT_EQ(0, memcmp(rgb, bgr, 6));
    EXPECT_FALSE(SwapRedBlue(nullptr, 2, 1));

    // Pad and unpad a width whose rows are not a multiple of 4 bytes.
    std::vector<uint8_t> packed(7 * 3 * 3);
    for (size_t i = 0; i < packed.size(); ++i)
        packed[i] = uint8_t(i);
    uint32_t stride = 0;
    PixelBuffer padded = PadRows(packed.data(), 7, 3, &stride);
    ASSERT_TRUE(padded);
    EXPECT_EQ(stride, 24u);
    EXPECT_EQ(padded[24], packed[21]); // row 1 starts at the padded stride
    PixelBuffer again = UnpadRows(padded.get(), 7, 3, stride);
    ASSERT_TRUE(again);
    EXPECT_EQ(0, memcmp(again.get(), packed.data(), packed.size()));
    EXPECT_FALSE(UnpadRows(padded.get(), 7, 3, 20)); // stride shorter than a row
    EXPECT_EQ(paddedStride(800), 2400u);
    EXPECT_EQ(paddedStride(802), 2408u);

    const uint8_t rgba[] = {1, 2, 3, 255, 4, 5, 6, 255};
    PixelBuffer three8 = RgbaToRgb(rgba, 2, 1);
    ASSERT_TRUE(three8);
    const uint8_t want[] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(0, memcmp(three8.get(), want, 6));
    EXPECT_FALSE(RgbaToRgb(nullptr, 2, 1));
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
        EXPECT_EQ(readAll(direct), readAll(viaCopy)) << w;

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
