// The capture device: its stored values, the rules of the video-settings
// dialog, the encoder profile the values give, its codes on the test source,
// the choice of the source and the watch for devices coming and going.

#include "acquisition/acquisition_dlg.h"
#include "acquisition/device_control.h"
#include "acquisition/device_watcher.h"
#include "acquisition/dvr_settings.h"
#include "acquisition/usb_filter.h"
#include "acquisition/video_param_dlg.h"

#include "support/station_form.h"
#include "support/temp_settings.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace bc;

namespace {

template <class T> T* child(QWidget* w, const char* name)
{
    return w->findChild<T*>(QString::fromLatin1(name));
}

TEST(DvrSettings, DestroyingSavesTheFifteenDwordsAndBadValuesLoadTheDefault)
{
    test::TempSettings t;
    {
        CDvrAppSettings s(&t.settings());
        s.VideoBitrate = 6000000;
        s.AudioStartDelay = -5; // a DWORD round-trips whatever its sign
        s.recordFlag = 1;
        s.mediaPath = QStringLiteral("/tmp/录像.mpg");
    }
    auto again = t.reopen();
    again->beginGroup(QStringLiteral("Software/Cirrus Logic USB-DVR2/App Settings"));
    EXPECT_EQ(again->childKeys().size(), 15);
    EXPECT_EQ(again->value(QStringLiteral("AudioStartDelay")).toLongLong(), 0xFFFFFFFBLL);
    again->setValue(QStringLiteral("Channel"), QStringLiteral("99999999999"));
    again->setValue(QStringLiteral("MuxFormat"), QStringLiteral("fast"));
    again->endGroup();
    CDvrAppSettings s(again.get());
    EXPECT_EQ(s.VideoBitrate, 6000000);
    EXPECT_EQ(s.AudioStartDelay, -5);
    EXPECT_EQ(s.recordFlag, 0); // never stored
    EXPECT_TRUE(s.mediaPath.isEmpty());
    CRegistryValue r(kDvrSettingsKey, again.get());
    EXPECT_EQ(r.ReadDword("Channel", 2), 2);
    EXPECT_EQ(r.ReadDword("MuxFormat", 2), 2);
}

TEST(DvrSettings, BitrateListRulesByClass)
{
    test::TempSettings t;
    CDvrAppSettings s(&t.settings());
    // class, entry chosen, bitrate before, entry to show instead (or -1), bitrate after
    const std::tuple<int, int, int32_t, int, int32_t> rows[] = {
        {0, 0, 1, -1, 2000000}, {0, 6, 1, -1, 12000000}, {0, 7, 1, 2, 4000000},
        {0, 8, 1, 2, 4000000},  {0, 9, 5, -1, 4000000},  {1, 1, 1, -1, 3000000},
        {1, 2, 1, -1, 4000000}, {1, 4, 1, 2, 4000000},   {5, 0, 123, -1, 123},
    };
    for (const auto& [cls, entry, before, answer, after] : rows) {
        SCOPED_TRACE(testing::Message() << cls << " " << entry);
        s.bitrateClass = cls;
        s.VideoBitrate = before;
        EXPECT_EQ(s.SetVideoBitrateIndex(entry), answer);
        EXPECT_EQ(s.VideoBitrate, after);
    }
}

TEST(DvrSettings, EncoderProfilesKeepTheLimitsOfEachDiscFormat)
{
    test::TempSettings t;
    CDvrAppSettings s(&t.settings());
    s.MuxFormat = 2;
    s.VideoFormat = 0; // NTSC
    s.VideoResolution = 5;
    s.VideoBitrate = 12000000;
    s.AudioEncodingFormat = 7;
    const EncoderProfile dvd = encoderProfileFor(s);
    EXPECT_EQ(QSize(dvd.width, dvd.height), QSize(720, 480));
    EXPECT_EQ(std::pair(dvd.frameRateNum, dvd.frameRateDen), std::pair(30000, 1001));
    EXPECT_EQ(dvd.bitrate, 9000000); // a DVD cannot carry 12 Mbit/s
    EXPECT_EQ(dvd.audio, EncoderProfile::AudioLpcm);
    s.MuxFormat = 0;
    s.VideoFormat = 1;
    const EncoderProfile svcd = encoderProfileFor(s);
    EXPECT_EQ(QSize(svcd.width, svcd.height), QSize(480, 576));
    EXPECT_LE(svcd.bitrate, svcd.maxRate);
    s.MuxFormat = 1;
    const EncoderProfile vcd = encoderProfileFor(s);
    EXPECT_TRUE(vcd.mpeg1);
    EXPECT_EQ(vcd.bitrate, 1150000);
    EXPECT_EQ(QSize(vcd.width, vcd.height), QSize(352, 288));
}

TEST(VideoParamDlg, DvdFromStoredValuesThenSvcdDvdAndVcd)
{
    test::TempSettings t;
    CDvrAppSettings form(&t.settings());
    form.MuxFormat = 2;
    form.bitrateClass = 0;
    form.VideoBitrate = 8000000;
    form.VideoResolution = 2;
    form.AudioBitrate = 13;
    form.AudioFrequency = 1;
    form.VideoFormat = 0;
    CVideoParamDlg dlg(form, nullptr, &t.settings());
    auto* bitrate = child<QComboBox>(&dlg, "list1175");
    auto* resolution = child<QComboBox>(&dlg, "list1176");
    auto* audioRate = child<QComboBox>(&dlg, "list1039");
    ASSERT_TRUE(bitrate && resolution && audioRate);
    auto shows = [&](const char* b, const char* r, const char* a) {
        EXPECT_EQ(bitrate->currentText(), QString::fromUtf8(b));
        EXPECT_EQ(resolution->currentText(), QString::fromUtf8(r));
        EXPECT_TRUE(!a || audioRate->currentText() == QString::fromUtf8(a)) << a;
    };
    shows("8 Mbps", "1/2 D1", "320 kbps");
    EXPECT_EQ(dlg.videoFormatIndex(), 1);
    EXPECT_FALSE(child<QRadioButton>(&dlg, "radio1174")->isEnabled());

    child<QRadioButton>(&dlg, "radio1169")->click(); // SVCD
    shows("SVCD", "2/3 D1", "224 kbps");
    EXPECT_FALSE(bitrate->isEnabled());
    child<QRadioButton>(&dlg, "radio1170")->click(); // DVD
    shows("4 Mbps", "D1 720", nullptr);
    EXPECT_TRUE(bitrate->isEnabled());
    EXPECT_EQ(form.MuxFormat, 2); // the form's values are untouched

    // The device class rules the list: "8 Mbps" jumps back to "4 Mbps".
    dlg.settings().bitrateClass = 1;
    bitrate->setCurrentIndex(4);
    emit bitrate->activated(4);
    EXPECT_EQ(bitrate->currentText(), QStringLiteral("4 Mbps"));
    child<QRadioButton>(&dlg, "radio1168")->click(); // VCD
    shows("VCD", "SIF", nullptr);
}

// The dialog as the form opens it (button 1013) on the program's own graph
// factory: SVCD chosen, then Cancel leaves the device's stored values alone,
// while OK writes them at once.
TEST(VideoParamDlg, FromTheFormCancelLeavesTheStoreAndOkWritesIt)
{
    // button pressed, MuxFormat stored afterwards (-1: never written), the form's
    const std::tuple<const char*, int, int> rows[] = {{"button2", -1, 2}, {"button1", 0, 0}};
    for (const auto& [button, stored, formValue] : rows) {
        SCOPED_TRACE(button);
        test::StationForm station("test:352x288@25");
        bool seen = false;
        QTimer::singleShot(0, [&, name = button] {
            auto* dlg = qobject_cast<CVideoParamDlg*>(QApplication::activeModalWidget());
            if (!dlg)
                return;
            seen = true;
            QTest::mouseClick(child<QRadioButton>(dlg, "radio1169"), Qt::LeftButton);
            QTest::mouseClick(child<QPushButton>(dlg, name), Qt::LeftButton);
        });
        QTest::mouseClick(station.form->control(IDC_DEVICE_SETTINGS), Qt::LeftButton, {}, QPoint(10, 10));
        ASSERT_TRUE(seen);
        EXPECT_EQ(CRegistryValue(kDvrSettingsKey, &station.deviceValues.settings()).ReadDword("MuxFormat", -1),
                  stored);
        EXPECT_EQ(station.graphs->MuxFormat(), formValue);
    }
}

class DeviceCodes : public ::testing::Test {
  protected:
    void SetUp() override
    {
        setCaptureSource(QStringLiteral("test:720x576"));
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

TEST_F(DeviceCodes, ChangeMaskSelectsTheValuesInBitOrder)
{
    USBFilter g(settings);
    ASSERT_TRUE(g.BuildGraph(GraphKindProbe, {}));
    settings.VideoFormat = 0;
    settings.Channel = 12;
    settings.tunerOption = 3;
    const std::pair<unsigned, QStringList> rows[] = {
        {0x00, {}},
        {0x44, {"VideoFormat=0", "Channel=12"}},
        {0xD1, {"VideoSource=0", "TunerSetup=1,1,3", "Channel=12", "CableAntenna=1"}},
    };
    for (const auto& [mask, applied] : rows) {
        settings.changeMask = mask;
        EXPECT_EQ(g.SetDeviceParam(DeviceApplySettings), 1);
        EXPECT_EQ(CTestSourceControl::takeLog(), applied) << mask;
        EXPECT_EQ(settings.changeMask, mask); // the mask is left to the form
    }
}

TEST_F(DeviceCodes, StatusByteTellsTheStandardAndAnUnpluggedDeviceIsGone)
{
    setCaptureSource(QStringLiteral("test:720x480@30"));
    USBFilter g(settings);
    ASSERT_TRUE(g.BuildGraph(GraphKindProbe, {}));
    uint8_t status[3] = {0x42, 0x1F, 0x00};
    EXPECT_EQ(g.SetDeviceParam(DeviceReadRegister, status), 1);
    EXPECT_EQ(status[2] & 0x21, 0x21); // NTSC
    setCaptureSource(QStringLiteral("test:720x576"));
    ASSERT_TRUE(g.BuildGraph(GraphKindProbe, {}));
    EXPECT_EQ(g.SetDeviceParam(DeviceReadRegister, status), 1);
    EXPECT_NE(status[2] & 0x21, 0x21); // PAL
    settings.bitrateClass = 9;
    EXPECT_EQ(g.SetDeviceParam(DeviceBitrateClass), 1);
    EXPECT_EQ(settings.bitrateClass, 0);
    CTestSourceControl::setPresent(false); // unplugged under a held graph
    EXPECT_EQ(g.SetDeviceParam(DevicePresent), 0);
    EXPECT_EQ(g.SetDeviceParam(DeviceCheck), 0);
}

TEST(CaptureSource, SettingResolvesToTestV4l2OrNothing)
{
    // setting, kind, width (or -1)
    const std::tuple<const char*, ResolvedSource::Kind, int> rows[] = {
        {"test:352x288@30", ResolvedSource::Test, 352},
        {"test:0x99999", ResolvedSource::Test, 720}, // nonsense sizes keep the default
        {"/dev/null", ResolvedSource::None, -1},     // a node, but no capture device
    };
    for (const auto& [setting, kind, width] : rows) {
        setCaptureSource(QString::fromLatin1(setting));
        EXPECT_EQ(resolveCaptureSource().kind, kind) << setting;
        EXPECT_TRUE(width < 0 || resolveCaptureSource().width == width) << setting;
    }
    // A profile without the key: the first capture device, whatever was set before.
    test::TempSettings empty;
    loadCaptureSource(empty.settings());
    EXPECT_TRUE(captureSource().isEmpty());
}

TEST(DeviceWatcher, ABurstOfChangesGivesOneReportAndOnlyVideoNodesCount)
{
    QTemporaryDir dir;
    // A settle time far beyond a busy machine's scheduling delays: the burst
    // is over long before it ends.
    CDeviceWatcher w(nullptr, 400, dir.path());
    QSignalSpy spy(&w, &CDeviceWatcher::devicesChanged);
    for (int i = 0; i < 5; ++i) {
        w.notifyChange();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(spy.count(), 0); // still settling
    EXPECT_TRUE(spy.wait(5000));
    QFile other(dir.filePath(QStringLiteral("ttyUSB0")));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();
    EXPECT_FALSE(spy.wait(800)); // once, and not for other nodes
    QFile node(dir.filePath(QStringLiteral("video0")));
    ASSERT_TRUE(node.open(QIODevice::WriteOnly));
    node.close();
    EXPECT_TRUE(spy.wait(5000));
    EXPECT_EQ(spy.count(), 2);
}

} // namespace
