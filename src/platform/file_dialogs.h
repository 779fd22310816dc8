#pragma once
// Qt's own file and folder dialogs as the program shows them: like Qt's
// static dialog functions, with the dates of the file list in the program's
// locale (Qt's file list otherwise dates its files in the system's).

#include <QString>
#include <QStringList>

class QWidget;

namespace bc {

enum class FileDialogKind { Open, OpenMany, Save, Folder };

// Runs the dialog and returns the chosen paths (one, or several for
// OpenMany); empty when the user cancelled. `dir` may end in a file name,
// which is then selected. `filter` is unused for folders.
QStringList runFileDialog(FileDialogKind kind, QWidget* parent, const QString& title,
                          const QString& dir, const QString& filter);

} // namespace bc
