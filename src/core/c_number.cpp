#include "core/c_number.h"

#include "core/int_limits.h"

#include <clocale>
#include <cstdlib>
#include <limits>

#include <locale.h>

namespace bc {

namespace {

bool isSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == ' ' || u == '\t' || u == '\n' || u == '\v' || u == '\f' || u == '\r';
}

bool isDigit(const QString& s, qsizetype i)
{
    return i < s.size() && s[i].unicode() >= '0' && s[i].unicode() <= '9';
}

} // namespace

double leadingDouble(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    qsizetype digits = 0;
    while (isDigit(text, i)) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == u'.') {
        ++i;
        while (isDigit(text, i)) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    qsizetype end = i;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-'))
            ++j;
        if (isDigit(text, j)) {
            while (isDigit(text, j))
                ++j;
            end = j;
        }
    }
    const QByteArray number = text.mid(start, end - start).toLatin1();
    bool ok = false;
    const double v = number.toDouble(&ok);
    if (ok)
        return v;
    // Out of range: the C function's own answer, in the C locale: +-HUGE_VAL
    // for a number too large, zero (or the nearest tiny value) for one too
    // small.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    if (cLocale)
        return strtod_l(number.constData(), nullptr, cLocale);
    return number.startsWith('-') ? -std::numeric_limits<double>::infinity()
                                  : std::numeric_limits<double>::infinity();
}

int leadingInt(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    long long v = 0;
    while (isDigit(text, i)) {
        if (v <= 1LL << 32)
            v = v * 10 + (text[i].unicode() - '0');
        ++i;
    }
    return satAdd(negative ? -v : v, 0);
}

} // namespace bc
