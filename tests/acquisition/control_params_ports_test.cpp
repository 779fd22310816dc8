// The control-parameter dialog opened from the form's context menu finds the
// counter on another port than the profile's: the form's communication group
// shows that port afterwards, so that its "保存" keeps it.

#include "acquisition/acquisition_dlg.h"
#include "acquisition/control_param_dlg.h"
#include "acquisition/port_probe.h"
#include "support/scripted_capture_graph.h"
#include "support/scripted_prompter.h"
#include "support/serial_pty.h"
#include "support/serial_slots.h"
#include "support/temp_settings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace bc {
namespace {

TEST(ControlParamsPorts, TheCommGroupShowsThePortTheProbeFoundAfterOkOrCancel)
{
    for (const bool ok : {false, true}) {
        depthCounterFound() = false;
        compassFound() = false;
        test::TempSettings profile;
        test::ScriptedPrompter prompter;
        test::ScriptedGraphFactory graphs;
        test::ScriptedProbeDevice counter(QByteArray("\xAA\xAA", 2));
        CPortMap map = test::mapSerialSlotsNowhere(profile);
        map.setDevicePath(2, counter.path());
        map.save(profile.settings());
        profile.settings().setValue(QStringLiteral("镜头控制/COM1"), 3);

        AcquisitionHooks hooks;
        hooks.createStitchWindow = [](QWidget*) -> QWidget* { return nullptr; };
        CAcquisitionDlg form(graphs, profile.settings(), hooks);
        form.setWaitFunction([](int) {});
        form.show();
        form.OnInitDialog();
        auto* port = static_cast<QComboBox*>(form.control(IDC_PORT));
        ASSERT_EQ(port->currentIndex(), 2); // COM3, as the profile says

        QTimer::singleShot(0, [] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                menu->setActiveAction(menu->actions().value(0)); // 控制参数
                QTest::keyClick(menu, Qt::Key_Return);
            }
        });
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [ok] {
            if (auto* dialog = qobject_cast<CControlParamDlg*>(QApplication::activeModalWidget()))
                ok ? dialog->accept() : dialog->reject();
        });
        closer.start(20);
        QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(5, 5), form.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(&form, &e);
        closer.stop();

        ASSERT_TRUE(depthCounterFound().load()) << ok;
        EXPECT_EQ(port->currentIndex(), 1) << ok; // COM2, where the counter answered
        static_cast<QAbstractButton*>(form.control(IDC_SAVE_COMM))->click();
        EXPECT_EQ(profile.reopen()->value(QStringLiteral("镜头控制/COM1")).toInt(), 2) << ok;
    }
    depthCounterFound() = false;
    compassFound() = false;
}

} // namespace
} // namespace bc
