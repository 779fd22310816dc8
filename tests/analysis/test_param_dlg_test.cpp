// The test-parameter dialog driven by keys and clicks: diameter edits and
// spins, the range check, the hole-type combo, OK and Cancel, and the
// attitudes recomputed from the new header.

#include "acquisition/settings_fields.h"
#include "analysis/test_param_dlg.h"
#include "analysis/unwrap_data.h"
#include "core/survey_params.h"
#include "support/scripted_prompter.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>

using namespace bc;

namespace {

struct OpenDialog {
    CUnWrapData data{QStringLiteral("/x/a.sfa"), QStringLiteral("/x")};
    CSurveyParams station;
    std::unique_ptr<CTestParamDlg> dlg;
    explicit OpenDialog(float declination = 0.0f)
    {
        station.declination = declination;
        station.testUnit = QStringLiteral("station unit");
        data.header().testingUnit = QStringLiteral("survey unit");
        dlg = std::make_unique<CTestParamDlg>(data, &station);
        dlg->OnInitDialog();
        dlg->show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    }
    void type(int id, const QString& text)
    {
        QLineEdit* e = dlg->edit(id);
        QTest::mouseClick(e, Qt::LeftButton);
        e->selectAll();
        QTest::keyClicks(e, text);
    }
    void click(int buttonId) { QTest::mouseClick(dlg->control(buttonId), Qt::LeftButton); }
};

} // namespace

TEST(TestParamDlg, DiametersClampOnLeavingButNotOnOk)
{
    struct Case {
        const char* typed;
        const char* shownAfterLeaving;
        int storedByOk;
    };
    for (const Case c : {Case{"30", "50 mm", 50}, Case{"12000", "10000 mm", 12000}}) {
        OpenDialog left;
        left.type(1218, QString::fromLatin1(c.typed));
        QTest::keyClick(left.dlg->edit(1218), Qt::Key_Tab);
        EXPECT_EQ(left.dlg->edit(1218)->text(), QString::fromLatin1(c.shownAfterLeaving));

        OpenDialog ok;
        ok.type(1218, QString::fromLatin1(c.typed));
        QTest::keyClick(ok.dlg->edit(1218), Qt::Key_Return);
        EXPECT_FALSE(ok.dlg->isVisible());
        EXPECT_EQ(ok.data.header().openingDiameter, c.storedByOk) << c.typed;
    }
    OpenDialog spin;
    spin.type(1224, QStringLiteral("9999"));
    QTest::keyClick(spin.dlg->edit(1224), Qt::Key_Tab);
    for (int i = 0; i < 2; ++i)
        QTest::mouseClick(spin.dlg->finalDiameterField()->spin()->upButton(), Qt::LeftButton);
    EXPECT_EQ(spin.dlg->edit(1224)->text(), QStringLiteral("10000 mm"));
}

TEST(TestParamDlg, LoadsSettingsThenDataAndRefusesADipOutOfRange)
{
    OpenDialog d;
    EXPECT_EQ(d.dlg->edit(1227)->text(), QStringLiteral("survey unit"));
    EXPECT_EQ(d.dlg->edit(1218)->text(), QStringLiteral("70 mm"));
    CTestParamDlg stationOnly(&d.station, nullptr);
    stationOnly.OnInitDialog();
    EXPECT_EQ(stationOnly.edit(1227)->text(), QStringLiteral("station unit"));

    test::ScriptedPrompter prompter;
    d.type(1254, QStringLiteral("361"));
    d.type(1218, QStringLiteral("300"));
    d.click(1);
    EXPECT_TRUE(d.dlg->isVisible());
    EXPECT_EQ(prompter.boxTexts(), QStringList{QStringLiteral("请输入一个介于 0 和 360 之间的整数。")});
    EXPECT_EQ(d.data.header().openingDiameter, 70);

    QComboBox* combo = d.dlg->holeTypeCombo();
    combo->setFocus(Qt::TabFocusReason);
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(combo->currentText(), QStringLiteral("斜孔"));
    EXPECT_FALSE(d.dlg->edit(1225)->isEnabled());
    QTest::keyClick(combo, Qt::Key_Up);
    EXPECT_TRUE(d.dlg->edit(1225)->isEnabled());

    d.type(1216, QStringLiteral("ZK-7"));
    d.click(2);
    EXPECT_FALSE(d.dlg->isVisible());
    EXPECT_TRUE(d.data.header().holeNumber.isEmpty());
    EXPECT_EQ(d.data.header().openingDiameter, 70);
    EXPECT_EQ(d.data.header().holeType, 0);
}

TEST(TestParamDlg, OkRecomputesAttitudesWithTheStationDeclination)
{
    for (const auto& [declination, direction] : {std::pair{0.0f, "180°"}, {200.0f, "340°"}}) {
        OpenDialog d(declination);
        auto line = std::make_unique<CAttitudeLine>(0, CShapePoint(0.0f, 1000.0f),
                                                    CShapePoint(float(M_PI), 1100.0f), 0, 1, 0xFF);
        line->UpdateAttitude(70, 0.0f, 0.0f, declination); // as picked
        line->SetDescription(QStringLiteral("裂隙"));
        CAttitudeShape* shape = line.get();
        d.data.AddShape(std::move(line));
        const QString pickedDirection = shape->GetText(TextDipDirection);

        d.type(1218, QStringLiteral("100"));
        d.click(1);
        EXPECT_EQ(shape->GetText(TextDipAngle), QStringLiteral("45°"));
        EXPECT_EQ(shape->GetText(TextDipDirection), QString::fromUtf8(direction));
        EXPECT_EQ(shape->GetText(TextDipDirection), pickedDirection) << "OK shifts no direction";
        EXPECT_EQ(shape->GetText(TextDescription), QStringLiteral("裂隙"));
        EXPECT_EQ(d.station.openingDiameter, 70) << "the station's defaults are not written";
    }
}
