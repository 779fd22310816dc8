// The main of every test program: a QApplication (on the offscreen platform
// unless the environment names another) so widget and event tests can run.

#include "support/modal_watchdog.h"

#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("2011 PELK  Corporation"));
    QApplication::setApplicationName(QStringLiteral("borecam-tests"));
    ::testing::InitGoogleTest(&argc, argv);
    // A dialog nothing closes fails its test instead of hanging the program.
    bc::test::startModalWatchdog();
    return RUN_ALL_TESTS();
}
