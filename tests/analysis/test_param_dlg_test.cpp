// The test-parameter dialog driven by keys and clicks, alone and from the
// strip view.

#include "analysis/test_param_dlg.h"
#include "analysis/unwrap_data.h"
#include "analysis/unwrap_view.h"
#include "core/survey_params.h"
#include "support/scripted_prompter.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>

using namespace bc;

namespace {

struct OpenDialog {
    CUnWrapData data{QStringLiteral("/x/a.sfa"), QStringLiteral("/x")};
    CSurveyParams station;
    CTestParamDlg dlg{data, &station};
    OpenDialog()
    {
        station.testUnit = QStringLiteral("station unit");
        data.header().testingUnit = QStringLiteral("survey unit");
        dlg.OnInitDialog();
        dlg.show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&dlg));
    }
    QLineEdit* type(int id, const char* text)
    {
        QLineEdit* e = dlg.edit(id);
        QTest::mouseClick(e, Qt::LeftButton);
        e->selectAll();
        QTest::keyClicks(e, QString::fromUtf8(text));
        return e;
    }
};

} // namespace

TEST(TestParamDlg, DiametersClampOnLeavingTheEditButNotOnOk)
{
    for (const auto& [typed, shown, stored] :
         {std::tuple{"30", "50 mm", 50}, std::tuple{"12000", "10000 mm", 12000}}) {
        OpenDialog left;
        QTest::keyClick(left.type(1218, typed), Qt::Key_Tab);
        EXPECT_EQ(left.dlg.edit(1218)->text(), QString::fromUtf8(shown));
        OpenDialog ok;
        QTest::keyClick(ok.type(1218, typed), Qt::Key_Return);
        EXPECT_FALSE(ok.dlg.isVisible());
        EXPECT_EQ(ok.data.header().openingDiameter, stored) << typed;
    }
}

TEST(TestParamDlg, LoadsRefusesAnOutOfRangeDipTogglesTheInclinationAndCancels)
{
    OpenDialog d;
    EXPECT_EQ(d.dlg.edit(1227)->text(), QStringLiteral("survey unit")) << "the data set wins";
    CTestParamDlg stationOnly(&d.station, nullptr);
    stationOnly.OnInitDialog();
    EXPECT_EQ(stationOnly.edit(1227)->text(), QStringLiteral("station unit"));

    test::ScriptedPrompter prompter;
    d.type(1254, "361");
    d.type(1218, "300");
    QTest::mouseClick(d.dlg.control(1), Qt::LeftButton);
    EXPECT_TRUE(d.dlg.isVisible());
    EXPECT_EQ(prompter.boxTexts(), QStringList{QStringLiteral("请输入一个介于 0 和 360 之间的整数。")});

    QComboBox* combo = d.dlg.holeTypeCombo();
    combo->setFocus(Qt::TabFocusReason);
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(combo->currentText(), QStringLiteral("斜孔"));
    EXPECT_FALSE(d.dlg.edit(1225)->isEnabled());
    QTest::keyClick(combo, Qt::Key_Up);
    EXPECT_TRUE(d.dlg.edit(1225)->isEnabled());

    d.type(1216, "ZK-7");
    QTest::mouseClick(d.dlg.control(2), Qt::LeftButton);
    EXPECT_FALSE(d.dlg.isVisible());
    EXPECT_TRUE(d.data.header().holeNumber.isEmpty());
    EXPECT_EQ(d.data.header().openingDiameter, 70);
}

TEST(TestParamDlg, FromTheStripViewRecomputesWithTheStationDeclination)
{
    for (const auto& [declination, direction] : {std::pair{0.0f, "180°"}, {200.0f, "340°"}}) {
        CSurveyParams station;
        station.declination = declination;
        WorkspaceContext live; // a live survey has its data set from the start
        live.settings = &station;
        live.formMode = [] { return 1; };
        CUnWrapView view(live);
        auto line = std::make_unique<CAttitudeLine>(0, CShapePoint(0.0f, 1000.0f),
                                                    CShapePoint(float(M_PI), 1100.0f), 0, 1, 0xFF);
        line->UpdateAttitude(70, 0.0f, 0.0f, declination); // as picked
        line->SetDescription(QStringLiteral("裂隙"));
        CAttitudeShape* shape = line.get();
        view.GetData()->AddShape(std::move(line));
        for (const char* typed : {"100", ""}) {
            QTimer::singleShot(0, [typed] {
                auto* dlg = qobject_cast<CTestParamDlg*>(QApplication::activeModalWidget());
                ASSERT_TRUE(dlg);
                dlg->edit(1218)->selectAll();
                QTest::keyClicks(dlg->edit(1218), QString::fromLatin1(typed)); // "" changes nothing
                QTest::mouseClick(dlg->control(1), Qt::LeftButton);
            });
            view.OnTestParams();
            EXPECT_EQ(shape->GetText(TextDipAngle), QStringLiteral("45°"));
            EXPECT_EQ(shape->GetText(TextDipDirection), QString::fromUtf8(direction));
            EXPECT_EQ(shape->GetText(TextDescription), QStringLiteral("裂隙"));
        }
        EXPECT_EQ(view.GetData()->header().openingDiameter, 100);
        EXPECT_EQ(station.openingDiameter, 70) << "the station's defaults are not written";
    }
}
