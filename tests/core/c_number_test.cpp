// Leading numbers of texts, read as atof and atoi read them.

#include "core/c_number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <clocale>
#include <limits>
#include <string>

using namespace bc;

TEST(CNumber, LeadingDoubleIgnoresTrailingText)
{
    EXPECT_EQ(leadingDouble(QStringLiteral("12.5度")), 12.5);
    EXPECT_EQ(leadingDouble(QStringLiteral("  -3.25e1x")), -32.5);
    EXPECT_EQ(leadingDouble(QStringLiteral(".5")), 0.5);
    EXPECT_EQ(leadingDouble(QStringLiteral("7.")), 7.0);
    EXPECT_EQ(leadingDouble(QStringLiteral("4e")), 4.0) << "an exponent without digits is text";
    EXPECT_EQ(leadingDouble(QStringLiteral("1,5")), 1.0) << "no locale decimal comma";
    EXPECT_EQ(leadingDouble(QStringLiteral("度")), 0.0);
    EXPECT_EQ(leadingDouble(QString()), 0.0);
    EXPECT_EQ(leadingDouble(QStringLiteral("-")), 0.0);
    EXPECT_TRUE(std::isinf(leadingDouble(QStringLiteral("1e999"))));
    EXPECT_LT(leadingDouble(QStringLiteral("-1e999")), -std::numeric_limits<double>::max());
}

TEST(CNumber, NumbersTooSmallReadAsZeroNotInfinity)
{
    for (const char* text : {"1e-999", "-2.5e-400", "0.000001e-330", "7e-99999999999"}) {
        const double v = leadingDouble(QString::fromLatin1(text));
        EXPECT_TRUE(std::isfinite(v)) << text;
        EXPECT_LT(std::fabs(v), 1e-300) << text;
    }
    EXPECT_TRUE(std::signbit(leadingDouble(QStringLiteral("-1e-999"))));
}

TEST(CNumber, LeadingIntSaturates)
{
    EXPECT_EQ(leadingInt(QStringLiteral("271")), 271);
    EXPECT_EQ(leadingInt(QStringLiteral(" -42abc")), -42);
    EXPECT_EQ(leadingInt(QStringLiteral("12.9")), 12);
    EXPECT_EQ(leadingInt(QStringLiteral("x1")), 0);
    EXPECT_EQ(leadingInt(QStringLiteral("99999999999999999999")), std::numeric_limits<int>::max());
    EXPECT_EQ(leadingInt(QStringLiteral("-99999999999")), std::numeric_limits<int>::min());
}

TEST(CNumber, IgnoresTheProcessLocale)
{
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        std::setlocale(LC_NUMERIC, "C");
    EXPECT_DOUBLE_EQ(leadingDouble("2.75"), 2.75);
    std::setlocale(LC_NUMERIC, saved.c_str());
}
