// End to end: a depth counter on a pseudo-terminal sends pulses while the
// track records; the track follows the depth from start to end.

#include "acquisition/depth_counter.h"
#include "acquisition/serial_line.h"
#include "acquisition/track_file.h"
#include "core/program_values.h"
#include "support/serial_pty.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

namespace bc {
namespace {

using namespace std::chrono_literals;

TEST(TrackRecordingTest, TrackFollowsTheCounterFromStartToEnd)
{
    test::PtyPair pty;
    ASSERT_TRUE(pty.ok());

    CounterSettings settings;
    settings.startDepth = 5000;
    settings.mmPerPulse = 2;
    publishDepthHeading(0, 0);
    CDepthCounter counter;
    counter.reset(settings);

    CSerialLine line;
    line.configureDevice(pty.path());
    ASSERT_TRUE(line.open(false));
    QObject::connect(&line, &CSerialLine::frameReceived,
                     [&](const CounterFrame& f) { counter.applyFrame(f, 0, false); });

    QTemporaryDir dir;
    const QString path = MakeTrackName(dir.filePath(QStringLiteral("run.mpg")));
    CTrackFile track;
    ASSERT_TRUE(track.OpenTrackForWriting(path));
    const auto records = [&] { return QFileInfo(path).size() / kTrackRecordBytes; };
    // The counter stays quiet until the recording has put down its first
    // record, so that record holds the start depth.
    ASSERT_TRUE(test::waitUntil([&] { return records() >= 1; }, 10000));

    // 600 down pulses with heading 123, in three runs of 200 frames, each
    // written in random chunks that split frames. After a run has been
    // applied the device waits for two more records: the later of them was
    // read after the run's last depth was published, so every run's end
    // shows in the track however the threads are scheduled.
    constexpr int kRuns = 3;
    constexpr int kPulsesPerRun = 200;
    QByteArray run;
    for (int i = 0; i < kPulsesPerRun; ++i)
        run += test::counterFrameBytes(0xFE, 123);
    std::mt19937 random(8);
    for (int r = 1; r <= kRuns; ++r) {
        std::thread device([&] {
            qsizetype at = 0;
            while (at < run.size()) {
                const qsizetype chunk = std::min<qsizetype>(run.size() - at, 1 + random() % 48);
                pty.write(run.mid(at, chunk));
                at += chunk;
                std::this_thread::sleep_for(2ms);
            }
        });
        const bool applied =
            test::waitUntil([&] { return counter.count() >= r * kPulsesPerRun; }, 30000);
        device.join();
        ASSERT_TRUE(applied) << "run " << r << " stopped at " << counter.count();
        const qint64 seen = records();
        ASSERT_TRUE(test::waitUntil([&] { return records() >= seen + 2; }, 10000));
    }
    track.Close();
    line.close();
    ASSERT_EQ(counter.count(), kRuns * kPulsesPerRun);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size() % kTrackRecordBytes, 0);
    const int count = static_cast<int>(bytes.size() / kTrackRecordBytes);
    ASSERT_GE(count, 1 + 2 * kRuns);
    std::vector<TrackRecord> recs;
    for (int i = 0; i < count; ++i)
        recs.push_back(decodeTrackRecord(reinterpret_cast<const uint8_t*>(bytes.constData()) +
                                         i * kTrackRecordBytes));
    EXPECT_EQ(recs.front().depth, 5000);
    EXPECT_EQ(recs.front().heading, 0);
    EXPECT_EQ(recs.back().depth, 5000 + kRuns * kPulsesPerRun * 2);
    EXPECT_EQ(recs.back().heading, 123);
    for (int i = 1; i < count; ++i) {
        EXPECT_GE(recs[i].depth, recs[i - 1].depth) << "record " << i;
        EXPECT_TRUE(recs[i].heading == 123 || recs[i].heading == 0) << "record " << i;
    }
    // The depth rose in steps along the way, not all at once: the end of
    // every run is in the track.
    for (int r = 1; r <= kRuns; ++r) {
        const int32_t depth = 5000 + r * kPulsesPerRun * 2;
        EXPECT_TRUE(std::any_of(recs.begin(), recs.end(),
                                [&](const TrackRecord& t) { return t.depth == depth; }))
            << "depth " << depth;
    }
}

} // namespace
} // namespace bc
