#pragma once
// The writable "temp" folder of the workspace (page textures, exported
// pictures, report scratch files). The program folder of an installed
// program is read-only, so the folder falls back to the user's data folder.

#include "core/error_report.h"

#include <QString>

namespace bc {

// "<program folder>/temp" when it exists or can be made and can be written,
// else "<user data folder>/temp". Empty, with "创建目录%s失败！" in `error`,
// when neither can be had.
QString workspaceTempFolder(ErrorReport* error = nullptr);

// The same over the two base folders given.
QString workspaceTempFolderIn(const QString& programFolder, const QString& userFolder,
                              ErrorReport* error = nullptr);

} // namespace bc
