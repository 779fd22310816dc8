#pragma once
// A folder marked as being written, seen by every program on this machine:
// an advisory lock (flock) on the folder itself, so that nothing is added to
// the folder and a program that dies lets go of it with its descriptors.

#include <QString>

namespace bc {

class FolderLock {
  public:
    FolderLock() = default;
    ~FolderLock(); // lets go
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Marks `folder` (released first if another was held). False when the
    // folder cannot be opened or locked here (a file system without locks):
    // then nobody sees the mark; `busy` (when given) tells a folder that a
    // FolderLock of this program or of another holds already.
    bool hold(const QString& folder, bool* busy = nullptr);
    void release();
    bool held() const { return fd_ >= 0; }

    // True when a FolderLock of this program or of another holds `folder`.
    static bool isHeld(const QString& folder);

  private:
    int fd_ = -1;
};

} // namespace bc
