#include "ui/folder_dialog.h"

#include "platform/prompter.h"

#include <QDir>
#include <QFileInfo>

namespace bc {

CFolderDialog::CFolderDialog(QWidget* owner, const QString& root, const QString& title)
    : owner_(owner), root_(root), title_(title)
{
}

CFolderDialog::~CFolderDialog() = default;

bool CFolderDialog::DoModal()
{
    path_ = prompter().folderName(owner_, title_, StartFolder());
    return !path_.isEmpty();
}

QString CFolderDialog::GetDisplayName() const
{
    if (path_.isEmpty())
        return QString();
    const QString name = QFileInfo(QDir::cleanPath(path_)).fileName();
    return name.isEmpty() ? QDir::cleanPath(path_) : name;
}

const QString CSaveFolderDialog::kDefaultTitle = QStringLiteral("请选择一个保存路径:");

CSaveFolderDialog::CSaveFolderDialog(QWidget* owner, const QString& title)
    : CFolderDialog(owner, QString(), title)
{
}

QString CSaveFolderDialog::StartFolder() const
{
    return startFolder_.isEmpty() ? CFolderDialog::StartFolder() : startFolder_;
}

} // namespace bc
