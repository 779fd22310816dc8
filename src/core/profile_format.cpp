#include "core/profile_format.h"

#include "core/atomic_file.h"

#include <QDataStream>
#include <QFileDevice>
#include <QIODevice>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cerrno>
#include <map>
#include <mutex>
#include <vector>

namespace bc {

namespace {

// What the last profile write of this thread did: whether it ran and the
// system error of its flush.
struct LastWrite {
    bool ran = false;
    int error = 0;
};
thread_local LastWrite t_lastWrite;

// A value whose text begins with '@' but that this codec does not decode
// (a rectangle, a streamed variant): kept as its text and written back so.
struct RawValue {
    QString text;
};

} // namespace
} // namespace bc

Q_DECLARE_METATYPE(bc::RawValue)

namespace bc {

namespace {

bool isHexDigit(char16_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// ---- writing -----------------------------------------------------------------

// Letters, digits, '_', '-' and '.' stand as they are; '/' becomes '\';
// anything else is "%XX" (up to 0xFF) or "%UXXXX".
void escapeKey(const QString& key, QByteArray& out)
{
    static const char hex[] = "0123456789ABCDEF";
    for (const QChar qc : key) {
        uint ch = qc.unicode();
        if (ch == '/') {
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
            for (int i = 3; i >= 0; --i) {
                code[i] = hex[ch % 16];
                ch >>= 4;
            }
            out.append(code, 4);
        }
    }
}

// Control characters, quotes and backslashes escaped, the text in UTF-8
// (Latin-1 escapes for the encoded binary forms), quoted when it holds a
// separator or starts or ends with a blank.
void escapeString(const QString& str, QByteArray& out)
{
    bool needsQuotes = false;
    bool escapeNextIfDigit = false;
    const bool utf8 = !(str.startsWith(QLatin1String("@ByteArray(")) ||
                        str.startsWith(QLatin1String("@Variant(")));
    const qsizetype start = out.size();
    QStringEncoder toUtf8(QStringEncoder::Utf8);
    for (const QChar qc : str) {
        const char16_t ch = qc.unicode();
        if (ch == ';' || ch == ',' || ch == '=')
            needsQuotes = true;
        if (escapeNextIfDigit && isHexDigit(ch)) {
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
            if (ch <= 0x1F || (ch >= 0x7F && !utf8)) {
                out += "\\x" + QByteArray::number(ch, 16);
                escapeNextIfDigit = true;
            } else if (utf8) {
                out += toUtf8(QStringView(&qc, 1));
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

QString variantText(const QVariant& v)
{
    if (v.metaType() == QMetaType::fromType<RawValue>())
        return v.value<RawValue>().text;
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
    default: {
        QByteArray bytes;
        {
            QDataStream s(&bytes, QIODevice::WriteOnly);
            s.setVersion(QDataStream::Qt_4_0);
            s << v;
        }
        return QStringLiteral("@Variant(") + QLatin1String(bytes) + u')';
    }
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

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// One logical line from `pos`: a line end inside quotes or after a backslash
// continues it; ';' outside quotes starts a comment. False at the end.
bool nextLine(const QByteArray& data, qsizetype& pos, QByteArray& line, qsizetype& equals)
{
    const qsizetype n = data.size();
    while (true) {
        while (pos < n && isBlank(data[pos]))
            ++pos;
        if (pos >= n)
            return false;
        if (data[pos] != ';')
            break;
        while (pos < n && data[pos] != '\n' && data[pos] != '\r')
            ++pos;
    }
    const qsizetype start = pos;
    bool quoted = false;
    equals = -1;
    qsizetype i = pos;
    while (i < n) {
        const char ch = data[i];
        if (ch == '=' && !quoted && equals < 0) {
            equals = i - start;
        } else if ((ch == '\n' || ch == '\r' || ch == ';') && !quoted) {
            break;
        } else if (ch == '\\' && i + 1 < n) {
            ++i;
            if (i + 1 < n && ((data[i] == '\n' && data[i + 1] == '\r') ||
                              (data[i] == '\r' && data[i + 1] == '\n')))
                ++i;
        } else if (ch == '"') {
            quoted = !quoted;
        }
        ++i;
    }
    line = data.mid(start, i - start);
    // A comment after the value runs to the line end.
    if (i < n && data[i] == ';')
        while (i < n && data[i] != '\n' && data[i] != '\r')
            ++i;
    pos = i;
    return true;
}

QString unescapeKey(QByteArrayView key)
{
    const QString decoded = QString::fromUtf8(key);
    const qsizetype n = decoded.size();
    QString out;
    out.reserve(n);
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
    return out;
}

int octalDigit(char c)
{
    return c >= '0' && c <= '7' ? c - '0' : -1;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void chopTrailingBlanks(QString& s, qsizetype limit)
{
    qsizetype n = s.size();
    while (n > limit && (s[n - 1] == u' ' || s[n - 1] == u'\t'))
        --n;
    s.truncate(n);
}

// The value's text, or its items when it is a list ("a, b").
bool unescapeValue(QByteArrayView str, QString& text, QStringList& items)
{
    static const char escapes[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                      {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                      {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    bool isList = false;
    bool inQuotes = false;
    bool quoted = false;
    QStringDecoder fromUtf8(QStringDecoder::Utf8);
    const qsizetype n = str.size();
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < n && (str[i] == ' ' || str[i] == '\t'))
            ++i;
    };
    skipBlanks();
    qsizetype chopLimit = 0;
    while (i < n) {
        const char c = str[i];
        if (c == '\\') {
            ++i;
            if (i >= n)
                break;
            const char e = str[i++];
            bool simple = false;
            for (const auto& code : escapes)
                if (e == code[0]) {
                    text += QLatin1Char(code[1]);
                    simple = true;
                    break;
                }
            if (simple) {
            } else if (e == 'x') {
                if (i < n && hexValue(str[i]) >= 0) {
                    char16_t value = 0;
                    while (i < n && hexValue(str[i]) >= 0)
                        value = char16_t((value << 4) + hexValue(str[i++]));
                    text += QChar(value);
                }
            } else if (octalDigit(e) >= 0) {
                char16_t value = char16_t(octalDigit(e));
                while (i < n && octalDigit(str[i]) >= 0)
                    value = char16_t((value << 3) + octalDigit(str[i++]));
                text += QChar(value);
            } else if (e == '\n' || e == '\r') {
                if (i < n && (str[i] == '\n' || str[i] == '\r') && str[i] != e)
                    ++i;
            }
            chopLimit = text.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes)
                skipBlanks();
            chopLimit = text.size();
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
    if (isList)
        items.append(text);
    return isList;
}

QVariant textValue(const QString& s)
{
    if (!s.startsWith(u'@'))
        return s;
    if (s.startsWith(QLatin1String("@@")))
        return s.mid(1);
    if (s.endsWith(u')')) {
        if (s.startsWith(QLatin1String("@ByteArray(")))
            return s.sliced(11, s.size() - 12).toLatin1();
        if (s.startsWith(QLatin1String("@String(")))
            return s.sliced(8, s.size() - 9);
        if (s == QLatin1String("@Invalid()"))
            return QVariant();
    }
    return QVariant::fromValue(RawValue{s});
}

bool readProfile(QIODevice& device, QSettings::SettingsMap& map)
{
    return ReadProfileText(device, map);
}

bool writeProfile(QIODevice& device, const QSettings::SettingsMap& map)
{
    t_lastWrite.ran = true;
    const QByteArray text = ProfileText(map);
    errno = 0;
    // The flush is ours: a failure here fails the save, and the save file is
    // discarded instead of renamed.
    bool ok = device.write(text) == text.size();
    if (ok)
        if (auto* file = qobject_cast<QFileDevice*>(&device))
            ok = file->flush();
    if (!ok)
        t_lastWrite.error = errno ? errno : EIO;
    return ok;
}

} // namespace

QSettings::Format ProfileFormat(const QString& extension)
{
    static std::mutex lock;
    static std::map<QString, QSettings::Format> formats;
    std::lock_guard<std::mutex> guard(lock);
    auto found = formats.find(extension);
    if (found == formats.end())
        found =
            formats
                .emplace(extension, QSettings::registerFormat(extension, readProfile, writeProfile))
                .first;
    return found->second;
}

bool SyncProfile(QSettings& profile, QString* reason)
{
    t_lastWrite = {};
    profile.sync();
    int error = t_lastWrite.error;
    if (!t_lastWrite.ran && profile.status() != QSettings::NoError) {
        // Qt gave up before it wrote anything (its lock file or save file
        // could not be made on a full disk or in a read-only folder; the
        // status may also stay from an earlier failure): the text itself,
        // written beside the profile and thrown away, tells why.
        QSettings::SettingsMap map;
        for (const QString& key : profile.allKeys())
            map.insert(key, profile.value(key));
        AtomicFile probe(profile.fileName());
        if (!probe.open() || !probe.write(ProfileText(map)))
            error = probe.error();
    }
    if (error == 0)
        return true;
    if (reason)
        *reason = SystemErrorText(error);
    return false;
}

bool ReadProfileText(QIODevice& device, QSettings::SettingsMap& map)
{
    QByteArray data = device.readAll();
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    QString section;
    qsizetype pos = 0;
    QByteArray line;
    qsizetype equals = -1;
    bool ok = true;
    while (nextLine(data, pos, line, equals)) {
        if (line.startsWith('[')) {
            qsizetype close = line.indexOf(']');
            if (close < 0) {
                ok = false;
                close = line.size();
            }
            const QByteArray name = line.mid(1, close - 1).trimmed();
            if (name.compare("general", Qt::CaseInsensitive) == 0)
                section.clear();
            else if (name.compare("%general", Qt::CaseInsensitive) == 0)
                section = QString::fromLatin1(name.mid(1)) + u'/';
            else
                section = unescapeKey(name) + u'/';
            continue;
        }
        if (equals < 0) {
            ok = false;
            continue;
        }
        const QString key = section + unescapeKey(line.left(equals).trimmed());
        QString text;
        QStringList items;
        if (unescapeValue(QByteArrayView(line).sliced(equals + 1), text, items)) {
            for (QString& item : items)
                if (item.startsWith(QLatin1String("@@")))
                    item.remove(0, 1);
            map.insert(key, items);
        } else {
            map.insert(key, textValue(text));
        }
    }
    return ok;
}

QByteArray ProfileText(const QSettings::SettingsMap& map)
{
    // Sections in name order, the top level ("General") first.
    std::map<QString, std::vector<std::pair<QString, QVariant>>> sections;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const qsizetype slash = it.key().indexOf(u'/');
        const QString section = slash < 0 ? QString() : it.key().left(slash);
        const QString key = slash < 0 ? it.key() : it.key().mid(slash + 1);
        sections[section].emplace_back(key, it.value());
    }
    QByteArray out;
    for (const auto& [section, keys] : sections) {
        if (!out.isEmpty())
            out += '\n';
        if (section.isEmpty()) {
            out += "[General]\n";
        } else if (section.compare(QLatin1String("general"), Qt::CaseInsensitive) == 0) {
            out += "[%General]\n";
        } else {
            out += '[';
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
