// The settings groups beside the live view: the step field's corrections and
// the control, test and communication groups saving into the profile.

#include "acquisition/serial_line.h"
#include "acquisition/settings_fields.h"
#include "acquisition/settings_groups.h"
#include "core/program_values.h"
#include "core/survey_params.h"
#include "core/system_error.h"
#include "support/file_size_limit.h"
#include "support/scripted_prompter.h"
#include "support/serial_pty.h"
#include "support/temp_settings.h"
#include "ui/num_edit.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cerrno>

namespace bc {
namespace {

TEST(StepField, MillimetresAreRoundedToWholePulsesWithinTheBounds)
{
    // pulses, millimetres per pulse, typed; shown once committed
    const std::tuple<int, int, const char*, const char*> rows[] = {
        {5, 2, "25", "24 mm"}, {1, 1, "0", "1 mm"},   {1, 1, "", "1 mm"},
        {1, 1, "-7", "1 mm"},  {1, 1, "abc", "1 mm"}, {1, 1, "99999 mm", "10000 mm"},
    };
    CStepField field;
    for (const auto& [pulses, mmPerPulse, typed, shown] : rows) {
        field.setStep(pulses, mmPerPulse);
        field.edit()->setText(QString::fromLatin1(typed));
        field.commitText();
        EXPECT_EQ(field.edit()->text(), QString::fromLatin1(shown)) << typed;
    }
    field.setStep(12, 2);
    field.setMmPerPulse(10); // 24 mm: two whole pulses of 10
    EXPECT_EQ(field.edit()->text(), QStringLiteral("20 mm"));
    field.setStep(10000, 1); // the arrows move a pulse, within the bounds
    field.spin()->upButton()->click();
    EXPECT_EQ(field.pulses(), 10000);
    field.spin()->downButton()->click();
    EXPECT_EQ(field.edit()->text(), QStringLiteral("9999 mm"));
}

class SettingsGroupsTest : public ::testing::Test {
  protected:
    CSurveyParams reload()
    {
        CSurveyParams p;
        p.LoadProfile(*profile.reopen());
        return p;
    }

    test::ScriptedPrompter prompter;
    test::TempSettings profile;
    CSurveyParams params;
};

TEST_F(SettingsGroupsTest, ControlGroupRefusesOutOfRangeAndSavesInPulsesLeavingThePorts)
{
    params.port1 = 4;
    params.baudIndex1 = 2;
    params.counterResolution = 2;
    params.manualStep = 200;
    params.startDepth = 12345;
    CControlParamsGroup group(params);
    group.setProfile(&profile.settings());
    group.fill();
    EXPECT_EQ(group.counterFields().manualStep->currentIndex(), 4);
    EXPECT_EQ(group.startDepthText(), QStringLiteral("12.345"));
    QSignalSpy saved(&group, &CControlParamsGroup::saved);

    // The offset counts as typed, kept within the circle, and is corrected
    // on leaving the field; a declination beyond 90 refuses the save.
    CSpinField* offset = group.compassOffsetField();
    offset->edit()->setText(QStringLiteral("-200"));
    EXPECT_EQ(group.compassOffset(), -180);
    offset->commitText();
    EXPECT_EQ(offset->edit()->text(), QStringLiteral("-180"));
    offset->spin()->downButton()->click();
    EXPECT_EQ(offset->edit()->text(), QStringLiteral("-180"));
    group.declinationEdit()->setText(QStringLiteral("95"));
    group.counterFields().startDepth->SetValue(7.0f);
    EXPECT_FALSE(group.save());
    EXPECT_EQ(prompter.boxTexts(),
              QStringList{QStringLiteral("请输入一个介于 -90 和 90 之间的数字。")});
    EXPECT_EQ(params.startDepth, 12345);
    EXPECT_FALSE(profile.settings().contains(QStringLiteral("控制参数/起始深度")));

    group.declinationEdit()->setText(QStringLiteral("-12.25"));
    group.counterFields().step->edit()->setText(QStringLiteral("25"));
    group.counterFields().captureFormat->setCurrentIndex(1);
    group.counterFields().startDepth->SetValue(2.5f);
    currentCaptureFormat = 0;
    ASSERT_TRUE(group.save());
    EXPECT_EQ(saved.count(), 1);
    EXPECT_EQ(currentCaptureFormat.exchange(0), 1); // at once
    EXPECT_EQ(prompter.boxTexts().last(), QStringLiteral("参数设置成功"));
    const CSurveyParams back = reload();
    EXPECT_EQ(back.sampleStep, 12u); // 25 mm in pulses of 2 mm
    EXPECT_EQ(back.captureFormat, 1u);
    EXPECT_EQ(back.startDepth, 2500);
    EXPECT_EQ(back.compassOffset, -180);
    EXPECT_EQ(std::pair(back.port1, back.baudIndex1), std::pair(4, 2));
}

// "保存" on a disk that refuses the profile: the values take effect, the
// failure is told with its reason, and no "参数设置成功" follows it.
TEST_F(SettingsGroupsTest, ControlGroupSaveThatCannotWriteTheProfileIsNotToldAsASuccess)
{
    CControlParamsGroup group(params);
    group.setProfile(&profile.settings());
    group.fill();
    QSignalSpy saved(&group, &CControlParamsGroup::saved);
    group.counterFields().startDepth->SetValue(2.5f);
    {
        test::FileSizeLimit full(16);
        EXPECT_TRUE(group.save());
    }
    EXPECT_EQ(saved.count(), 1);
    EXPECT_EQ(params.startDepth, 2500);
    EXPECT_EQ(prompter.boxTexts(),
              QStringList{QStringLiteral("保存设置失败\n") + SystemErrorText(EFBIG)});
}

TEST_F(SettingsGroupsTest, TestGroupRoundTripsThroughTheProfile)
{
    CTestParamsGroup group(params);
    group.setProfile(&profile.settings());
    group.fill();
    EXPECT_EQ(group.openingDiameterField()->edit()->text(), QStringLiteral("70 mm"));
    group.openingDiameterField()->edit()->setText(QStringLiteral("30")); // below the least
    group.finalDiameterField()->spin()->upButton()->click();
    const std::pair<QLineEdit*, const char*> typed[] = {
        {group.testSiteEdit(), "三号工地"},   {group.testDateEdit(), "2011-05-01"},
        {group.testUnitEdit(), "测试单位甲"}, {group.testerEdit(), "张三"},
        {group.holeNumberEdit(), "ZK-7"},     {group.collarElevationEdit(), "123.4"},
        {group.waterLevelEdit(), "-3.2"}};
    for (const auto& [edit, text] : typed)
        edit->setText(QString::fromUtf8(text));
    group.holeTypeCombo()->setCurrentIndex(1);
    EXPECT_FALSE(group.holeInclinationEdit()->isEnabled());
    group.dipDirectionEdit()->setText(QStringLiteral("400"));
    EXPECT_FALSE(group.save());
    group.dipDirectionEdit()->setText(QStringLiteral("275"));
    ASSERT_TRUE(group.save());

    const CSurveyParams back = reload();
    EXPECT_EQ(back.openingDiameter, 50);
    EXPECT_EQ(back.finalDiameter, 61);
    EXPECT_EQ(
        QStringList({back.testSite, back.testDate, back.testUnit, back.tester, back.holeNumber,
                     back.collarElevation, back.waterLevel}),
        QStringList({"三号工地", "2011-05-01", "测试单位甲", "张三", "ZK-7", "123.4", "-3.2"}));
    EXPECT_EQ(back.holeType, 1);
    EXPECT_FLOAT_EQ(back.inclinedHoleAzimuth, 275.0f);
}

TEST_F(SettingsGroupsTest, CommGroupConfiguresTheLineAndSavesZeroBasedBaud)
{
    test::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    CPortMap map;
    map.setDevicePath(2, pty.path());
    map.setDevicePath(5, QStringLiteral("/dev/does-not-exist-borecam"));
    CSerialLine line;
    params.port1 = 2;
    params.baudIndex1 = 6;
    CCommGroup group(params, map, &line);
    group.setProfile(&profile.settings());
    QSignalSpy status(&group, &CCommGroup::statusTextChanged);
    ASSERT_TRUE(group.configureLine());
    EXPECT_EQ(line.devicePath(), pty.path());
    EXPECT_EQ(group.portCombo()->currentIndex(), 1);
    EXPECT_EQ(group.baudCombo()->currentText(), QStringLiteral("9600")); // the line's rate
    EXPECT_EQ(status.last().at(0).toString(), QStringLiteral("--通讯成功"));

    // A port whose device will not open is saved all the same.
    group.portCombo()->setCurrentIndex(4);
    group.baudCombo()->setCurrentIndex(0);
    EXPECT_FALSE(group.save());
    EXPECT_FALSE(line.isOpen());
    EXPECT_EQ(status.last().at(0).toString(),
              QStringLiteral("深度控制口和电子罗盘口不存在或被其它程序占用"));
    EXPECT_EQ(std::pair(reload().port1, reload().baudIndex1), std::pair(5, 0));
    group.portCombo()->setCurrentIndex(1);
    group.baudCombo()->setCurrentIndex(3);
    EXPECT_TRUE(group.save());
    EXPECT_EQ(prompter.boxTexts().last(), QStringLiteral("设置串口成功"));
    EXPECT_EQ(std::pair(reload().port1, reload().baudIndex1), std::pair(2, 3));
}

} // namespace
} // namespace bc
