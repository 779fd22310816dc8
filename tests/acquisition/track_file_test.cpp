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
#include <thread>

namespace bc {
namespace {

using namespace std::chrono_literals;

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// Record i at depth i x step and heading i.
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

TEST(TrackRecord, GoldenBytesAreLittleEndianAndNamesReplaceTheExtension)
{
    const std::pair<TrackRecord, const char*> rows[] = {
        {{-1, 359}, "ffffffff6701"}, {{123456, 359}, "40e201006701"}, {{INT32_MIN, -1}, "00000080ffff"}};
    for (const auto& [rec, hex] : rows) {
        uint8_t bytes[kTrackRecordBytes];
        encodeTrackRecord(rec, bytes);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(bytes), kTrackRecordBytes).toHex(), hex);
        const TrackRecord back = decodeTrackRecord(bytes);
        EXPECT_EQ(back.depth, rec.depth) << hex; // the heading reads back signed
        EXPECT_EQ(back.heading, rec.heading) << hex;
    }
    const std::pair<const char*, const char*> names[] = {
        {"/data/run/rec.mpg", "/data/run/rec.ss"}, {"/data/run.2011/rec", "/data/run.2011/rec.ss"},
        {"/data/a.b/rec.x.mpg", "/data/a.b/rec.x.ss"}, {"/数据/钻孔1.mpg", "/数据/钻孔1.ss"}};
    for (const auto& [in, out] : names)
        EXPECT_EQ(MakeTrackName(QString::fromUtf8(in)), QString::fromUtf8(out));
}

TEST(TrackWriter, WritesTheCurrentValuesAsGoldenRecords)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rec.ss"));
    std::atomic<int> calls{0};
    CTrackFile track([&] { return DepthHeading{calls++ < 3 ? -1 : 123456, 359}; }, 2ms);
    EXPECT_FALSE(track.OpenTrackForWriting(dir.filePath(QStringLiteral("missing/rec.ss"))));
    EXPECT_FALSE(track.isWriting());
    ASSERT_TRUE(track.OpenTrackForWriting(path));
    while (calls.load() < 8)
        std::this_thread::sleep_for(1ms);
    track.Close();
    EXPECT_FALSE(track.isWriting());
    const QByteArray bytes = readAll(path);
    ASSERT_GE(bytes.size(), 8 * kTrackRecordBytes);
    ASSERT_EQ(bytes.size() % kTrackRecordBytes, 0);
    EXPECT_EQ(bytes.left(6).toHex(), "ffffffff6701");
    EXPECT_EQ(bytes.mid(3 * 6, 6).toHex(), "40e201006701");
    EXPECT_EQ(bytes.right(6).toHex(), "40e201006701");
}

TEST(TrackWriter, SlowReadingsDoNotStretchThePeriodAndStopEndsTheFile)
{
    // Each reading takes half the 40 ms period: a writer that slept a fixed
    // period after each record would fall to two thirds of 25 a second.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rec.ss"));
    CTrackFile track([] {
        std::this_thread::sleep_for(20ms);
        return DepthHeading{1000, 90};
    });
    const auto opened = std::chrono::steady_clock::now();
    ASSERT_TRUE(track.OpenTrackForWriting(path));
    std::this_thread::sleep_for(800ms);
    track.Close();
    // A loaded machine may wake the test late: the count follows the time
    // that really passed (one record at the start and one every period).
    const double due = 1.0 + std::chrono::duration<double>(std::chrono::steady_clock::now() - opened) / kTrackPeriod;
    const qint64 size = QFileInfo(path).size();
    EXPECT_EQ(size % kTrackRecordBytes, 0);
    const double records = static_cast<double>(size / kTrackRecordBytes);
    EXPECT_GE(records, 0.85 * due);
    EXPECT_LE(records, due + 1.0);
    std::this_thread::sleep_for(100ms);
    track.Close(); // closing again is harmless
    EXPECT_EQ(QFileInfo(path).size(), size);
}

TEST(TrackWriter, StopWaitsForARecordInProgress)
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
    EXPECT_EQ(readAll(path).toHex(), "070000000800");
}

TEST(TrackReader, NeverReadsPastTheLastWholeRecord)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rec.ss"));
    CTrackFile track;
    QByteArray torn = trackOf(2, 500); // one record and a torn one
    torn.chop(1);
    // file, records, fraction, depth read (-1: none)
    const struct {
        QByteArray bytes;
        int records;
        double fraction;
        int depth;
    } rows[] = {
        {QByteArray(), 0, 0.0, -1},     {QByteArray::fromHex("01020304"), 0, 0.0, -1},
        {torn, 1, 0.9, 0},              {trackOf(10, 3), 10, 1.0, 27},
        {trackOf(10, 3), 10, 7.5, 27},  {trackOf(10, 3), 10, -0.5, 0},
        {trackOf(10, 3), 10, std::nan(""), 0}, {trackOf(250, 10), 250, 0.5, 1250},
        {trackOf(250, 10), 250, 0.999, 2490},
    };
    for (const auto& r : rows) {
        writeBytes(path, r.bytes);
        ASSERT_TRUE(track.OpenTrackForReading(path));
        EXPECT_EQ(track.recordCount(), r.records);
        const auto got = track.readAtFraction(r.fraction);
        EXPECT_EQ(got ? got->depth : -1, r.depth) << r.records << " " << r.fraction;
    }
    EXPECT_FALSE(track.readRecord(250));
    EXPECT_FALSE(track.readRecord(-1));
    track.Close();
    EXPECT_FALSE(track.isReading());
    EXPECT_FALSE(track.readAtFraction(0.5));
    EXPECT_FALSE(track.OpenTrackForReading(dir.filePath(QStringLiteral("absent.ss"))));
}

TEST(TrackReader, PlaybackTickFollowsThePositionIntoTheTrack)
{
    QTemporaryDir dir;
    writeBytes(dir.filePath(QStringLiteral("rec.ss")), trackOf(250, 10));
    CTrackFile track;
    ASSERT_TRUE(track.OpenTrackForReading(dir.filePath(QStringLiteral("rec.ss"))));
    publishDepthHeading(0, 0);
    // position (nullopt: no answer), answered, stop, percent, depth (-1: no record)
    const struct {
        std::optional<double> position;
        bool answered, stop;
        int percent, depth;
    } rows[] = {
        {std::nullopt, false, false, -1, -1}, {0.5, true, false, 50, 1250}, {0.999, true, false, 99, 2490},
        {1.0, true, true, -1, -1},            {std::nan(""), false, false, -1, -1}, {1e30, true, true, -1, -1},
    };
    for (const auto& r : rows) {
        const PlaybackTick tick = playbackTick(r.position, track);
        EXPECT_EQ(tick.answered, r.answered) << r.depth;
        EXPECT_EQ(tick.stop, r.stop) << r.depth;
        if (r.percent >= 0) {
            EXPECT_EQ(tick.percent, r.percent);
        }
        EXPECT_EQ(tick.record ? tick.record->depth : -1, r.depth);
    }
    EXPECT_EQ(currentDepthHeading().depth, 2490);
    EXPECT_EQ(currentDepthHeading().heading, 249);
    // Without a track the depth and heading stay as they are.
    track.Close();
    EXPECT_FALSE(playbackTick(0.1, track).record);
    EXPECT_EQ(currentDepthHeading().depth, 2490);
    publishDepthHeading(0, 0);
}

TEST(PlaybackHelpers, StreamKindsNamesAndRefusals)
{
    test::ScriptedPrompter prompter;
    QTemporaryDir dir;
    const std::tuple<const char*, QByteArray, StreamKind> kinds[] = {
        {"program.mpg", QByteArray::fromHex("000001ba44000400"), StreamKind::Program},
        {"video.mpv", QByteArray::fromHex("000001b3"), StreamKind::Elementary},
        {"other.mpg", QByteArray("RIFF"), StreamKind::Elementary},
        {"short.mpg", QByteArray::fromHex("0000"), StreamKind::Elementary},
        {"empty.mpg", QByteArray(), StreamKind::Elementary},
        {"recording", QByteArray::fromHex("000001ba"), StreamKind::NoExtension},
    };
    for (const auto& [name, bytes, kind] : kinds) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        writeBytes(path, bytes);
        PlaybackStreamInfo info;
        info.streamKind = StreamKind::NoExtension;
        EXPECT_TRUE(GetMpegStreamLength(nullptr, info, path)) << name;
        EXPECT_EQ(info.streamKind, kind) << name;
    }
    PlaybackStreamInfo info;
    info.streamKind = StreamKind::NoExtension;
    PlaybackPlan plan = planPlayback(dir.filePath(QStringLiteral("recording")), info);
    EXPECT_FALSE(plan.ok);
    EXPECT_EQ(plan.status, QStringLiteral("请包含文件扩展名"));
    info.streamKind = StreamKind::Program;
    plan = planPlayback(QStringLiteral("/v/a.b/run.mpg"), info);
    EXPECT_TRUE(plan.ok);
    EXPECT_EQ(plan.graphKind, 2);
    info.streamKind = StreamKind::Elementary;
    plan = planPlayback(QStringLiteral("/v/a.b/run.mpv"), info);
    EXPECT_EQ(plan.graphKind, 4);
    EXPECT_EQ(plan.audioPath, QStringLiteral("/v/a.b/run.mpa"));
    EXPECT_TRUE(prompter.boxes.empty());

    const QString missing = dir.filePath(QStringLiteral("gone.mpg"));
    EXPECT_FALSE(GetMpegStreamLength(nullptr, info, missing));
    QString status;
    EXPECT_FALSE(checkPlayFileName(QString(), &status));
    EXPECT_EQ(status, QStringLiteral("文件名为空,播放失败"));
    EXPECT_EQ(prompter.boxTexts(), QStringList({QStringLiteral("无法打开该文件: ") + missing,
                                                QStringLiteral("请先选择一个播放视频文件")}));
    EXPECT_EQ(durationText(36610000000LL), QStringLiteral("01:01:01"));
    EXPECT_EQ(durationText(9999999), QStringLiteral("00:00:00"));
}

} // namespace
} // namespace bc
