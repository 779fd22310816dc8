#pragma once
// The writable "temp" folder of the workspace (page textures, exported
// pictures, report scratch files). The program folder of an installed
// program is read-only, so the folder falls back to the user's data folder.

#include "core/error_report.h"
#include "core/file_lock.h"

#include <QString>

namespace bc {

// "<program folder>/temp" when it exists or can be made and can be written,
// else "<user data folder>/temp". Empty, with "创建目录%s失败！" in `error`,
// when neither can be had.
QString workspaceTempFolder(ErrorReport* error = nullptr);

// The program folder workspaceTempFolder() makes "temp" in: tests put in
// one of their own, not shared with copies of the test program running
// beside them (empty: the program's folder again). Returns the one it replaces.
QString setWorkspaceProgramFolder(const QString& folder);

// The same over the two base folders given.
QString workspaceTempFolderIn(const QString& programFolder, const QString& userFolder,
                              ErrorReport* error = nullptr);

// The files written under fixed names in the temp folder (the report's page
// pictures, the cylinder's texture) are shared by every running copy of the
// program. A copy holds this lock from writing them until it has used them
// (the workbook closed, the texture read), so that it uses its own.
class WorkspaceTempLock {
  public:
    explicit WorkspaceTempLock(const QString& tempFolder);
    // Takes the lock, waiting with the wait cursor while another copy holds
    // it, at most the bound. False, with the reason in `error`, when it is
    // still held then or the lock file cannot be opened. Shows no dialog.
    bool acquire(ErrorReport* error);
    void release() { lock_.release(); }
    bool held() const { return lock_.held(); }

  private:
    QString folder_;
    FileLock lock_;
};

// "<temp folder>/.lock"
QString workspaceTempLockPath(const QString& tempFolder);
// How long WorkspaceTempLock::acquire waits, in milliseconds (20 s). Tests
// shorten it; returns the bound it replaces.
int setWorkspaceTempLockBound(int ms);

} // namespace bc
