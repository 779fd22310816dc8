// The form's own fields after the settings change under them: the depth once
// the control parameters are applied, the captures' format, the duration of a
// finished playback.

#include "acquisition/acquisition_dlg.h"

#include "acquisition/control_param_dlg.h"
#include "core/program_values.h"
#include "core/survey_params.h"
#include "support/file_bytes.h"
#include "support/scripted_capture_graph.h"
#include "support/scripted_prompter.h"
#include "support/serial_slots.h"
#include "support/temp_settings.h"
#include "ui/num_edit.h"
#include "ui/transparent_controls.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <memory>

namespace bc {
namespace {

class FormFieldsTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        test::mapSerialSlotsNowhere(profile);
        publishDepthHeading(0, 0);
        currentCaptureFormat = 0;
        AcquisitionHooks hooks;
        hooks.setCaptureTarget = [this](const QString& name, const QString&, int) {
            captureNames << name;
        };
        hooks.createStitchWindow = [](QWidget*) -> QWidget* { return nullptr; };
        form = std::make_unique<CAcquisitionDlg>(graphs, profile.settings(), hooks);
        form->setWaitFunction([](int) {});
        form->show();
        form->OnInitDialog();
    }
    void TearDown() override { currentCaptureFormat = 0; }

    QString text(int id) const { return static_cast<QLineEdit*>(form->control(id))->text(); }
    CNumEdit* numEdit(int id) const { return static_cast<CNumEdit*>(form->control(id)); }
    void click(int id) { QTest::mouseClick(form->control(id), Qt::LeftButton, {}, QPoint(8, 8)); }

    // "控制参数" from the form's context menu; `edit` runs on the open dialog,
    // which is then closed with its OK button.
    void controlParameters(const std::function<void(CControlParamDlg&)>& edit)
    {
        QTimer::singleShot(0, [] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                menu->setActiveAction(menu->actions().value(0));
                QTest::keyClick(menu, Qt::Key_Return);
            }
        });
        bool edited = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dlg = qobject_cast<CControlParamDlg*>(QApplication::activeModalWidget());
            if (!dlg || edited)
                return;
            edited = true;
            edit(*dlg);
            for (auto* b : dlg->findChildren<QPushButton*>())
                if (b->text() == QStringLiteral("确定"))
                    QTest::mouseClick(b, Qt::LeftButton);
        });
        poll.start(20);
        QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(5, 5), form->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(form.get(), &e);
        EXPECT_TRUE(edited);
    }

    test::TempSettings profile;
    test::ScriptedPrompter prompter;
    test::ScriptedGraphFactory graphs;
    QStringList captureNames;
    std::unique_ptr<CAcquisitionDlg> form; // last: its hooks use the members above
};

// A new start depth, from the dialog or from the group's own "保存", shows in
// both depth fields at once, the depth field with its unit.
TEST_F(FormFieldsTest, AppliedStartDepthShowsInBothDepthFields)
{
    const auto fields = [&] { return QStringList{text(IDC_DEPTH_ENTRY), text(IDC_DEPTH)}; };
    form->OnStartAcquisition();
    numEdit(IDC_DEPTH_ENTRY)->SetValue(2.8f);
    form->OnDepthEntered();
    ASSERT_EQ(text(IDC_DEPTH), QStringLiteral("2.800米"));
    controlParameters([](CControlParamDlg& dlg) {
        dlg.counterFields().startDepth->selectAll();
        QTest::keyClicks(dlg.counterFields().startDepth, QStringLiteral("12.346"));
    });
    EXPECT_EQ(form->GetSurveyParams().startDepth, 12346);
    EXPECT_EQ(fields(), QStringList({"12.346", "12.346米"}));

    form->OnStopRecord();
    numEdit(IDC_START_DEPTH)->SetValue(3.5f);
    click(IDC_SAVE_CONTROL);
    EXPECT_EQ(prompter.boxTexts().last(), QStringLiteral("参数设置成功"));
    EXPECT_EQ(fields(), QStringList({"3.500", "3.500米"}));
}

// A depth whose millimetres do not fit is refused with the range, typed into
// the group's "起始深度" and saved, into the dialog's "起始深度" with 确定, or
// into "深度设置" while live with Enter: nothing is stored, the dialog stays
// open. Depths that fit are taken to the nearest millimetre, either side of 0.
TEST_F(FormFieldsTest, DepthsWhoseMillimetresDoNotFitAreRefused)
{
    const QString range = QStringLiteral("请输入一个介于 -2147483.648 和 2147483.647 之间的数字。");
    constexpr int64_t kRefused = INT64_MIN;
    const struct {
        const char* typed;
        int64_t mm;
    } rows[] = {{"99999999", kRefused},
                {"1000000000000000000000000000000", kRefused},
                {"2147484", kRefused},
                {"-2147484", kRefused},
                {"2147483", 2147483000},
                {"-2147483", -2147483000},
                {"12.5", 12500},
                {"-0.0004", 0},
                {"-0.0005", -1},
                {"-1.2345", -1235},
                {"1.2345", 1235}};
    enum Entry { GroupSave, Dialog, DepthEntry };
    const auto type = [](CNumEdit* edit, const char* typed) {
        QTest::mouseClick(edit, Qt::LeftButton);
        QTest::keyClick(edit, Qt::Key_Home);
        QTest::keyClick(edit, Qt::Key_End, Qt::ShiftModifier);
        QTest::keyClicks(edit, QString::fromLatin1(typed));
    };
    for (const Entry entry : {GroupSave, Dialog, DepthEntry}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(testing::Message() << entry << ' ' << row.typed);
            form->OnStopRecord();
            form->GetSurveyParams().startDepth = 1000;
            form->GetSurveyParams().SaveProfile(profile.settings());
            form->OnStartAcquisition();
            ASSERT_EQ(form->GetUiMode(), ModeLive);
            QApplication::setActiveWindow(form.get());
            ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
            const qsizetype told = prompter.boxes.size();
            const QString shownBefore = text(IDC_DEPTH);
            bool leftOpen = false;
            switch (entry) {
            case GroupSave:
                type(numEdit(IDC_START_DEPTH), row.typed);
                click(IDC_SAVE_CONTROL);
                break;
            case Dialog:
                controlParameters([&](CControlParamDlg& dlg) {
                    type(dlg.counterFields().startDepth, row.typed);
                    // OK is pressed after this; a dialog still open then is
                    // cancelled, so a refusal cannot hang the test.
                    QTimer::singleShot(0, &dlg, [&leftOpen, d = &dlg] {
                        leftOpen = d->isVisible();
                        d->reject();
                    });
                });
                break;
            case DepthEntry:
                type(numEdit(IDC_DEPTH_ENTRY), row.typed);
                QTest::keyClick(numEdit(IDC_DEPTH_ENTRY), Qt::Key_Return);
                break;
            }
            const std::string newBoxes = prompter.boxTexts().mid(told).join('|').toStdString();
            const int32_t depth = currentDepthHeading().depth;
            profile.settings().sync();
            const int stored =
                profile.settings().value(QStringLiteral("控制参数/起始深度")).toInt();
            if (row.mm == kRefused) {
                EXPECT_EQ(newBoxes, range.toStdString());
                EXPECT_EQ(form->GetSurveyParams().startDepth, 1000);
                EXPECT_EQ(stored, 1000);
                EXPECT_EQ(depth, 1000);
                EXPECT_EQ(text(IDC_DEPTH), shownBefore);
                EXPECT_EQ(text(IDC_DEPTH_ENTRY).toStdString(), "1.000");
                EXPECT_EQ(leftOpen, entry == Dialog);
            } else if (entry == DepthEntry) {
                EXPECT_EQ(newBoxes, "");
                EXPECT_EQ(depth, row.mm);
                EXPECT_EQ(text(IDC_DEPTH).toStdString(),
                          formatDepthMetres(static_cast<int32_t>(row.mm)).toStdString());
            } else {
                EXPECT_EQ(form->GetSurveyParams().startDepth, row.mm);
                EXPECT_EQ(stored, row.mm);
                EXPECT_EQ(depth, row.mm);
            }
        }
    }
}

// "孔倾斜角度" of the test group, saved: empty or 0..90 is stored with the rest
// of the group; anything else is refused with the workspace's words, storing
// nothing of the group.
TEST_F(FormFieldsTest, TheTestGroupRefusesAnInclinationOutsideZeroToNinety)
{
    const QString range = QStringLiteral("请输入一个介于 0 和 90 之间的数字。");
    const std::pair<const char*, QString> rows[] = {
        {"95", range}, {"-5", range}, {"90.5", range}, {"abc", QStringLiteral("请输入一个数字。")},
        {"90", {}},    {"0", {}},     {"", {}}};
    auto* inclination = static_cast<QLineEdit*>(form->control(IDC_HOLE_INCLINATION));
    CSurveyParams want = form->GetSurveyParams();
    for (const auto& [typed, refusal] : rows) {
        SCOPED_TRACE(typed);
        static_cast<QLineEdit*>(form->control(IDC_TESTER))->setText(typed + QStringLiteral("号"));
        QTest::mouseClick(inclination, Qt::LeftButton);
        QTest::keyClick(inclination, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(inclination, Qt::Key_Delete);
        QTest::keyClicks(inclination, QString::fromLatin1(typed));
        const qsizetype told = prompter.boxes.size();
        click(IDC_SAVE_TEST);
        EXPECT_EQ(prompter.boxTexts().mid(told).join('|'), refusal);
        if (refusal.isEmpty()) {
            want.holeInclination = QString::fromLatin1(typed);
            want.tester = typed + QStringLiteral("号");
        }
        CSurveyParams stored;
        stored.LoadProfile(*profile.reopen());
        for (const CSurveyParams* params : {&form->GetSurveyParams(), &stored}) {
            EXPECT_EQ(params->holeInclination, want.holeInclination);
            EXPECT_EQ(params->tester, want.tester);
        }
    }
}

// "BMP文件" chosen in the form's group or in the dialog names captures ".bmp".
TEST_F(FormFieldsTest, CapturesFollowTheCaptureFormatChosenEitherWay)
{
    auto* groupFormat = static_cast<QComboBox*>(form->control(IDC_CAPTURE_FORMAT));
    for (const bool inDialog : {false, true}) {
        groupFormat->setCurrentIndex(0);
        click(IDC_SAVE_CONTROL);
        form->OnStartAcquisition();
        if (inDialog) {
            controlParameters([](CControlParamDlg& dlg) {
                dlg.counterFields().captureFormat->setCurrentIndex(1);
            });
        } else {
            groupFormat->setCurrentIndex(1);
            click(IDC_SAVE_CONTROL);
        }
        form->OnCaptureFrame();
        EXPECT_TRUE(captureNames.value(captureNames.size() - 1).endsWith("/0.bmp")) << inDialog;
        form->OnStopRecord();
    }
}

// A finished playback, stopped or at the file's end, takes its duration with
// it: the next preview shows none.
TEST_F(FormFieldsTest, PlaybackDurationIsClearedWhenPlaybackStops)
{
    QTemporaryDir dir;
    const QString film = dir.filePath(QStringLiteral("film.mpg"));
    ASSERT_TRUE(test::writeFileBytes(film, QByteArray("\x00\x00\x01\xBA\x00\x00", 6)));
    graphs.script.duration = 85LL * 10000000; // 1 min 25 s
    auto* duration = static_cast<CTransparentLabel*>(form->control(IDC_DURATION));
    for (const bool atEnd : {false, true}) {
        prompter.fileAnswers.push_back(film);
        form->OnOpenPlayback();
        ASSERT_EQ(form->GetUiMode(), ModePlayback);
        EXPECT_EQ(duration->text(), QStringLiteral("00:01:25"));
        graphs.script.position = atEnd ? 1.0f : 0.0f;
        atEnd ? form->OnPositionTimer() : form->OnStopRecord();
        EXPECT_EQ(form->GetUiMode(), ModeIdle);
        form->OnStartAcquisition();
        EXPECT_EQ(duration->text(), QString()) << atEnd;
        form->OnStopRecord();
    }
    graphs.script.position = 0.0f;
}

} // namespace
} // namespace bc
