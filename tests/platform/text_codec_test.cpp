#include "platform/text_codec.h"

#include <gtest/gtest.h>

using namespace bc;

TEST(TextCodec, EncodesChineseAsGbkBytes)
{
    // "出错" in GBK is B3 F6 B4 ED.
    EXPECT_EQ(toGbk(QStringLiteral("出错")), QByteArray("\xB3\xF6\xB4\xED"));
    EXPECT_EQ(toGbk(QStringLiteral("ID:12")), QByteArray("ID:12"));
    EXPECT_EQ(fromGbk(QByteArray("\xB3\xF6\xB4\xED")), QStringLiteral("出错"));
}

TEST(TextCodec, RoundTripsMixedText)
{
    const QString text = QStringLiteral("倾向:%1° 倾角 ′ \" 测试工地 abc").arg(123);
    EXPECT_EQ(fromGbk(toGbk(text)), text);
}

TEST(TextCodec, UnrepresentableCharacterBecomesQuestionMark)
{
    // An emoji outside the BMP and a Hangul syllable: neither is in GBK.
    const QString text = QStringLiteral("a") + QString::fromUcs4(U"\U0001F600") +
                         QStringLiteral("b\uAC00c");
    EXPECT_EQ(toGbk(text), QByteArray("a?b?c"));
}

TEST(TextCodec, InvalidGbkBytesDecodeWithoutFailing)
{
    // 0xFF is never a GBK lead byte; a lone lead byte at the end is incomplete.
    const QString s = fromGbk(QByteArray("A\xFF" "B\xB3", 4));
    ASSERT_GE(s.size(), 3);
    EXPECT_EQ(s.front(), QChar('A'));
    EXPECT_TRUE(s.contains(QChar('B')));
    EXPECT_TRUE(s.contains(QChar(0xFFFD)));
    EXPECT_TRUE(fromGbk(QByteArray()).isEmpty());
}
