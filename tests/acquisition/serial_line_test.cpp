#include "acquisition/port_map.h"
#include "acquisition/serial_line.h"
#include "acquisition/serial_motor_keys.h"

#include "support/scripted_prompter.h"
#include "support/temp_settings.h"
#include "support/serial_pty.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace bc {
namespace {

class SerialLineTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.ok());
        QObject::connect(&line, &CSerialLine::frameReceived,
                         [this](const CounterFrame& f) { frames.push_back(f.headingDigits()); });
        line.configureDevice(pty.path());
    }
    // Writes `bytes` and waits until the line has read `total` bytes in all.
    void send(const QByteArray& bytes, quint64 total)
    {
        pty.write(bytes);
        ASSERT_TRUE(test::waitUntil([&] { return line.bytesReceived() >= total; }));
    }

    test::ScriptedPrompter prompter;
    test::PtyPair pty;
    CSerialLine line;
    std::vector<int> frames;
};

TEST_F(SerialLineTest, FramesArriveSplitAcrossReadsAndAreDroppedWhileReceptionIsOff)
{
    ASSERT_TRUE(line.open());
    const QByteArray stream = test::counterFrameBytes(0xFE, 357) +
                              test::counterFrameBytes(0x01, 12) + test::counterFrameBytes(0x00, 90);
    send(stream.left(3), 3);
    send(stream.mid(3, 9), 12);
    send(stream.mid(12), 21);
    ASSERT_TRUE(test::waitUntil([this] { return frames.size() == 3; }));
    EXPECT_EQ(frames, (std::vector<int>{357, 12, 90}));

    frames.clear();
    line.setReceptionEnabled(false);
    const QByteArray f = test::counterFrameBytes(0xFE, 100);
    send(f + f.left(4), 32); // a whole frame and the start of another
    EXPECT_TRUE(frames.empty());
    line.setReceptionEnabled(true);
    send(f.mid(4) + test::counterFrameBytes(0x01, 200), 42); // the tail alone is no frame
    EXPECT_EQ(frames, std::vector<int>{200});
    EXPECT_TRUE(prompter.boxes.empty());
}

TEST_F(SerialLineTest, CommandBytesGoOutInOrder)
{
    EXPECT_FALSE(line.sendCommand(0x21)); // not open yet
    ASSERT_TRUE(line.open());
    const QByteArray sent("\x21\x22\x25\x26\x23\x24\x27\x28", 8);
    for (char c : sent)
        EXPECT_TRUE(line.sendCommand(static_cast<uint8_t>(c)));
    EXPECT_EQ(pty.read(8, 10000), sent);
}

TEST_F(SerialLineTest, MissingDeviceFailsWithOneBoxAndAHungUpLineCloses)
{
    CSerialLine missing;
    missing.configureDevice(QStringLiteral("/dev/does-not-exist-borecam"));
    EXPECT_FALSE(missing.open());
    EXPECT_FALSE(missing.receptionEnabled());
    EXPECT_FALSE(missing.open(false));
    EXPECT_EQ(prompter.boxTexts(), QStringList{QStringLiteral("打开串口失败!")});

    ASSERT_TRUE(line.open());
    line.setReceptionEnabled(false);
    EXPECT_TRUE(line.open()); // already open: succeeds at once, state kept
    EXPECT_FALSE(line.receptionEnabled());
    line.setReceptionEnabled(true);
    int lost = 0;
    QObject::connect(&line, &CSerialLine::lost, [&] { ++lost; });
    pty.hangUp();
    EXPECT_TRUE(test::waitUntil([this] { return !line.isOpen(); }));
    // It tries the device again, keeping its reception for its return, and
    // asks nobody; closing it ends the tries.
    EXPECT_EQ(lost, 1);
    EXPECT_TRUE(line.isRetrying());
    EXPECT_TRUE(line.receptionEnabled());
    EXPECT_EQ(prompter.boxes.size(), 1u);
    line.close();
    EXPECT_FALSE(line.isRetrying());
    EXPECT_FALSE(line.receptionEnabled());
}

// A stop byte that could not reach the device (the line known to be down, or
// written into a port whose device had just gone, also when the program then
// closes the line itself) is written first when the line is back, once however
// often it was sent; commands meanwhile are dropped.
TEST(SerialLineDrop, UnwrittenStopsGoOutFirstWhenTheLineIsBack)
{
    enum Row { Noticed, Unnoticed, ClosedByProgram };
    for (const Row row : {Noticed, Unnoticed, ClosedByProgram}) {
        SCOPED_TRACE(row == Noticed ? "known down" : row == Unnoticed ? "unnoticed" : "closed");
        test::ScriptedPrompter prompter;
        QTemporaryDir dir;
        const QString device = dir.filePath(QStringLiteral("counter"));
        auto pty = std::make_unique<test::PtyPair>();
        ASSERT_TRUE(pty->ok() && QFile::link(pty->path(), device));
        CSerialLine line;
        line.configureDevice(device);
        line.setRetryPeriod(10);
        ASSERT_TRUE(line.open());
        ASSERT_TRUE(line.sendCommand(0x27));
        EXPECT_EQ(pty->read(1, 10000), QByteArray("\x27"));

        pty->hangUp();
        QFile::remove(device);
        if (row == Noticed) {
            ASSERT_TRUE(test::waitUntil([&] { return !line.isOpen(); }));
        }
        EXPECT_FALSE(line.sendStop(0x28));
        line.sendCommand(0x21);
        EXPECT_FALSE(line.sendStop(0x28));
        EXPECT_FALSE(line.sendStop(0x26));
        if (row == ClosedByProgram) {
            // What the communication group's "保存" does: configured, opened.
            line.configureDevice(device);
            EXPECT_FALSE(line.open(false));
        }
        ASSERT_TRUE(test::waitUntil([&] { return !line.isOpen(); }));
        EXPECT_EQ(line.unsentStops(), QByteArray("\x28\x26"));

        pty = std::make_unique<test::PtyPair>();
        ASSERT_TRUE(pty->ok() && QFile::link(pty->path(), device));
        if (row == ClosedByProgram) {
            EXPECT_TRUE(line.open()); // the next start opens it
        }
        ASSERT_TRUE(test::waitUntil([&] { return line.isOpen(); }));
        EXPECT_TRUE(line.sendCommand(0x23));
        EXPECT_EQ(pty->read(4, 1000).toHex().toStdString(), "282623");
        EXPECT_TRUE(line.unsentStops().isEmpty());
    }
}

TEST_F(SerialLineTest, ConfigureTakesTheSlotsDeviceFromTheStoredPortMap)
{
    test::TempSettings profile;
    CPortMap written;
    written.setDevicePath(4, pty.path());
    written.setDevicePath(6, QString());
    written.save(profile.settings());
    CPortMap map;
    map.load(*profile.reopen());
    EXPECT_EQ(map.slotLabel(6), QStringLiteral("COM6"));
    for (int slot : {0, 6, 7})
        EXPECT_FALSE(map.isMapped(slot)) << slot;

    line.configure(4, map);
    ASSERT_TRUE(line.open());
    pty.write(test::counterFrameBytes(0xFE, 1));
    EXPECT_TRUE(test::waitUntil([this] { return frames.size() == 1; }));
    // the baud entries of the settings are zero-based
    EXPECT_EQ(baudRateForEntry(0), 1200);
    EXPECT_EQ(baudRateForEntry(7), -1);
}

TEST(MotorKeys, CommandOnlyWithCtrlAndAFoundCounterAndStopOnRelease)
{
    CMotorKeys keys;
    EXPECT_FALSE(keys.keyDown(Qt::Key_Left, false, true)); // no Ctrl
    EXPECT_FALSE(keys.keyDown(Qt::Key_Left, true, false)); // counter not found
    EXPECT_FALSE(keys.keyUp(Qt::Key_Left));                // nothing was started
    EXPECT_FALSE(keys.keyDown(Qt::Key_Plus, true, true));
    const int bytes[][3] = {{Qt::Key_Left, 0x21, 0x22},
                            {Qt::Key_Right, 0x23, 0x24},
                            {Qt::Key_Up, 0x25, 0x26},
                            {Qt::Key_Down, 0x27, 0x28}};
    for (const auto& b : bytes) {
        EXPECT_EQ(keys.keyDown(b[0], true, true), b[1]);
        EXPECT_EQ(keys.keyUp(b[0]), b[2]); // released after Ctrl: still stops
    }
    // two arrows at once: each release stops its own motion; losing the focus
    // stops what is still held
    EXPECT_EQ(keys.keyDown(Qt::Key_Up, true, true), 0x25);
    EXPECT_EQ(keys.keyDown(Qt::Key_Right, true, true), 0x23);
    EXPECT_FALSE(keys.keyUp(Qt::Key_Minus));
    EXPECT_EQ(keys.keyUp(Qt::Key_Right), 0x24);
    EXPECT_EQ(keys.releaseAll(), (std::vector<uint8_t>{0x26}));
    EXPECT_FALSE(keys.keyUp(Qt::Key_Up));
}

} // namespace
} // namespace bc
