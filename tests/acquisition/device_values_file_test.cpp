// The capture device's values are written like the profile: a write the disk
// refuses keeps the old file whole and is reported as a failure.

#include "acquisition/dvr_settings.h"

#include "core/profile_format.h"
#include "support/file_bytes.h"
#include "support/file_size_limit.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace bc {
namespace {

TEST(DeviceValues, AWriteTheDiskRefusesKeepsTheOldFile)
{
    QTemporaryDir dir;
    QSettings::setPath(ProfileFormat(QStringLiteral("ini")), QSettings::UserScope, dir.path());
    setDvrSettingsStore(nullptr); // the user's own file
    const CRegistryValue values("Software\\Test\\Values");
    const QByteArray names[] = {"Brightness", "Contrast", "Hue",  "Saturation", "Sharpness",
                                "Gamma",      "Gain",     "Mode", "Standard",   "Bitrate"};
    for (const QByteArray& name : names)
        ASSERT_EQ(values.WriteDword(name.constData(), 0x12345678), 1);
    const QString file = dir.filePath(QStringLiteral("2011 PELK  Corporation/USB-DVR2.ini"));
    const QByteArray old = test::fileBytes(file);
    ASSERT_GT(old.size(), 200);
    {
        // Room for the lock file, not for the values.
        test::FileSizeLimit full(rlim_t(old.size() / 2));
        EXPECT_EQ(values.WriteDword("Brightness", 7), 0);
    }
    EXPECT_EQ(test::fileBytes(file), old);
    EXPECT_EQ(QFileInfo(file).dir().entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("USB-DVR2.ini")});
    EXPECT_EQ(values.ReadDword("Contrast", 0), 0x12345678);
}

// A values file with a line the reader cannot use (an installer's comment)
// still gives the device its values, and a write keeps the others.
TEST(DeviceValues, AFileWithALineTheReaderCannotUseKeepsItsValues)
{
    QTemporaryDir dir;
    QSettings::setPath(ProfileFormat(QStringLiteral("ini")), QSettings::UserScope, dir.path());
    setDvrSettingsStore(nullptr); // the user's own file
    const QString file = dir.filePath(QStringLiteral("2011 PELK  Corporation/USB-DVR2.ini"));
    {
        QSettings qt(dir.filePath(QStringLiteral("by-qt.ini")), QSettings::IniFormat);
        CDvrAppSettings values(&qt);
        values.SetSvcdPreset();
        values.Channel = 9;
    }
    ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()));
    ASSERT_TRUE(test::writeFileBytes(file, "# 安装程序写入的配置\n" +
                                               test::fileBytes(dir.filePath("by-qt.ini"))));
    CDvrAppSettings read;
    read.setSaveOnDestroy(false);
    EXPECT_EQ(read.Channel, 9);
    EXPECT_EQ(read.MuxFormat, 0);
    EXPECT_EQ(CRegistryValue(kDvrSettingsKey).WriteDword("CableAntenna", 0), 1);
    QSettings qt(file, QSettings::IniFormat);
    qt.beginGroup(QString::fromLatin1(kDvrSettingsKey).replace(u'\\', u'/'));
    EXPECT_EQ(qt.value(QStringLiteral("Channel")).toInt(), 9);
    EXPECT_EQ(qt.value(QStringLiteral("MuxFormat")).toInt(), 0);
    EXPECT_EQ(qt.value(QStringLiteral("CableAntenna")).toInt(), 0);
}

} // namespace
} // namespace bc
