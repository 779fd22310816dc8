// Leading numbers of texts, read as atof and atoi read them.

#include "core/c_number.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

using namespace bc;

TEST(CNumber, LeadingNumbersIgnoreTrailingTextAndHoldToTheirRange)
{
    // An exponent without digits is text; no locale decimal comma; numbers too
    // small for a double read as zero, as atof reads them, never as infinity.
    constexpr double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* text;
        double value;
    } doubles[] = {
        {"12.5度", 12.5}, {"  -3.25e1x", -32.5}, {".5", 0.5}, {"7.", 7.0}, {"4e", 4.0},
        {"1,5", 1.0}, {"度", 0.0}, {"", 0.0}, {"-", 0.0}, {"1e999", inf}, {"-1e999", -inf},
        {"1e-999", 0.0}, {"-2.5e-400", -0.0}, {"0.000001e-330", 0.0}, {"7e-99999999999", 0.0}};
    for (const auto& c : doubles) {
        const double v = leadingDouble(QString::fromUtf8(c.text));
        EXPECT_TRUE(v == c.value || std::fabs(v - c.value) < 1e-300) << c.text << " " << v;
        EXPECT_EQ(std::signbit(v), std::signbit(c.value)) << c.text;
    }
    const struct {
        const char* text;
        int value;
    } ints[] = {{"271", 271}, {" -42abc", -42}, {"12.9", 12}, {"x1", 0},
                {"99999999999999999999", INT_MAX}, {"-99999999999", INT_MIN}};
    for (const auto& c : ints)
        EXPECT_EQ(leadingInt(QString::fromUtf8(c.text)), c.value) << c.text;
}
