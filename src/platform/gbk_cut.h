#pragma once
// Texts that end up in fixed-size GBK fields: the longest leading part of a
// text whose GBK encoding fits a byte budget, cut between two characters so
// that no character is ever split.

#include <QString>

namespace bc {

// The longest prefix of `text`, ending at a character boundary (a surrogate
// pair stays whole), whose GBK encoding takes at most `maxBytes` bytes.
QString cutToGbkBytes(const QString& text, int maxBytes);

} // namespace bc
