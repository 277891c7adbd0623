// Number to text, text to number and the integer casts.
#include "player/avm1/value.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace avm1;

TEST(Avm1Value, NumberToTextFollowsTheFifteenDigitRule) {
    const struct {
        double n;
        const char* text;
    } cases[] = {
        {0, "0"},
        {-0.0, "0"},
        {1, "1"},
        {-42, "-42"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3, "0.333333333333333"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1e+15"},
        {2e19, "2e+19"},
        {1.5e300, "1.5e+300"},
        {0.0001, "0.0001"},
        {0.00001, "0.00001"},
        {0.000001, "1e-6"},
        {1.25e-7, "1.25e-7"},
        {4.94065645841247e-324, "4.94065645841247e-324"},
        {1.7976931348623157e308, "1.79769313486232e+308"},
        {NAN, "NaN"},
        {INFINITY, "Infinity"},
        {-INFINITY, "-Infinity"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NumberToString(c.n), c.text) << c.text;
}

TEST(Avm1Value, RadixTextOfIntegers) {
    EXPECT_EQ(NumberToRadixString(255, 16), "ff");
    EXPECT_EQ(NumberToRadixString(-255, 16), "-ff");
    EXPECT_EQ(NumberToRadixString(5, 2), "101");
    EXPECT_EQ(NumberToRadixString(35, 36), "z");
    EXPECT_EQ(NumberToRadixString(3.75, 2), "11");
    EXPECT_EQ(NumberToRadixString(NAN, 16), "NaN");
}

TEST(Avm1Value, TextToNumber) {
    const struct {
        const char* text;
        double n; // NaN: expect NaN
    } cases[] = {
        {"42", 42},
        {"  42", 42},
        {"-1.5", -1.5},
        {"+3", 3},
        {".5", 0.5},
        {"5.", 5},
        {"1e3", 1000},
        {"0x1F", 31},
        {"0xFFFFFFFF", -1},
        {"", NAN},
        {"   ", NAN},
        {"12abc", NAN},
        {"abc", NAN},
        {"0x", NAN},
        {"-", NAN},
    };
    for (const auto& c : cases) {
        double n = StringToNumber(c.text, 7);
        if (std::isnan(c.n))
            EXPECT_TRUE(std::isnan(n)) << '"' << c.text << '"';
        else
            EXPECT_EQ(n, c.n) << '"' << c.text << '"';
    }
}

TEST(Avm1Value, Version4ReadsALeadingNumberAndElseZero) {
    EXPECT_EQ(StringToNumberSwf4("12abc"), 12);
    EXPECT_EQ(StringToNumberSwf4("abc"), 0);
    EXPECT_EQ(StringToNumberSwf4(""), 0);
    EXPECT_EQ(StringToNumberSwf4(" 2.5e1x"), 25);
}

TEST(Avm1Value, ParseFloatTakesTheLongestPrefix) {
    EXPECT_EQ(ParseFloatPrefix("3.14abc"), 3.14);
    EXPECT_EQ(ParseFloatPrefix("  -2e2"), -200);
    EXPECT_TRUE(std::isnan(ParseFloatPrefix("x1")));
}

TEST(Avm1Value, IntegerCastsWrapLikeTheBitOperators) {
    EXPECT_EQ(DoubleToInt32(4294967295.0), -1);
    EXPECT_EQ(DoubleToInt32(2147483648.0), -2147483647 - 1);
    EXPECT_EQ(DoubleToInt32(-1.9), -1);
    EXPECT_EQ(DoubleToInt32(NAN), 0);
    EXPECT_EQ(DoubleToInt32(INFINITY), 0);
    EXPECT_EQ(DoubleToUint32(-1), 4294967295u);
    EXPECT_EQ(DoubleToInt32(1e20), 1661992960);
}

TEST(Avm1Value, NamesFoldOnlyAsciiLetters) {
    EXPECT_TRUE(EqualNames("onEnterFrame", "ONENTERFRAME", false));
    EXPECT_FALSE(EqualNames("onEnterFrame", "ONENTERFRAME", true));
    EXPECT_FALSE(EqualNames("a_", "A-", false));
}

} // namespace
