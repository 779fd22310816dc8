#pragma once
// Files written whole or not at all.
//
// A save writes into a temporary file beside the target, named
// "<name>.<pid>-<n>.tmp", checks every write, the flush and the close, and
// only then renames it over the target. On any failure the temporary file is
// removed and the old file stays as it was. A save also removes what earlier
// saves of the same file left behind when the program was killed between the
// temporary file and the rename. New files get the permissions of a normally
// created file (0666 less the umask).
//
// Why not QSaveFile: it buffers small writes and, when the flush at its close
// fails (a full disk), still renames the short file over the old one.

#include "core/system_error.h"

#include <QByteArray>
#include <QString>

namespace bc {

class AtomicFile {
  public:
    explicit AtomicFile(const QString& path);
    ~AtomicFile(); // an uncommitted file is discarded
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Removes this file's stale temporaries and creates a new one. False when
    // the target cannot be written (a read-only file, a folder, no folder).
    // A library may write tempPath() itself (a workbook); commit() then
    // finishes what it wrote.
    bool open();
    // Every byte or false; after a failure every later call fails too.
    bool write(const void* data, qint64 size);
    bool write(const QByteArray& bytes) { return write(bytes.constData(), bytes.size()); }
    // Flushes (to the disk when `syncToDisk`), closes and renames over the
    // target. False, with the temporary file removed, on any failure.
    bool commit(bool syncToDisk = true);
    // Removes the temporary file; the target stays as it was.
    void discard();

    QString path() const { return path_; }
    QString tempPath() const { return temp_; }
    // The system error number of the first failure, 0 when none.
    int error() const { return errno_; }
    // SystemErrorText(error()).
    QString errorString() const;

  private:
    bool fail(int errnum);

    QString path_;   // the file as named by the caller
    QString target_; // the file renamed over (a symbolic link's target)
    QString temp_;
    int fd_ = -1;
    int lockFd_ = -1; // keeps the temporary file marked as in use until renamed
    int errno_ = 0;
};

// The call that syncs a written file to disk before the rename (::fsync;
// it sets errno on failure). Tests put in one that fails as a dying disk
// does; returns the call it replaces.
using SyncToDiskCall = int (*)(int fd);
SyncToDiskCall setSyncToDiskCall(SyncToDiskCall call);

// One whole buffer through AtomicFile. False with the reason (SystemErrorText)
// in `reason` when it is given.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* reason = nullptr,
                         bool syncToDisk = true);
bool WriteFileAtomically(const QString& path, const void* data, qint64 size,
                         QString* reason = nullptr, bool syncToDisk = true);

} // namespace bc
