#pragma once
// Opens a finished file (a report, an exported table) with the desktop's
// default application for its kind. Replaceable, so that tests see what would
// be opened without starting anything.

#include <QString>

#include <functional>

namespace bc {

// True when an application took the file.
using FileOpener = std::function<bool(const QString& path)>;

bool openWithDefaultApplication(const QString& path);

// Installs `opener` and returns the previous one; an empty one restores the
// desktop's.
FileOpener setFileOpener(FileOpener opener);

} // namespace bc
