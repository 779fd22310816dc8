#pragma once
// Numbers read from texts the way the C library's atof and atoi read them: the
// longest leading number counts, trailing text is ignored, no number gives 0.
// Unlike the C functions these do not depend on the process locale.

#include <QString>

namespace bc {

double leadingDouble(const QString& text);
int leadingInt(const QString& text); // saturates at the int range

} // namespace bc
