#include "acquisition/device_watcher.h"

#include <QDir>
#include <QFileSystemWatcher>

namespace bc {

CDeviceWatcher::CDeviceWatcher(QObject* parent, int settleMs, const QString& folder)
    : QObject(parent), settleMs_(settleMs), folder_(folder)
{
    settle_.setSingleShot(true);
    settle_.setInterval(settleMs_);
    connect(&settle_, &QTimer::timeout, this, &CDeviceWatcher::devicesChanged);
    nodes_ = videoNodes();
    watcher_ = new QFileSystemWatcher(this);
    if (QDir(folder_).exists())
        watcher_->addPath(folder_);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this,
            &CDeviceWatcher::folderChanged);
}

CDeviceWatcher::~CDeviceWatcher() = default;

void CDeviceWatcher::notifyChange()
{
    // Every change restarts the wait: one report per burst.
    settle_.start();
}

void CDeviceWatcher::folderChanged()
{
    // Other nodes come and go all the time (terminals, disks); only video
    // nodes count.
    const QStringList now = videoNodes();
    if (now == nodes_)
        return;
    nodes_ = now;
    notifyChange();
}

QStringList CDeviceWatcher::videoNodes() const
{
    QStringList l = QDir(folder_).entryList({QStringLiteral("video*")},
                                            QDir::System | QDir::Files | QDir::AllEntries);
    l.sort();
    return l;
}

} // namespace bc
