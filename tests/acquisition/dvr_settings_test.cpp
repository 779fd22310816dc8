#include "acquisition/dvr_settings.h"
#include "acquisition/video_param_dlg.h"

#include "support/temp_settings.h"

#include <QComboBox>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace bc;

namespace {

QString keyOf(const char* name)
{
    return QStringLiteral("Software/Cirrus Logic USB-DVR2/App Settings/") + QLatin1String(name);
}

template <class T> T* child(QWidget* w, const char* name)
{
    return w->findChild<T*>(QString::fromLatin1(name));
}

} // namespace

TEST(DvrSettings, DestroyingSavesTheFifteenValuesAndNothingElse)
{
    test::TempSettings t;
    {
        CDvrAppSettings s(&t.settings());
        s.VideoBitrate = 6000000;
        s.VideoFormat = 1;
        s.AudioStartDelay = -5; // a DWORD round-trips whatever its sign
        s.recordFlag = 1;
        s.mediaPath = QStringLiteral("/tmp/录像.mpg");
        s.changeMask = 0;
    }
    auto again = t.reopen();
    EXPECT_EQ(again->value(keyOf("AudioStartDelay")).toLongLong(), 0xFFFFFFFBLL);
    again->beginGroup(QStringLiteral("Software/Cirrus Logic USB-DVR2/App Settings"));
    EXPECT_EQ(again->childKeys().size(), 15);
    again->endGroup();

    CDvrAppSettings s(again.get());
    EXPECT_EQ(s.VideoBitrate, 6000000);
    EXPECT_EQ(s.VideoFormat, 1);
    EXPECT_EQ(s.AudioStartDelay, -5);
    EXPECT_EQ(s.recordFlag, 0);
    EXPECT_TRUE(s.mediaPath.isEmpty());
    EXPECT_EQ(s.changeMask, 0xE7);

    // Assign copies the fields that are never stored, too.
    CDvrAppSettings a(&t.settings());
    a.recordFlag = 1;
    a.mediaPath = QStringLiteral("x.mpg");
    a.bitrateClass = 1;
    a.tunerOption = 9;
    a.changeMask = 0x44;
    s.Assign(a);
    EXPECT_EQ(std::tie(s.recordFlag, s.mediaPath, s.bitrateClass, s.tunerOption, s.changeMask),
              std::tie(a.recordFlag, a.mediaPath, a.bitrateClass, a.tunerOption, a.changeMask));
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
    EXPECT_EQ(r.WriteDword("Missing", 78), 1);
    EXPECT_EQ(r.ReadDword("Missing", 77), 78);
}

TEST(DvrSettings, BitrateListRulesByClass)
{
    test::TempSettings t;
    CDvrAppSettings s(&t.settings());
    // class, index chosen, bitrate before, answer (entry to show instead, or -1), bitrate after
    struct Row {
        int cls, index;
        int32_t before;
        int answer;
        int32_t after;
    } rows[] = {
        {0, 0, 1, -1, 2000000},        {0, 3, 1, -1, 6000000},  {0, 6, 1, -1, 12000000},
        {0, 7, 1, 2, 4000000},         {0, 8, 1, 2, 4000000},   {0, 9, 5, -1, 4000000},
        {1, 1, 1, -1, 3000000},        {1, 2, 1, -1, 4000000},  {1, 4, 1, 2, 4000000},
        {5, 0, 123, -1, 123},
    };
    for (const Row& r : rows) {
        s.bitrateClass = r.cls;
        s.VideoBitrate = r.before;
        EXPECT_EQ(s.SetVideoBitrateIndex(r.index), r.answer) << r.cls << " " << r.index;
        EXPECT_EQ(s.VideoBitrate, r.after) << r.cls << " " << r.index;
    }
    // The entry shown for a stored rate.
    const std::tuple<int, int32_t, int> shown[] = {
        {0, 2000000, 0}, {0, 12000000, 6}, {0, 5000000, 2}, {1, 3000000, 1}, {1, 12000000, 2}, {5, 123, 0}};
    for (const auto& [cls, rate, index] : shown) {
        s.bitrateClass = cls;
        s.VideoBitrate = rate;
        EXPECT_EQ(s.GetVideoBitrateIndex(), index) << cls << " " << rate;
    }
}

TEST(DvrSettings, ResolutionAudioRulesAndPresets)
{
    test::TempSettings t;
    CDvrAppSettings s(&t.settings());
    const int toValue[] = {5, 0, 1, 2, 3, 5};
    for (int i = 0; i < 6; ++i) {
        s.SetVideoResolutionIndex(i == 5 ? 17 : i);
        EXPECT_EQ(s.VideoResolution, toValue[i]) << i;
    }
    s.VideoResolution = 1;
    EXPECT_EQ(s.GetVideoResolutionIndex(), 2);
    s.SetAudioBitrateIndex(4);
    s.SetAudioBitrateIndex(5); // out of the list: kept
    EXPECT_EQ(s.AudioBitrate, 14);
    s.AudioBitrate = 10;
    EXPECT_EQ(s.GetAudioBitrateIndex(), 0);
    s.AudioBitrate = 13;
    EXPECT_EQ(s.GetAudioBitrateIndex(), 3);
    for (int i = 0; i < 3; ++i) {
        s.SetAudioPreset(i);
        EXPECT_EQ(s.GetAudioFormatIndex(), i);
    }

    s.bitrateClass = 0;
    s.SetVcdPreset();
    EXPECT_EQ(std::tie(s.MuxFormat, s.VideoBitrate, s.VideoResolution), std::make_tuple(1, 4000000, 3));
    s.bitrateClass = 7;
    s.SetSvcdPreset(); // an unknown class keeps the preset's bitrate
    EXPECT_EQ(std::tie(s.MuxFormat, s.VideoBitrate, s.VideoResolution), std::make_tuple(0, 2343750, 1));
    s.SetDvdPreset();
    EXPECT_EQ(std::tie(s.MuxFormat, s.VideoResolution, s.AudioBitrate, s.AudioEncodingFormat),
              std::make_tuple(2, 5, 11, 1));
}

TEST(DvrSettings, EncoderProfilesFollowStandardResolutionAndFormat)
{
    test::TempSettings t;
    CDvrAppSettings s(&t.settings());
    struct Row {
        int mux, standard, resolution;
        int32_t rate;
        const char* muxer;
        bool mpeg1;
        int width, height, rateNum, rateDen;
    } rows[] = {
        {2, 1, 5, 12000000, "dvd", false, 720, 576, 25, 1},
        {2, 0, 3, 4000000, "dvd", false, 352, 240, 30000, 1001},
        {2, 0, 1, 4000000, "dvd", false, 480, 480, 30000, 1001},
        {1, 1, 5, 4000000, "vcd", true, 352, 288, 25, 1},
        {0, 1, 5, 4000000, "svcd", false, 480, 576, 25, 1},
    };
    for (const Row& r : rows) {
        s.MuxFormat = r.mux;
        s.VideoFormat = r.standard;
        s.VideoResolution = r.resolution;
        s.VideoBitrate = r.rate;
        const EncoderProfile p = encoderProfileFor(s);
        EXPECT_STREQ(p.muxer, r.muxer);
        EXPECT_EQ(p.mpeg1, r.mpeg1) << r.muxer;
        EXPECT_EQ(QSize(p.width, p.height), QSize(r.width, r.height)) << r.muxer << r.resolution;
        EXPECT_EQ(p.frameRateNum, r.rateNum);
        EXPECT_EQ(p.frameRateDen, r.rateDen);
        EXPECT_LE(p.bitrate, r.mux == 2 ? 9000000 : p.maxRate); // a DVD cannot carry 12 Mbit/s
        EXPECT_TRUE(!r.mpeg1 || p.bitrate == 1150000);
    }
    s.MuxFormat = 2;
    s.AudioEncodingFormat = 7;
    EXPECT_EQ(encoderProfileFor(s).audio, EncoderProfile::AudioLpcm);
}

TEST(VideoParamDlg, DvdFromStoredValuesAndSvcdThenDvd)
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
    EXPECT_TRUE(child<QRadioButton>(&dlg, "radio1180")->isChecked());

    child<QRadioButton>(&dlg, "radio1169")->click(); // SVCD
    EXPECT_EQ(dlg.settings().MuxFormat, 0);
    shows("SVCD", "2/3 D1", "224 kbps");
    EXPECT_FALSE(bitrate->isEnabled());

    child<QRadioButton>(&dlg, "radio1170")->click(); // DVD
    shows("4 Mbps", "D1 720", nullptr);
    EXPECT_EQ(dlg.settings().VideoResolution, 5);
    EXPECT_EQ(dlg.settings().VideoBitrate, 4000000);
    EXPECT_TRUE(bitrate->isEnabled());
    EXPECT_EQ(form.MuxFormat, 2); // the form's values are untouched

    // The device class rules the list: "8 Mbps" jumps back to "4 Mbps".
    dlg.settings().bitrateClass = 1;
    bitrate->setCurrentIndex(4);
    emit bitrate->activated(4);
    EXPECT_EQ(dlg.settings().VideoBitrate, 4000000);
    EXPECT_EQ(bitrate->currentText(), QStringLiteral("4 Mbps"));
    child<QRadioButton>(&dlg, "radio1168")->click(); // VCD
    shows("VCD", "SIF", nullptr);
}

TEST(VideoParamDlg, CancelledDialogStillSavesItsCopy)
{
    test::TempSettings t;
    auto* form = new CDvrAppSettings(&t.settings());
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
