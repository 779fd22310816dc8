// The serial line inside the acquisition form, on pseudo terminals: frames
// reach the form's fields and the depth trigger, the motor keys send their
// bytes only once the probe has found the depth counter.

#include "acquisition/acquisition_dlg.h"
#include "acquisition/control_param_dlg.h"
#include "acquisition/port_map.h"
#include "acquisition/port_probe.h"
#include "acquisition/serial_line.h"
#include "acquisition/settings_groups.h"
#include "acquisition/track_file.h"

#include "core/program_values.h"
#include "support/scripted_capture_graph.h"
#include "support/scripted_prompter.h"
#include "support/temp_settings.h"
#include "support/serial_pty.h"
#include "ui/num_edit.h"

#include <QApplication>
#include <QLineEdit>
#include <QDialog>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace bc {
namespace {

class SerialFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.ok());
        // the line on slot 1, nothing on the other slots
        CPortMap map;
        for (int slot = 1; slot <= CPortMap::kSlotCount; ++slot)
            map.setDevicePath(slot, QString());
        map.setDevicePath(1, pty.path());
        map.save(profile.settings());
        profile.settings().setValue(QStringLiteral("镜头控制/COM1"), 1);
        profile.settings().setValue(QStringLiteral("控制参数/采样步距"), 2);
        publishDepthHeading(0, 0);
        clearDepthTrigger();
        depthCounterFound() = false;
        compassFound() = false;
    }
    void TearDown() override
    {
        form.reset();
        clearDepthTrigger();
        depthCounterFound() = false;
        compassFound() = false;
    }

    void startLive()
    {
        AcquisitionHooks hooks;
        hooks.track = &track;
        form = std::make_unique<CAcquisitionDlg>(graphs, profile.settings(), hooks);
        form->setWaitFunction([](int) {});
        form->show();
        form->OnInitDialog();
        ASSERT_EQ(form->statusText(), QStringLiteral("--通讯成功"));
        form->OnStartAcquisition();
        ASSERT_EQ(form->GetUiMode(), ModeLive);
        ASSERT_EQ(form->statusText(), QStringLiteral("预览--通讯成功"));
    }

    QString field(int id) const { return static_cast<QLineEdit*>(form->control(id))->text(); }

    // Writes bytes to the line and waits until the form has taken them in.
    void send(const QByteArray& bytes)
    {
        const quint64 seen = form->serialLine().bytesReceived() + quint64(bytes.size());
        pty.write(bytes);
        ASSERT_TRUE(test::waitUntil([&] { return form->serialLine().bytesReceived() >= seen; }));
    }

    test::PtyPair pty;
    test::TempSettings profile;
    test::ScriptedPrompter prompter;
    test::ScriptedGraphFactory graphs;
    CTrackFile track;
    std::unique_ptr<CAcquisitionDlg> form;
};

TEST_F(SerialFormTest, ControlParametersAcceptedAreKeptInTheProfile)
{
    startLive();
    form->GetSurveyParams().sampleStep = 321;
    // OK on the control-parameter dialog as soon as it is up.
    QTimer okPresser;
    QObject::connect(&okPresser, &QTimer::timeout, [] {
        if (auto* dialog = qobject_cast<CControlParamDlg*>(QApplication::activeModalWidget()))
            dialog->accept();
    });
    okPresser.start(20);
    form->OnControlParameters();
    okPresser.stop();
    EXPECT_EQ(profile.settings().value(QStringLiteral("控制参数/采样步距")).toInt(), 321);
    EXPECT_EQ(profile.reopen()->value(QStringLiteral("镜头控制/移动步距")).toInt(), 321);
}

TEST_F(SerialFormTest, FramesReachTheFieldsAndTheTrigger)
{
    startLive();
    // the start depth triggers once
    ASSERT_TRUE(takeDepthTrigger());
    EXPECT_EQ(triggerDepth(), 0);

    const QByteArray first = test::counterFrameBytes(0xFE, 357);
    send(first.left(3));
    EXPECT_EQ(field(IDC_HEADING), QString()); // half a frame shows nothing
    send(first.mid(3));
    EXPECT_EQ(field(IDC_DEPTH), QStringLiteral("0.001米"));
    EXPECT_EQ(field(IDC_HEADING), QStringLiteral("357度"));
    EXPECT_FALSE(depthTriggerRaised());

    send(test::counterFrameBytes(0xFE, 12));
    EXPECT_EQ(field(IDC_DEPTH), QStringLiteral("0.002米"));
    ASSERT_TRUE(takeDepthTrigger());
    EXPECT_EQ(triggerDepth(), 2);
    EXPECT_EQ(currentDepthHeading().depth, 2);
    EXPECT_EQ(currentDepthHeading().heading, 12);

    // a typed offset counts at once; the heading stays within the circle
    form->findChild<CControlParamsGroup*>()->compassOffsetField()->edit()->setText(
        QStringLiteral("20"));
    send(test::counterFrameBytes(0x00, 350));
    EXPECT_EQ(field(IDC_HEADING), QStringLiteral("10度"));
    EXPECT_EQ(currentDepthHeading().heading, 10);
    // digits and offset summing to 0 leave the field as it was
    form->findChild<CControlParamsGroup*>()->compassOffsetField()->edit()->setText(
        QStringLiteral("0"));
    send(test::counterFrameBytes(0x01, 0));
    EXPECT_EQ(field(IDC_HEADING), QStringLiteral("10度"));
    EXPECT_EQ(field(IDC_DEPTH), QStringLiteral("0.001米"));

    // after a stop the line is still open but nothing is counted
    form->OnStopRecord();
    send(test::counterFrameBytes(0xFE, 100));
    EXPECT_EQ(field(IDC_DEPTH), QStringLiteral("0.001米"));
    EXPECT_TRUE(prompter.boxes.empty());
}

TEST_F(SerialFormTest, MotorKeysSendOnlyWithCtrlOnceTheProbeFoundTheCounter)
{
    startLive();
    EXPECT_TRUE(form->OnKeyDown(Qt::Key_Left, true)); // not found yet: nothing goes out
    EXPECT_TRUE(form->OnKeyUp(Qt::Key_Left));
    EXPECT_EQ(pty.read(1, 100), QByteArray());

    // the control-parameter dialog's search finds the counter on slot 3
    test::ScriptedProbeDevice counter(QByteArray("\xAA\xAA", 2));
    CPortMap map;
    for (int slot = 2; slot <= CPortMap::kSlotCount; ++slot)
        map.setDevicePath(slot, QString());
    map.setDevicePath(1, pty.path());
    map.setDevicePath(3, counter.path());
    CControlParamDlg dlg(form->GetSurveyParams(), map, &form->serialLine(),
                         ProbeTiming{test::kProbeQueryGapMs, test::kProbeReplyMs});
    dlg.OnInitDialog();
    EXPECT_TRUE(depthCounterFound());
    EXPECT_EQ(dlg.params().port1, 3);
    takeControlParams(form->GetSurveyParams(), dlg, false);
    EXPECT_EQ(form->GetSurveyParams().port1, 3);
    // the form's line was lent to the search and is back, still receiving
    ASSERT_TRUE(form->serialLine().isOpen());
    EXPECT_TRUE(form->serialLine().receptionEnabled());
    // the queries both searches sent down this line while it was lent
    EXPECT_EQ(pty.read(4, 10000), QByteArray("vwvw"));

    EXPECT_TRUE(form->OnKeyDown(Qt::Key_Left, false)); // without Ctrl
    EXPECT_EQ(pty.read(1, 100), QByteArray());
    EXPECT_TRUE(form->OnKeyDown(Qt::Key_Left, true));
    EXPECT_EQ(pty.read(1, 10000), QByteArray("\x21"));
    EXPECT_TRUE(form->OnKeyUp(Qt::Key_Left));
    EXPECT_EQ(pty.read(1, 10000), QByteArray("\x22"));

    // the program loses the focus while Down is held
    EXPECT_TRUE(form->OnKeyDown(Qt::Key_Down, true));
    EXPECT_EQ(pty.read(1, 10000), QByteArray("\x27"));
    emit qApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_EQ(pty.read(1, 10000), QByteArray("\x28"));
    EXPECT_TRUE(form->OnKeyUp(Qt::Key_Down));
    EXPECT_EQ(pty.read(1, 100), QByteArray()); // already stopped

    // leaving live with a key held sends its stop byte
    EXPECT_TRUE(form->OnKeyDown(Qt::Key_Right, true));
    EXPECT_EQ(pty.read(1, 10000), QByteArray("\x23"));
    form->OnStopRecord();
    EXPECT_EQ(pty.read(1, 10000), QByteArray("\x24"));
    // idle: the keys are not the form's
    EXPECT_FALSE(form->OnKeyDown(Qt::Key_Left, true));
    EXPECT_EQ(pty.read(1, 100), QByteArray());
}

TEST_F(SerialFormTest, ADepthBeingTypedIsNotOverwrittenByFrames)
{
    startLive();
    auto* entry = static_cast<CNumEdit*>(form->control(IDC_DEPTH_ENTRY));
    QApplication::setActiveWindow(form.get());
    entry->setFocus();
    if (!entry->hasFocus())
        GTEST_SKIP() << "no keyboard focus on this platform";
    entry->clear();
    QTest::keyClicks(entry, QStringLiteral("12.3")); // typed, not set
    send(test::counterFrameBytes(0xFE, 90));
    EXPECT_EQ(entry->text(), QStringLiteral("12.3"));
    EXPECT_EQ(field(IDC_DEPTH), QStringLiteral("0.001米"));
    // leaving the entry commits the typed depth; the count goes on from it
    form->control(IDC_HEADING)->setFocus();
    send(test::counterFrameBytes(0xFE, 90));
    EXPECT_EQ(entry->text(), QStringLiteral("12.301"));
    EXPECT_EQ(field(IDC_DEPTH), QStringLiteral("12.301米"));
}

} // namespace
} // namespace bc
