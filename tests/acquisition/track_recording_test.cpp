// End to end: a depth counter on a pseudo-terminal sends pulses while the
// track records; the track follows the depth from start to end.

#include "acquisition/depth_counter.h"
#include "acquisition/serial_line.h"
#include "acquisition/track_file.h"
#include "core/program_values.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include <pty.h>
#include <unistd.h>

namespace bc {
namespace {

using namespace std::chrono_literals;

TEST(TrackRecordingTest, TrackFollowsTheCounterFromStartToEnd)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);

    CounterSettings settings;
    settings.startDepth = 5000;
    settings.mmPerPulse = 2;
    publishDepthHeading(0, 0);
    CDepthCounter counter;
    counter.reset(settings);

    CSerialLine line;
    line.configureDevice(QString::fromLocal8Bit(name));
    ASSERT_TRUE(line.open(false));
    QObject::connect(&line, &CSerialLine::frameReceived,
                     [&](const CounterFrame& f) { counter.applyFrame(f, 0, false); });

    QTemporaryDir dir;
    const QString path = MakeTrackName(dir.filePath(QStringLiteral("run.mpg")));
    CTrackFile track;
    ASSERT_TRUE(track.OpenTrackForWriting(path));
    // The counter starts sending once the recording has put down its first
    // record.
    while (QFileInfo(path).size() < kTrackRecordBytes)
        std::this_thread::sleep_for(1ms);

    // 1000 down pulses with heading 123, written in random chunks.
    std::vector<char> stream;
    for (int i = 0; i < 1000; ++i) {
        const char frame[7] = {'\x55', '\xAA', '\xFE', 1, 2, 3, 0};
        stream.insert(stream.end(), frame, frame + 7);
    }
    std::thread device([&] {
        std::mt19937 random(8);
        std::size_t at = 0;
        while (at < stream.size()) {
            const std::size_t chunk =
                std::min<std::size_t>(stream.size() - at, 1 + random() % 48);
            std::size_t done = 0;
            while (done < chunk) {
                const ssize_t n = ::write(master, stream.data() + at + done, chunk - done);
                if (n > 0)
                    done += static_cast<std::size_t>(n);
            }
            at += chunk;
            std::this_thread::sleep_for(2ms);
        }
    });

    const auto until = std::chrono::steady_clock::now() + 30s;
    while (counter.count() < 1000 && std::chrono::steady_clock::now() < until)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    device.join();
    // Let the writer put down the final depth a few times.
    std::this_thread::sleep_for(150ms);
    track.Close();
    line.close();
    ::close(slave);
    ::close(master);
    ASSERT_EQ(counter.count(), 1000);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size() % kTrackRecordBytes, 0);
    const int records = static_cast<int>(bytes.size() / kTrackRecordBytes);
    ASSERT_GE(records, 5);
    std::vector<TrackRecord> recs;
    for (int i = 0; i < records; ++i)
        recs.push_back(
            decodeTrackRecord(reinterpret_cast<const uint8_t*>(bytes.constData()) + i * 6));
    EXPECT_EQ(recs.front().depth, 5000);
    EXPECT_EQ(recs.back().depth, 5000 + 1000 * 2);
    EXPECT_EQ(recs.back().heading, 123);
    for (int i = 1; i < records; ++i) {
        EXPECT_GE(recs[i].depth, recs[i - 1].depth) << "record " << i;
        EXPECT_TRUE(recs[i].heading == 123 || recs[i].heading == 0) << "record " << i;
    }
    // The depth rose in steps along the way, not all at once.
    int distinct = 1;
    for (int i = 1; i < records; ++i)
        distinct += recs[i].depth != recs[i - 1].depth;
    EXPECT_GE(distinct, 3);
}

} // namespace
} // namespace bc
