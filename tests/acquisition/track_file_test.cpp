// The depth track: record format, the writer's timing and stop, the bounded
// reader, naming, and the playback helpers around it.

#include "acquisition/track_file.h"

#include "core/program_values.h"
#include "support/scripted_prompter.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

namespace bc {
namespace {

using namespace std::chrono_literals;

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray trackOf(int records, int32_t depthStep)
{
    QByteArray bytes;
    for (int i = 0; i < records; ++i) {
        uint8_t rec[kTrackRecordBytes];
        encodeTrackRecord(TrackRecord{i * depthStep, static_cast<int16_t>(i % 360)}, rec);
        bytes.append(reinterpret_cast<const char*>(rec), kTrackRecordBytes);
    }
    return bytes;
}

TEST(TrackRecordTest, GoldenBytesAreLittleEndian)
{
    uint8_t rec[kTrackRecordBytes];
    encodeTrackRecord(TrackRecord{-1, 359}, rec);
    const uint8_t minusOne[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x67, 0x01};
    EXPECT_EQ(0, std::memcmp(rec, minusOne, sizeof minusOne));

    encodeTrackRecord(TrackRecord{123456, 359}, rec);
    const uint8_t big[] = {0x40, 0xE2, 0x01, 0x00, 0x67, 0x01};
    EXPECT_EQ(0, std::memcmp(rec, big, sizeof big));

    const TrackRecord back = decodeTrackRecord(big);
    EXPECT_EQ(back.depth, 123456);
    EXPECT_EQ(back.heading, 359);
    // The heading reads back signed, as the form shows it.
    const uint8_t negative[] = {0x00, 0x00, 0x00, 0x80, 0xFF, 0xFF};
    EXPECT_EQ(decodeTrackRecord(negative).depth, INT32_MIN);
    EXPECT_EQ(decodeTrackRecord(negative).heading, -1);
}

TEST(TrackNameTest, ReplacesOnlyTheFileNamesExtension)
{
    EXPECT_EQ(MakeTrackName(QStringLiteral("/data/run/rec.mpg")), QStringLiteral("/data/run/rec.ss"));
    EXPECT_EQ(MakeTrackName(QStringLiteral("/data/run/rec")), QStringLiteral("/data/run/rec.ss"));
    EXPECT_EQ(MakeTrackName(QStringLiteral("/data/run.2011/rec")),
              QStringLiteral("/data/run.2011/rec.ss"));
    EXPECT_EQ(MakeTrackName(QStringLiteral("/data/a.b/rec.x.mpg")),
              QStringLiteral("/data/a.b/rec.x.ss"));
    EXPECT_EQ(MakeTrackName(QStringLiteral("/数据/钻孔1.mpg")), QStringLiteral("/数据/钻孔1.ss"));
}

TEST(TrackWriterTest, WritesTheCurrentValuesAsGoldenRecords)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rec.ss"));
    std::atomic<int> calls{0};
    CTrackFile track(
        [&] {
            DepthHeading v;
            v.depth = calls++ < 3 ? -1 : 123456;
            v.heading = 359;
            return v;
        },
        2ms);
    ASSERT_TRUE(track.OpenTrackForWriting(path));
    EXPECT_TRUE(track.isWriting());
    while (calls.load() < 8)
        std::this_thread::sleep_for(1ms);
    track.Close();
    EXPECT_FALSE(track.isWriting());

    const QByteArray bytes = readAll(path);
    ASSERT_GE(bytes.size(), 8 * kTrackRecordBytes);
    ASSERT_EQ(bytes.size() % kTrackRecordBytes, 0);
    EXPECT_EQ(bytes.left(6), QByteArray::fromHex("ffffffff6701"));
    EXPECT_EQ(bytes.mid(3 * 6, 6), QByteArray::fromHex("40e201006701"));
    EXPECT_EQ(bytes.right(6), QByteArray::fromHex("40e201006701"));
}

// Records a writer with absolute deadlines has put down after `elapsed`: one
// at the start and one at every period passed.
double recordsDue(std::chrono::steady_clock::duration elapsed, std::chrono::milliseconds period)
{
    return 1.0 + std::chrono::duration<double>(elapsed) / period;
}

TEST(TrackWriterTest, OneSecondGivesTwentyFiveRecordsAndStopsGrowingAtStop)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rec.ss"));
    CTrackFile track([] { return DepthHeading{1000, 90}; });
    const auto opened = std::chrono::steady_clock::now();
    ASSERT_TRUE(track.OpenTrackForWriting(path));
    std::this_thread::sleep_for(1s);
    track.Close();
    // A loaded machine may wake the test late: the count follows the time
    // that really passed, and a writer that is woken late catches up.
    const auto elapsed = std::chrono::steady_clock::now() - opened;
    const qint64 size = QFileInfo(path).size();
    EXPECT_EQ(size % kTrackRecordBytes, 0);
    const double records = static_cast<double>(size / kTrackRecordBytes);
    EXPECT_NEAR(records, recordsDue(elapsed, kTrackPeriod), 3.0);
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(QFileInfo(path).size(), size);
    // Closing again is harmless.
    track.Close();
    EXPECT_EQ(QFileInfo(path).size(), size);
}

TEST(TrackWriterTest, SlowReadingsDoNotStretchThePeriod)
{
    // Each reading takes 10 ms of a 20 ms period: a writer that slept a
    // fixed period after each record would fall to two thirds of the rate.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rec.ss"));
    CTrackFile track(
        [] {
            std::this_thread::sleep_for(10ms);
            return DepthHeading{};
        },
        20ms);
    const auto opened = std::chrono::steady_clock::now();
    ASSERT_TRUE(track.OpenTrackForWriting(path));
    std::this_thread::sleep_for(1s);
    track.Close();
    const double due = recordsDue(std::chrono::steady_clock::now() - opened, 20ms);
    const double records = static_cast<double>(QFileInfo(path).size() / kTrackRecordBytes);
    EXPECT_GE(records, 0.85 * due);
    EXPECT_LE(records, due + 1.0);
}

TEST(TrackWriterTest, StopWaitsForARecordInProgress)
{
    // Close while the writer is inside a reading: the record it is making is
    // still written whole and nothing follows the close.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rec.ss"));
    std::atomic<bool> inside{false};
    std::atomic<bool> release{false};
    CTrackFile track(
        [&] {
            inside = true;
            while (!release.load())
                std::this_thread::sleep_for(1ms);
            return DepthHeading{7, 8};
        },
        1ms);
    ASSERT_TRUE(track.OpenTrackForWriting(path));
    while (!inside.load())
        std::this_thread::sleep_for(1ms);
    std::thread releaser([&] {
        std::this_thread::sleep_for(50ms);
        release = true;
    });
    track.Close();
    releaser.join();
    const QByteArray bytes = readAll(path);
    EXPECT_EQ(bytes, QByteArray::fromHex("070000000800"));
}

TEST(TrackWriterTest, UncreatableTrackFails)
{
    QTemporaryDir dir;
    CTrackFile track;
    EXPECT_FALSE(track.OpenTrackForWriting(dir.filePath(QStringLiteral("missing/rec.ss"))));
    EXPECT_FALSE(track.isWriting());
}

// A ten-second track: 250 records, record i at depth 10 i and heading i.
class TenSecondTrack : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString path = dir.filePath(QStringLiteral("rec.ss"));
        writeBytes(path, trackOf(250, 10));
        ASSERT_TRUE(track.OpenTrackForReading(path));
    }
    QTemporaryDir dir;
    CTrackFile track;
};

TEST_F(TenSecondTrack, HalfWayIsRecord125)
{
    EXPECT_EQ(track.recordCount(), 250);
    auto mid = track.readAtFraction(0.5);
    ASSERT_TRUE(mid);
    EXPECT_EQ(mid->depth, 1250);
    EXPECT_EQ(mid->heading, 125);
    EXPECT_EQ(track.readAtFraction(0.0)->depth, 0);
    EXPECT_EQ(track.readAtFraction(0.999)->depth, 2490);
}

TEST(TrackReaderTest, NeverReadsPastTheLastWholeRecord)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rec.ss"));
    CTrackFile track;

    writeBytes(path, QByteArray());
    ASSERT_TRUE(track.OpenTrackForReading(path));
    EXPECT_FALSE(track.readAtFraction(0.5));
    EXPECT_FALSE(track.readAtFraction(0.0));

    writeBytes(path, QByteArray::fromHex("01020304"));
    ASSERT_TRUE(track.OpenTrackForReading(path));
    EXPECT_EQ(track.recordCount(), 0);
    EXPECT_FALSE(track.readAtFraction(0.0));

    // One record and a torn one: the torn bytes are never read.
    QByteArray torn = trackOf(2, 500);
    torn.chop(1);
    writeBytes(path, torn);
    ASSERT_TRUE(track.OpenTrackForReading(path));
    EXPECT_EQ(track.recordCount(), 1);
    EXPECT_EQ(track.readAtFraction(0.9)->depth, 0);

    writeBytes(path, trackOf(10, 3));
    ASSERT_TRUE(track.OpenTrackForReading(path));
    EXPECT_EQ(track.readAtFraction(1.0)->depth, 27);
    EXPECT_EQ(track.readAtFraction(7.5)->depth, 27);
    EXPECT_EQ(track.readAtFraction(-0.5)->depth, 0);
    EXPECT_EQ(track.readAtFraction(std::nan(""))->depth, 0);
    EXPECT_FALSE(track.readRecord(10));
    EXPECT_FALSE(track.readRecord(-1));

    track.Close();
    EXPECT_FALSE(track.isReading());
    EXPECT_FALSE(track.readAtFraction(0.5));
    EXPECT_FALSE(track.OpenTrackForReading(dir.filePath(QStringLiteral("absent.ss"))));
}

class PlaybackHelpersTest : public ::testing::Test {
protected:
    test::ScriptedPrompter prompter_;
    QTemporaryDir dir_;
};

TEST_F(PlaybackHelpersTest, StreamKindsFromTheFirstFourBytes)
{
    struct Fixture {
        const char* name;
        QByteArray bytes;
        StreamKind kind;
    } fixtures[] = {
        {"program.mpg", QByteArray::fromHex("000001ba44000400"), StreamKind::Program},
        {"video.mpv", QByteArray::fromHex("000001b3"), StreamKind::Elementary},
        {"other.mpg", QByteArray("RIFF"), StreamKind::Elementary},
        {"short.mpg", QByteArray::fromHex("0000"), StreamKind::Elementary},
        {"empty.mpg", QByteArray(), StreamKind::Elementary},
    };
    for (const Fixture& f : fixtures) {
        const QString path = dir_.filePath(QString::fromLatin1(f.name));
        writeBytes(path, f.bytes);
        PlaybackStreamInfo info;
        info.streamKind = StreamKind::NoExtension;
        EXPECT_TRUE(GetMpegStreamLength(nullptr, info, path)) << f.name;
        EXPECT_EQ(info.streamKind, f.kind) << f.name;
    }
    EXPECT_TRUE(prompter_.boxes.empty());
}

TEST_F(PlaybackHelpersTest, NoExtensionAndUnreadableFiles)
{
    PlaybackStreamInfo info;
    // A name without extension is refused by name alone, existing or not.
    const QString bare = dir_.filePath(QStringLiteral("recording"));
    EXPECT_TRUE(GetMpegStreamLength(nullptr, info, bare));
    EXPECT_EQ(info.streamKind, StreamKind::NoExtension);
    const PlaybackPlan plan = planPlayback(bare, info);
    EXPECT_FALSE(plan.ok);
    EXPECT_EQ(plan.status, QStringLiteral("请包含文件扩展名"));
    EXPECT_TRUE(prompter_.boxes.empty());

    const QString missing = dir_.filePath(QStringLiteral("gone.mpg"));
    EXPECT_FALSE(GetMpegStreamLength(nullptr, info, missing));
    ASSERT_EQ(prompter_.boxes.size(), 1u);
    EXPECT_EQ(prompter_.boxes.at(0).text, QStringLiteral("无法打开该文件: ") + missing);
    EXPECT_EQ(prompter_.boxes.at(0).caption, QStringLiteral("出错"));
}

TEST_F(PlaybackHelpersTest, PlansFollowTheStreamKind)
{
    PlaybackStreamInfo info;
    info.streamKind = StreamKind::Program;
    PlaybackPlan plan = planPlayback(QStringLiteral("/v/a.b/run.mpg"), info);
    EXPECT_TRUE(plan.ok);
    EXPECT_EQ(plan.graphKind, 2);
    EXPECT_EQ(plan.mediaPath, QStringLiteral("/v/a.b/run.mpg"));

    info.streamKind = StreamKind::Elementary;
    plan = planPlayback(QStringLiteral("/v/a.b/run.mpv"), info);
    EXPECT_TRUE(plan.ok);
    EXPECT_EQ(plan.graphKind, 4);
    EXPECT_EQ(plan.audioPath, QStringLiteral("/v/a.b/run.mpa"));
    EXPECT_EQ(plan.videoPath, QStringLiteral("/v/a.b/run.mpv"));
}

TEST_F(PlaybackHelpersTest, EmptyFileFieldIsRefused)
{
    QString status;
    EXPECT_TRUE(checkPlayFileName(QStringLiteral("/v/run.mpg"), &status));
    EXPECT_TRUE(status.isEmpty());
    EXPECT_FALSE(checkPlayFileName(QString(), &status));
    EXPECT_EQ(status, QStringLiteral("文件名为空,播放失败"));
    ASSERT_EQ(prompter_.boxes.size(), 1u);
    EXPECT_EQ(prompter_.boxes.at(0).text, QStringLiteral("请先选择一个播放视频文件"));
    EXPECT_EQ(prompter_.boxes.at(0).caption, QStringLiteral("出错"));
}

TEST(PlaybackTextTest, DurationIsHoursMinutesSeconds)
{
    EXPECT_EQ(durationText(36610000000LL), QStringLiteral("01:01:01"));
    EXPECT_EQ(durationText(9999999), QStringLiteral("00:00:00"));
    EXPECT_EQ(durationText(0), QStringLiteral("00:00:00"));
}

TEST_F(TenSecondTrack, PlaybackTickFollowsThePositionIntoTheTrack)
{
    publishDepthHeading(0, 0);

    PlaybackTick tick = playbackTick(std::nullopt, track);
    EXPECT_FALSE(tick.answered);
    EXPECT_FALSE(tick.record);

    tick = playbackTick(0.5, track);
    EXPECT_TRUE(tick.answered);
    EXPECT_FALSE(tick.stop);
    EXPECT_EQ(tick.percent, 50);
    ASSERT_TRUE(tick.record);
    EXPECT_EQ(tick.record->depth, 1250);
    EXPECT_EQ(currentDepthHeading().depth, 1250);
    EXPECT_EQ(currentDepthHeading().heading, 125);

    tick = playbackTick(0.999, track);
    EXPECT_FALSE(tick.stop);
    EXPECT_EQ(tick.percent, 99);

    tick = playbackTick(1.0, track);
    EXPECT_TRUE(tick.stop);
    EXPECT_FALSE(tick.record);
    // A position that is no number is no answer; one far past the end stops.
    tick = playbackTick(std::nan(""), track);
    EXPECT_FALSE(tick.answered);
    EXPECT_FALSE(tick.record);
    tick = playbackTick(1e30, track);
    EXPECT_TRUE(tick.stop);

    // Without a track the depth and heading stay as they are.
    track.Close();
    tick = playbackTick(0.1, track);
    EXPECT_FALSE(tick.record);
    EXPECT_EQ(currentDepthHeading().depth, 2490);
    publishDepthHeading(0, 0);
}

} // namespace
} // namespace bc
