#include "platform/work_folder.h"

#include "platform/prompter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace bc {

namespace {

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

QString workspaceTempFolder(ErrorReport* error)
{
    return workspaceTempFolderIn(
        QCoreApplication::applicationDirPath(),
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation), error);
}

} // namespace bc
