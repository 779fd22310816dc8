#include "core/profile_format.h"

#include "core/atomic_file.h"

#include <QFileDevice>
#include <QIODevice>

#include <cerrno>
#include <map>
#include <mutex>

namespace bc {

namespace {

// What the last profile write of this thread did: whether it ran and the
// system error of its flush.
struct LastWrite {
    bool ran = false;
    int error = 0;
};
thread_local LastWrite t_lastWrite;

// Always true: a line the reader cannot use is skipped, and a false here
// would make QSettings drop every key read.
bool readProfile(QIODevice& device, QSettings::SettingsMap& map)
{
    return ReadProfileText(device, map);
}

bool writeProfile(QIODevice& device, const QSettings::SettingsMap& map)
{
    t_lastWrite.ran = true;
    const QByteArray text = ProfileText(map);
    errno = 0;
    // The flush is ours: a failure here fails the save, and the save file is
    // discarded instead of renamed.
    bool ok = device.write(text) == text.size();
    if (ok)
        if (auto* file = qobject_cast<QFileDevice*>(&device))
            ok = file->flush();
    if (!ok)
        t_lastWrite.error = errno ? errno : EIO;
    return ok;
}

} // namespace

QSettings::Format ProfileFormat(const QString& extension)
{
    static std::mutex lock;
    static std::map<QString, QSettings::Format> formats;
    std::lock_guard<std::mutex> guard(lock);
    auto found = formats.find(extension);
    if (found == formats.end())
        found =
            formats
                .emplace(extension, QSettings::registerFormat(extension, readProfile, writeProfile))
                .first;
    return found->second;
}

bool SyncProfile(QSettings& profile, QString* reason)
{
    t_lastWrite = {};
    profile.sync();
    int error = t_lastWrite.error;
    if (!t_lastWrite.ran && profile.status() != QSettings::NoError) {
        // Qt gave up before it wrote anything (its lock file or save file
        // could not be made on a full disk or in a read-only folder; the
        // status may also stay from an earlier failure): the text itself,
        // written beside the profile and thrown away, tells why.
        QSettings::SettingsMap map;
        for (const QString& key : profile.allKeys())
            map.insert(key, profile.value(key));
        AtomicFile probe(profile.fileName());
        if (!probe.open() || !probe.write(ProfileText(map)))
            error = probe.error();
    }
    if (error == 0)
        return true;
    if (reason)
        *reason = SystemErrorText(error);
    return false;
}

} // namespace bc
