// A profile the program can read only in part (a line it cannot use, a file
// cut short) is loaded with every readable key, and the save at exit keeps
// the keys the survey settings do not own: the serial device table and the
// video device.

#include "profile_compare.h"
#include "support/file_bytes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace bc {
namespace {

// The profile as the program opens it: the default settings object of an
// application of the organisation, in the profile's format, its files in a
// folder of the test's own.
class ProgramProfile {
  public:
    ProgramProfile()
        : format_(QSettings::defaultFormat()), organization_(QCoreApplication::organizationName()),
          application_(QCoreApplication::applicationName())
    {
        QCoreApplication::setOrganizationName(QStringLiteral("2011 PELK  Corporation"));
        QCoreApplication::setApplicationName(QStringLiteral("borecam"));
        QSettings::setDefaultFormat(ProfileFormat());
        QSettings::setPath(ProfileFormat(), QSettings::UserScope, dir_.path());
    }
    ~ProgramProfile()
    {
        QSettings::setDefaultFormat(format_);
        QCoreApplication::setOrganizationName(organization_);
        QCoreApplication::setApplicationName(application_);
    }
    QString path() const
    {
        return dir_.filePath(QStringLiteral("2011 PELK  Corporation/borecam.conf"));
    }

  private:
    QTemporaryDir dir_;
    QSettings::Format format_;
    QString organization_, application_;
};

TEST(ProfileStartUp, APartlyReadableProfileKeepsItsKeysThroughLoadAndSave)
{
    // A profile with settings of the user's own: a counter on COM5 mapped to
    // a USB adapter of its own, the test picture, a hole number ending in a
    // blank.
    QByteArray profile = test::qtDefaultProfile();
    profile.replace("COM1=/dev/ttyUSB0", "COM1=/dev/ttyUSB7");
    profile.replace("\nCOM1=3\n", "\nCOM1=5\n");
    profile.replace("%U5B54%U53F7=\n", "%U5B54%U53F7=\"ZK-01 \"\n"); // 孔号
    ASSERT_TRUE(profile.contains("ttyUSB7") && profile.contains("COM1=5") &&
                profile.contains("ZK-01"));
    const qsizetype lastLine = profile.lastIndexOf('\n', profile.size() - 2) + 1;
    const struct {
        const char* what;
        QByteArray bytes;
    } files[] = {
        {"a first line the reader cannot use", "# 安装程序写入的配置\n" + profile},
        {"a line without '='", QByteArray(profile).insert(profile.indexOf("\n[") + 1, "安装\n")},
        {"a '[' without ']'", "[安装程序\n" + profile},
        {"a file cut short", profile.left(lastLine + 5)},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.what);
        ProgramProfile place;
        ASSERT_TRUE(QDir().mkpath(QFileInfo(place.path()).path()));
        ASSERT_TRUE(test::writeFileBytes(place.path(), file.bytes));
        test::ReaderPair readers;
        const test::ProfileReading before = readers.read(file.bytes).first; // as Qt reads it
        {
            QSettings settings;
            ASSERT_EQ(settings.fileName(), place.path());
            CSurveyParams params;
            params.LoadProfile(settings);
            EXPECT_EQ(params.port1, 5);
            EXPECT_EQ(params.holeNumber, QStringLiteral("ZK-01 "));
            EXPECT_EQ(settings.value(QStringLiteral("串口设备/COM1")).toString(),
                      QStringLiteral("/dev/ttyUSB7"));
            EXPECT_EQ(settings.value(QStringLiteral("视频设备/设备")).toString(),
                      QStringLiteral("test"));
            QString why;
            EXPECT_TRUE(params.SaveProfile(settings, &why)) << why.toStdString();
        }
        // The next start: every key read before is still there with its
        // value (the survey settings wrote back what they had loaded).
        const test::ProfileReading after = readers.read(test::fileBytes(place.path())).first;
        for (qsizetype i = 0; i < before.keys.size(); ++i) {
            const qsizetype at = after.keys.indexOf(before.keys[i]);
            ASSERT_GE(at, 0) << before.keys[i].toStdString() << " lost" << test::describe(after);
            EXPECT_EQ(after.values[at], before.values[i]) << before.keys[i].toStdString();
        }
    }
}

} // namespace
} // namespace bc
