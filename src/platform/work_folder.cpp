#include "platform/work_folder.h"

#include "core/system_error.h"
#include "platform/prompter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <atomic>
#include <mutex>
#include <utility>

namespace bc {

namespace {

std::atomic<int> tempLockBound{20000};

std::mutex programFolderMutex;
QString programFolder; // guarded by programFolderMutex; empty: the program's own

// The folder exists (or was made) and a file can be created in it.
bool usableFolder(const QString& path)
{
    if (path.isEmpty() || !QDir().mkpath(path))
        return false;
    QTemporaryFile probe(path + QStringLiteral("/.probe-XXXXXX"));
    return probe.open();
}

} // namespace

QString workspaceTempFolderIn(const QString& programFolder, const QString& userFolder,
                              ErrorReport* error)
{
    const QString first =
        programFolder.isEmpty() ? QString() : QDir(programFolder).filePath(QStringLiteral("temp"));
    if (usableFolder(first))
        return QDir::cleanPath(first);
    const QString second =
        userFolder.isEmpty() ? QString() : QDir(userFolder).filePath(QStringLiteral("temp"));
    if (usableFolder(second))
        return QDir::cleanPath(second);
    reportError(error,
                QStringLiteral("创建目录%1失败！")
                    .arg(QDir::toNativeSeparators(first.isEmpty() ? second : first)),
                QStringLiteral("出错"), MB_ICONERROR);
    return {};
}

QString setWorkspaceProgramFolder(const QString& folder)
{
    const std::lock_guard<std::mutex> lock(programFolderMutex);
    return std::exchange(programFolder, folder);
}

QString workspaceTempFolder(ErrorReport* error)
{
    QString program;
    {
        const std::lock_guard<std::mutex> lock(programFolderMutex);
        program = programFolder;
    }
    return workspaceTempFolderIn(
        program.isEmpty() ? QCoreApplication::applicationDirPath() : program,
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation), error);
}

QString workspaceTempLockPath(const QString& tempFolder)
{
    return QDir(tempFolder).filePath(QStringLiteral(".lock"));
}

int setWorkspaceTempLockBound(int ms)
{
    return tempLockBound.exchange(ms);
}

WorkspaceTempLock::WorkspaceTempLock(const QString& tempFolder)
    : folder_(tempFolder), lock_(workspaceTempLockPath(tempFolder))
{
}

bool WorkspaceTempLock::acquire(ErrorReport* error)
{
    FileLock::Outcome outcome = lock_.acquire(0);
    if (outcome == FileLock::Busy) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        outcome = lock_.acquire(tempLockBound.load());
        QGuiApplication::restoreOverrideCursor();
    }
    const QString folder = QDir::toNativeSeparators(folder_);
    if (outcome == FileLock::Busy)
        reportError(
            error,
            QStringLiteral("临时目录%1正被另一个运行中的本程序使用，请稍后再试!").arg(folder),
            QStringLiteral("出错"), MB_ICONERROR);
    else if (outcome == FileLock::Failed)
        reportError(
            error,
            QStringLiteral("无法打开文件%1\n%2")
                .arg(QDir::toNativeSeparators(lock_.path()), SystemErrorText(lock_.error())),
            QStringLiteral("出错"), MB_ICONERROR);
    return outcome == FileLock::Held;
}

} // namespace bc
