#include "platform/file_dialogs.h"

#include "platform/window_placement.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>

namespace bc {

namespace {

// The file list's "date modified" column in the default locale.
class DefaultLocaleDates : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        constexpr int kDateColumn = 3;
        if (role == Qt::DisplayRole && index.column() == kDateColumn) {
            if (const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel())) {
                const QDateTime modified = files->lastModified(mapToSource(index));
                if (modified.isValid())
                    return QLocale().toString(modified, QLocale::ShortFormat);
            }
        }
        return QIdentityProxyModel::data(index, role);
    }
};

} // namespace

QStringList runFileDialog(FileDialogKind kind, QWidget* parent, const QString& title,
                          const QString& dir, const QString& filter)
{
    const bool folder = kind == FileDialogKind::Folder;
    QFileDialog dialog(parent, title, dir, folder ? QString() : filter);
    dialog.setProxyModel(new DefaultLocaleDates(&dialog));
    keepOnScreenWhenShown(&dialog);
    switch (kind) {
    case FileDialogKind::Open: dialog.setFileMode(QFileDialog::ExistingFile); break;
    case FileDialogKind::OpenMany: dialog.setFileMode(QFileDialog::ExistingFiles); break;
    case FileDialogKind::Save:
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        break;
    case FileDialogKind::Folder:
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        break;
    }
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

} // namespace bc
