#pragma once
// The range check every dialog applies to a typed number: a text that is not
// a number, or one outside the range, is told to the user ("请输入一个介于 1
// 和 800 之间的整数。") and refused, so the dialog stays open.

#include <QString>

class QWidget;

namespace bc {

bool checkIntRange(const QString& text, int minimum, int maximum, int& out,
                   QWidget* parent = nullptr);
bool checkFloatRange(const QString& text, double minimum, double maximum, float& out,
                     QWidget* parent = nullptr);

} // namespace bc
