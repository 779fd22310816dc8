#include "core/folder_lock.h"

#include "core/file_lock.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace bc {

namespace {

int openFolder(const QString& folder)
{
    if (folder.isEmpty())
        return -1;
    return ::open(QFile::encodeName(folder).constData(),
                  O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
}

} // namespace

FolderLock::~FolderLock()
{
    release();
}

bool FolderLock::hold(const QString& folder, bool* busy)
{
    release();
    if (busy)
        *busy = false;
    const int fd = openFolder(folder);
    if (fd < 0)
        return false;
    // Exclusive: the look of isHeld() takes a shared lock, so two looks never
    // stand in each other's way, and any look meets this one.
    if (!LockExclusively(fd, false)) {
        if (busy)
            *busy = errno == EWOULDBLOCK;
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void FolderLock::release()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool FolderLock::isHeld(const QString& folder)
{
    const int fd = openFolder(folder);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd); // lets go of the shared lock, if it was taken
    return held;
}

} // namespace bc
