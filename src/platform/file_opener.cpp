#include "platform/file_opener.h"

#include "platform/prompter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QProcess>
#include <QWidget>

#include <memory>

namespace bc {

namespace {

// An opener still running after this long has handed the file to an
// application that runs in its place; how that one ends says nothing more.
constexpr qint64 kVerdictMs = 10000;

FileOpener& installed()
{
    static FileOpener opener;
    return opener;
}

QString& openerProgram()
{
    static QString program = QStringLiteral("xdg-open");
    return program;
}

void tellNotOpened(const QString& path, const QString& caption, QWidget* parent)
{
    messageBox(QStringLiteral("没有可以打开它的程序，文件已保存在%1").arg(QDir::toNativeSeparators(path)),
               caption, MB_OK | MB_ICONERROR, parent);
}

} // namespace

FileOpener setFileOpener(FileOpener opener)
{
    FileOpener previous = std::move(installed());
    installed() = std::move(opener);
    return previous;
}

QString setOpenerProgram(const QString& program)
{
    QString previous = openerProgram();
    openerProgram() = program;
    return previous;
}

void openFinishedFile(const QString& path, const QString& caption, QWidget* parent)
{
    if (installed()) {
        if (!installed()(path))
            tellNotOpened(path, caption, parent);
        return;
    }
    // Not owned by any window: a viewer still open when the program ends
    // stays open.
    auto* process = new QProcess;
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    const QPointer<QWidget> owner(parent);
    const auto fail = [=] { tellNotOpened(path, caption, owner.data()); };
    QObject::connect(process, &QProcess::errorOccurred, process, [=](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            process->deleteLater();
            fail();
        }
    });
    QObject::connect(process, &QProcess::finished, process, [=](int code, QProcess::ExitStatus status) {
        process->deleteLater();
        if ((code != 0 || status != QProcess::NormalExit) && !started->hasExpired(kVerdictMs))
            fail();
    });
    process->start(openerProgram(), {path});
}

} // namespace bc
