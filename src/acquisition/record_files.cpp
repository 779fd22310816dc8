#include "acquisition/record_files.h"

#include "core/system_error.h"
#include "platform/prompter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <utility>
#include <fcntl.h>
#include <unistd.h>

namespace bc {

QString fileNamePart(const QString& path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

QString folderPart(const QString& path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash);
}

QString withoutExtension(const QString& path)
{
    const QString name = fileNamePart(path);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return path;
    return path.left(path.size() - (name.size() - dot));
}

QString recordTarget(const QString& typed)
{
    QString path = QDir::fromNativeSeparators(typed.trimmed());
    if (!fileNamePart(path).contains(QLatin1Char('.')))
        path += QStringLiteral(".mpg");
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QString recordAnalysisFile(const QString& mpegPath)
{
    return withoutExtension(mpegPath) + QLatin1Char('/') +
           withoutExtension(fileNamePart(mpegPath)) + QStringLiteral(".sfa");
}

namespace {

// A running recording, here or in another copy of the program, holds its
// analysis folder while it writes: its film and track are named after it,
// and its live window writes the survey and strips into it.
bool recordTargetHeld(const QString& mpegPath)
{
    return FolderLock::isHeld(withoutExtension(mpegPath)) ||
           FolderLock::isHeld(folderPart(mpegPath));
}

void refuseHeldRecordTarget(QWidget* parent, const QString& mpegPath)
{
    messageBox(QStringLiteral("录制失败\n'%1'属于正在录制的测试，停止录制后才能录制")
                   .arg(QDir::toNativeSeparators(mpegPath)),
               QStringLiteral("提示"), MB_OK | MB_ICONWARNING, parent);
}

} // namespace

QString confirmRecordTarget(QWidget* parent, const QString& typed,
                            const std::function<QString()>& choose, bool* held)
{
    const QString question = QStringLiteral("该文件已存在，是否覆盖");
    const auto replaces = [&](const QString& text) {
        return messageBox(text, QStringLiteral("提示"), MB_YESNO | MB_ICONEXCLAMATION, parent) !=
               IDNO;
    };
    QString name = typed.trimmed();
    bool chosen = false; // the save dialog asked about the file it named itself
    if (name.isEmpty()) {
        name = choose();
        chosen = true;
    }
    while (!name.isEmpty()) {
        // Asked about the file that would be written, so a name typed or chosen
        // without its extension does not overwrite an earlier recording unasked.
        const QString path = recordTarget(name);
        // Another recording's files are never offered for replacing.
        if (recordTargetHeld(path)) {
            refuseHeldRecordTarget(parent, path);
            if (held)
                *held = true;
            return QString();
        }
        const QString survey = recordAnalysisFile(path);
        const bool dialogAsked =
            chosen && path == QDir::cleanPath(QFileInfo(name).absoluteFilePath());
        bool replace = dialogAsked || !QFileInfo::exists(path) || replaces(question);
        // An analysed survey of that name would be replaced by the new strips.
        if (replace && QFileInfo::exists(survey))
            replace = replaces(QDir::toNativeSeparators(survey) + QLatin1Char('\n') + question);
        if (replace)
            return path;
        name = choose();
        chosen = true;
    }
    return QString();
}

RecordStartFiles::RecordStartFiles(const QString& folder, const QStringList& files)
    : folder_(folder), files_(files)
{
}

bool RecordStartFiles::create(QWidget* parent)
{
    if (!QFileInfo(folder_).isDir()) {
        if (!QDir().mkpath(folder_)) {
            messageBox(QStringLiteral("创建目录%1失败\n请换个目录重试").arg(folder_),
                       QStringLiteral("出错"), MB_OK | MB_ICONSTOP, parent);
            return false;
        }
        madeFolder_ = true;
    }
    // Held before any file is opened: of two recordings of the same name
    // started at once, only the first to hold the folder writes.
    bool busy = false;
    if (!lock_.hold(folder_, &busy) && busy) {
        madeFolder_ = false; // the other recording's now
        refuseHeldRecordTarget(parent, files_.value(0));
        return false;
    }
    for (const QString& file : files_) {
        // Made here when missing; an existing one is only opened for writing,
        // so nothing of it changes before the recording really starts.
        const QByteArray name = QFile::encodeName(file);
        const int flags = O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
        int fd = ::open(name.constData(), flags | O_CREAT | O_EXCL, 0666);
        if (fd >= 0)
            made_ << file;
        else if (errno == EEXIST)
            fd = ::open(name.constData(), flags);
        if (fd < 0) {
            const int error = errno;
            messageBox(QStringLiteral("录像文件创建失败:\n%1\n%2")
                           .arg(QDir::toNativeSeparators(file), SystemErrorText(error)),
                       QStringLiteral("出错"), MB_OK | MB_ICONSTOP, parent);
            // Nothing was recorded, whatever an earlier film beside it holds.
            removeMade();
            return false;
        }
        ::close(fd);
    }
    return true;
}

void RecordStartFiles::removeIfNothingRecorded()
{
    // A film that holds something is a recording made: everything stays.
    const QFileInfo film(files_.value(0));
    if (film.isFile() && film.size() > 0) {
        made_.clear();
        madeFolder_ = false;
        return;
    }
    removeMade();
}

void RecordStartFiles::removeMade()
{
    for (const QString& file : std::as_const(made_)) {
        const QFileInfo info(file);
        if (info.isFile() && !info.isSymLink() && info.size() == 0)
            QFile::remove(file);
    }
    made_.clear();
    if (madeFolder_)
        QDir().rmdir(folder_); // only when empty
    madeFolder_ = false;
}

} // namespace bc
