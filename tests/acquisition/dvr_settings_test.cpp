#include "acquisition/dvr_settings.h"
#include "acquisition/video_param_dlg.h"

#include "support/temp_settings.h"

#include <QComboBox>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace bc;

namespace {

QString keyOf(const char* name)
{
    return QStringLiteral("Software/Cirrus Logic USB-DVR2/App Settings/") + QLatin1String(name);
}

} // namespace

TEST(DvrSettings, EmptyStoreLoadsEveryDefault)
{
    test::TempSettings t;
    CDvrAppSettings s(&t.settings());
    EXPECT_EQ(s.VideoBitrate, 4000000);
    EXPECT_EQ(s.MuxFormat, 2);
    EXPECT_EQ(s.VideoResolution, 0);
    EXPECT_EQ(s.VideoSource, 0);
    EXPECT_EQ(s.VideoOutput, 0);
    EXPECT_EQ(s.VideoFormat, 0); // the constructor's 1 is replaced by the load
    EXPECT_EQ(s.Channel, 2);
    EXPECT_EQ(s.CableAntenna, 1);
    EXPECT_EQ(s.recordFlag, 0);
    EXPECT_TRUE(s.mediaPath.isEmpty());
    EXPECT_EQ(s.AudioEncodingFormat, 1);
    EXPECT_EQ(s.AudioFrequency, 0);
    EXPECT_EQ(s.AudioBitrate, 11);
    EXPECT_EQ(s.CountryCode, 1);
    EXPECT_EQ(s.PALType, 0);
    EXPECT_EQ(s.changeMask, 0xE7);
    EXPECT_EQ(s.VideoStartDelay, 18000);
    EXPECT_EQ(s.AudioStartDelay, 18000);
}

TEST(DvrSettings, DestroyingSavesTheFifteenValuesAndNothingElse)
{
    test::TempSettings t;
    {
        CDvrAppSettings s(&t.settings());
        s.VideoBitrate = 6000000;
        s.VideoFormat = 1;
        s.PALType = 3;
        s.AudioStartDelay = -5; // a DWORD round-trips whatever its sign
        s.recordFlag = 1;
        s.mediaPath = QStringLiteral("/tmp/录像.mpg");
        s.bitrateClass = 1;
        s.changeMask = 0;
    }
    auto again = t.reopen();
    EXPECT_EQ(again->value(keyOf("VideoBitrate")).toLongLong(), 6000000);
    EXPECT_EQ(again->value(keyOf("AudioStartDelay")).toLongLong(), 0xFFFFFFFBLL);
    int stored = 0;
    again->beginGroup(QStringLiteral("Software/Cirrus Logic USB-DVR2/App Settings"));
    stored = again->childKeys().size();
    again->endGroup();
    EXPECT_EQ(stored, 15);

    CDvrAppSettings s(again.get());
    EXPECT_EQ(s.VideoBitrate, 6000000);
    EXPECT_EQ(s.VideoFormat, 1);
    EXPECT_EQ(s.PALType, 3);
    EXPECT_EQ(s.AudioStartDelay, -5);
    EXPECT_EQ(s.recordFlag, 0);
    EXPECT_TRUE(s.mediaPath.isEmpty());
    EXPECT_EQ(s.changeMask, 0xE7);
}

TEST(DvrSettings, ValuesThatAreNotDwordsLoadTheDefault)
{
    test::TempSettings t;
    t.settings().setValue(keyOf("VideoBitrate"), QStringLiteral("fast"));
    t.settings().setValue(keyOf("Channel"), QStringLiteral("99999999999"));
    t.settings().setValue(keyOf("MuxFormat"), 0);
    CRegistryValue r(kDvrSettingsKey, &t.settings());
    EXPECT_EQ(r.ReadDword("VideoBitrate", 4000000), 4000000);
    EXPECT_EQ(r.ReadDword("Channel", 2), 2);
    EXPECT_EQ(r.ReadDword("MuxFormat", 2), 0);
    EXPECT_EQ(r.ReadDword("Missing", 77), 77);
    EXPECT_EQ(r.WriteDword("Missing", 78), 1);
    EXPECT_EQ(r.ReadDword("Missing", 77), 78);
}

TEST(DvrSettings, AssignCopiesTheUnpersistedFieldsToo)
{
    test::TempSettings t;
    CDvrAppSettings a(&t.settings());
    CDvrAppSettings b(&t.settings());
    a.recordFlag = 1;
    a.mediaPath = QStringLiteral("x.mpg");
    a.bitrateClass = 1;
    a.tunerOption = 9;
    a.changeMask = 0x44;
    a.Channel = 40;
    b.Assign(a);
    EXPECT_EQ(b.recordFlag, 1);
    EXPECT_EQ(b.mediaPath, QStringLiteral("x.mpg"));
    EXPECT_EQ(b.bitrateClass, 1);
    EXPECT_EQ(b.tunerOption, 9);
    EXPECT_EQ(b.changeMask, 0x44);
    EXPECT_EQ(b.Channel, 40);
}

TEST(DvrSettings, BitrateListRulesByClass)
{
    test::TempSettings t;
    CDvrAppSettings s(&t.settings());
    s.bitrateClass = 0;
    const int32_t rates[] = {2000000, 3000000, 4000000, 6000000, 8000000, 10000000, 12000000};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(s.SetVideoBitrateIndex(i), -1);
        EXPECT_EQ(s.VideoBitrate, rates[i]);
        EXPECT_EQ(s.GetVideoBitrateIndex(), i);
    }
    EXPECT_EQ(s.SetVideoBitrateIndex(7), 2); // "VCD" shows "4 Mbps"
    EXPECT_EQ(s.VideoBitrate, 4000000);
    s.VideoBitrate = 1;
    EXPECT_EQ(s.SetVideoBitrateIndex(8), 2);
    EXPECT_EQ(s.VideoBitrate, 4000000);
    EXPECT_EQ(s.SetVideoBitrateIndex(9), -1);
    s.VideoBitrate = 5000000;
    EXPECT_EQ(s.GetVideoBitrateIndex(), 2);

    s.bitrateClass = 1;
    EXPECT_EQ(s.SetVideoBitrateIndex(1), -1);
    EXPECT_EQ(s.VideoBitrate, 3000000);
    EXPECT_EQ(s.GetVideoBitrateIndex(), 1);
    EXPECT_EQ(s.SetVideoBitrateIndex(2), -1);
    EXPECT_EQ(s.SetVideoBitrateIndex(4), 2); // "8 Mbps" jumps back to "4 Mbps"
    EXPECT_EQ(s.VideoBitrate, 4000000);
    s.VideoBitrate = 12000000;
    EXPECT_EQ(s.GetVideoBitrateIndex(), 2);

    s.bitrateClass = 5;
    s.VideoBitrate = 123;
    EXPECT_EQ(s.SetVideoBitrateIndex(0), -1);
    EXPECT_EQ(s.VideoBitrate, 123);
    EXPECT_EQ(s.GetVideoBitrateIndex(), 0);
}

TEST(DvrSettings, ResolutionAudioRulesAndPresets)
{
    test::TempSettings t;
    CDvrAppSettings s(&t.settings());
    const int toValue[] = {5, 0, 1, 2, 3};
    for (int i = 0; i < 5; ++i) {
        s.SetVideoResolutionIndex(i);
        EXPECT_EQ(s.VideoResolution, toValue[i]);
        EXPECT_EQ(s.GetVideoResolutionIndex(), i);
    }
    s.SetVideoResolutionIndex(17);
    EXPECT_EQ(s.VideoResolution, 5);

    s.SetAudioBitrateIndex(4);
    EXPECT_EQ(s.AudioBitrate, 14);
    s.SetAudioBitrateIndex(5);
    EXPECT_EQ(s.AudioBitrate, 14);
    s.AudioBitrate = 10;
    EXPECT_EQ(s.GetAudioBitrateIndex(), 0);
    s.AudioBitrate = 13;
    EXPECT_EQ(s.GetAudioBitrateIndex(), 3);

    for (int i = 0; i < 3; ++i) {
        s.SetAudioPreset(i);
        EXPECT_EQ(s.GetAudioFormatIndex(), i);
    }
    EXPECT_EQ(s.AudioEncodingFormat, 7);

    s.bitrateClass = 0;
    s.SetVcdPreset();
    EXPECT_EQ(s.MuxFormat, 1);
    EXPECT_EQ(s.VideoBitrate, 4000000); // the bitrate rule replaces the preset's
    EXPECT_EQ(s.VideoResolution, 3);
    s.bitrateClass = 7;
    s.SetSvcdPreset();
    EXPECT_EQ(s.MuxFormat, 0);
    EXPECT_EQ(s.VideoBitrate, 2343750); // an unknown class keeps it
    EXPECT_EQ(s.VideoResolution, 1);
    s.SetDvdPreset();
    EXPECT_EQ(s.MuxFormat, 2);
    EXPECT_EQ(s.VideoResolution, 5);
    EXPECT_EQ(s.AudioBitrate, 11);
    EXPECT_EQ(s.AudioEncodingFormat, 1);
    EXPECT_EQ(s.AudioFrequency, 0);
}

TEST(DvrSettings, EncoderProfilesFollowStandardResolutionAndFormat)
{
    test::TempSettings t;
    CDvrAppSettings s(&t.settings());
    s.VideoFormat = 1;
    s.MuxFormat = 2;
    s.VideoResolution = 5;
    s.VideoBitrate = 12000000;
    EncoderProfile p = encoderProfileFor(s);
    EXPECT_STREQ(p.muxer, "dvd");
    EXPECT_FALSE(p.mpeg1);
    EXPECT_EQ(p.width, 720);
    EXPECT_EQ(p.height, 576);
    EXPECT_EQ(p.frameRateNum, 25);
    EXPECT_EQ(p.frameRateDen, 1);
    EXPECT_LE(p.bitrate, 9000000); // a DVD stream cannot carry 12 Mbit/s of video
    EXPECT_EQ(p.audioSampleRate, 48000);

    s.VideoFormat = 0;
    s.VideoResolution = 3;
    p = encoderProfileFor(s);
    EXPECT_EQ(p.width, 352);
    EXPECT_EQ(p.height, 240);
    EXPECT_EQ(p.frameRateNum, 30000);
    EXPECT_EQ(p.frameRateDen, 1001);

    s.VideoResolution = 1;
    s.AudioEncodingFormat = 7;
    p = encoderProfileFor(s);
    EXPECT_EQ(p.width, 480);
    EXPECT_EQ(p.height, 480);
    EXPECT_EQ(p.audio, EncoderProfile::AudioLpcm);

    s.MuxFormat = 1;
    s.VideoFormat = 1;
    s.VideoBitrate = 4000000;
    p = encoderProfileFor(s);
    EXPECT_STREQ(p.muxer, "vcd");
    EXPECT_TRUE(p.mpeg1);
    EXPECT_EQ(p.width, 352);
    EXPECT_EQ(p.height, 288);
    EXPECT_EQ(p.bitrate, 1150000);

    s.MuxFormat = 0;
    p = encoderProfileFor(s);
    EXPECT_STREQ(p.muxer, "svcd");
    EXPECT_EQ(p.width, 480);
    EXPECT_EQ(p.height, 576);
    EXPECT_LE(p.bitrate, p.maxRate);
}

class VideoParamDlgTest : public ::testing::Test {
protected:
    test::TempSettings t;
    template <class T> T* child(QWidget* w, const char* name)
    {
        return w->findChild<T*>(QString::fromLatin1(name));
    }
};

TEST_F(VideoParamDlgTest, DvdFromStoredValuesAndSvcdThenDvd)
{
    CDvrAppSettings form(&t.settings());
    form.MuxFormat = 2;
    form.bitrateClass = 0;
    form.VideoBitrate = 8000000;
    form.VideoResolution = 2;
    form.AudioBitrate = 13;
    form.AudioFrequency = 1;
    form.AudioEncodingFormat = 1;
    form.VideoFormat = 0;
    CVideoParamDlg dlg(form, nullptr, &t.settings());
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("视频参数设置"));
    auto* bitrate = child<QComboBox>(&dlg, "list1175");
    auto* resolution = child<QComboBox>(&dlg, "list1176");
    auto* audioRate = child<QComboBox>(&dlg, "list1039");
    ASSERT_TRUE(bitrate && resolution && audioRate);
    EXPECT_EQ(bitrate->currentText(), QStringLiteral("8 Mbps"));
    EXPECT_EQ(resolution->currentText(), QStringLiteral("1/2 D1"));
    EXPECT_EQ(audioRate->currentText(), QStringLiteral("320 kbps"));
    EXPECT_EQ(dlg.audioIndex(), 1);
    EXPECT_EQ(dlg.bitstreamIndex(), 2);
    EXPECT_EQ(dlg.videoFormatIndex(), 1);
    EXPECT_FALSE(child<QRadioButton>(&dlg, "radio1174")->isEnabled());
    EXPECT_TRUE(child<QRadioButton>(&dlg, "radio1180")->isChecked());

    child<QRadioButton>(&dlg, "radio1169")->click(); // SVCD
    EXPECT_EQ(dlg.settings().MuxFormat, 0);
    EXPECT_EQ(bitrate->currentText(), QStringLiteral("SVCD"));
    EXPECT_EQ(resolution->currentText(), QStringLiteral("2/3 D1"));
    EXPECT_EQ(audioRate->currentText(), QStringLiteral("224 kbps"));
    EXPECT_FALSE(bitrate->isEnabled());
    EXPECT_FALSE(child<QRadioButton>(&dlg, "radio1172")->isEnabled());

    child<QRadioButton>(&dlg, "radio1170")->click(); // DVD
    EXPECT_EQ(resolution->currentText(), QStringLiteral("D1 720"));
    EXPECT_EQ(dlg.settings().VideoResolution, 5);
    EXPECT_EQ(bitrate->currentText(), QStringLiteral("4 Mbps"));
    EXPECT_EQ(dlg.settings().VideoBitrate, 4000000);
    EXPECT_TRUE(bitrate->isEnabled());
    EXPECT_TRUE(child<QRadioButton>(&dlg, "radio1172")->isEnabled());
    EXPECT_EQ(dlg.audioIndex(), 0);
    EXPECT_EQ(form.MuxFormat, 2); // the form's values are untouched
}

TEST_F(VideoParamDlgTest, BitrateListObeysTheDeviceClass)
{
    CDvrAppSettings form(&t.settings());
    form.bitrateClass = 1;
    CVideoParamDlg dlg(form, nullptr, &t.settings());
    auto* bitrate = child<QComboBox>(&dlg, "list1175");
    bitrate->setCurrentIndex(4);
    emit bitrate->activated(4); // "8 Mbps"
    EXPECT_EQ(dlg.settings().VideoBitrate, 4000000);
    EXPECT_EQ(bitrate->currentText(), QStringLiteral("4 Mbps"));
    bitrate->setCurrentIndex(1);
    emit bitrate->activated(1);
    EXPECT_EQ(dlg.settings().VideoBitrate, 3000000);

    child<QRadioButton>(&dlg, "radio1168")->click(); // VCD
    EXPECT_EQ(child<QComboBox>(&dlg, "list1176")->currentText(), QStringLiteral("SIF"));
    EXPECT_EQ(bitrate->currentText(), QStringLiteral("VCD"));
}

TEST_F(VideoParamDlgTest, CancelledDialogStillSavesItsCopy)
{
    auto* form = new CDvrAppSettings(&t.settings());
    form->bitrateClass = 0;
    {
        CVideoParamDlg dlg(*form, nullptr, &t.settings());
        child<QRadioButton>(&dlg, "radio1168")->click();
        QTimer::singleShot(0, &dlg, &QDialog::reject);
        EXPECT_EQ(dlg.DoModal(), 2);
    }
    EXPECT_EQ(form->MuxFormat, 2);
    EXPECT_EQ(CRegistryValue(kDvrSettingsKey, &t.settings()).ReadDword("MuxFormat", -1), 1);
    delete form; // the form's values win at the end
    EXPECT_EQ(CRegistryValue(kDvrSettingsKey, &t.settings()).ReadDword("MuxFormat", -1), 2);
}
