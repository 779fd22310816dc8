#include "acquisition/serial_line.h"
#include "acquisition/settings_fields.h"
#include "acquisition/settings_groups.h"

#include "core/program_values.h"
#include "core/survey_params.h"
#include "support/scripted_prompter.h"
#include "support/temp_settings.h"
#include "support/serial_pty.h"
#include "ui/bmp_button.h"
#include "ui/num_edit.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QToolButton>

#include <gtest/gtest.h>

namespace bc {
namespace {

CSurveyParams reload(test::TempSettings& profile)
{
    auto settings = profile.reopen();
    CSurveyParams p;
    p.LoadProfile(*settings);
    return p;
}

TEST(StepField, MillimetresAreRoundedToWholePulses)
{
    CStepField field;
    field.setStep(5, 2);
    EXPECT_EQ(field.edit()->text(), QStringLiteral("10 mm"));
    field.edit()->setText(QStringLiteral("25"));
    field.commitText();
    EXPECT_EQ(field.edit()->text(), QStringLiteral("24 mm"));
    EXPECT_EQ(field.pulses(), 12);
    field.setMmPerPulse(10);
    EXPECT_EQ(field.edit()->text(), QStringLiteral("20 mm"));
    EXPECT_EQ(field.pulses(), 2);

    field.setStep(1, 1);
    for (const char* typed : {"0", "", "-7", "abc"}) {
        field.edit()->setText(QString::fromLatin1(typed));
        field.commitText();
        EXPECT_EQ(field.edit()->text(), QStringLiteral("1 mm")) << typed;
        EXPECT_EQ(field.pulses(), 1);
    }
    field.edit()->setText(QStringLiteral("99999 mm"));
    field.commitText();
    EXPECT_EQ(field.edit()->text(), QStringLiteral("10000 mm"));

    // the buttons: up adds a pulse, the bounds hold
    field.setStep(10000, 1);
    field.spin()->upButton()->click();
    EXPECT_EQ(field.pulses(), 10000);
    field.spin()->downButton()->click();
    EXPECT_EQ(field.edit()->text(), QStringLiteral("9999 mm"));
}

class SettingsGroupsTest : public ::testing::Test {
protected:
    test::ScriptedPrompter prompter;
    test::TempSettings profile;
    CSurveyParams params;
};

TEST_F(SettingsGroupsTest, ControlGroupSavesInPulsesAndLeavesThePortsAlone)
{
    params.port1 = 4;
    params.baudIndex1 = 2;
    params.port2 = 5;
    params.counterResolution = 2;
    params.sampleStep = 100;
    params.compassOffset = -30;
    params.declination = 4.5f;
    params.startDepth = 12345;
    params.manualStep = 200;
    CControlParamsGroup group(params);
    group.setProfile(&profile.settings());
    group.fill();
    EXPECT_EQ(group.counterFields().step->edit()->text(), QStringLiteral("200 mm"));
    EXPECT_EQ(group.counterFields().manualStep->currentIndex(), 4);
    EXPECT_EQ(group.startDepthText(), QStringLiteral("12.345"));

    group.counterFields().step->edit()->setText(QStringLiteral("25"));
    group.counterFields().step->commitText();
    group.counterFields().direction->setCurrentIndex(1);
    group.counterFields().captureFormat->setCurrentIndex(1);
    group.counterFields().manualStep->setCurrentIndex(6);
    group.counterFields().startDepth->SetValue(2.5f);
    group.compassOffsetField()->edit()->setText(QStringLiteral("-200"));
    group.compassOffsetField()->commitText();
    EXPECT_EQ(group.compassOffsetField()->edit()->text(), QStringLiteral("-180"));
    EXPECT_EQ(group.compassOffsetField()->spin()->position(), -180);
    group.declinationEdit()->setText(QStringLiteral("-12.25"));

    QSignalSpy saved(&group, &CControlParamsGroup::saved);
    currentCaptureFormat = 0;
    ASSERT_TRUE(group.save());
    EXPECT_EQ(saved.count(), 1);
    EXPECT_EQ(currentCaptureFormat.load(), 1);
    currentCaptureFormat = 0;
    EXPECT_EQ(prompter.boxTexts(), QStringList{QStringLiteral("参数设置成功")});

    const CSurveyParams back = reload(profile);
    EXPECT_EQ(back.sampleStep, 12u);
    EXPECT_EQ(back.counterResolution, 2u);
    EXPECT_EQ(back.moveDirection, 1u);
    EXPECT_EQ(back.captureFormat, 1u);
    EXPECT_EQ(back.manualStep, 1000u);
    EXPECT_EQ(back.startDepth, 2500);
    EXPECT_EQ(back.compassOffset, -180);
    EXPECT_EQ(back.port1, 4);
    EXPECT_EQ(back.baudIndex1, 2);
    EXPECT_EQ(back.port2, 5);
}

TEST_F(SettingsGroupsTest, ControlGroupRefusesOutOfRangeValuesAndClampsTheOffsetSpin)
{
    CControlParamsGroup group(params);
    group.setProfile(&profile.settings());
    group.fill();
    group.compassOffsetField()->setValue(179);
    group.compassOffsetField()->spin()->upButton()->click();
    group.compassOffsetField()->spin()->upButton()->click();
    EXPECT_EQ(group.compassOffsetField()->edit()->text(), QStringLiteral("180"));
    EXPECT_EQ(group.compassOffset(), 180);
    group.compassOffsetField()->edit()->setText(QStringLiteral("-999"));
    EXPECT_EQ(group.compassOffset(), -180); // as typed, kept in range

    group.compassOffsetField()->setValue(10);
    group.declinationEdit()->setText(QStringLiteral("95"));
    group.counterFields().startDepth->SetValue(7.0f);
    QSignalSpy saved(&group, &CControlParamsGroup::saved);
    EXPECT_FALSE(group.save());
    EXPECT_EQ(saved.count(), 0);
    EXPECT_EQ(prompter.boxTexts(),
              QStringList{QStringLiteral("请输入一个介于 -90 和 90 之间的数字。")});
    EXPECT_EQ(params.startDepth, 0);
    EXPECT_FALSE(profile.settings().contains(QStringLiteral("控制参数/起始深度")));
}

TEST_F(SettingsGroupsTest, TestGroupRoundTripsThroughTheProfile)
{
    params.openingDiameter = 70;
    params.finalDiameter = 60;
    CTestParamsGroup group(params);
    group.setProfile(&profile.settings());
    group.fill();
    EXPECT_EQ(group.openingDiameterField()->edit()->text(), QStringLiteral("70 mm"));
    EXPECT_TRUE(group.holeInclinationEdit()->isEnabled());

    group.openingDiameterField()->edit()->setText(QStringLiteral("30"));
    group.finalDiameterField()->spin()->upButton()->click(); // the up arrow counts up
    EXPECT_EQ(group.finalDiameterField()->edit()->text(), QStringLiteral("61 mm"));
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

    const CSurveyParams back = reload(profile);
    EXPECT_EQ(back.openingDiameter, 50);
    EXPECT_EQ(back.finalDiameter, 61);
    EXPECT_EQ(QStringList({back.testSite, back.testDate, back.testUnit, back.tester, back.holeNumber,
                           back.collarElevation, back.waterLevel}),
              QStringList({"三号工地", "2011-05-01", "测试单位甲", "张三", "ZK-7", "123.4", "-3.2"}));
    EXPECT_EQ(back.holeType, 1);
    EXPECT_FLOAT_EQ(back.inclinedHoleAzimuth, 275.0f);

    CSurveyParams again = back;
    CTestParamsGroup shown(again);
    shown.fill();
    EXPECT_EQ(shown.openingDiameterField()->edit()->text(), QStringLiteral("50 mm"));
    EXPECT_FALSE(shown.holeInclinationEdit()->isEnabled());
    shown.openingDiameterField()->spin()->downButton()->click();
    EXPECT_EQ(shown.openingDiameterField()->edit()->text(), QStringLiteral("50 mm"));
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
    EXPECT_TRUE(line.isOpen());
    EXPECT_EQ(line.devicePath(), pty.path());
    EXPECT_EQ(group.portCombo()->currentIndex(), 1);
    EXPECT_EQ(group.portCombo()->currentText(), QStringLiteral("COM2 (%1)").arg(pty.path()));
    EXPECT_EQ(group.baudCombo()->currentText(), QStringLiteral("9600"));
    ASSERT_EQ(status.count(), 1);
    EXPECT_EQ(status.at(0).at(0).toString(), QStringLiteral("--通讯成功"));

    // a port whose device will not open
    group.portCombo()->setCurrentIndex(4);
    group.baudCombo()->setCurrentIndex(0);
    EXPECT_FALSE(group.save());
    EXPECT_FALSE(line.isOpen());
    EXPECT_EQ(status.last().at(0).toString(),
              QStringLiteral("深度控制口和电子罗盘口不存在或被其它程序占用"));
    EXPECT_EQ(prompter.boxTexts(), QStringList{QStringLiteral("打开串口失败!")});
    CSurveyParams back = reload(profile);
    EXPECT_EQ(back.port1, 5);
    EXPECT_EQ(back.baudIndex1, 0);

    group.portCombo()->setCurrentIndex(1);
    group.baudCombo()->setCurrentIndex(3);
    EXPECT_TRUE(group.save());
    EXPECT_TRUE(line.isOpen());
    EXPECT_EQ(prompter.boxTexts().last(), QStringLiteral("设置串口成功"));
    EXPECT_EQ(status.last().at(0).toString(), QStringLiteral("--通讯成功"));
    back = reload(profile);
    EXPECT_EQ(back.port1, 2);
    EXPECT_EQ(back.baudIndex1, 3);

    // a reloaded slot table shows in the combo and moves the line
    CPortMap moved;
    moved.setDevicePath(2, QString());
    moved.setDevicePath(3, pty.path());
    group.setPortMap(moved);
    EXPECT_EQ(group.portCombo()->currentIndex(), 1);
    EXPECT_EQ(group.portCombo()->itemText(1), QStringLiteral("COM2"));
    EXPECT_FALSE(group.configureLine());
    params.port1 = 3;
    EXPECT_TRUE(group.configureLine());
    EXPECT_EQ(line.devicePath(), pty.path());
}

} // namespace
} // namespace bc
