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

TEST(SurveyParams, LoadCorrectionsAndProfileDefaultsAreWhatIsSavedBack)
{
    // A missing key gives the profile's default, not the built-in one (outer
    // radius 144, inner 45, search range 0). The control-section key wins
    // over the older one (a moving direction of 1 here); an older key alone
    // is kept. Millimetres per pulse of 10 and 20 are real counters: kept.
    const struct {
        const char* key;
        QVariant stored;      // invalid: the key is missing
        const char* savedKey; // null: the same key
        QVariant saved;
    } cases[] = {{"展开/外径", {}, {}, 140}, {"展开/内径", {}, {}, 41},
                 {"拼接/横向搜索范围", {}, {}, 1}, {"坐标参数/X", {}, {}, "0.0"},
                 {"测试参数/孔口坐标", {}, {}, "   ° ′ \""},
                 {"镜头控制/移动步距", 300, "控制参数/采样步距", 300},
                 {"镜头控制/手动步距", 25, "控制参数/手动调整", 25},
                 {"控制参数/采样步距", 0, {}, 10}, {"控制参数/手动调整", 1001, {}, 10},
                 {"控制参数/手动调整", 1000, {}, 1000},
                 {"控制参数/技数器分辨率", 4, "深度计数器/分辨率", 1},
                 {"控制参数/技数器分辨率", 3, {}, 1}, {"控制参数/技数器分辨率", 2, {}, 2},
                 {"控制参数/技数器分辨率", 20, {}, 20}, {"控制参数/技数器分辨率", 0, {}, 1},
                 {"拼接/模板大小", 3, {}, 1}, {"控制参数/移动方向", 0, "镜头控制/移动方向", 0},
                 {"控制参数/移动方向", -1, "镜头控制/移动方向", 0}, {"镜头控制/镜头类型", 2, {}, 0},
                 {"控制参数/抓图格式", 2, "展开/抓图格式", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.key << " = " << c.stored.toString().toStdString());
        TempSettings t;
        t.settings().setValue(QStringLiteral("镜头控制/移动方向"), 1);
        if (c.stored.isValid())
            t.settings().setValue(QString::fromUtf8(c.key), c.stored);
        currentCaptureFormat = 1;
        loaded(t.settings()).SaveProfile(t.settings());
        const QString saved = QString::fromUtf8(c.savedKey ? c.savedKey : c.key);
        EXPECT_EQ(t.settings().value(saved).toString(), c.saved.toString());
        EXPECT_EQ(currentCaptureFormat.load(), 0) << "the corrected format is published";
    }
    // The lookups, and out-of-range indices falling back to the middle entries.
    EXPECT_EQ(QList<int>({templateSizeFromIndex(0), templateSizeFromIndex(2),
                          templateSizeFromIndex(3), templateSizeFromIndex(0x7fffffffLL + 1)}),
              QList<int>({8, 32, 16, 16}));
    EXPECT_EQ(QList<int>({searchRangeFromIndex(0), searchRangeFromIndex(5), searchRangeFromIndex(6),
                          searchRangeFromIndex(-1)}),
              QList<int>({5, 40, 10, 10}));
}

TEST(SurveyParams, FloatsSavedAsIntegersNeverDriftOrChangeSign)
{
    // Every stored tenth from 0 to 200 saves back as itself, and the largest
    // and smallest stored integers are held to the int range, not wrapped.
    std::vector<std::pair<const char*, int>> cases = {{"展开/高度", 2147483647},
                                                      {"控制参数/磁偏角", 2147483647},
                                                      {"控制参数/磁偏角", INT_MIN},
                                                      {"测试参数/斜孔的孔倾向", 2147483647},
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
    other.testSite = QStringLiteral("乙");
    other.sampleStep = 77;
    other.heightFactor = 3.5f;
    receiver.Assign(other);
    EXPECT_EQ(QList<int>({int(receiver.lensType), receiver.centreX, int(receiver.testSite.size()),
                          int(receiver.sampleStep), int(receiver.heightFactor * 10)}),
              QList<int>({0, 176, 0, 77, 35}));
}
