#include "acquisition/dvr_settings.h"
#include "acquisition/mpeg_encoder.h"

#include "mpeg_probe.h"
#include "support/temp_settings.h"

#include <QDir>
#include <QFile>
#include <QSize>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

using namespace bc;

namespace {

std::vector<uint8_t> testPicture(int w, int h, int stride)
{
    std::vector<uint8_t> px(static_cast<size_t>(stride) * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &px[static_cast<size_t>(y) * stride + x * 3];
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(y * 2);
            p[2] = static_cast<uint8_t>(x ^ y);
        }
    return px;
}

} // namespace

TEST(MpegEncoder, TheSettingsGiveVcdSvcdAndDvdStreamsOfTheirSizeAndRate)
{
    test::TempSettings t;
    CDvrAppSettings s(&t.settings());
    QTemporaryDir dir;
    const auto px = testPicture(320, 240, 960); // scaled to the stream's size
    const struct {
        int mux, standard, resolution, bitrate; // the stored settings
        int width, height;
        bool mpeg1, pal;
    } rows[] = {
        {1, 1, 5, 4000000, 352, 288, true, true},   {1, 0, 5, 0, 352, 240, true, false},
        {0, 1, 5, 12000000, 480, 576, false, true}, {2, 1, 5, 12000000, 720, 576, false, true},
        {2, 0, 0, 1123047, 704, 480, false, false}, {2, 1, 1, 4000000, 480, 576, false, true},
        {2, 1, 2, 4000000, 352, 576, false, true},  {7, 1, 3, 2000000, 352, 288, false, true},
        {2, 0, -1, 0, 720, 480, false, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.mux << " " << r.standard << " " << r.resolution);
        s.MuxFormat = r.mux;
        s.VideoFormat = r.standard;
        s.VideoResolution = r.resolution;
        s.VideoBitrate = r.bitrate;
        const QString path = dir.filePath(QStringLiteral("p.mpg"));
        CMpegEncoder enc;
        QString error;
        ASSERT_TRUE(enc.open(path, encoderProfileFor(s), &error)) << error.toStdString();
        for (int i = 0; i < 6; ++i)
            ASSERT_TRUE(enc.addFrame(px.data(), 320, 240, 960));
        ASSERT_TRUE(enc.finish());
        const test::DecodedMpeg d = test::decodeMpeg(path);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.format, QStringLiteral("mpeg")); // a program stream
        EXPECT_EQ(d.frames, 6);
        EXPECT_EQ(QSize(d.width, d.height), QSize(r.width, r.height));
        EXPECT_EQ(d.codec, r.mpeg1 ? AV_CODEC_ID_MPEG1VIDEO : AV_CODEC_ID_MPEG2VIDEO);
        // Within a picture: the last one's time may be left open.
        const double period = r.pal ? 1 / 25.0 : 1001 / 30000.0;
        EXPECT_NEAR(d.durationSeconds, 6 * period, 1.1 * period);
    }
}

TEST(MpegEncoder, PaddedRowsALongChinesePathAndRefusals)
{
    QTemporaryDir dir;
    // A long path of Chinese names: three bytes a character, far past 260 bytes.
    QString folder = dir.path();
    for (int i = 0; i < 8; ++i)
        folder += QStringLiteral("/钻孔录像资料目录第%1层文件夹").arg(i);
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/录像.mpg");
    ASSERT_GT(QFile::encodeName(path).size(), 260);

    EncoderProfile p; // DVD 720x576
    CMpegEncoder enc;
    EXPECT_FALSE(enc.addFrame(nullptr, 10, 10, 30)); // nothing open
    ASSERT_TRUE(enc.open(path, p));
    const int w = 721, stride = 2164; // odd width, rows padded to 4 bytes
    const auto px = testPicture(w, 576, stride);
    EXPECT_FALSE(enc.addFrame(px.data(), w, 576, w * 3 - 1)); // stride too short
    EXPECT_FALSE(enc.addFrame(nullptr, w, 576, stride));
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(enc.addFrame(px.data(), w, 576, stride));
    EXPECT_EQ(enc.framesEncoded(), 10);
    EXPECT_TRUE(enc.finish());
    EXPECT_FALSE(enc.isOpen());
    EXPECT_TRUE(enc.finish()); // a second finish does nothing
    EXPECT_EQ(test::decodeMpeg(path).frames, 10);

    CMpegEncoder bad;
    QString error;
    EXPECT_FALSE(bad.open(dir.filePath(QStringLiteral("no/such/folder/x.mpg")), p, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(bad.isOpen());
}
