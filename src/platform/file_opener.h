#pragma once
// Opens a finished file (a report, an exported table) with the desktop's
// default application for its kind. Replaceable, so that tests see what would
// be opened without starting anything.

#include <QString>

#include <functional>

class QWidget;

namespace bc {

// True when an application took the file.
using FileOpener = std::function<bool(const QString& path)>;

// Installs `opener` and returns the previous one; an empty one restores the
// desktop's.
FileOpener setFileOpener(FileOpener opener);

// The desktop's opener program (xdg-open), run with the file when no opener
// is installed. Returns the previous one.
QString setOpenerProgram(const QString& program);

// Opens `path`. When it could not be opened, whatever the reason (no opener
// program, the opener finding no application for the file, failing or
// dying), the user is told "没有可以打开它的程序，文件已保存在%1" in a box
// titled `caption`. The desktop's opener answers after a moment: its box
// comes when it does, from the event loop.
void openFinishedFile(const QString& path, const QString& caption, QWidget* parent);

} // namespace bc
