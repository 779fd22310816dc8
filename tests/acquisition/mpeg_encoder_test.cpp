#include "acquisition/dvr_settings.h"
#include "acquisition/mpeg_encoder.h"

#include "mpeg_probe.h"
#include "support/temp_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

using namespace bc;

namespace {

std::vector<uint8_t> testPicture(int w, int h, int stride, int phase)
{
    std::vector<uint8_t> px(static_cast<size_t>(stride) * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &px[static_cast<size_t>(y) * stride + x * 3];
            p[0] = static_cast<uint8_t>(x + phase);
            p[1] = static_cast<uint8_t>(y * 2);
            p[2] = static_cast<uint8_t>((x ^ y) + phase * 3);
        }
    return px;
}

QByteArray head(const QString& path, int n)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(n) : QByteArray();
}

} // namespace

TEST(MpegEncoder, EveryProfileTheSettingsCanProduceEncodes)
{
    test::TempSettings t;
    CDvrAppSettings s(&t.settings());
    QTemporaryDir dir;
    // Every combination the dialog and the stored values can give, plus values
    // out of every range.
    QSet<QString> seen;
    int encoded = 0;
    for (int mux : {0, 1, 2, 7})
        for (int standard : {0, 1})
            for (int res : {5, 0, 1, 2, 3, -1})
                for (int32_t rate : {2000000, 4000000, 12000000, 1123047, 0})
                    for (int audio : {1, 7, 3}) {
                        s.MuxFormat = mux;
                        s.VideoFormat = standard;
                        s.VideoResolution = res;
                        s.VideoBitrate = rate;
                        s.AudioEncodingFormat = audio;
                        const EncoderProfile p = encoderProfileFor(s);
                        const QString key = QStringLiteral("%1 %2x%3 %4/%5 %6 %7")
                                                .arg(QLatin1String(p.muxer))
                                                .arg(p.width)
                                                .arg(p.height)
                                                .arg(p.frameRateNum)
                                                .arg(p.frameRateDen)
                                                .arg(p.bitrate)
                                                .arg(p.mpeg1);
                        if (seen.contains(key))
                            continue;
                        seen.insert(key);
                        const QString path = dir.filePath(QStringLiteral("p%1.mpg").arg(encoded++));
                        CMpegEncoder enc;
                        QString error;
                        ASSERT_TRUE(enc.open(path, p, &error)) << key.toStdString() << " "
                                                                << error.toStdString();
                        // Source frames of another size are scaled.
                        const auto px = testPicture(320, 240, 960, 0);
                        for (int i = 0; i < 6; ++i)
                            ASSERT_TRUE(enc.addFrame(px.data(), 320, 240, 960));
                        ASSERT_TRUE(enc.finish());
                        EXPECT_EQ(head(path, 4), QByteArray("\x00\x00\x01\xBA", 4));
                        const test::DecodedMpeg d = test::decodeMpeg(path);
                        ASSERT_TRUE(d.ok) << key.toStdString();
                        EXPECT_EQ(d.frames, 6) << key.toStdString();
                        EXPECT_EQ(d.width, p.width);
                        EXPECT_EQ(d.height, p.height);
                        EXPECT_EQ(d.codec, p.mpeg1 ? AV_CODEC_ID_MPEG1VIDEO
                                                   : AV_CODEC_ID_MPEG2VIDEO);
                    }
    EXPECT_GE(encoded, 10);
}

TEST(MpegEncoder, PaddedRowsAChinesePathAndRefusals)
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
    const auto px = testPicture(w, 576, stride, 1);
    EXPECT_FALSE(enc.addFrame(px.data(), w, 576, w * 3 - 1)); // stride too short
    EXPECT_FALSE(enc.addFrame(nullptr, w, 576, stride));
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(enc.addFrame(px.data(), w, 576, stride));
    EXPECT_EQ(enc.framesEncoded(), 10);
    EXPECT_TRUE(enc.finish());
    EXPECT_FALSE(enc.isOpen());
    EXPECT_TRUE(enc.finish()); // a second finish does nothing
    const test::DecodedMpeg d = test::decodeMpeg(path);
    EXPECT_EQ(d.frames, 10);
    EXPECT_NEAR(d.durationSeconds, 0.4, 0.02);

    CMpegEncoder bad;
    QString error;
    EXPECT_FALSE(bad.open(dir.filePath(QStringLiteral("no/such/folder/x.mpg")), p, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(bad.isOpen());
}

TEST(MpegEncoder, AFullDiskIsReportedNotSwallowed)
{
    const QString full = QStringLiteral("/dev/full");
    if (!QFileInfo(full).exists() || !QFileInfo(full).isWritable())
        GTEST_SKIP() << "no /dev/full here";
    EncoderProfile p; // DVD 720x576
    CMpegEncoder enc;
    ASSERT_TRUE(enc.open(full, p));
    const auto px = testPicture(720, 576, 2160, 2);
    int written = 0;
    while (written < 200 && enc.addFrame(px.data(), 720, 576, 2160))
        ++written;
    EXPECT_LT(written, 200); // the first flush of the muxer fails
    EXPECT_FALSE(enc.addFrame(px.data(), 720, 576, 2160)); // and stays failed
    EXPECT_FALSE(enc.finish());
    EXPECT_FALSE(enc.isOpen());
}
