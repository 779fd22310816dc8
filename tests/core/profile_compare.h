#pragma once
// The same profile bytes read by Qt's own INI reader and by ours, the way the
// program sees them through QSettings: the keys it lists and each key's value.

#include "core/profile_format.h"
#include "core/survey_params.h"

#include <QDebug>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <utility>

namespace bc::test {

struct ProfileReading {
    QStringList keys;
    QVariantList values;

    bool operator==(const ProfileReading& o) const
    {
        if (keys != o.keys)
            return false;
        for (qsizetype i = 0; i < values.size(); ++i)
            if (values[i].metaType() != o.values[i].metaType() || values[i] != o.values[i])
                return false;
        return true;
    }
};

// Every key with its value, one a line, for failure messages.
inline std::string describe(const ProfileReading& r)
{
    QString text;
    QDebug out(&text);
    out.nospace();
    for (qsizetype i = 0; i < r.keys.size(); ++i)
        out << "\n  " << r.keys[i] << " = " << r.values[i];
    return text.isEmpty() ? std::string("(no key)") : text.toStdString();
}

inline std::string describe(const QByteArray& bytes)
{
    QString text;
    QDebug(&text) << bytes;
    return text.toStdString();
}

// A key QSettings::value() can be asked for as it stands (the reader may list
// keys with empty parts, which value() would fold into another key).
inline bool askable(const QString& key)
{
    return !key.isEmpty() && !key.startsWith(u'/') && !key.endsWith(u'/') &&
           !key.contains(QLatin1String("//"));
}

inline ProfileReading readProfileFile(const QString& path, QSettings::Format format)
{
    QSettings settings(path, format);
    ProfileReading r;
    r.keys = settings.allKeys(); // every section parsed, in one order
    for (const QString& key : r.keys)
        r.values << (askable(key) ? settings.value(key) : QVariant());
    return r;
}

// Reads bytes with both readers, each from a file of its own (QSettings
// caches a file's contents by its name).
class ReaderPair {
  public:
    std::pair<ProfileReading, ProfileReading> read(const QByteArray& bytes)
    {
        const QString n = QString::number(count_++);
        const QString qtPath = dir_.filePath(QStringLiteral("qt-") + n + QStringLiteral(".conf"));
        const QString ourPath = dir_.filePath(QStringLiteral("us-") + n + QStringLiteral(".conf"));
        for (const QString& path : {qtPath, ourPath}) {
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
                return {};
        }
        std::pair<ProfileReading, ProfileReading> r{readProfileFile(qtPath, QSettings::IniFormat),
                                                    readProfileFile(ourPath, ProfileFormat())};
        QFile::remove(qtPath);
        QFile::remove(ourPath);
        return r;
    }

  private:
    QTemporaryDir dir_;
    int count_ = 0;
};

// The profile a first start leaves behind, written by Qt's own INI writer:
// the survey settings with their defaults, the serial device table and the
// video device.
inline QByteArray qtDefaultProfile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("default.conf"));
    {
        QSettings qt(path, QSettings::IniFormat);
        CSurveyParams params;
        params.LoadProfile(qt);
        params.SaveProfile(qt);
        const char* devices[] = {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyACM0",
                                 "/dev/ttyACM1", "/dev/ttyS0",   "/dev/ttyS1"};
        for (int slot = 1; slot <= 6; ++slot)
            qt.setValue(QStringLiteral("串口设备/COM%1").arg(slot),
                        QString::fromUtf8(devices[slot - 1]));
        qt.setValue(QStringLiteral("视频设备/设备"), QStringLiteral("test"));
    }
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace bc::test
