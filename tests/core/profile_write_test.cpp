// What the profile's writer writes reads back to the same keys and values,
// with our reader and with Qt's own, however awkward the keys and values.

#include "profile_compare.h"

#include <QBuffer>
#include <QDateTime>
#include <QRect>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <random>

namespace bc {
namespace {

using test::describe;

QSettings::SettingsMap readText(const QByteArray& text)
{
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    QSettings::SettingsMap map;
    EXPECT_TRUE(ReadProfileText(buffer, map));
    return map;
}

// Whether a value read back is the value written, as the program gets it:
// numbers come back as their text, a list as a list of the same texts (an
// empty one as no value), anything else as it was.
bool readsBackAs(const QVariant& written, const QVariant& back)
{
    switch (written.metaType().id()) {
    case QMetaType::UnknownType:
        return !back.isValid();
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        const QVariantList items = written.toList();
        if (items.size() == 1)
            return readsBackAs(items.front(), back);
        if (items.isEmpty())
            return !back.isValid();
        const int type = back.metaType().id();
        return (type == QMetaType::QStringList || type == QMetaType::QVariantList) &&
               back.toStringList() == written.toStringList();
    }
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double:
    case QMetaType::Bool:
        return back.metaType().id() == QMetaType::QString && back.toString() == written.toString();
    default:
        return back.metaType() == written.metaType() && back == written;
    }
}

QString debugText(const QVariant& v)
{
    QString text;
    QDebug(&text) << v;
    return text;
}

// Writes the map, reads it back with ours and with Qt's reader: every key
// with its value.
void expectRoundTrip(const QSettings::SettingsMap& written, test::ReaderPair& readers)
{
    const QByteArray text = ProfileText(written);
    const QSettings::SettingsMap back = readText(text);
    EXPECT_TRUE(back.keys() == written.keys())
        << describe(back.keys().join(u'|').toUtf8()) << " read back from " << describe(text);
    for (auto it = written.cbegin(); it != written.cend(); ++it)
        EXPECT_TRUE(readsBackAs(it.value(), back.value(it.key())))
            << describe(it.key().toUtf8()) << " written " << debugText(it.value()).toStdString()
            << " read back " << debugText(back.value(it.key())).toStdString() << " from "
            << describe(text);
    const auto [qt, ours] = readers.read(text);
    EXPECT_TRUE(ours == qt) << describe(text) << "\nQt reads:" << describe(qt)
                            << "\nours reads:" << describe(ours);
}

TEST(ProfileWrite, AwkwardKeysAndValuesReadBackTheSame)
{
    const QChar high(0xD83D), low(0xDE00);
    const QSettings::SettingsMap rows[] = {
        // Keys.
        {{"a/b/", "under a section, ending in '/'"}},
        {{"a//", "x"}, {"a/b//c", "y"}},
        {{"/top", "leading '/'"}, {"/", "only '/'"}, {"", "no key"}},
        {{"g/k=ey", 1}, {"g/k;ey", 2}, {"g/#k", 3}, {"g/ k ", 4}, {"g/\tk\n\x01", 5}},
        {{"测试 参数/孔 号", "测试"}, {"g/%41", "%"}, {"g/\\x", "\\"}, {"[s]/[k]", "["}},
        {{"General/x", 1}, {"general/y", 2}, {"GENERAL/z", 3}, {"%general/w", 4}, {"t", 5}},
        {{QString("g/") + high, "half a pair"}, {QString("g/") + low + high + low, "a pair"}},
        // Values.
        {{"v/trailing", "ZK-01 "}, {"v/leading", " ZK-01"}, {"v/blanks", "  "}, {"v/empty", ""}},
        {{"v/tabs", "\tZK\t"}, {"v/mixed", " \t x \t "}},
        {{"v/separators", "a;b,c=d"}, {"v/hash", "#x"}, {"v/quotes", "\"q\" \""}},
        {{"v/backslash", "\\"}, {"v/backslashes", "a\\\\b\\"}},
        {{"v/controls", "\x01\x1f\x7f\a\b\f\n\r\t\v"}, {"v/nul", QString(QChar(0)) + "7f"}},
        {{"v/at", "@x"}, {"v/at only", "@"}, {"v/at at", "@@y"}, {"v/invalid text", "@Invalid()"}},
        {{"v/string text", "@String(x)"}, {"v/bytes text", "@ByteArray(x)"}},
        {{"v/halves", QString("a") + high + "b" + low + "c" + high},
         {"v/pair", QString(high) + low}},
        {{"v/marks", QString(QChar(0xFEFF)) + "x" + QChar(0xFEFF)},
         {"v/nonchar", QString(QChar(0xFFFF))}},
        {{"v/digits after escapes", QString("\x01") + "0a" + QChar(0) + "0" + high + "f"}},
        {{"v/chinese", "测试参数 孔号"}, {"v/latin", "é ü\u00A0"}},
        {{"v/int", 42}, {"v/negative", qlonglong(-5)}, {"v/double", 1.5}, {"v/bool", true}},
        {{"v/bytes", QByteArray("\0\xff\x7f a,\"b\"\\", 10)}, {"v/no bytes", QByteArray()}},
        {{"v/none", QVariant()}, {"v/rect", QRect(1, -2, 3, 4)}},
        {{"v/when", QDateTime(QDate(2026, 12, 7), QTime(10, 30), QTimeZone::utc())}},
        // Lists.
        {{"l/two", QStringList{"a", "b"}}, {"l/empty items", QStringList{"", ""}}},
        {{"l/awkward", QStringList{" x ", "y,z", "@w", "\"q", "", "ZK-01 "}}},
        {{"l/nul", QStringList{QString("a") + QChar(0) + "b", "@c"}}, {"l/none", QStringList{}}},
        {{"l/one", QStringList{"only"}}, {"l/mixed", QVariantList{1, QByteArray("b"), QVariant()}}},
    };
    test::ReaderPair readers;
    QSettings::SettingsMap all;
    for (const QSettings::SettingsMap& row : rows) {
        expectRoundTrip(row, readers);
        all.insert(row);
    }
    expectRoundTrip(all, readers);
}

// Random keys and values drawn from the awkward characters, a few hundred
// maps: each reads back as written, by ours and by Qt's reader alike.
TEST(ProfileWrite, RandomKeysAndValuesReadBackTheSame)
{
    static const char16_t units[] = {
        u'a',  u'Z',    u'0',  u'7',  u'f',   u'/',   u'/',   u'%',   u'\\', u'=', u';',   u'#',
        u' ',  u'\t',   u'\n', u'\r', u'[',   u']',   u'"',   u',',   u'@',  u'(', u')',   u'.',
        u'\0', u'\x7f', u'é',  u'测', 0xFEFF, 0xD83D, 0xDE00, 0xFFFF, u'U',  u'x', u'\x01'};
    std::mt19937 random(20261207);
    auto below = [&](int n) { return int(random() % unsigned(n)); };
    auto text = [&](int longest) {
        QString s;
        for (int n = below(longest + 1); n > 0; --n)
            s += QChar(units[below(std::size(units))]);
        return s;
    };
    test::ReaderPair readers;
    for (int round = 0; round < 300; ++round) {
        QSettings::SettingsMap map;
        for (int k = 1 + below(5); k > 0; --k) {
            QVariant value;
            switch (below(6)) {
            case 0: {
                QStringList items;
                for (int n = below(4); n > 0; --n)
                    items << text(5);
                value = items;
                break;
            }
            case 1: {
                QByteArray bytes;
                for (int n = below(6); n > 0; --n)
                    bytes += char(below(256));
                value = bytes;
                break;
            }
            case 2:
                value = below(2000) - 1000;
                break;
            case 3:
                break;
            default:
                value = text(8);
            }
            map.insert(text(6), value);
        }
        expectRoundTrip(map, readers);
        if (HasFailure())
            break;
    }
}

} // namespace
} // namespace bc
