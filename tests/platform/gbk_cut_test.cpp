#include "platform/gbk_cut.h"
#include "platform/text_codec.h"

#include <gtest/gtest.h>

using namespace bc;

TEST(GbkCut, KeepsWholeCharactersWithinTheBudget)
{
    const QString emoji = QString::fromUcs4(U"\U0001F600"); // not in GBK: one '?' byte
    struct Row {
        QString text;
        int budget;
        QString kept;
    };
    const Row rows[] = {
        {QStringLiteral("abc"), 249, QStringLiteral("abc")},
        {QStringLiteral("abcdef"), 4, QStringLiteral("abcd")},
        {QStringLiteral("倾向倾角"), 5, QStringLiteral("倾向")},     // the third would need bytes 5 and 6
        {QStringLiteral("a倾向"), 4, QStringLiteral("a倾")},
        {QStringLiteral("a倾向"), 5, QStringLiteral("a倾向")},
        {QStringLiteral("a") + emoji + QStringLiteral("b"), 2, QStringLiteral("a") + emoji},
        {QStringLiteral("a") + emoji + QStringLiteral("b"), 1, QStringLiteral("a")},
        {QStringLiteral("倾"), 1, QString()},
        {QStringLiteral("abc"), 0, QString()},
    };
    for (const Row& r : rows) {
        const QString cut = cutToGbkBytes(r.text, r.budget);
        EXPECT_EQ(cut, r.kept) << r.text.toStdString() << " in " << r.budget;
        EXPECT_LE(toGbk(cut).size(), r.budget);
    }
}

TEST(GbkCut, LongChineseTextFillsTheBudgetWithoutABrokenCharacter)
{
    const QString text = QString(300, QChar(0x5CA9)); // 岩, two GBK bytes each
    const QString cut = cutToGbkBytes(text, 249);
    EXPECT_EQ(cut.size(), 124);
    const QByteArray bytes = toGbk(cut);
    EXPECT_EQ(bytes.size(), 248);
    EXPECT_EQ(fromGbk(bytes), cut) << "the bytes decode back to whole characters";
}
