// The control-parameter dialog opened from the form's context menu finds the
// counter on another port than the profile's: the form's communication group
// shows that port afterwards, so that its "保存" keeps it.

#include "acquisition/control_param_dlg.h"
#include "acquisition/port_probe.h"
#include "scripted_station.h"
#include "support/serial_pty.h"

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
        test::ScriptedProbeDevice counter(QByteArray("\xAA\xAA", 2));
        test::ScriptedStation station;
        station.map.setDevicePath(2, counter.path());
        station.map.save(station.profile.settings());
        station.profile.settings().setValue(QStringLiteral("镜头控制/COM1"), 3);
        CAcquisitionDlg& form = station.start();
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
        EXPECT_EQ(station.profile.reopen()->value(QStringLiteral("镜头控制/COM1")).toInt(), 2) << ok;
    }
    depthCounterFound() = false;
    compassFound() = false;
}

} // namespace
} // namespace bc
