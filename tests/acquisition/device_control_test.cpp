#include "acquisition/device_control.h"
#include "acquisition/device_watcher.h"
#include "acquisition/dvr_settings.h"
#include "acquisition/usb_filter.h"

#include "support/temp_settings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace bc;

namespace {

class DeviceCodes : public ::testing::Test {
protected:
    void SetUp() override
    {
        setCaptureSource(QStringLiteral("test:720x576"));
        CTestSourceControl::setPresent(true);
        CTestSourceControl::takeLog();
    }
    void TearDown() override
    {
        setCaptureSource(QString());
        CTestSourceControl::setPresent(true);
    }
    test::TempSettings store;
    CDvrAppSettings settings{&store.settings()};
};

} // namespace

TEST_F(DeviceCodes, ChangeMaskSelectsTheValuesInBitOrder)
{
    USBFilter g(settings);
    ASSERT_TRUE(g.BuildGraph(GraphKindProbe, {}));
    settings.VideoFormat = 0;
    settings.Channel = 12;
    settings.changeMask = 0x44;
    EXPECT_EQ(g.SetDeviceParam(DeviceApplySettings), 1);
    EXPECT_EQ(CTestSourceControl::takeLog(),
              QStringList({QStringLiteral("VideoFormat=0"), QStringLiteral("Channel=12")}));
    EXPECT_EQ(settings.changeMask, 0x44); // the mask is left to the form

    settings.changeMask = 0;
    EXPECT_EQ(g.SetDeviceParam(DeviceApplySettings), 1);
    EXPECT_TRUE(CTestSourceControl::takeLog().isEmpty());

    settings.changeMask = 0xFF;
    settings.tunerOption = 3;
    EXPECT_EQ(g.SetDeviceParam(DeviceApplySettings), 1);
    const QStringList all = CTestSourceControl::takeLog();
    ASSERT_EQ(all.size(), 8);
    EXPECT_EQ(all[0], QStringLiteral("VideoSource=0"));
    EXPECT_EQ(all[4], QStringLiteral("TunerSetup=1,1,3"));
    EXPECT_EQ(all[7], QStringLiteral("CableAntenna=1"));
}

TEST_F(DeviceCodes, StatusByteTellsTheStandardAndUnknownCodesFail)
{
    setCaptureSource(QStringLiteral("test:720x480@30"));
    USBFilter g(settings);
    ASSERT_TRUE(g.BuildGraph(GraphKindProbe, {}));
    uint8_t status[3] = {0x42, 0x1F, 0x00};
    EXPECT_EQ(g.SetDeviceParam(DeviceReadRegister, status), 1);
    EXPECT_EQ(status[2] & 0x21, 0x21); // NTSC

    setCaptureSource(QStringLiteral("test:720x576"));
    ASSERT_TRUE(g.BuildGraph(GraphKindProbe, {}));
    status[2] = 0xFF;
    EXPECT_EQ(g.SetDeviceParam(DeviceReadRegister, status), 1);
    EXPECT_NE(status[2] & 0x21, 0x21); // PAL
    uint8_t other[3] = {0x10, 0x00, 0x7E};
    EXPECT_EQ(g.SetDeviceParam(DeviceReadRegister, other), 0);
    EXPECT_EQ(other[2], 0x7E);

    // No register can be written: a write is never reported as done.
    uint8_t write[3] = {0x42, 0x1F, 0x01};
    EXPECT_EQ(g.SetDeviceParam(DeviceWriteRegister, write), 0);

    settings.bitrateClass = 9;
    EXPECT_EQ(g.SetDeviceParam(DeviceBitrateClass), 1);
    EXPECT_EQ(settings.bitrateClass, 0);
    uint8_t on = 1;
    EXPECT_EQ(g.SetDeviceParam(DeviceStreaming, &on), 1);
    EXPECT_EQ(g.SetDeviceParam(DeviceCheck), 1);
    for (int code : {7, 8, 11, 20, 23, 25, 27, 5, 29, -1})
        EXPECT_EQ(g.SetDeviceParam(code), 0) << code;
    EXPECT_TRUE(CTestSourceControl::takeLog().isEmpty());

    // The device is unplugged under a held graph.
    CTestSourceControl::setPresent(false);
    EXPECT_EQ(g.SetDeviceParam(DevicePresent), 0);
    EXPECT_EQ(g.SetDeviceParam(DeviceCheck), 0);

    g.TearDownGraph();
    EXPECT_EQ(g.SetDeviceParam(DevicePresent), 0);
}

TEST(CaptureSource, SettingResolvesToTestV4l2OrNothing)
{
    // setting, kind, width, fps
    const std::tuple<const char*, ResolvedSource::Kind, int, int> rows[] = {
        {"test:352x288@30", ResolvedSource::Test, 352, 30},
        {"test:0x99999", ResolvedSource::Test, 720, -1}, // nonsense sizes keep the default
        {"/dev/null", ResolvedSource::None, -1, -1},     // a node, but no capture device
    };
    for (const auto& [setting, kind, width, fps] : rows) {
        setCaptureSource(QString::fromLatin1(setting));
        const ResolvedSource r = resolveCaptureSource();
        EXPECT_EQ(r.kind, kind) << setting;
        EXPECT_TRUE(width < 0 || r.width == width) << setting;
        EXPECT_TRUE(fps < 0 || r.fps == fps) << setting;
    }
    setCaptureSource(QString());
    EXPECT_EQ(resolveCaptureSource().kind,
              firstV4l2CaptureNode().isEmpty() ? ResolvedSource::None : ResolvedSource::V4l2);
    // From the profile; no key: the first capture device, whatever was set before.
    test::TempSettings profile;
    profile.settings().setValue(QStringLiteral("视频设备/设备"), QStringLiteral("test:352x288"));
    loadCaptureSource(profile.settings());
    EXPECT_EQ(resolveCaptureSource().width, 352);
    test::TempSettings empty;
    loadCaptureSource(empty.settings());
    EXPECT_TRUE(captureSource().isEmpty());
}

TEST(DeviceWatcher, ABurstOfChangesGivesOneReport)
{
    QTemporaryDir dir;
    // A settle time far beyond a busy machine's scheduling delays: the burst
    // is over long before it ends.
    CDeviceWatcher w(nullptr, 400, dir.path());
    EXPECT_EQ(CDeviceWatcher(nullptr).settleMs(), 300);
    QSignalSpy spy(&w, &CDeviceWatcher::devicesChanged);
    for (int i = 0; i < 5; ++i) {
        w.notifyChange();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(spy.count(), 0); // still settling
    EXPECT_TRUE(spy.wait(5000));
    EXPECT_FALSE(spy.wait(800)); // and only once
    EXPECT_EQ(spy.count(), 1);

    // A video node appearing in the watched folder counts; other files do not.
    QFile other(dir.filePath(QStringLiteral("ttyUSB0")));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();
    EXPECT_FALSE(spy.wait(800));
    QFile node(dir.filePath(QStringLiteral("video0")));
    ASSERT_TRUE(node.open(QIODevice::WriteOnly));
    node.close();
    EXPECT_TRUE(spy.wait(5000));
    EXPECT_EQ(spy.count(), 2);
}
