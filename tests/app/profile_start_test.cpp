// The program as main() runs it, on the user's own profile with a first line
// its reader cannot use: the form starts on the user's settings and the
// profile it leaves behind still holds them.

#include "app/survey_app.h"

#include "acquisition/acquisition_dlg.h"
#include "acquisition/device_control.h"
#include "acquisition/settings_groups.h"
#include "core/profile_format.h"
#include "support/file_bytes.h"
#include "support/scripted_capture_graph.h"
#include "support/scripted_prompter.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace bc {
namespace {

TEST(ProfileStart, AProfileWithAnInstallersCommentIsUsedAndKept)
{
    QTemporaryDir dir;
    const QString application = QCoreApplication::applicationName();
    const QString previousSource = captureSource();
    QCoreApplication::setApplicationName(QStringLiteral("borecam"));
    QSettings::setPath(ProfileFormat(), QSettings::UserScope, dir.path());
    const QString path = dir.filePath(QStringLiteral("2011 PELK  Corporation/borecam.conf"));
    // The user's settings, written by Qt, behind an installer's comment:
    // serial slots leading nowhere, the test picture, a hole number.
    const QString written = dir.filePath(QStringLiteral("written.conf"));
    {
        QSettings qt(written, QSettings::IniFormat);
        for (int slot = 1; slot <= 6; ++slot)
            qt.setValue(QStringLiteral("串口设备/COM%1").arg(slot),
                        dir.filePath(QStringLiteral("no-tty%1").arg(slot)));
        qt.setValue(QStringLiteral("视频设备/设备"), QStringLiteral("test"));
        qt.setValue(QStringLiteral("测试参数/孔号"), QStringLiteral("ZK-01 "));
    }
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    ASSERT_TRUE(test::writeFileBytes(path, "# 安装程序写入的配置\n" + test::fileBytes(written)));

    test::ScriptedPrompter prompter;
    test::ScriptedGraphFactory graphs;
    CSurveyApp app;
    QString slot1, source;
    QTimer::singleShot(0, [&] {
        CAcquisitionDlg* form = CAcquisitionDlg::mainForm();
        ASSERT_TRUE(form);
        if (auto* comm = form->findChild<CCommGroup*>())
            slot1 = comm->portMap().devicePath(1);
        source = captureSource();
        form->reject();
    });
    EXPECT_FALSE(app.InitInstance(&graphs, nullptr));
    EXPECT_EQ(app.ExitInstance(), 0);
    QCoreApplication::setApplicationName(application);
    setCaptureSource(previousSource);
    EXPECT_EQ(slot1, dir.filePath(QStringLiteral("no-tty1")));
    EXPECT_EQ(source, QStringLiteral("test"));
    // The next start finds them all.
    QSettings next(path, QSettings::IniFormat);
    EXPECT_EQ(next.value(QStringLiteral("串口设备/COM6")).toString(),
              dir.filePath(QStringLiteral("no-tty6")));
    EXPECT_EQ(next.value(QStringLiteral("视频设备/设备")).toString(), QStringLiteral("test"));
    EXPECT_EQ(next.value(QStringLiteral("测试参数/孔号")).toString(), QStringLiteral("ZK-01 "));
    EXPECT_TRUE(next.contains(QStringLiteral("坐标参数/X"))); // written on the way out
}

} // namespace
} // namespace bc
