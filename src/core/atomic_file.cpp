#include "core/atomic_file.h"

#include "core/file_lock.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bc {

namespace {

std::atomic<SyncToDiskCall> syncCall{&::fsync};

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

// "<name>.<pid>-<n>.tmp" beside the file.
QString freshTempName(const QString& target)
{
    static std::atomic<unsigned> counter{0};
    return QStringLiteral("%1.%2-%3.tmp")
        .arg(target, QString::number(::getpid()), QString::number(counter.fetch_add(1)));
}

// "<name>.<digits>-<digits>.tmp"
bool isTemporaryOf(const char* entry, const QByteArray& name)
{
    const size_t length = std::strlen(entry);
    const size_t prefix = size_t(name.size()) + 1;
    if (length < prefix + 7 || std::memcmp(entry, name.constData(), size_t(name.size())) != 0 ||
        entry[name.size()] != '.' || std::strcmp(entry + length - 4, ".tmp") != 0)
        return false;
    const char* p = entry + prefix;
    const char* end = entry + length - 4;
    auto digits = [&] {
        const char* start = p;
        while (p < end && *p >= '0' && *p <= '9')
            ++p;
        return p > start;
    };
    return digits() && p < end && *p++ == '-' && digits() && p == end;
}

// Temporaries of earlier saves of `target` that no save holds any more: a
// writer keeps its temporary file locked until the rename. The folder is
// read with plain readdir: a survey folder holds thousands of strips.
void removeStaleTemporaries(const QString& target)
{
    const QFileInfo info(target);
    const QByteArray folder = native(info.absolutePath());
    const QByteArray name = native(info.fileName());
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    std::vector<QByteArray> stale;
    while (const dirent* entry = ::readdir(dir))
        if (isTemporaryOf(entry->d_name, name))
            stale.push_back(folder + '/' + entry->d_name);
    ::closedir(dir);
    for (const QByteArray& path : stale) {
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && LockExclusively(fd, false))
            ::unlink(path.constData());
        ::close(fd);
    }
}

} // namespace

SyncToDiskCall setSyncToDiskCall(SyncToDiskCall call)
{
    return syncCall.exchange(call ? call : &::fsync);
}

AtomicFile::AtomicFile(const QString& path) : path_(path), target_(path) {}

AtomicFile::~AtomicFile()
{
    discard();
}

bool AtomicFile::fail(int errnum)
{
    if (errno_ == 0)
        errno_ = errnum ? errnum : EIO;
    return false;
}

QString AtomicFile::errorString() const
{
    return SystemErrorText(errno_);
}

bool AtomicFile::open()
{
    discard();
    errno_ = 0;
    // A symbolic link stays one: its target is replaced.
    const QFileInfo link(path_);
    target_ = link.isSymLink() ? link.symLinkTarget() : path_;
    const QByteArray target = native(target_);
    struct stat st {};
    if (::stat(target.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return fail(EISDIR);
        // A file the user may not write is not replaced either.
        if (::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0)
            return fail(errno);
    }
    removeStaleTemporaries(target_);
    temp_ = freshTempName(target_);
    fd_ = ::open(native(temp_).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        temp_.clear();
        return fail(errno);
    }
    lockFd_ = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0); // no program started meanwhile inherits it
    if (lockFd_ < 0 || !LockExclusively(lockFd_, true)) {
        const int e = errno;
        discard();
        return fail(e);
    }
    return true;
}

bool AtomicFile::write(const void* data, qint64 size)
{
    if (errno_ != 0)
        return false;
    if (fd_ < 0)
        return fail(EBADF);
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        if (n == 0)
            return fail(EIO);
        p += n;
        size -= n;
    }
    return true;
}

bool AtomicFile::commit(bool syncToDisk)
{
    if (fd_ < 0) {
        discard();
        return fail(EBADF);
    }
    if (errno_ == 0 && syncToDisk && syncCall.load()(fd_) != 0)
        fail(errno);
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0 && errno != EINTR)
        fail(errno);
    if (errno_ == 0 && ::rename(native(temp_).constData(), native(target_).constData()) != 0)
        fail(errno);
    if (errno_ != 0) {
        discard();
        return false;
    }
    temp_.clear();
    if (lockFd_ >= 0)
        ::close(lockFd_);
    lockFd_ = -1;
    return true;
}

void AtomicFile::discard()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temp_.isEmpty())
        ::unlink(native(temp_).constData());
    temp_.clear();
    if (lockFd_ >= 0)
        ::close(lockFd_);
    lockFd_ = -1;
}

bool WriteFileAtomically(const QString& path, const void* data, qint64 size, QString* reason,
                         bool syncToDisk)
{
    AtomicFile file(path);
    if (file.open() && file.write(data, size) && file.commit(syncToDisk))
        return true;
    if (reason)
        *reason = file.errorString();
    return false;
}

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* reason,
                         bool syncToDisk)
{
    return WriteFileAtomically(path, bytes.constData(), bytes.size(), reason, syncToDisk);
}

} // namespace bc
