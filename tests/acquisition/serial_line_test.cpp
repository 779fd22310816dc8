#include "acquisition/port_map.h"
#include "acquisition/serial_line.h"
#include "acquisition/serial_motor_keys.h"

#include "support/scripted_prompter.h"
#include "support/temp_settings.h"
#include "support/serial_pty.h"

#include <gtest/gtest.h>

#include <vector>

namespace bc {
namespace {

class SerialLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.ok());
        QObject::connect(&line, &CSerialLine::frameReceived,
                         [this](const CounterFrame& f) { frames.push_back(f); });
        line.configureDevice(pty.path());
    }

    test::ScriptedPrompter prompter;
    test::PtyPair pty;
    CSerialLine line;
    std::vector<CounterFrame> frames;
};

TEST_F(SerialLineTest, FramesArriveSplitAcrossReads)
{
    ASSERT_TRUE(line.open());
    EXPECT_TRUE(line.receptionEnabled());
    const QByteArray stream = test::counterFrameBytes(0xFE, 357) + test::counterFrameBytes(0x01, 12) + test::counterFrameBytes(0x00, 90);
    // three reads: the line sees each part before the next is sent
    for (const QByteArray& part : {stream.left(3), stream.mid(3, 9), stream.mid(12)}) {
        const quint64 seen = line.bytesReceived() + quint64(part.size());
        pty.write(part);
        ASSERT_TRUE(test::waitUntil([&] { return line.bytesReceived() >= seen; }));
    }
    ASSERT_TRUE(test::waitUntil([this] { return frames.size() == 3; }));
    EXPECT_EQ(frames[0].pulse(), 1);
    EXPECT_EQ(frames[0].headingDigits(), 357);
    EXPECT_EQ(frames[1].pulse(), -1);
    EXPECT_EQ(frames[2].headingDigits(), 90);
    EXPECT_TRUE(prompter.boxes.empty());
}

TEST_F(SerialLineTest, InputIsDroppedWhileReceptionIsOff)
{
    ASSERT_TRUE(line.open());
    line.setReceptionEnabled(false);
    const QByteArray f = test::counterFrameBytes(0xFE, 100);
    pty.write(f + f.left(4)); // a whole frame and the start of another
    ASSERT_TRUE(test::waitUntil([this] { return line.bytesReceived() == 11; }));
    EXPECT_TRUE(frames.empty());
    line.setReceptionEnabled(true);
    pty.write(f.mid(4) + test::counterFrameBytes(0x01, 200)); // the tail alone is no frame
    ASSERT_TRUE(test::waitUntil([this] { return line.bytesReceived() == 21; }));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].headingDigits(), 200);
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

TEST_F(SerialLineTest, MissingDeviceFailsWithABoxAndOpenIsIdempotent)
{
    CSerialLine missing;
    missing.configureDevice(QStringLiteral("/dev/does-not-exist-borecam"));
    EXPECT_FALSE(missing.open());
    EXPECT_FALSE(missing.isOpen());
    EXPECT_FALSE(missing.receptionEnabled());
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].text, QStringLiteral("打开串口失败!"));
    EXPECT_FALSE(missing.open(false));
    EXPECT_EQ(prompter.boxes.size(), 1u);

    ASSERT_TRUE(line.open());
    line.setReceptionEnabled(false);
    EXPECT_TRUE(line.open()); // already open: succeeds at once, state kept
    EXPECT_FALSE(line.receptionEnabled());
    line.close();
    EXPECT_FALSE(line.isOpen());
}

TEST_F(SerialLineTest, ConfigureTakesTheSlotsDeviceFromThePortMap)
{
    test::TempSettings profile;
    CPortMap written;
    written.setDevicePath(4, pty.path());
    written.setDevicePath(6, QString());
    written.save(profile.settings());
    CPortMap map;
    auto reopened = profile.reopen();
    map.load(*reopened);
    EXPECT_EQ(map.devicePath(1), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(map.devicePath(4), pty.path());
    EXPECT_FALSE(map.isMapped(6));
    EXPECT_EQ(map.slotLabel(6), QStringLiteral("COM6"));
    EXPECT_EQ(map.slotLabel(3), QStringLiteral("COM3 (/dev/ttyACM0)"));
    EXPECT_FALSE(map.isMapped(0));
    EXPECT_FALSE(map.isMapped(7));

    line.configure(4, map);
    EXPECT_EQ(line.slot(), 4);
    EXPECT_EQ(line.devicePath(), pty.path());
    ASSERT_TRUE(line.open());
    pty.write(test::counterFrameBytes(0xFE, 1));
    EXPECT_TRUE(test::waitUntil([this] { return frames.size() == 1; }));
}

TEST_F(SerialLineTest, ALineWhoseDeviceWentAwayIsClosed)
{
    ASSERT_TRUE(line.open());
    pty.hangUp();
    EXPECT_TRUE(test::waitUntil([this] { return !line.isOpen(); }));
    EXPECT_FALSE(line.receptionEnabled());
    EXPECT_TRUE(prompter.boxes.empty());
}

TEST(SerialLineTables, BaudEntriesAreZeroBased)
{
    EXPECT_EQ(baudRateForEntry(0), 1200);
    EXPECT_EQ(baudRateForEntry(3), 9600);
    EXPECT_EQ(baudRateForEntry(6), 115200);
    EXPECT_EQ(baudRateForEntry(7), -1);
    EXPECT_EQ(baudRateForEntry(-1), -1);
    EXPECT_EQ(lineSettingsText(kLineBaud), QStringLiteral("9600,n,8,1"));
}

TEST(MotorKeys, CommandOnlyWithCtrlAndAFoundCounterAndStopOnRelease)
{
    CMotorKeys keys;
    EXPECT_FALSE(keys.keyDown(Qt::Key_Left, false, true)); // no Ctrl
    EXPECT_FALSE(keys.keyDown(Qt::Key_Left, true, false)); // counter not found
    EXPECT_FALSE(keys.keyUp(Qt::Key_Left));                // nothing was started
    EXPECT_FALSE(keys.keyDown(Qt::Key_Plus, true, true));
    EXPECT_EQ(keys.keyDown(Qt::Key_Left, true, true), 0x21);
    EXPECT_EQ(keys.keyUp(Qt::Key_Left), 0x22);
    EXPECT_FALSE(keys.anyHeld());

    // two arrows at once: each release stops its own motion
    EXPECT_EQ(keys.keyDown(Qt::Key_Up, true, true), 0x25);
    EXPECT_EQ(keys.keyDown(Qt::Key_Right, true, true), 0x23);
    EXPECT_FALSE(keys.keyUp(Qt::Key_Minus));
    EXPECT_EQ(keys.keyUp(Qt::Key_Right), 0x24);
    EXPECT_TRUE(keys.anyHeld());
    // focus lost while Up is still held
    EXPECT_EQ(keys.releaseAll(), (std::vector<uint8_t>{0x26}));
    EXPECT_FALSE(keys.keyUp(Qt::Key_Up));
    EXPECT_EQ(keys.keyDown(Qt::Key_Down, true, true), 0x27);
    EXPECT_EQ(keys.keyUp(Qt::Key_Down), 0x28); // released after Ctrl: still stops
}

} // namespace
} // namespace bc
