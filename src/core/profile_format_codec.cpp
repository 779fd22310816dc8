// The profile's INI text, read the way Qt's own INI reader reads it (a line
// it cannot use is skipped, every other key kept) and written the way Qt's
// INI writer writes it, except where Qt's text would not read back the same
// (a key starting or ending with '/', a section named "general" in other
// letters, half of a surrogate pair, a byte order mark in a value).

#include "core/profile_format.h"

#include <QDataStream>
#include <QDateTime>
#include <QIODevice>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QStringDecoder>
#include <QStringEncoder>

#include <map>
#include <vector>

namespace bc {

namespace {

int hexValue(char16_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int octalValue(char c)
{
    return c >= '0' && c <= '7' ? c - '0' : -1;
}

// ---- writing -----------------------------------------------------------------

// Letters, digits, '_', '-' and '.' stand as they are; '/' becomes '\',
// except at the end, where "\=" would hide the '='; anything else is "%XX"
// (up to 0xFF) or "%UXXXX".
void escapeKey(QStringView key, QByteArray& out)
{
    static const char hex[] = "0123456789ABCDEF";
    for (qsizetype i = 0; i < key.size(); ++i) {
        uint ch = key[i].unicode();
        if (ch == '/' && i + 1 < key.size()) {
            out += '\\';
        } else if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') ||
                   (ch >= '0' && ch <= '9') || ch == '_' || ch == '-' || ch == '.') {
            out += char(ch);
        } else if (ch <= 0xFF) {
            out += '%';
            out += hex[ch / 16];
            out += hex[ch % 16];
        } else {
            out += "%U";
            char code[4];
            for (int d = 3; d >= 0; --d) {
                code[d] = hex[ch % 16];
                ch >>= 4;
            }
            out.append(code, 4);
        }
    }
}

// A UTF-16 unit the reader's UTF-8 decoder would not give back as it is: half
// of a surrogate pair, or a byte order mark (dropped at the start of a run).
bool unitNeedsEscape(QStringView str, qsizetype i)
{
    const QChar c = str[i];
    if (c.unicode() == 0xFEFF)
        return true;
    if (c.isHighSurrogate())
        return i + 1 >= str.size() || !str[i + 1].isLowSurrogate();
    if (c.isLowSurrogate())
        return i == 0 || !str[i - 1].isHighSurrogate();
    return false;
}

// Control characters, quotes and backslashes escaped, the text in UTF-8
// (Latin-1 escapes for the encoded binary forms), quoted when it holds a
// separator or starts or ends with a blank.
void escapeString(const QString& str, QByteArray& out)
{
    bool needsQuotes = false;
    bool escapeNextIfDigit = false;
    const bool utf8 = !(str.startsWith(QLatin1String("@ByteArray(")) ||
                        str.startsWith(QLatin1String("@Variant(")) ||
                        str.startsWith(QLatin1String("@DateTime(")));
    const qsizetype start = out.size();
    QStringEncoder toUtf8(QStringEncoder::Utf8);
    for (qsizetype i = 0; i < str.size(); ++i) {
        const char16_t ch = str[i].unicode();
        if (ch == ';' || ch == ',' || ch == '=')
            needsQuotes = true;
        if (escapeNextIfDigit && hexValue(ch) >= 0) {
            out += "\\x" + QByteArray::number(ch, 16);
            continue;
        }
        escapeNextIfDigit = false;
        switch (ch) {
        case '\0':
            out += "\\0";
            escapeNextIfDigit = true;
            break;
        case '\a':
            out += "\\a";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\v':
            out += "\\v";
            break;
        case '"':
        case '\\':
            out += '\\';
            out += char(ch);
            break;
        default:
            if (ch <= 0x1F || (ch >= 0x7F && !utf8) || (utf8 && unitNeedsEscape(str, i))) {
                out += "\\x" + QByteArray::number(ch, 16);
                escapeNextIfDigit = true;
            } else if (utf8) {
                out += toUtf8(QStringView(str).sliced(i, 1));
            } else {
                out += char(ch);
            }
        }
    }
    if (needsQuotes ||
        (start < out.size() && (out.at(start) == ' ' || out.at(out.size() - 1) == ' '))) {
        out.insert(start, '"');
        out += '"';
    }
}

QString streamedText(const char* prefix, const QVariant& v, QDataStream::Version version)
{
    QByteArray bytes;
    {
        QDataStream s(&bytes, QIODevice::WriteOnly);
        s.setVersion(version);
        s << v;
    }
    return QLatin1String(prefix) + QLatin1String(bytes) + u')';
}

QString variantText(const QVariant& v)
{
    switch (v.metaType().id()) {
    case QMetaType::UnknownType:
        return QStringLiteral("@Invalid()");
    case QMetaType::QByteArray:
        return QStringLiteral("@ByteArray(") + QLatin1String(v.toByteArray()) + u')';
    case QMetaType::QString:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Bool:
    case QMetaType::Float:
    case QMetaType::Double: {
        QString text = v.toString();
        if (text.contains(QChar::Null))
            return QStringLiteral("@String(") + text + u')';
        if (text.startsWith(u'@'))
            text.prepend(u'@');
        return text;
    }
    case QMetaType::QRect: {
        const QRect r = v.toRect();
        return QString::asprintf("@Rect(%d %d %d %d)", r.x(), r.y(), r.width(), r.height());
    }
    case QMetaType::QSize: {
        const QSize s = v.toSize();
        return QString::asprintf("@Size(%d %d)", s.width(), s.height());
    }
    case QMetaType::QPoint: {
        const QPoint p = v.toPoint();
        return QString::asprintf("@Point(%d %d)", p.x(), p.y());
    }
    case QMetaType::QDateTime:
        return streamedText("@DateTime(", v, QDataStream::Qt_5_6);
    default:
        return streamedText("@Variant(", v, QDataStream::Qt_4_0);
    }
}

void writeValue(const QVariant& v, QByteArray& out)
{
    const int type = v.metaType().id();
    if (type == QMetaType::QStringList ||
        (type == QMetaType::QVariantList && v.toList().size() != 1)) {
        const QVariantList items = v.toList();
        if (items.isEmpty())
            out += "@Invalid()";
        for (qsizetype i = 0; i < items.size(); ++i) {
            if (i)
                out += ", ";
            escapeString(variantText(items[i]), out);
        }
        return;
    }
    escapeString(variantText(type == QMetaType::QVariantList ? v.toList().front() : v), out);
}

// ---- reading -----------------------------------------------------------------

// Blanks between lines; a vertical tab or a form feed is not one.
bool isLineBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

struct IniLine {
    qsizetype start = 0;
    qsizetype size = 0;
    qsizetype equals = -1; // from the start of the data
};

// The next logical line from `pos`: leading blanks and whole comment lines
// skipped; a line end inside quotes or after a backslash continues it; ';'
// outside quotes ends it. False when nothing is left.
bool nextLine(QByteArrayView data, qsizetype& pos, IniLine& line)
{
    const qsizetype n = data.size();
    bool quoted = false;
    line.equals = -1;
    line.start = pos;
    while (line.start < n && isLineBlank(data[line.start]))
        ++line.start;
    qsizetype i = line.start;
    while (i < n) {
        const char ch = data[i++];
        if (ch == '=') {
            if (!quoted && line.equals < 0)
                line.equals = i - 1;
        } else if (ch == '\n' || ch == '\r') {
            if (i == line.start + 1) {
                ++line.start;
            } else if (!quoted) {
                --i;
                break;
            }
        } else if (ch == '\\') {
            if (i < n) {
                const char next = data[i++];
                if (i < n &&
                    ((next == '\n' && data[i] == '\r') || (next == '\r' && data[i] == '\n')))
                    ++i;
            }
        } else if (ch == '"') {
            quoted = !quoted;
        } else if (ch == ';') {
            if (i == line.start + 1) {
                // A comment line: skipped with the blanks after it.
                while (i < n && data[i] != '\n' && data[i] != '\r')
                    ++i;
                while (i < n && isLineBlank(data[i]))
                    ++i;
                line.start = i;
            } else if (!quoted) {
                --i;
                break;
            }
        }
    }
    pos = i;
    line.size = i - line.start;
    return line.size > 0;
}

// "%XX" and "%UXXXX" decoded, '\' read as '/'; a '%' that starts no code
// stands as it is.
void unescapeKey(QByteArrayView key, QString& out)
{
    const QString decoded = QString::fromUtf8(key);
    const qsizetype n = decoded.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar ch = decoded[i];
        if (ch == u'\\') {
            out += u'/';
            ++i;
            continue;
        }
        if (ch != u'%' || i == n - 1) {
            out += ch;
            ++i;
            continue;
        }
        qsizetype first = i + 1;
        int digits = 2;
        if (decoded[i + 1] == u'U') {
            ++first;
            digits = 4;
        }
        bool ok = false;
        const ushort code =
            first + digits <= n ? QStringView(decoded).sliced(first, digits).toUShort(&ok, 16) : 0;
        if (!ok) {
            out += u'%';
            ++i;
            continue;
        }
        out += QChar(code);
        i = first + digits;
    }
}

void chopTrailingBlanks(QString& s, qsizetype limit)
{
    qsizetype n = s.size();
    while (n > limit && (s[n - 1] == u' ' || s[n - 1] == u'\t'))
        --n;
    s.truncate(n);
}

// The value's text, or its items when it is a list ("a, b"). Blanks around
// an unquoted item are dropped, except those an escape ends; a backslash at
// the very end keeps the blanks before it.
bool unescapeValue(QByteArrayView str, QString& text, QStringList& items)
{
    static const char escapes[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                      {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                      {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    bool isList = false;
    bool inQuotes = false;
    bool quoted = false;
    // One decoder for the whole value: a character split by an escape is
    // joined the way the reader Qt ships joins it.
    QStringDecoder fromUtf8(QStringDecoder::Utf8);
    const qsizetype n = str.size();
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < n && (str[i] == ' ' || str[i] == '\t'))
            ++i;
    };
    auto finish = [&] {
        if (isList)
            items.append(text);
        return isList;
    };
    skipBlanks();
    qsizetype chopLimit = 0;
    while (i < n) {
        const char c = str[i];
        if (c == '\\') {
            if (++i >= n)
                return finish();
            const char e = str[i++];
            bool simple = false;
            for (const auto& code : escapes)
                if (e == code[0]) {
                    text += QLatin1Char(code[1]);
                    simple = true;
                    break;
                }
            if (simple) {
            } else if (e == 'x' || octalValue(e) >= 0) {
                // "\x" and hex digits, or octal digits: one UTF-16 unit.
                const bool hex = e == 'x';
                auto digit = [&](char d) { return hex ? hexValue(uchar(d)) : octalValue(d); };
                if (hex && i >= n)
                    return finish();
                if (!hex || digit(str[i]) >= 0) {
                    char16_t value = hex ? 0 : char16_t(octalValue(e));
                    for (; i < n && digit(str[i]) >= 0; ++i)
                        value = char16_t((value << (hex ? 4 : 3)) + digit(str[i]));
                    text += QChar(value);
                    if (i >= n)
                        return finish();
                }
            } else if (e == '\n' || e == '\r') {
                if (i < n && (str[i] == '\n' || str[i] == '\r') && str[i] != e)
                    ++i;
            }
            chopLimit = text.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                skipBlanks();
                chopLimit = text.size();
            }
        } else if (c == ',' && !inQuotes) {
            if (!quoted)
                chopTrailingBlanks(text, chopLimit);
            isList = true;
            items.append(text);
            text.clear();
            chopLimit = 0;
            quoted = false;
            ++i;
            skipBlanks();
        } else {
            qsizetype j = i + 1;
            while (j < n && str[j] != '\\' && str[j] != '"' && str[j] != ',')
                ++j;
            text += fromUtf8(str.sliced(i, j - i));
            i = j;
        }
    }
    if (!quoted)
        chopTrailingBlanks(text, chopLimit);
    return finish();
}

// "@a b c)" split at blanks, as far as the closing parenthesis.
QStringList splitArguments(QStringView s, qsizetype open)
{
    QStringList out;
    QString item;
    for (qsizetype i = open + 1; i < s.size(); ++i) {
        if (s[i] == u')') {
            out.append(item);
        } else if (s[i] == u' ') {
            out.append(item);
            item.clear();
        } else {
            item.append(s[i]);
        }
    }
    return out;
}

QVariant streamedValue(QStringView s, qsizetype offset, QDataStream::Version version)
{
    QByteArray bytes = s.sliced(offset).toLatin1();
    QDataStream stream(&bytes, QIODevice::ReadOnly);
    stream.setVersion(version);
    QVariant v;
    stream >> v;
    return v;
}

// A value's text to its value: "@Type(…)" forms decoded, "@@" for a text
// starting with '@', anything else (a lone "@x" too) a text.
QVariant textValue(const QString& s)
{
    if (!s.startsWith(u'@'))
        return s;
    if (s.endsWith(u')')) {
        if (s.startsWith(QLatin1String("@ByteArray(")))
            return s.sliced(11, s.size() - 12).toLatin1();
        if (s.startsWith(QLatin1String("@String(")))
            return s.sliced(8, s.size() - 9);
        if (s.startsWith(QLatin1String("@Variant(")))
            return streamedValue(s, 9, QDataStream::Qt_4_0);
        if (s.startsWith(QLatin1String("@DateTime(")))
            return streamedValue(s, 10, QDataStream::Qt_5_6);
        if (s.startsWith(QLatin1String("@Rect("))) {
            const QStringList a = splitArguments(s, 5);
            if (a.size() == 4)
                return QRect(a[0].toInt(), a[1].toInt(), a[2].toInt(), a[3].toInt());
        } else if (s.startsWith(QLatin1String("@Size("))) {
            const QStringList a = splitArguments(s, 5);
            if (a.size() == 2)
                return QSize(a[0].toInt(), a[1].toInt());
        } else if (s.startsWith(QLatin1String("@Point("))) {
            const QStringList a = splitArguments(s, 6);
            if (a.size() == 2)
                return QPoint(a[0].toInt(), a[1].toInt());
        } else if (s == QLatin1String("@Invalid()")) {
            return QVariant();
        }
    }
    if (s.startsWith(QLatin1String("@@")))
        return s.mid(1);
    return s;
}

// A list: texts, unless an item is a "@Type(…)" form, when every item is
// decoded into a list of values.
QVariant listValue(const QStringList& items)
{
    QStringList texts = items;
    for (QString& item : texts) {
        if (!item.startsWith(u'@'))
            continue;
        if (!item.startsWith(QLatin1String("@@"))) {
            QVariantList values;
            for (const QString& original : items)
                values.append(textValue(original));
            return values;
        }
        item.remove(0, 1);
    }
    return texts;
}

// The keys of one section's lines ("" for the top level, else "name/").
void readSection(const QString& section, QByteArrayView data, QSettings::SettingsMap& map)
{
    qsizetype pos = 0;
    IniLine line;
    while (nextLine(data, pos, line)) {
        if (line.equals < 0)
            continue; // not a key: skipped, the other lines still count
        QString key = section;
        unescapeKey(data.sliced(line.start, line.equals - line.start).trimmed(), key);
        QString text;
        QStringList items;
        const QByteArrayView value =
            data.sliced(line.equals + 1, line.start + line.size - line.equals - 1);
        map.insert(key, unescapeValue(value, text, items) ? listValue(items) : textValue(text));
    }
}

} // namespace

bool ReadProfileText(QIODevice& device, QSettings::SettingsMap& map)
{
    const QByteArray bytes = device.readAll();
    const QByteArrayView data(bytes);
    // First the lines of each section, gathered by name (a section may come
    // back further down); then the sections in name order, a later line of a
    // key replacing an earlier one.
    std::map<QString, QByteArray> sections;
    QString current;
    qsizetype currentStart = 0;
    // A byte order mark is passed over when looking for sections, and stays
    // with the top level's first line, whose key drops it when decoded (so
    // blanks after it stay in that key), as in the reader Qt ships.
    qsizetype pos = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    auto closeSection = [&](qsizetype end) {
        QByteArray& lines = sections[current];
        if (!lines.isEmpty())
            lines += '\n';
        lines += data.sliced(currentStart, end - currentStart);
    };
    IniLine line;
    while (nextLine(data, pos, line)) {
        const QByteArrayView text = data.sliced(line.start, line.size);
        if (!text.startsWith('['))
            continue;
        closeSection(line.start);
        // A name with no ']' runs to the line end.
        qsizetype close = text.indexOf(']');
        if (close < 0)
            close = text.size();
        const QByteArrayView name = text.sliced(1, close - 1).trimmed();
        current.clear();
        if (name.compare("general", Qt::CaseInsensitive) != 0) {
            if (name.compare("%general", Qt::CaseInsensitive) == 0)
                current = QString::fromLatin1(name.sliced(1));
            else
                unescapeKey(name, current);
            current += u'/';
        }
        currentStart = pos;
    }
    closeSection(data.size());
    for (const auto& [section, lines] : sections)
        readSection(section, lines, map);
    // A line that is not a key costs that line only: the map holds every
    // other key, as Qt's own INI reader keeps them.
    return true;
}

QByteArray ProfileText(const QSettings::SettingsMap& map)
{
    // Sections in name order, the top level ("General") first. A key with no
    // section name before its first '/' stays at the top level whole.
    std::map<QString, std::vector<std::pair<QString, QVariant>>> sections;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const qsizetype slash = it.key().indexOf(u'/');
        if (slash <= 0)
            sections[QString()].emplace_back(it.key(), it.value());
        else
            sections[it.key().left(slash)].emplace_back(it.key().mid(slash + 1), it.value());
    }
    QByteArray out;
    for (const auto& [section, keys] : sections) {
        if (!out.isEmpty())
            out += '\n';
        if (section.isEmpty()) {
            out += "[General]\n";
        } else {
            out += '[';
            // "[General]" is the top level; a section of that name in any
            // letters is marked with '%' and keeps its letters.
            if (section.compare(QLatin1String("general"), Qt::CaseInsensitive) == 0)
                out += '%';
            escapeKey(section, out);
            out += "]\n";
        }
        for (const auto& [key, value] : keys) {
            escapeKey(key, out);
            out += '=';
            writeValue(value, out);
            out += '\n';
        }
    }
    return out;
}

} // namespace bc
