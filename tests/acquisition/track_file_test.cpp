// The depth track: record format, the writer's timing and stop, the bounded
// reader, naming, and the playback helpers around it.

#include "acquisition/track_file.h"

#include "core/program_values.h"
#include "support/file_size_limit.h"
#include "support/scripted_prompter.h"
#include "support/serial_pty.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
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
    const std::pair<TrackRecord, const char*> rows[] = {{{-1, 359}, "ffffffff6701"},
                                                        {{123456, 359}, "40e201006701"},
                                                        {{INT32_MIN, -1}, "00000080ffff"}};
    for (const auto& [rec, hex] : rows) {
        SCOPED_TRACE(hex);
        uint8_t bytes[kTrackRecordBytes];
        encodeTrackRecord(rec, bytes);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(bytes), kTrackRecordBytes).toHex(), hex);
        const TrackRecord back = decodeTrackRecord(bytes);
        EXPECT_EQ(back.depth, rec.depth);
        EXPECT_EQ(back.heading, rec.heading); // the heading reads back signed
    }
    const std::pair<const char*, const char*> names[] = {
        {"/data/run.2011/rec", "/data/run.2011/rec.ss"},
        {"/data/a.b/rec.x.mpg", "/data/a.b/rec.x.ss"},
        {"/数据/钻孔1.mpg", "/数据/钻孔1.ss"}};
    for (const auto& [in, out] : names)
        EXPECT_EQ(MakeTrackName(QString::fromUtf8(in)), QString::fromUtf8(out));
}

TEST(TrackWriter, WritesGoldenRecordsAtTheRateHoweverSlowTheReadings)
{
    // Each reading takes half the 40 ms period: a writer that slept a fixed
    // period after each record would fall to two thirds of 25 a second.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rec.ss"));
    std::atomic<int> calls{0};
    CTrackFile track([&] {
        std::this_thread::sleep_for(20ms);
        return DepthHeading{calls++ < 3 ? -1 : 123456, 359};
    });
    EXPECT_FALSE(track.OpenTrackForWriting(dir.filePath(QStringLiteral("missing/rec.ss"))));
    const auto opened = std::chrono::steady_clock::now();
    ASSERT_TRUE(track.OpenTrackForWriting(path));
    std::this_thread::sleep_for(800ms);
    track.Close();
    EXPECT_FALSE(track.isWriting());
    // A loaded machine may wake the test late: the count follows the time
    // that really passed (one record at the start and one every period).
    const double due =
        1.0 +
        std::chrono::duration<double>(std::chrono::steady_clock::now() - opened) / kTrackPeriod;
    const QByteArray bytes = readAll(path);
    ASSERT_EQ(bytes.size() % kTrackRecordBytes, 0);
    const double records = static_cast<double>(bytes.size() / kTrackRecordBytes);
    EXPECT_GE(records, 0.85 * due);
    EXPECT_LE(records, due + 1.0);
    EXPECT_EQ(bytes.left(6).toHex(), "ffffffff6701");
    EXPECT_EQ(bytes.mid(3 * 6, 6).toHex(), "40e201006701");
    EXPECT_EQ(bytes.right(6).toHex(), "40e201006701");
    std::this_thread::sleep_for(100ms);
    track.Close(); // closing again is harmless
    EXPECT_EQ(readAll(path), bytes);
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

TEST(TrackWriter, AWriteCutShortByAFullFileIsCutBackToWholeRecordsAndTold)
{
    // The file may grow to 100 bytes: the 17th record is torn after 4 bytes.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rec.ss"));
    CTrackFile track([] { return DepthHeading{1, 2}; }, 1ms);
    QStringList told; // written by the writer, read after Close
    const auto tell = [&](const QString& p, int e) { told << p + ' ' + QString::number(e); };
    {
        test::FileSizeLimit full(100);
        ASSERT_TRUE(track.OpenTrackForWriting(path, 0ms, tell));
        ASSERT_TRUE(test::waitUntil([&] { return track.writeFailed(); }, 5000));
        EXPECT_EQ(QFileInfo(path).size(), 100);
        track.Close();
    }
    EXPECT_EQ(readAll(path).toHex(), QByteArray("010000000200").repeated(16));
    EXPECT_EQ(told, QStringList{path + ' ' + QString::number(EFBIG)});
}

TEST(TrackWriter, AHeldFirstRecordWaitsForAFreshReadingAndKeepsThePace)
{
    // Released when the reading turns fresh, or closed still held: nothing is
    // written while held, then the records due since the start, all fresh.
    for (const bool released : {true, false}) {
        SCOPED_TRACE(released ? "released" : "closed while held");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("rec.ss"));
        std::atomic<int> heading{45};
        CTrackFile track([&] { return DepthHeading{7, heading.load()}; }, 10ms);
        ASSERT_TRUE(track.OpenTrackForWriting(path, 10s));
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(QFileInfo(path).size(), 0);
        heading = 155;
        if (released) {
            track.releaseFirstRecord();
            EXPECT_TRUE(test::waitUntil([&] { return QFileInfo(path).size() >= 12 * 6; }));
        }
        track.Close();
        const QByteArray bytes = readAll(path);
        EXPECT_GE(bytes.size(), 10 * kTrackRecordBytes);
        EXPECT_EQ(bytes, QByteArray::fromHex("070000009b00").repeated(bytes.size() / 6));
    }
}

TEST(TrackReader, NeverReadsPastTheLastWholeRecordAndPlaybackFollowsIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rec.ss"));
    CTrackFile track;
    QByteArray torn = trackOf(2, 500); // one record and a torn one
    torn.chop(1);
    const struct {
        QByteArray bytes;
        int records;
        double fraction;
        int depth; // -1: none
    } rows[] = {
        {QByteArray(), 0, 0.0, -1},
        {QByteArray::fromHex("01020304"), 0, 0.0, -1},
        {torn, 1, 0.9, 0},
        {trackOf(10, 3), 10, 7.5, 27},
        {trackOf(10, 3), 10, -0.5, 0},
        {trackOf(10, 3), 10, std::nan(""), 0},
        {trackOf(250, 10), 250, 0.999, 2490},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.records << " " << r.fraction);
        writeBytes(path, r.bytes);
        ASSERT_TRUE(track.OpenTrackForReading(path));
        EXPECT_EQ(track.recordCount(), r.records);
        const auto got = track.readAtFraction(r.fraction);
        EXPECT_EQ(got ? got->depth : -1, r.depth);
    }
    EXPECT_FALSE(track.readRecord(250));
    EXPECT_FALSE(track.readRecord(-1));

    // Playback: the position picks the record and publishes its depth and
    // heading; from 100 % on it stops, and no number is no answer.
    publishDepthHeading(0, 0);
    const struct {
        std::optional<double> position;
        bool answered, stop;
        int percent, depth;
    } ticks[] = {
        {std::nullopt, false, false, 0, -1}, {0.5, true, false, 50, 1250},
        {std::nan(""), false, false, 0, -1}, {1.0, true, true, 100, -1},
        {1e30, true, true, 200, -1},         {0.999, true, false, 99, 2490},
    };
    for (const auto& t : ticks) {
        SCOPED_TRACE(t.percent);
        const PlaybackTick tick = playbackTick(t.position, track);
        EXPECT_EQ(tick.answered, t.answered);
        EXPECT_EQ(tick.stop, t.stop);
        EXPECT_EQ(tick.percent, t.percent);
        EXPECT_EQ(tick.record ? tick.record->depth : -1, t.depth);
    }
    EXPECT_EQ(currentDepthHeading().heading, 249);
    // Without a track the depth and heading stay as they are.
    track.Close();
    EXPECT_FALSE(track.readAtFraction(0.5));
    EXPECT_FALSE(playbackTick(0.1, track).record);
    EXPECT_EQ(currentDepthHeading().depth, 2490);
    EXPECT_FALSE(track.OpenTrackForReading(dir.filePath(QStringLiteral("absent.ss"))));
    publishDepthHeading(0, 0);
}

TEST(PlaybackHelpers, ShortHeadersAreNoProgramStreamAndAnEmptyNameIsRefused)
{
    test::ScriptedPrompter prompter;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.mpg"));
    const std::pair<QByteArray, StreamKind> kinds[] = {
        {QByteArray::fromHex("000001ba44000400"), StreamKind::Program},
        {QByteArray::fromHex("000001"), StreamKind::Elementary},
        {QByteArray(), StreamKind::Elementary},
    };
    for (const auto& [bytes, kind] : kinds) {
        writeBytes(path, bytes);
        PlaybackStreamInfo info;
        info.streamKind = StreamKind::NoExtension;
        EXPECT_TRUE(GetMpegStreamLength(nullptr, info, path));
        EXPECT_EQ(info.streamKind, kind) << bytes.toHex().constData();
    }
    PlaybackStreamInfo info;
    const PlaybackPlan plan = planPlayback(QStringLiteral("/v/a.b/run.mpv"), info);
    EXPECT_EQ(plan.audioPath, QStringLiteral("/v/a.b/run.mpa"));
    QString status;
    EXPECT_FALSE(checkPlayFileName(QString(), &status));
    EXPECT_EQ(status, QStringLiteral("文件名为空,播放失败"));
    EXPECT_EQ(prompter.boxTexts(), QStringList{QStringLiteral("请先选择一个播放视频文件")});
    EXPECT_EQ(durationText(36610000000LL), QStringLiteral("01:01:01"));
}

} // namespace
} // namespace bc
