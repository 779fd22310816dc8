#pragma once
// The system's reason for a failed file operation, told to the user in the
// program's language: "磁盘空间已满" for a full disk, and so on.

#include <QString>

namespace bc {

// The reason for the system error number `error` (an errno value). Numbers
// without a text of their own give "系统错误 <n>".
QString systemErrorText(int error);

} // namespace bc
