#include "platform/gbk_cut.h"
#include "platform/text_codec.h"

#include <gtest/gtest.h>

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
        EXPECT_EQ(bc::cutToGbkBytes(r.text, r.budget), r.kept) << r.budget;
        EXPECT_LE(bc::toGbk(r.kept).size(), r.budget);
    }
}
