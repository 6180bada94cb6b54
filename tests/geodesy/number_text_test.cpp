#include "geodesy/central_meridian.h"
#include "geodesy/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace keldarn::geodesy {
namespace {

TEST(ParseNumberTest, AcceptsDecimalTexts) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"114", 114},       {" 114 ", 114},     {"\t-7.25\r\n", -7.25}, {"+5", 5},
        {".5", 0.5},        {"5.", 5},          {"1e3", 1000},          {"2.5E-3", 0.0025},
        {"-1e+2", -100},    {"0", 0},           {"1e-400", 0},          {"007.50", 7.5},
        {"113.5538", 113.5538},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseNumber(c.text), c.value) << '"' << c.text << '"';
    }
    // Underflows to zero although its exponent is positive.
    EXPECT_EQ(ParseNumber("0." + std::string(400, '0') + "1e+5"), 0.0);
}

TEST(ParseNumberTest, RejectsEverythingElse) {
    const char* const texts[] = {"",    "   ", "1,5", "inf", "nan",  "0x10", "1e",   ".",
                                 "-",   "+-1", "1.2.3", "1 2", "e5", "1e5.5", "1e400", "114°",
                                 "-.e1", "1e+", "1_000"};
    for (const char* text : texts) {
        EXPECT_THROW(ParseNumber(text), InvalidNumberError) << '"' << text << '"';
    }
}

TEST(ParseNumberTest, MessageQuotesTheTextAsGiven) {
    try {
        ParseNumber(" 1,5 ");
        FAIL() << "no error for \" 1,5 \"";
    } catch (const InvalidNumberError& e) {
        EXPECT_STREQ(e.what(), "“ 1,5 ”不是有效的数值");
        EXPECT_EQ(e.text(), " 1,5 ");
    }
}

TEST(ParseNumberOrZeroTest, BlankReadsAsZeroOtherwiseStrict) {
    EXPECT_EQ(ParseNumberOrZero(""), 0.0);
    EXPECT_EQ(ParseNumberOrZero(" \t\r\n\x01"), 0.0);
    EXPECT_EQ(ParseNumberOrZero(" 100 "), 100.0);
    EXPECT_THROW(ParseNumberOrZero("abc"), InvalidNumberError);
}

TEST(TrimBlanksTest, RemovesControlCharactersButNotMultibyteText) {
    EXPECT_EQ(TrimBlanks(" \t a b\r\n"), "a b");
    EXPECT_EQ(TrimBlanks("度 "), "度");  // UTF-8 bytes are above 127, not blanks
    EXPECT_EQ(TrimBlanks("   "), "");
}

TEST(ReadCentralMeridianTest, BlankIsNotSetOtherwiseANumber) {
    EXPECT_THROW(ReadCentralMeridian(""), CentralMeridianNotSetError);
    EXPECT_THROW(ReadCentralMeridian("   "), CentralMeridianNotSetError);
    EXPECT_EQ(ReadCentralMeridian(" 114 "), 114.0);
    EXPECT_THROW(ReadCentralMeridian("114度"), InvalidNumberError);
    EXPECT_STREQ(CentralMeridianNotSetError().what(), "中央子午线没有设置！");
}

TEST(FormatFixedTest, WritesExactlyTheRequestedDecimals) {
    const struct {
        double value;
        int decimals;
        const char* text;
    } cases[] = {
        {33.26771, 4, "33.2677"},
        {0, 4, "0.0000"},
        {-0.5, 4, "-0.5000"},
        {114, 4, "114.0000"},
        {2999.7, 0, "3000"},
        {3682526.1916, 3, "3682526.192"},
        {-0.00004, 4, "0.0000"},  // rounds to zero: no sign
        {-0.0, 3, "0.000"},
        {-0.4, 0, "0"},
        {-0.0006, 3, "-0.001"},
        {113.5538, 14, "113.55380000000000"},
        {1e21, 2, "1000000000000000000000.00"},  // never switches to an exponent
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatFixed(c.value, c.decimals), c.text) << c.value << " with " << c.decimals;
    }
}

TEST(FormatFixedTest, NonFiniteValuesGiveAWordNotACrash) {
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::quiet_NaN(), 3), "NAN");
    EXPECT_EQ(FormatFixed(-std::numeric_limits<double>::infinity(), 3), "-INF");
}

}  // namespace
}  // namespace keldarn::geodesy
