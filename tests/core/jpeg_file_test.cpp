#include "core/jpeg_file.h"

#include "support/file_bytes.h"

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>

using namespace bc;
using namespace bc::JpegFile;
using bc::test::fileBytes;
using bc::test::writeFileBytes;

namespace {

// Four solid quadrants: red top-left, green top-right, blue bottom-left,
// white bottom-right (rows of w x 3 bytes for the sizes used here).
QImage quadrants(int w, int h)
{
    QImage q(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            q.setPixel(x, y,
                       y < h / 2 ? (x < w / 2 ? 0xFF0000 : 0x00FF00)
                                 : (x < w / 2 ? 0x0000FF : 0xFFFFFF));
    return q;
}

bool near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
               std::abs(qBlue(a) - qBlue(b)) <=
           30;
}

// A colour JPEG in the library's standard progressive script, of a picture
// of flat bands on block boundaries (a multiple of 64 pixels wide and high):
// its refinement scans are a few bytes each, however large it is.
QByteArray progressiveJpeg(int w, int h)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(size_t(w) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = int(cinfo.next_scanline);
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = uint8_t(i / 3 / (w / 8) * 30 + y / (h / 8) * (i % 3) * 10);
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return bytes;
}

// The file with its last scan (from its start-of-scan marker to the end
// marker) repeated `times` more times: every repeat decodes again over the
// whole picture, the library only warns about it.
QByteArray repeatLastScan(const QByteArray& jpeg, int times)
{
    const qsizetype sos = jpeg.lastIndexOf("\xFF\xDA");
    const qsizetype eoi = jpeg.size() - 2;
    if (sos < 0 || jpeg.mid(eoi) != "\xFF\xD9")
        return {};
    const QByteArray scan = jpeg.mid(sos, eoi - sos);
    QByteArray out = jpeg.left(eoi);
    out.reserve(out.size() + scan.size() * times + 2);
    for (int i = 0; i < times; ++i)
        out += scan;
    return out + "\xFF\xD9";
}

// How the scans of a flat JPEG are laid out.
enum class Scans {
    Baseline,     // one scan of every component
    Progressive,  // the DC scan alone
    PerComponent, // sequential, one scan a component
};

// A flat grey JPEG of any size in a few hundred kilobytes: every block's
// coefficients are 0, so the picture decodes to 128 everywhere. Grey (one
// component) or colour (YCbCr, luminance sampled 2 x 2 as cameras write it);
// each block a one-bit DC code and, unless progressive, a one-bit end of
// block (a progressive file has the DC scan alone, one bit a block).
QByteArray flatJpeg(int w, int h, bool colour, Scans scans)
{
    const bool progressive = scans == Scans::Progressive;
    auto be16 = [](int v) { return QByteArray(1, char(v >> 8)) + char(v & 0xFF); };
    auto segment = [&](uint8_t marker, const QByteArray& body) {
        return QByteArray("\xFF") + char(marker) + be16(int(body.size()) + 2) + body;
    };
    // Huffman tables of one code each: "0" for symbol 0 (DC: no difference;
    // AC: end of block).
    auto oneCodeTable = [](uint8_t classAndId) {
        QByteArray t(1, char(classAndId));
        t += char(1);
        t += QByteArray(15, '\0');
        t += char(0);
        return t;
    };
    const int nc = colour ? 3 : 1;
    QByteArray frame = QByteArray(1, 8) + be16(h) + be16(w) + char(nc);
    for (int c = 1; c <= nc; ++c)
        frame += QByteArray(1, char(c)) + char(c == 1 && colour ? 0x22 : 0x11) + char(0);
    const QByteArray spectrum =
        progressive ? QByteArray("\x00\x00\x00", 3) : QByteArray("\x00\x3F\x00", 3);
    const int bitsABlock = progressive ? 1 : 2;
    // The scan header of the components [first, last] and its data.
    auto scan = [&](int first, int last, int64_t blocks) {
        QByteArray head(1, char(last - first + 1));
        for (int c = first; c <= last; ++c)
            head += QByteArray(1, char(c)) + char(0);
        const int64_t bits = blocks * bitsABlock;
        QByteArray data(qsizetype(bits / 8), '\0');
        if (bits % 8)
            data += char(0xFF >> (bits % 8)); // padded with ones
        return segment(0xDA, head + spectrum) + data;
    };
    auto blocksOf = [](int64_t samplesW, int64_t samplesH) {
        return ((samplesW + 7) / 8) * ((samplesH + 7) / 8);
    };
    QByteArray file("\xFF\xD8");
    file += segment(0xDB, QByteArray(1, 0) + QByteArray(64, 1));
    file += segment(progressive ? 0xC2 : 0xC0, frame);
    file += segment(0xC4, oneCodeTable(0x00));
    if (!progressive)
        file += segment(0xC4, oneCodeTable(0x10));
    if (scans == Scans::PerComponent) {
        // A scan of one component codes its own blocks, sampling aside.
        for (int c = 1; c <= nc; ++c) {
            const int64_t sub = c == 1 || !colour ? 1 : 2;
            file += scan(c, c, blocksOf((w + sub - 1) / sub, (h + sub - 1) / sub));
        }
    } else {
        const int mcuSide = colour ? 16 : 8;
        const int64_t mcus = int64_t((w + mcuSide - 1) / mcuSide) * ((h + mcuSide - 1) / mcuSide);
        file += scan(1, nc, mcus * (colour ? 6 : 1));
    }
    return file + "\xFF\xD9";
}

} // namespace

TEST(JpegFile, ColourJpegKeepsOrientationAndChannelOrderBothWays)
{
    // Written by us and read by another decoder, and written by another
    // encoder and read by us: the picture the right way up, in RGB.
    QTemporaryDir dir;
    const QString path = dir.filePath("q.jpg");
    const QImage q = quadrants(64, 48);
    for (bool ours : {true, false}) {
        ASSERT_TRUE(ours ? WriteRgbAsJpeg(path, q.constBits(), 64, 48, true, 75)
                         : q.save(path, "JPG", 90));
        uint32_t w = 0, h = 0;
        PixelBuffer back = ReadJpegToRgb(path, &w, &h);
        ASSERT_TRUE(back && w == 64 && h == 48);
        const QImage mine(back.get(), 64, 48, 64 * 3, QImage::Format_RGB888), theirs(path);
        for (const QPoint p : {QPoint(6, 6), QPoint(58, 6), QPoint(6, 42), QPoint(58, 42)}) {
            EXPECT_TRUE(near(mine.pixel(p), q.pixel(p))) << ours << " " << p.x() << "," << p.y();
            EXPECT_TRUE(near(theirs.pixel(p), q.pixel(p))) << ours << " " << p.x() << "," << p.y();
        }
    }
    // The quality asked for is the quality written.
    ASSERT_TRUE(WriteRgbAsJpeg(path, q.constBits(), 64, 48, true, 10));
    const auto coarse = fileBytes(path).size();
    ASSERT_TRUE(WriteRgbAsJpeg(path, q.constBits(), 64, 48, true, 95));
    EXPECT_LT(coarse, fileBytes(path).size());
}

TEST(JpegFile, GreyJpegReadsAsThreeEqualBytesOfTheWeightedSum)
{
    // A ramp of greys over a block of (200, 100, 50), whose grey value is
    // 0.299, 0.587, 0.114 of the three bytes; odd sizes: the spreading of a
    // grey row into three bytes must not skip a pixel.
    QTemporaryDir dir;
    const QString path = dir.filePath("g.jpg");
    const int w = 33, h = 17;
    std::vector<uint8_t> px(size_t(w) * h * 3);
    for (size_t i = 0; i < px.size(); ++i)
        px[i] = i / 3 / w < 8 ? uint8_t(i / 3 % w * 4) : uint8_t(200 >> (i % 3));
    ASSERT_TRUE(WriteRgbAsJpeg(path, px.data(), w, h, false, 100));
    ASSERT_TRUE(QImage(path).isGrayscale());
    uint32_t rw = 0, rh = 0;
    PixelBuffer back = ReadJpegToRgb(path, &rw, &rh);
    ASSERT_TRUE(back && rw * rh == uint32_t(w * h));
    const int grey = int(0.299 * 200 + 0.587 * 100 + 0.114 * 50);
    for (size_t i = 0; i < px.size(); i += 3) {
        const size_t row = i / 3 / w; // rows 8 to 15: one whole block of the colour
        ASSERT_TRUE(back[i] == back[i + 1] && back[i] == back[i + 2]) << i / 3;
        ASSERT_TRUE(row < 8 || row > 15 || std::abs(back[i] - grey) <= 1) << int(back[i]);
    }
}

TEST(JpegFile, FailuresAreReportedNotShownAndLeaveNoFileBehind)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("bad.jpg");
    uint32_t w = 7, h = 7;
    ErrorReport err;
    EXPECT_FALSE(ReadJpegToRgb(path, &w, &h, &err));
    EXPECT_TRUE(w == 0 && h == 0);
    EXPECT_EQ(err.text, QStringLiteral("无法读取图像文件: %1\n文件不存在").arg(path));
    const QString bad = dir.filePath("no/such/folder/a.jpg");
    const QImage q = quadrants(200, 160);
    EXPECT_FALSE(WriteRgbAsJpeg(bad, q.constBits(), 200, 160, true, 75, &err));
    EXPECT_EQ(err.text, QStringLiteral("无法写入图像文件: %1\n文件或目录不存在").arg(bad));

    // Rewriting replaces the old file whole.
    ASSERT_TRUE(WriteRgbAsJpeg(path, q.constBits(), 8, 8, true, 75));
    ASSERT_TRUE(WriteRgbAsJpeg(path, q.constBits(), 200, 160, true, 75));
    EXPECT_EQ(QImageReader(path).size(), QSize(200, 160));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"bad.jpg"});

    const QByteArray bytes = fileBytes(path);
    // A header claiming 60000 x 60000 pixels is refused before any allocation.
    const int sof = bytes.indexOf("\xFF\xC0");
    QByteArray huge = QByteArray(bytes).replace(sof + 5, 4, "\xEA\x60\xEA\x60");
    // A fourth component (CMYK): the frame header grows by its three bytes.
    QByteArray four = QByteArray(bytes).insert(sof + 19, "\x04\x11\x00", 3);
    four.replace(sof + 2, 2, QByteArray("\x00\x14", 2)).replace(sof + 9, 1, "\x04");
    const struct {
        const char* name;
        QByteArray data;
        const char* says;
    } cases[] = {{"cut in half", bytes.left(bytes.size() / 2), "文件不完整(被截断)"},
                 {"cut in the header", bytes.left(20), "文件不完整(被截断)"},
                 {"text", QByteArray("hello, this is text"), "文件已损坏"},
                 {"empty", QByteArray(), "文件是空的"},
                 {"huge", huge, "图像太大"},
                 {"four components", four, "4个颜色分量"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(writeFileBytes(path, c.data) || c.data.isEmpty());
        err = {};
        w = 7;
        EXPECT_FALSE(ReadJpegToRgb(path, &w, &h, &err));
        EXPECT_EQ(w, 0u);
        EXPECT_TRUE(err.caption == QStringLiteral("出错") && err.style == 0x10u);
        EXPECT_TRUE(err.text.startsWith(QStringLiteral("无法读取图像文件: ") + path + "\n"));
        EXPECT_TRUE(err.text.contains(QString::fromUtf8(c.says))) << err.text.toStdString();
    }
}

TEST(JpegFile, BmpIsWrittenByteForByteAndHostileOnesFailCleanly)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("five.bmp");
    std::vector<uint8_t> px(5 * 2 * 3);
    for (size_t i = 0; i < px.size(); ++i)
        px[i] = uint8_t(i + 1);
    ASSERT_TRUE(SaveBmpFile(path, px.data(), 5, 2, 24));
    const QByteArray expected =
        QByteArray::fromHex("424d560000000000000036000000") +                         // file header
        QByteArray::fromHex("28000000050000000200000001001800") + QByteArray(24, 0) + // info
        QByteArray::fromHex("0102030405060708090a0b0c0d0e0f00"                        // row 0 + pad
                            "101112131415161718191a1b1c1d1e00");                      // row 1 + pad
    EXPECT_EQ(fileBytes(path), expected);

    // Read back: the rows as held in the file, padded.
    uint32_t w = 0, h = 0;
    PixelBuffer back = LoadBmpFile(path, &w, &h);
    ASSERT_TRUE(back && w == 5 && h == 2);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(back.get()), 32), expected.mid(54));

    // Another reader agrees: buffer row 0 is the bottom row, bytes blue-green-red.
    const QImage img(path);
    EXPECT_EQ(img.pixel(0, 1), qRgb(3, 2, 1));
    EXPECT_EQ(img.pixel(4, 0), qRgb(30, 29, 28));

    // Files that do not add up are refused, with the reason.
    const struct {
        const char* name;
        int at;
        QByteArray values; // at -1: the whole file
    } cases[] = {{"empty", -1, QByteArray()},
                 {"header only", -1, expected.left(30)},
                 {"pixels cut short", -1, expected.left(expected.size() - 1)},
                 {"not BM", 0, "XY"},
                 {"100000 x 100000", 18, QByteArray("\xA0\x86\x01\x00\xA0\x86\x01\x00", 8)},
                 {"8 bits per pixel", 28, QByteArray("\x08\x00", 2)},
                 {"compressed", 30, QByteArray("\x01\x00", 2)},
                 {"header size 12", 14, QByteArray("\x0C\x00", 2)},
                 {"header size past the end", 14, "\xFF\xFF"},
                 {"pixel offset past the end", 10, "\xFF\xFF"},
                 {"pixel offset inside the header", 10, QByteArray("\x14\x00", 2)},
                 {"negative height", 22, "\xFC\xFF\xFF\xFF"},
                 {"zero width", 18, QByteArray(4, '\0')}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFileBytes(path, c.at < 0
                                 ? c.values
                                 : QByteArray(expected).replace(c.at, c.values.size(), c.values));
        w = h = 9;
        ErrorReport err;
        EXPECT_FALSE(LoadBmpFile(path, &w, &h, &err));
        EXPECT_TRUE(w == 0 && h == 0);
        EXPECT_FALSE(err.text.isEmpty());
    }
}

TEST(JpegFile, RepeatedScansAreRefusedAsDamagedWithoutDecodingThemAll)
{
    // A progressive file whose last scan repeats: a few repeats still read
    // (the library only warns), thousands are refused as a damaged picture.
    // Decoding them all takes hundreds of times a clean read; the refusal
    // comes after a few times its work.
    QTemporaryDir dir;
    const QString path = dir.filePath("scans.jpg");
    const int w = 2048, h = 1536;
    const QByteArray clean = progressiveJpeg(w, h);
    ASSERT_FALSE(clean.isEmpty());
    // The shortest of a few runs: the machine may be busy with other work.
    auto readSeconds = [&](int runs, ErrorReport* err, bool* ok) {
        double best = 1e9;
        for (int i = 0; i < runs; ++i) {
            const auto start = std::chrono::steady_clock::now();
            uint32_t rw = 0, rh = 0;
            PixelBuffer px = ReadJpegToStrip(path, &rw, &rh, nullptr, err);
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            *ok = px && rw == uint32_t(w) && rh == uint32_t(h);
            best = std::min(best, took.count());
        }
        return best;
    };

    ASSERT_TRUE(writeFileBytes(path, clean));
    bool ok = false;
    const double cleanSeconds = readSeconds(3, nullptr, &ok);
    ASSERT_TRUE(ok);

    const struct {
        int repeats;
        bool reads;
    } cases[] = {{0, true}, {20, true}, {3000, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.repeats);
        const QByteArray bytes = repeatLastScan(clean, c.repeats);
        ASSERT_LT(bytes.size(), 64 * 1024) << "a small file";
        ASSERT_TRUE(writeFileBytes(path, bytes));
        ErrorReport err;
        const double seconds = readSeconds(c.reads ? 1 : 2, &err, &ok);
        EXPECT_EQ(ok, c.reads) << err.text.toStdString();
        if (c.reads)
            continue;
        EXPECT_EQ(err.text.toStdString(),
                  QStringLiteral("无法读取图像文件: %1\n文件已损坏,不是有效的JPEG图像")
                      .arg(path)
                      .toStdString());
        EXPECT_LT(seconds, 60 * cleanSeconds) << seconds << " s, a clean read " << cleanSeconds;
    }
}

TEST(JpegFile, ProgressiveCoefficientsCountAgainstTheSizeCap)
{
    // A file of several scans (progressive, or sequential with a scan a
    // component) is held whole as coefficients (2 bytes a sample) while it is
    // decoded, beside the picture (3 bytes a pixel): with 2 x 2 luminance
    // sampling about 6 bytes a pixel in all, 5 for grey. A baseline file of
    // the same size (one scan of every component) needs only the picture.
    QTemporaryDir dir;
    const QString path = dir.filePath("big.jpg");
    const struct {
        int w, h;
        bool colour;
        Scans scans;
        bool reads;
    } cases[] = {{7000, 7000, true, Scans::Baseline, true},
                 {7000, 7000, true, Scans::Progressive, false},
                 {7000, 7000, true, Scans::PerComponent, false},
                 {4000, 4000, true, Scans::Progressive, true},
                 {4000, 4000, true, Scans::PerComponent, true},
                 {7400, 7400, false, Scans::Progressive, false},
                 {6000, 6000, false, Scans::Progressive, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << " x " << c.h << (c.colour ? " colour" : " grey")
                                        << " scans " << int(c.scans));
        ASSERT_TRUE(writeFileBytes(path, flatJpeg(c.w, c.h, c.colour, c.scans)));
        uint32_t w = 0, h = 0;
        ErrorReport err;
        PixelBuffer px = ReadJpegToRgb(path, &w, &h, &err);
        ASSERT_EQ(bool(px), c.reads) << err.text.toStdString();
        if (!c.reads) {
            EXPECT_EQ(err.text.toStdString(),
                      QStringLiteral("无法读取图像文件: %1\n图像太大 (%2 x %3)")
                          .arg(path)
                          .arg(c.w)
                          .arg(c.h)
                          .toStdString());
            continue;
        }
        ASSERT_TRUE(w == uint32_t(c.w) && h == uint32_t(c.h));
        const size_t last = size_t(w) * h * 3 - 1;
        EXPECT_TRUE(px[0] == 128 && px[last / 2] == 128 && px[last] == 128)
            << int(px[0]) << " " << int(px[last / 2]) << " " << int(px[last]);
    }
}
