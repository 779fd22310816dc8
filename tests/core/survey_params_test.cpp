#include "core/program_values.h"
#include "core/survey_params.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

using namespace bc;
using bc::test::TempSettings;

namespace {

CSurveyParams loaded(QSettings& s)
{
    CSurveyParams p;
    p.LoadProfile(s);
    return p;
}

} // namespace

TEST(SurveyParams, EmptyProfileGivesProfileDefaultsNotBuiltIns)
{
    CSurveyParams builtIn;
    EXPECT_EQ(builtIn.outerRadius, 144);
    EXPECT_EQ(builtIn.innerRadius, 45);
    EXPECT_EQ(builtIn.searchRangeIndex, 0);
    EXPECT_TRUE(builtIn.coordX.isEmpty());

    TempSettings t;
    const CSurveyParams p = loaded(t.settings());
    EXPECT_EQ(p.outerRadius, 140);
    EXPECT_EQ(p.innerRadius, 41);
    EXPECT_EQ(p.unwrapWidth, 800);
    EXPECT_FLOAT_EQ(p.heightFactor, 2.0f);
    EXPECT_EQ(p.centreX, 176);
    EXPECT_EQ(p.centreY, 144);
    EXPECT_EQ(p.baudIndex1, 6);
    EXPECT_EQ(p.port1, 3);
    EXPECT_EQ(p.sampleStep, 200u);
    EXPECT_EQ(p.searchRangeIndex, 1);
    EXPECT_EQ(p.openingDiameter, 70);
    EXPECT_EQ(p.finalDiameter, 60);
    EXPECT_EQ(p.coordX, QStringLiteral("0.0"));
    EXPECT_EQ(p.collarCoordinates, QStringLiteral("   ° ′ \""));
}

TEST(SurveyParams, ControlSectionKeyWinsAndSaveWritesBoth)
{
    TempSettings t;
    QSettings& s = t.settings();
    s.setValue(QStringLiteral("镜头控制/移动方向"), 1);
    s.setValue(QStringLiteral("控制参数/移动方向"), 0);
    s.setValue(QStringLiteral("镜头控制/移动步距"), 300);
    // Only the older key present: it is kept.
    s.setValue(QStringLiteral("镜头控制/手动步距"), 25);
    CSurveyParams p = loaded(s);
    EXPECT_EQ(p.moveDirection, 0u);
    EXPECT_EQ(p.sampleStep, 300u);
    EXPECT_EQ(p.manualStep, 25u);

    p.SaveProfile(s);
    s.sync();
    EXPECT_EQ(s.value(QStringLiteral("镜头控制/移动方向")).toInt(), 0);
    EXPECT_EQ(s.value(QStringLiteral("控制参数/移动方向")).toInt(), 0);
    EXPECT_EQ(s.value(QStringLiteral("镜头控制/移动步距")).toInt(), 300);
    EXPECT_EQ(s.value(QStringLiteral("控制参数/采样步距")).toInt(), 300);
    EXPECT_EQ(s.value(QStringLiteral("深度计数器/分辨率")).toInt(), 1);
    EXPECT_EQ(s.value(QStringLiteral("控制参数/技数器分辨率")).toInt(), 1);
}

TEST(SurveyParams, LoadCorrections)
{
    struct Case {
        const char* key;
        int stored;
        unsigned CSurveyParams::*field;
        unsigned expected;
    };
    const Case cases[] = {
        {"控制参数/采样步距", 0, &CSurveyParams::sampleStep, 10},
        {"控制参数/手动调整", 1001, &CSurveyParams::manualStep, 10},
        {"控制参数/手动调整", 1000, &CSurveyParams::manualStep, 1000},
        {"控制参数/技数器分辨率", 4, &CSurveyParams::counterResolution, 1},
        {"控制参数/技数器分辨率", 3, &CSurveyParams::counterResolution, 1},
        {"控制参数/技数器分辨率", 2, &CSurveyParams::counterResolution, 2},
        // Millimetres per pulse of 10 and 20 are real counters: kept.
        {"控制参数/技数器分辨率", 10, &CSurveyParams::counterResolution, 10},
        {"控制参数/技数器分辨率", 20, &CSurveyParams::counterResolution, 20},
        {"控制参数/技数器分辨率", 0, &CSurveyParams::counterResolution, 1},
        {"拼接/模板大小", 3, &CSurveyParams::templateSizeIndex, 1},
        {"拼接/模板大小", 2, &CSurveyParams::templateSizeIndex, 2},
        {"控制参数/移动方向", -1, &CSurveyParams::moveDirection, 0},
        {"镜头控制/镜头类型", 2, &CSurveyParams::lensType, 0},
        {"镜头控制/镜头类型", 1, &CSurveyParams::lensType, 1},
    };
    for (const Case& c : cases) {
        TempSettings t;
        t.settings().setValue(QString::fromUtf8(c.key), c.stored);
        const CSurveyParams p = loaded(t.settings());
        EXPECT_EQ(p.*(c.field), c.expected) << c.key << " = " << c.stored;
    }
}

TEST(SurveyParams, CaptureFormatAndLensTypeArePublished)
{
    TempSettings t;
    t.settings().setValue(QStringLiteral("控制参数/抓图格式"), 2);
    t.settings().setValue(QStringLiteral("镜头控制/镜头类型"), 1);
    currentCaptureFormat = 1;
    const CSurveyParams p = loaded(t.settings());
    EXPECT_EQ(p.captureFormat, 0u);
    EXPECT_EQ(currentCaptureFormat.load(), 0);
    EXPECT_EQ(currentLensType.load(), 1);
    currentLensType = 0;
}

TEST(SurveyParams, SearchRangeIsNotCorrectedButLookupsAreBounded)
{
    TempSettings t;
    t.settings().setValue(QStringLiteral("拼接/横向搜索范围"), 6);
    const CSurveyParams p = loaded(t.settings());
    EXPECT_EQ(p.searchRangeIndex, 6);
    EXPECT_EQ(searchRangeFromIndex(p.searchRangeIndex), 10);
    EXPECT_EQ(searchRangeFromIndex(-1), 10);
    EXPECT_EQ(searchRangeFromIndex(0), 5);
    EXPECT_EQ(searchRangeFromIndex(5), 40);
    EXPECT_EQ(templateSizeFromIndex(0), 8);
    EXPECT_EQ(templateSizeFromIndex(2), 32);
    EXPECT_EQ(templateSizeFromIndex(3), 16);
    EXPECT_EQ(templateSizeFromIndex(0x7fffffffLL + 1), 16);
}

TEST(SurveyParams, HeightFactorIsStableAcrossSaveAndLoad)
{
    {
        TempSettings t;
        CSurveyParams p;
        p.heightFactor = 2.57f;
        p.SaveProfile(t.settings());
        EXPECT_EQ(t.settings().value(QStringLiteral("展开/高度")).toInt(), 25);
        EXPECT_FLOAT_EQ(loaded(t.settings()).heightFactor, 2.5f);
    }
    // Every stored tenth from 0 to 200 saves back as itself, so the factor
    // never drifts from one start to the next.
    TempSettings t;
    QSettings& s = t.settings();
    for (int stored = 0; stored <= 200; ++stored) {
        s.setValue(QStringLiteral("展开/高度"), stored);
        CSurveyParams p = loaded(s);
        p.SaveProfile(s);
        EXPECT_EQ(s.value(QStringLiteral("展开/高度")).toInt(), stored) << stored;
    }
}

TEST(SurveyParams, ExtremeStoredFloatsSaveBackWithoutChangingSign)
{
    // The largest and smallest stored integers load as floats just beyond the
    // int range; saving holds them to it instead of wrapping to the other sign.
    struct Case {
        const char* key;
        int stored;
        int saved;
    };
    const Case cases[] = {
        {"展开/高度", 2147483647, 2147483647},
        {"控制参数/磁偏角", 2147483647, 2147483647},
        {"控制参数/磁偏角", -2147483647 - 1, -2147483647 - 1},
        {"测试参数/斜孔的孔倾向", 2147483647, 2147483647},
        {"测试参数/斜孔的孔倾向", -2147483647 - 1, -2147483647 - 1},
    };
    for (const Case& c : cases) {
        TempSettings t;
        QSettings& s = t.settings();
        const QString key = QString::fromUtf8(c.key);
        s.setValue(key, c.stored);
        loaded(s).SaveProfile(s);
        EXPECT_EQ(s.value(key).toInt(), c.saved) << c.key << " " << c.stored;
    }
}

TEST(SurveyParams, RoundTripOfEveryKey)
{
    CSurveyParams a;
    a.baudIndex1 = 2;
    a.port1 = 4;
    a.baudIndex2 = 5;
    a.port2 = 1;
    a.moveDirection = 1;
    a.sampleStep = 150;
    a.counterResolution = 10;
    a.manualStep = 999;
    a.compassOffset = -12;
    a.declination = -5.0f;
    a.lensType = 1;
    a.startDepth = -2500;
    a.outerRadius = 200;
    a.innerRadius = 30;
    a.unwrapWidth = 802;
    a.heightFactor = 0.7f;
    a.itemsPerPage = 7;
    a.captureFormat = 1;
    a.templateSizeIndex = 2;
    a.centreX = 360;
    a.centreY = 288;
    a.searchRangeIndex = 5;
    a.aspectAutoFit = 0;
    a.holeType = 1;
    a.openingDiameter = 91;
    a.finalDiameter = 75;
    a.collarElevation = QStringLiteral("123.4");
    a.holeNumber = QStringLiteral("ZK-01");
    a.holeInclination = QStringLiteral("12.5度");
    a.collarCoordinates = QStringLiteral("  12° 30′ 15\"");
    a.testUnit = QStringLiteral("测试单位甲");
    a.tester = QStringLiteral("张三");
    a.testSite = QStringLiteral("工地");
    a.testDate = QStringLiteral("2011-05-01");
    a.waterLevel = QStringLiteral("-3.2");
    a.coordX = QStringLiteral("1000.5");
    a.coordY = QStringLiteral("2000.25");
    a.inclinedHoleAzimuth = -45.0f;

    TempSettings t;
    a.SaveProfile(t.settings());
    auto reopened = t.reopen();
    const CSurveyParams b = loaded(*reopened);
    EXPECT_EQ(b.baudIndex1, 2);
    EXPECT_EQ(b.port1, 4);
    EXPECT_EQ(b.baudIndex2, 5);
    EXPECT_EQ(b.port2, 1);
    EXPECT_EQ(b.moveDirection, 1u);
    EXPECT_EQ(b.sampleStep, 150u);
    EXPECT_EQ(b.counterResolution, 10u);
    EXPECT_EQ(b.manualStep, 999u);
    EXPECT_EQ(b.compassOffset, -12);
    EXPECT_FLOAT_EQ(b.declination, -5.0f);
    EXPECT_EQ(b.lensType, 1u);
    EXPECT_EQ(b.startDepth, -2500);
    EXPECT_EQ(b.outerRadius, 200);
    EXPECT_EQ(b.innerRadius, 30);
    EXPECT_EQ(b.unwrapWidth, 802);
    EXPECT_FLOAT_EQ(b.heightFactor, 0.7f);
    EXPECT_EQ(b.itemsPerPage, 7);
    EXPECT_EQ(b.captureFormat, 1u);
    EXPECT_EQ(b.templateSizeIndex, 2u);
    EXPECT_EQ(b.centreX, 360);
    EXPECT_EQ(b.centreY, 288);
    EXPECT_EQ(b.searchRangeIndex, 5);
    EXPECT_EQ(b.aspectAutoFit, 0);
    EXPECT_EQ(b.holeType, 1);
    EXPECT_EQ(b.openingDiameter, 91);
    EXPECT_EQ(b.finalDiameter, 75);
    EXPECT_EQ(b.collarElevation, a.collarElevation);
    EXPECT_EQ(b.holeNumber, a.holeNumber);
    EXPECT_EQ(b.holeInclination, a.holeInclination);
    EXPECT_EQ(b.collarCoordinates, a.collarCoordinates);
    EXPECT_EQ(b.testUnit, a.testUnit);
    EXPECT_EQ(b.tester, a.tester);
    EXPECT_EQ(b.testSite, a.testSite);
    EXPECT_EQ(b.testDate, a.testDate);
    EXPECT_EQ(b.waterLevel, a.waterLevel);
    EXPECT_EQ(b.coordX, a.coordX);
    EXPECT_EQ(b.coordY, a.coordY);
    EXPECT_FLOAT_EQ(b.inclinedHoleAzimuth, -45.0f);
    currentLensType = 0;
    currentCaptureFormat = 0;
}

TEST(SurveyParams, AssignKeepsLensCentreAndTestHeader)
{
    CSurveyParams receiver;
    receiver.lensType = 0;
    receiver.centreX = 100;
    receiver.centreY = 90;
    receiver.testSite = QStringLiteral("甲");
    receiver.holeType = 0;
    receiver.inclinedHoleAzimuth = 10.0f;

    CSurveyParams other;
    other.lensType = 1;
    other.centreX = 300;
    other.centreY = 200;
    other.testSite = QStringLiteral("乙");
    other.holeType = 1;
    other.inclinedHoleAzimuth = 20.0f;
    other.sampleStep = 77;
    other.port1 = 5;
    other.searchRangeIndex = 4;
    other.heightFactor = 3.5f;

    receiver.Assign(other);
    EXPECT_EQ(receiver.lensType, 0u);
    EXPECT_EQ(receiver.centreX, 100);
    EXPECT_EQ(receiver.centreY, 90);
    EXPECT_EQ(receiver.testSite, QStringLiteral("甲"));
    EXPECT_EQ(receiver.holeType, 0);
    EXPECT_FLOAT_EQ(receiver.inclinedHoleAzimuth, 10.0f);
    EXPECT_EQ(receiver.sampleStep, 77u);
    EXPECT_EQ(receiver.port1, 5);
    EXPECT_EQ(receiver.searchRangeIndex, 4);
    EXPECT_FLOAT_EQ(receiver.heightFactor, 3.5f);
}

TEST(SurveyParams, TextFieldsComeBackFromTheirOwnKeys)
{
    TempSettings t;
    CSurveyParams a;
    a.testSite = QStringLiteral("site");
    a.testDate = QStringLiteral("date");
    a.SaveProfile(t.settings());
    EXPECT_EQ(t.settings().value(QStringLiteral("测试参数/测试工地")).toString(), "site");
    EXPECT_EQ(t.settings().value(QStringLiteral("测试参数/测试日期")).toString(), "date");
    const CSurveyParams b = loaded(t.settings());
    EXPECT_EQ(b.testSite, QStringLiteral("site"));
    EXPECT_EQ(b.testDate, QStringLiteral("date"));
}
