#include "platform/range_check.h"

#include "platform/prompter.h"

#include <QLocale>

#include <cmath>

namespace bc {

bool checkIntRange(const QString& text, int minimum, int maximum, int& out, QWidget* parent)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok) {
        messageBox(QStringLiteral("请输入一个整数。"), QString(), MB_OK | MB_ICONEXCLAMATION, parent);
        return false;
    }
    if (v < minimum || v > maximum) {
        messageBox(QStringLiteral("请输入一个介于 %1 和 %2 之间的整数。").arg(minimum).arg(maximum),
                   QString(), MB_OK | MB_ICONEXCLAMATION, parent);
        return false;
    }
    out = v;
    return true;
}

bool checkFloatRange(const QString& text, double minimum, double maximum, float& out,
                     QWidget* parent)
{
    bool ok = false;
    const double v = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v)) {
        messageBox(QStringLiteral("请输入一个数字。"), QString(), MB_OK | MB_ICONEXCLAMATION, parent);
        return false;
    }
    if (v < minimum || v > maximum) {
        messageBox(QStringLiteral("请输入一个介于 %1 和 %2 之间的数字。").arg(minimum).arg(maximum),
                   QString(), MB_OK | MB_ICONEXCLAMATION, parent);
        return false;
    }
    out = static_cast<float>(v);
    return true;
}

} // namespace bc
