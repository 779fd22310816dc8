#pragma once
// The system's reason for a failed file or device operation, told to the
// user in the program's language.

#include <QString>

namespace bc {

// The reason for a system error number (an errno value) in words the user
// reads, e.g. "磁盘空间不足" for ENOSPC; an empty text for 0, and
// "系统错误 <n>" for numbers without a text of their own.
QString SystemErrorText(int errnum);

} // namespace bc
