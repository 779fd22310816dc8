// The profile's own INI codec reads what Qt's INI writer writes and writes
// what Qt's INI reader reads back the same; a profile save on a full disk
// keeps the old profile and says why.

#include "core/profile_format.h"

#include "profile_compare.h"

#include "core/atomic_file.h"
#include "core/survey_params.h"
#include "support/file_bytes.h"
#include "support/file_size_limit.h"

#include <QFile>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

namespace bc {
namespace {

using test::fileBytes;

// Keys and values that exercise every escape and quoting rule.
QSettings::SettingsMap trickyValues()
{
    QSettings::SettingsMap m;
    m.insert(QStringLiteral("top"), 1.5);
    m.insert(QStringLiteral("k.e-y_~!*()' x"), 1);
    m.insert(QStringLiteral("General/x"), QStringLiteral("in a group named General"));
    m.insert(QStringLiteral("g/sub/key"), QStringLiteral("@at"));
    m.insert(QStringLiteral("g/controls"), QStringLiteral("a\tb\nc\x01"
                                                          "d\\e\a\v\f\r\"q\""));
    m.insert(QStringLiteral("g/blanks"), QStringLiteral(" lead and trail "));
    m.insert(QStringLiteral("g/big"), qlonglong(4294967295LL));
    m.insert(QStringLiteral("g/neg"), -5);
    m.insert(QStringLiteral("g/empty"), QString());
    m.insert(QStringLiteral("g/bool"), true);
    m.insert(QStringLiteral("g/é"), QStringLiteral("é ü"));
    m.insert(QStringLiteral("g/list"), QStringList{"x", " y ", "z,w"});
    m.insert(QStringLiteral("g/bytes"), QByteArray("\x01z\xFF", 3));
    m.insert(QStringLiteral("g/nul"), QString(QChar(0)) + QStringLiteral("1a"));
    m.insert(QStringLiteral("测试参数/孔号"), QStringLiteral("孔 1, \"x\";=%"));
    m.insert(QStringLiteral("测试参数/孔口坐标"), QStringLiteral("   ° ′ \""));
    m.insert(QStringLiteral("镜头控制/COM1"), 3);
    m.insert(QStringLiteral("a b/c;d"), QStringLiteral("semi;colon"));
    return m;
}

QSettings::SettingsMap readByQt(const QString& path)
{
    QSettings qt(path, QSettings::IniFormat);
    QSettings::SettingsMap m;
    for (const QString& key : qt.allKeys())
        m.insert(key, qt.value(key));
    return m;
}

QSettings::SettingsMap readByUs(const QString& path)
{
    QFile file(path);
    QSettings::SettingsMap m;
    EXPECT_TRUE(file.open(QIODevice::ReadOnly) && ReadProfileText(file, m));
    return m;
}

// Qt's file read by us; ours read by Qt and by us; ours the same bytes as
// Qt's.
TEST(ProfileFormat, ReadsAndWritesWhatQtsIniFormatDoes)
{
    QTemporaryDir dir;
    const QString byQt = dir.filePath(QStringLiteral("qt.ini")), byUs = dir.filePath("us.ini");
    const QSettings::SettingsMap values = trickyValues();
    {
        QSettings qt(byQt, QSettings::IniFormat);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            qt.setValue(it.key(), it.value());
    }
    const QSettings::SettingsMap expected = readByQt(byQt);
    ASSERT_EQ(expected.size(), values.size());
    EXPECT_EQ(readByUs(byQt), expected);
    ASSERT_TRUE(test::writeFileBytes(byUs, ProfileText(values)));
    EXPECT_EQ(readByQt(byUs), expected);
    EXPECT_EQ(readByUs(byUs), expected);
    EXPECT_EQ(fileBytes(byUs), fileBytes(byQt));
    // The profile a first start writes.
    const QByteArray profile = test::qtDefaultProfile();
    ASSERT_TRUE(test::writeFileBytes(byQt, profile));
    EXPECT_EQ(ProfileText(readByUs(byQt)), profile);
}

// The survey settings saved on a disk that refuses the profile, with no room
// for Qt's lock file or room for it only: the old profile stays whole and the
// save says why; a later save with room writes.
TEST(ProfileFormat, ASaveOnAFullDiskKeepsTheOldProfile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("profile.conf"));
    QSettings profile(path, ProfileFormat());
    CSurveyParams params;
    ASSERT_TRUE(params.SaveProfile(profile));
    const QByteArray old = fileBytes(path);
    ASSERT_TRUE(old.contains("%U6D4B%U8BD5%U53C2%U6570")); // [测试参数]
    params.tester = QStringLiteral("张三");
    QString why;
    for (const rlim_t room : {rlim_t(64), rlim_t(old.size() / 2)}) {
        {
            test::FileSizeLimit full(room);
            EXPECT_FALSE(params.SaveProfile(profile, &why)) << room;
        }
        EXPECT_EQ(why, SystemErrorText(EFBIG));
        EXPECT_EQ(fileBytes(path), old);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{"profile.conf"});
    }
    EXPECT_TRUE(params.SaveProfile(profile, &why));
    CSurveyParams back;
    QSettings reread(path, ProfileFormat());
    back.LoadProfile(reread);
    EXPECT_EQ(back.tester, QStringLiteral("张三"));
}

} // namespace
} // namespace bc
