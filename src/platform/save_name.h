#pragma once
// The name of a file to write, asked for with the save dialog, when the
// program adds an extension of its own to the name the user chose.

#include <QString>

#include <functional>

class QWidget;

namespace bc {

// Turns the name chosen in the dialog into the name that is written.
using WrittenName = std::function<QString(const QString& chosen)>;

// Asks through the prompter's save dialog and returns the name that is
// written, empty when the user cancelled. The dialog asked itself before
// replacing the name it returns; when the written name differs and a file of
// that name exists, the dialog's own question is asked about it, and "否"
// opens the dialog again at that name.
QString askSaveName(QWidget* parent, const QString& title, const QString& start,
                    const QString& filter, const WrittenName& written);

// The save dialog's question before it replaces `path` (titled `title`, or
// the dialog's own "另存为"); true when the user answers "是".
bool confirmReplace(QWidget* parent, const QString& title, const QString& path);

} // namespace bc
