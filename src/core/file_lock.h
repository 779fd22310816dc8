#pragma once
// Exclusive advisory locks (flock) that other processes respect. A lock
// belongs to an open file: two copies of the program, and two openings in
// one process, exclude each other; it goes when its descriptor is closed,
// also when the process dies. The descriptors are closed on exec, so a
// program started while a lock is held does not keep it.

#include <QString>

namespace bc {

// Takes the exclusive lock of the open file `fd`: waits for it when `wait`,
// else fails at once (errno EWOULDBLOCK) while another holds it.
bool LockExclusively(int fd, bool wait);

// The pause between two tries of FileLock::acquire, in milliseconds. Tests
// put in one that lets the other holder go; returns the call it replaces.
using LockPauseCall = void (*)(int ms);
LockPauseCall setLockPauseCall(LockPauseCall call);

// A lock file (created when missing) and its exclusive lock, released at
// the latest when the object goes.
class FileLock {
  public:
    enum Outcome { Held, Busy, Failed };

    explicit FileLock(const QString& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Tries at once and then every 50 ms until `boundMs` have passed. Busy
    // when another still holds the lock then; Failed (error()) when the
    // file cannot be opened.
    Outcome acquire(int boundMs);
    void release();
    bool held() const { return fd_ >= 0; }
    QString path() const { return path_; }
    // The system error number of a failed opening, 0 when none.
    int error() const { return errno_; }

  private:
    bool tryOnce();

    QString path_;
    int fd_ = -1;
    int errno_ = 0;
};

} // namespace bc
