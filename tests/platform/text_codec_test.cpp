#include "platform/gbk_cut.h"
#include "platform/text_codec.h"

#include <gtest/gtest.h>

using namespace bc;

TEST(TextCodec, ChineseIsGbkAndWhatGbkCannotHoldBecomesAQuestionMark)
{
    // "出错" in GBK is B3 F6 B4 ED; an emoji outside the BMP and a Hangul
    // syllable are not in GBK.
    EXPECT_EQ(toGbk(QStringLiteral("出错ID:12")), QByteArray::fromHex("b3f6b4ed") + "ID:12");
    const QString text = QStringLiteral("倾向:123° 倾角 ′ \" 测试工地 abc");
    EXPECT_EQ(fromGbk(toGbk(text)), text);
    EXPECT_EQ(toGbk("a" + QString::fromUcs4(U"\U0001F600") + QStringLiteral("b\uAC00c")), "a?b?c");
    // The characters written as '?', each once, in order: GBK holds é and √, not ß, ✓ or U+20000.
    const QString unfit = QStringLiteral("é ß√✓ß") + QString::fromUcs4(U"\U0001F600\U00020000");
    EXPECT_EQ(toGbk(unfit), QByteArray("\xa8\xa6 ?\xa1\xcc????"));
    EXPECT_EQ(charsNotInGbk(unfit),
              QStringLiteral("ß✓") + QString::fromUcs4(U"\U0001F600\U00020000"));
    EXPECT_TRUE(charsNotInGbk(text).isEmpty());

    // 0xFF is never a GBK lead byte; a lone lead byte at the end is incomplete.
    const QString s = fromGbk(QByteArray::fromHex("41ff42b3")); // A, 0xFF, B, 0xB3
    EXPECT_TRUE(s.startsWith('A') && s.contains('B') && s.contains(QChar(0xFFFD))) << s.size();
    EXPECT_TRUE(fromGbk(QByteArray()).isEmpty());
}

TEST(GbkCut, KeepsWholeCharactersWithinTheBudget)
{
    const QString emoji = QString::fromUcs4(U"\U0001F600"); // not in GBK: one '?' byte
    const struct {
        QString text;
        int budget;
        QString kept;
    } rows[] = {
        {"abcdef", 4, "abcd"}, {"倾向倾角", 5, "倾向"},
        {"a倾向", 5, "a倾向"}, {"a" + emoji + "b", 2, "a" + emoji},
        {"a" + emoji, 1, "a"}, {"倾", 1, ""},
        {"abc", 0, ""},        {QString(300, QChar(0x5CA9)), 249, QString(124, QChar(0x5CA9))},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(cutToGbkBytes(r.text, r.budget), r.kept) << r.budget;
        EXPECT_LE(toGbk(r.kept).size(), r.budget);
    }
}
