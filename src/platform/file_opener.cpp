#include "platform/file_opener.h"

#include <QDesktopServices>
#include <QUrl>

namespace bc {

namespace {
FileOpener& installed()
{
    static FileOpener opener;
    return opener;
}
} // namespace

bool openWithDefaultApplication(const QString& path)
{
    if (installed())
        return installed()(path);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

FileOpener setFileOpener(FileOpener opener)
{
    FileOpener previous = std::move(installed());
    installed() = std::move(opener);
    return previous;
}

} // namespace bc
