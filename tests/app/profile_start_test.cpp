// The program as main() runs it, on the user's own profile with a line its
// reader cannot use or cut short: the form starts on the user's settings and
// the profile it leaves behind still holds every key that could be read.

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
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace bc {
namespace {

// Every key Qt's own INI reader finds in the file, with its value: read from
// a copy, since QSettings keeps a file's keys by its name for the process.
QVariantMap readByQt(const QString& path)
{
    static int copies = 0;
    const QString copy = path + QStringLiteral(".copy%1").arg(++copies);
    if (!QFile::copy(path, copy))
        return {};
    QSettings qt(copy, QSettings::IniFormat);
    QVariantMap keys;
    for (const QString& key : qt.allKeys())
        keys.insert(key, qt.value(key));
    return keys;
}

TEST(ProfileStart, APartlyReadableProfileIsUsedAndKept)
{
    QTemporaryDir dir;
    const QString application = QCoreApplication::applicationName();
    const QString previousSource = captureSource();
    QCoreApplication::setApplicationName(QStringLiteral("borecam"));
    // The user's settings, written by Qt: serial slots leading nowhere, the
    // test picture, a hole number ending in a blank, and last a section of
    // someone else's.
    const QString written = dir.filePath(QStringLiteral("written.conf"));
    {
        QSettings qt(written, QSettings::IniFormat);
        for (int slot = 1; slot <= 6; ++slot)
            qt.setValue(QStringLiteral("串口设备/COM%1").arg(slot),
                        dir.filePath(QStringLiteral("no-tty%1").arg(slot)));
        qt.setValue(QStringLiteral("视频设备/设备"), QStringLiteral("test"));
        qt.setValue(QStringLiteral("测试参数/孔号"), QStringLiteral("ZK-01 "));
        qt.setValue(QStringLiteral("附加/备注"), QStringLiteral("安装于2026年"));
    }
    const QByteArray profile = test::fileBytes(written);
    ASSERT_TRUE(profile.endsWith("%U5907%U6CE8=\xE5\xAE\x89\xE8\xA3\x85\xE4\xBA\x8E" // 备注=安装于
                                 "2026\xE5\xB9\xB4\n"));
    const struct {
        const char* what;
        QByteArray bytes;
    } files[] = {
        {"an installer's comment first", "# 安装程序写入的配置\n" + profile},
        {"a line without '='", QByteArray(profile).insert(profile.indexOf("\n[") + 1, "安装\n")},
        {"a '[' without ']'", "[安装程序\n" + profile},
        {"a file cut short in a key",
         profile.left(profile.lastIndexOf('\n', profile.size() - 2) + 5)},
    };
    test::ScriptedPrompter prompter;
    for (const auto& file : files) {
        SCOPED_TRACE(file.what);
        // A home of its own for each start.
        QTemporaryDir home;
        QSettings::setPath(ProfileFormat(), QSettings::UserScope, home.path());
        const QString path = home.filePath(QStringLiteral("2011 PELK  Corporation/borecam.conf"));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        ASSERT_TRUE(test::writeFileBytes(path, file.bytes));
        const QVariantMap before = readByQt(path);
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
        EXPECT_EQ(slot1, dir.filePath(QStringLiteral("no-tty1")));
        EXPECT_EQ(source, QStringLiteral("test"));
        // The next start finds every key there was, and the survey settings
        // written on the way out.
        const QVariantMap after = readByQt(path);
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            EXPECT_EQ(after.value(it.key()), it.value()) << it.key().toStdString();
        EXPECT_EQ(after.value(QStringLiteral("测试参数/孔号")), QStringLiteral("ZK-01 "));
        EXPECT_TRUE(after.contains(QStringLiteral("坐标参数/X")));
    }
    QCoreApplication::setApplicationName(application);
    setCaptureSource(previousSource);
}

} // namespace
} // namespace bc
