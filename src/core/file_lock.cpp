#include "core/file_lock.h"

#include <QFile>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace bc {

namespace {

constexpr int kTryEveryMs = 50;

void sleepFor(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::atomic<LockPauseCall> pauseCall{&sleepFor};

} // namespace

bool LockExclusively(int fd, bool wait)
{
    for (;;) {
        if (::flock(fd, wait ? LOCK_EX : LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

LockPauseCall setLockPauseCall(LockPauseCall call)
{
    return pauseCall.exchange(call ? call : &sleepFor);
}

FileLock::FileLock(const QString& path) : path_(path) {}

FileLock::~FileLock()
{
    release();
}

bool FileLock::tryOnce()
{
    const int fd = ::open(QFile::encodeName(path_).constData(),
                          O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        errno_ = errno;
        return false;
    }
    if (LockExclusively(fd, false)) {
        fd_ = fd;
        return true;
    }
    if (errno != EWOULDBLOCK)
        errno_ = errno;
    ::close(fd);
    return false;
}

FileLock::Outcome FileLock::acquire(int boundMs)
{
    if (held())
        return Held;
    errno_ = 0;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(boundMs);
    for (;;) {
        if (tryOnce())
            return Held;
        if (errno_ != 0)
            return Failed;
        if (Clock::now() >= deadline)
            return Busy;
        pauseCall.load()(kTryEveryMs);
    }
}

void FileLock::release()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

} // namespace bc
