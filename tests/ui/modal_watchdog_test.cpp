// A dialog that nothing closes fails the test that opened it, with its name,
// instead of hanging the test program; so does a driver that gives up and
// leaves its dialog open.

#include "support/modal_watchdog.h"

#include <QDialog>
#include <QMenu>
#include <QTimer>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace {

using namespace bc::test;

// The statements of the failure checks cannot see locals.
bool ended = false;

void openStuckDialog()
{
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("卡住的对话框"));
    dialog.exec();
    ended = true;
}

void openStuckMenu()
{
    QMenu menu;
    menu.addAction(QStringLiteral("控制参数"));
    menu.exec(QPoint(10, 10));
    ended = true;
}

void driverGivesUp()
{
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("半途"));
    QTimer::singleShot(0, [&] {
        const ModalGuard guard(&dialog);
        // An assertion failing here would return just like this.
    });
    dialog.exec();
    ended = true;
}

TEST(ModalWatchdog, AWindowLeftOpenFailsItsTestAndIsClosed)
{
    const int before = setModalWatchdogDeadline(300);
    ended = false;
    EXPECT_NONFATAL_FAILURE(openStuckDialog(), "QDialog \"卡住的对话框\"");
    EXPECT_TRUE(ended);
    ended = false;
    EXPECT_NONFATAL_FAILURE(openStuckMenu(), "a modal window was left open");
    EXPECT_TRUE(ended);
    setModalWatchdogDeadline(before);
    // The guard closes at once, without waiting for the deadline.
    ended = false;
    EXPECT_NONFATAL_FAILURE(driverGivesUp(), "the dialog's driver ended and left it open");
    EXPECT_TRUE(ended);
}

} // namespace
