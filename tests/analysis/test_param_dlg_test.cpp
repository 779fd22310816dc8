// The test-parameter dialog driven by keys and clicks, alone and from the
// strip view.

#include "stitch_frame_fixture.h"

#include "analysis/test_param_dlg.h"
#include "analysis/unwrap_data.h"
#include "analysis/unwrap_view.h"
#include "core/survey_params.h"
#include "support/saved_survey.h"
#include "support/scripted_prompter.h"
#include "support/survey_fixtures.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>

using namespace bc;

namespace {

constexpr int kOpeningDiameter = 1218, kInclinedDirection = 1254, kInclination = 1225;

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
         {std::tuple{"30", "50 mm", 50}, std::tuple{"12000", "10000 mm", 12000},
          // beyond any hole: held to what a survey file may hold
          std::tuple{"2000000", "10000 mm", int(kMaxSfaDiameter)}}) {
        OpenDialog left;
        QTest::keyClick(left.type(kOpeningDiameter, typed), Qt::Key_Tab);
        OpenDialog ok;
        QTest::keyClick(ok.type(kOpeningDiameter, typed), Qt::Key_Return);
        EXPECT_EQ(std::tuple(left.dlg.edit(kOpeningDiameter)->text(), ok.dlg.isVisible(),
                             ok.data.header().openingDiameter),
                  std::tuple(QString::fromUtf8(shown), false, stored))
            << typed;
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
    d.type(kInclinedDirection, "361");
    d.type(kOpeningDiameter, "300");
    QTest::mouseClick(d.dlg.control(1), Qt::LeftButton);
    EXPECT_TRUE(d.dlg.isVisible());
    EXPECT_EQ(prompter.boxTexts(),
              QStringList{QStringLiteral("请输入一个介于 0 和 360 之间的整数。")});

    QComboBox* combo = d.dlg.holeTypeCombo();
    combo->setFocus(Qt::TabFocusReason);
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(std::tuple(combo->currentText(), d.dlg.edit(kInclination)->isEnabled()),
              std::tuple(QStringLiteral("斜孔"), false));
    QTest::keyClick(combo, Qt::Key_Up);
    EXPECT_TRUE(d.dlg.edit(kInclination)->isEnabled());

    d.type(1216, "ZK-7");
    QTest::mouseClick(d.dlg.control(2), Qt::LeftButton);
    EXPECT_EQ(
        std::tuple(d.dlg.isVisible(), d.data.header().holeNumber, d.data.header().openingDiameter),
        std::tuple(false, QString(), 70))
        << "cancelled";
}

TEST(TestParamDlg, FromTheStripViewRecomputesWithTheStationDeclination)
{
    for (const auto& [declination, direction] : {std::pair{0.0f, "180°"}, {200.0f, "340°"}}) {
        test::StripViewFixture live(1); // a live survey has its data set from the start
        live.settings.declination = declination;
        CUnWrapView& view = live.build();
        auto line = std::make_unique<CAttitudeLine>(0, CShapePoint(0.0f, 1000.0f),
                                                    CShapePoint(float(M_PI), 1100.0f), 0, 1, 0xFF);
        line->UpdateAttitude(70, 0.0f, 0.0f, declination); // as picked
        line->SetDescription(QStringLiteral("裂隙"));
        CAttitudeShape* shape = line.get();
        view.GetData()->AddShape(std::move(line));
        for (const char* typed : {"100", ""}) { // "" changes nothing
            QTimer::singleShot(0, [typed] {
                auto* dlg = qobject_cast<CTestParamDlg*>(QApplication::activeModalWidget());
                ASSERT_TRUE(dlg);
                dlg->edit(kOpeningDiameter)->selectAll();
                QTest::keyClicks(dlg->edit(kOpeningDiameter), QString::fromLatin1(typed));
                QTest::mouseClick(dlg->control(1), Qt::LeftButton);
            });
            view.OnTestParams();
            EXPECT_EQ(shape->GetText(TextDipAngle) + " " + shape->GetText(TextDipDirection) + " " +
                          shape->GetText(TextDescription),
                      QStringLiteral("45° %1 裂隙").arg(QString::fromUtf8(direction)));
        }
        EXPECT_EQ(
            std::tuple(view.GetData()->header().openingDiameter, live.settings.openingDiameter),
            std::tuple(100, 70))
            << "the station's defaults are not written";
    }
}

// OK stores the diameter, the inclination and the inclined hole's dip
// direction before the attitudes are worked out again, so all three typed
// values are in the new attitude (a line whose deeper end is at 180°, 45° in a
// hole of 100 mm).
TEST(TestParamDlg, FromTheStripViewRecomputesWithTheTypedInclinedHoleDirection)
{
    const struct {
        const char *inclination, *direction;
        const char* attitude;                                       // dip angle and dip direction
    } cases[] = {{"10", "30", "35° 210°"}, {"", "200", "45° 20°"}}; // 380 goes round to 20
    for (const auto& c : cases) {
        SCOPED_TRACE(c.direction);
        test::StripViewFixture live(1);
        CUnWrapView& view = live.build();
        auto line = std::make_unique<CAttitudeLine>(0, CShapePoint(0.0f, 1000.0f),
                                                    CShapePoint(float(M_PI), 1100.0f), 0, 1, 0xFF);
        line->UpdateAttitude(70, 0.0f, 0.0f, 0.0f);
        CAttitudeShape* shape = line.get();
        view.GetData()->AddShape(std::move(line));
        QTimer::singleShot(0, [&c] {
            auto* dlg = qobject_cast<CTestParamDlg*>(QApplication::activeModalWidget());
            ASSERT_TRUE(dlg);
            for (const auto& [id, text] : {std::pair{kOpeningDiameter, "100"},
                                           {kInclination, c.inclination},
                                           {kInclinedDirection, c.direction}}) {
                QTest::mouseClick(dlg->edit(id), Qt::LeftButton);
                dlg->edit(id)->selectAll();
                QTest::keyClicks(dlg->edit(id), QString::fromLatin1(text));
            }
            QTest::mouseClick(dlg->control(1), Qt::LeftButton);
        });
        view.OnTestParams();
        EXPECT_EQ(shape->GetText(TextDipAngle) + " " + shape->GetText(TextDipDirection),
                  QString::fromUtf8(c.attitude));
    }
}

// The hole's inclination is an angle from 0 to 90 degrees: OK refuses any
// other number with the range message and keeps the dialog open, the
// attitudes as they were; an empty field is no inclination.
TEST(TestParamDlg, RefusesAnInclinationOutsideZeroToNinety)
{
    const struct {
        const char* typed;
        const char* refusal; // null: accepted
    } rows[] = {
        {"95", "请输入一个介于 0 和 90 之间的数字。"},
        {"-5", "请输入一个介于 0 和 90 之间的数字。"},
        {"90.5", "请输入一个介于 0 和 90 之间的数字。"},
        {"abc", "请输入一个数字。"},
        {"90", nullptr},
        {"12.5", nullptr},
        {"0", nullptr},
        {"", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.typed);
        test::ScriptedPrompter prompter;
        OpenDialog d;
        auto line = std::make_unique<CAttitudeLine>(0, CShapePoint(0.0f, 1000.0f),
                                                    CShapePoint(float(M_PI), 1100.0f), 0, 1, 0xFF);
        line->UpdateAttitude(70, 0.0f, 0.0f, 0.0f);
        const CAttitudeShape* shape = line.get();
        d.data.AddShape(std::move(line));
        const QString before = shape->GetText(TextDipAngle);
        d.type(kInclination, row.typed);
        QTest::mouseClick(d.dlg.control(1), Qt::LeftButton);
        EXPECT_EQ(d.dlg.isVisible(), row.refusal != nullptr);
        EXPECT_EQ(prompter.boxTexts().join('|').toStdString(), row.refusal ? row.refusal : "");
        if (row.refusal) {
            EXPECT_EQ(shape->GetText(TextDipAngle), before);
            EXPECT_EQ(d.data.header().holeInclination, QString());
            EXPECT_TRUE(d.dlg.edit(kInclination)->hasFocus());
        } else {
            EXPECT_EQ(d.data.header().holeInclination, QString::fromLatin1(row.typed));
        }
    }
}

// Test parameters changed and accepted in the stitch window are a change of
// the survey: closing the window or "新建" asks whether to save it; a
// cancelled dialog changes nothing and nothing is asked.
TEST(TestParamDlg, AcceptedChangesAreAskedAboutBeforeTheSurveyIsLetGo)
{
    const struct {
        bool accept;
        int command; // 0: the window's close button
    } rows[] = {{true, 0}, {true, ID_FILE_NEW}, {false, 0}, {false, ID_FILE_NEW}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.accept << ' ' << row.command);
        test::StitchFrame f;
        f.settings.aspectAutoFit = 0;
        f.openSfa(test::SavedSurvey{3}.write(f.dir.path(), QStringLiteral("zk.sfa")));
        ASSERT_FALSE(f.view().GetData()->IsModified());
        QTimer::singleShot(0, [&row] {
            auto* dlg = qobject_cast<CTestParamDlg*>(QApplication::activeModalWidget());
            ASSERT_TRUE(dlg);
            QTest::mouseClick(dlg->edit(1216), Qt::LeftButton);
            QTest::keyClicks(dlg->edit(1216), QStringLiteral("ZK-9"));
            QTest::mouseClick(dlg->control(row.accept ? 1 : 2), Qt::LeftButton);
            if (dlg->isVisible()) {
                ADD_FAILURE() << "the dialog stayed open";
                dlg->reject();
            }
        });
        f.frame->commandAction(ID_TEST_PARAMS)->trigger();
        f.prompter.boxAnswers.push_back(IDNO);
        if (row.command == 0)
            EXPECT_TRUE(f.frame->close());
        else
            f.frame->commandAction(row.command)->trigger();
        EXPECT_EQ(f.prompter.boxTexts().join(u'|').toStdString(),
                  row.accept ? "是否保存对zk.sfa的修改?" : "");
    }
}
