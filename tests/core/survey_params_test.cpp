#include "core/program_values.h"
#include "core/survey_params.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <iterator>
#include <vector>

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

TEST(SurveyParams, EveryKeyLoadsAndSavesBackUnderItsOwnName)
{
    // Values the corrections keep, none of them a default; the keys held in
    // two sections carry the same value in both.
    const std::pair<const char*, QVariant> profile[] = {
        {"深度计数器/分辨率", 10}, {"控制参数/技数器分辨率", 10}, {"镜头控制/镜头类型", 1},
        {"镜头控制/COM1", 4}, {"镜头控制/RATE1", 2}, {"镜头控制/串口2", 1},
        {"镜头控制/波特率2", 5}, {"镜头控制/移动方向", 1}, {"控制参数/移动方向", 1},
        {"镜头控制/移动步距", 150}, {"控制参数/采样步距", 150}, {"镜头控制/手动步距", 999},
        {"控制参数/手动调整", 999}, {"展开/抓图格式", 1}, {"控制参数/抓图格式", 1},
        {"展开/外径", 200}, {"展开/内径", 30}, {"展开/宽度", 802}, {"展开/高度", 7},
        {"展开/中心X", 360}, {"展开/中心Y", 288}, {"拼接/页面测点数", 7}, {"拼接/模板大小", 2},
        {"拼接/横向搜索范围", 5}, {"拼接/图像横纵比自适应", 0}, {"控制参数/起始深度", -2500},
        {"控制参数/罗盘方位偏角", -12}, {"控制参数/磁偏角", -5}, {"测试参数/孔类型", 1},
        {"测试参数/开孔直径mm", 91}, {"测试参数/终孔直径mm", 75}, {"测试参数/孔口高程", "123.4"},
        {"测试参数/孔号", "ZK-01"}, {"测试参数/孔的倾斜角度", "12.5度"},
        {"测试参数/孔口坐标", "  12° 30′ 15\""}, {"测试参数/测试单位", "测试单位甲"},
        {"测试参数/测试人", "张三"}, {"测试参数/测试工地", "site"}, {"测试参数/测试日期", "date"},
        {"测试参数/孔内的水位标高", "-3.2"}, {"测试参数/斜孔的孔倾向", -45},
        {"坐标参数/X", "1000.5"}, {"坐标参数/Y", "2000.25"}};
    TempSettings in, out;
    for (const auto& [key, value] : profile)
        in.settings().setValue(QString::fromUtf8(key), value);
    auto reopened = in.reopen();
    loaded(*reopened).SaveProfile(out.settings());
    EXPECT_EQ(currentLensType.load(), 1) << "the loaded lens type is published";
    auto saved = out.reopen();
    EXPECT_EQ(saved->allKeys().size(), std::size(profile));
    for (const auto& [key, value] : profile)
        EXPECT_EQ(saved->value(QString::fromUtf8(key)).toString(), value.toString()) << key;
    currentLensType = 0;
    currentCaptureFormat = 0;
}

TEST(SurveyParams, EmptyProfileGivesProfileDefaultsNotBuiltIns)
{
    TempSettings t;
    const CSurveyParams p = loaded(t.settings());
    EXPECT_EQ(CSurveyParams().outerRadius, 144);
    EXPECT_EQ(p.outerRadius, 140);
    EXPECT_EQ(p.innerRadius, 41);
    EXPECT_EQ(p.searchRangeIndex, 1);
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
    s.setValue(QStringLiteral("镜头控制/手动步距"), 25); // only the older key: kept
    CSurveyParams p = loaded(s);
    EXPECT_EQ(p.moveDirection, 0u);
    EXPECT_EQ(p.manualStep, 25u);
    p.SaveProfile(s);
    EXPECT_EQ(s.value(QStringLiteral("镜头控制/移动方向")).toInt(), 0);
    EXPECT_EQ(s.value(QStringLiteral("控制参数/采样步距")).toInt(), 300);
}

TEST(SurveyParams, LoadCorrections)
{
    // Millimetres per pulse of 10 and 20 are real counters: kept.
    const struct {
        const char* key;
        int stored;
        unsigned CSurveyParams::*field;
        unsigned expected;
    } cases[] = {
        {"控制参数/采样步距", 0, &CSurveyParams::sampleStep, 10},
        {"控制参数/手动调整", 1001, &CSurveyParams::manualStep, 10},
        {"控制参数/手动调整", 1000, &CSurveyParams::manualStep, 1000},
        {"控制参数/技数器分辨率", 4, &CSurveyParams::counterResolution, 1},
        {"控制参数/技数器分辨率", 3, &CSurveyParams::counterResolution, 1},
        {"控制参数/技数器分辨率", 2, &CSurveyParams::counterResolution, 2},
        {"控制参数/技数器分辨率", 20, &CSurveyParams::counterResolution, 20},
        {"控制参数/技数器分辨率", 0, &CSurveyParams::counterResolution, 1},
        {"拼接/模板大小", 3, &CSurveyParams::templateSizeIndex, 1},
        {"控制参数/移动方向", -1, &CSurveyParams::moveDirection, 0},
        {"镜头控制/镜头类型", 2, &CSurveyParams::lensType, 0},
        {"控制参数/抓图格式", 2, &CSurveyParams::captureFormat, 0}};
    for (const auto& c : cases) {
        TempSettings t;
        t.settings().setValue(QString::fromUtf8(c.key), c.stored);
        currentCaptureFormat = 1;
        EXPECT_EQ(loaded(t.settings()).*(c.field), c.expected) << c.key << " = " << c.stored;
        EXPECT_EQ(currentCaptureFormat.load(), 0) << "the corrected format is published";
    }
    // The lookups, and out-of-range indices falling back to the middle entries.
    EXPECT_EQ(searchRangeFromIndex(0), 5);
    EXPECT_EQ(templateSizeFromIndex(0), 8);
    EXPECT_EQ(templateSizeFromIndex(2), 32);
    EXPECT_EQ(searchRangeFromIndex(6), 10);
    EXPECT_EQ(searchRangeFromIndex(-1), 10);
    EXPECT_EQ(searchRangeFromIndex(5), 40);
    EXPECT_EQ(templateSizeFromIndex(3), 16);
    EXPECT_EQ(templateSizeFromIndex(0x7fffffffLL + 1), 16);
}

TEST(SurveyParams, FloatsSavedAsIntegersNeverDriftOrChangeSign)
{
    // Every stored tenth from 0 to 200 saves back as itself, and the largest
    // and smallest stored integers are held to the int range, not wrapped.
    std::vector<std::pair<const char*, int>> cases = {
        {"展开/高度", 2147483647},         {"控制参数/磁偏角", 2147483647},
        {"控制参数/磁偏角", INT_MIN},      {"测试参数/斜孔的孔倾向", 2147483647},
        {"测试参数/斜孔的孔倾向", INT_MIN}};
    for (int tenth = 0; tenth <= 200; ++tenth)
        cases.emplace_back("展开/高度", tenth);
    TempSettings t;
    for (const auto& [key, stored] : cases) {
        t.settings().setValue(QString::fromUtf8(key), stored);
        loaded(t.settings()).SaveProfile(t.settings());
        EXPECT_EQ(t.settings().value(QString::fromUtf8(key)).toInt(), stored) << key;
    }
    CSurveyParams p;
    p.heightFactor = 2.57f;
    p.SaveProfile(t.settings());
    EXPECT_FLOAT_EQ(loaded(t.settings()).heightFactor, 2.5f);
}

TEST(SurveyParams, AssignKeepsLensCentreAndTestHeader)
{
    CSurveyParams receiver, other;
    other.lensType = 1;
    other.centreX = 300;
    other.centreY = 200;
    other.testSite = QStringLiteral("乙");
    other.holeType = 1;
    other.inclinedHoleAzimuth = 20.0f;
    other.sampleStep = 77;
    other.searchRangeIndex = 4;
    other.heightFactor = 3.5f;
    receiver.Assign(other);
    EXPECT_EQ(receiver.lensType, 0u);
    EXPECT_EQ(receiver.centreX, 176);
    EXPECT_EQ(receiver.centreY, 144);
    EXPECT_TRUE(receiver.testSite.isEmpty());
    EXPECT_EQ(receiver.holeType, 0);
    EXPECT_FLOAT_EQ(receiver.inclinedHoleAzimuth, 0.0f);
    EXPECT_EQ(receiver.sampleStep, 77u);
    EXPECT_EQ(receiver.searchRangeIndex, 4);
    EXPECT_FLOAT_EQ(receiver.heightFactor, 3.5f);
}
