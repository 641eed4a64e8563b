#include "script/vm/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zelph {
namespace {

const double kInf = std::numeric_limits<double>::infinity();

TEST(NumberText, FloatsAsPercentGWithThreeExponentDigits)
{
    const std::pair<double, const char*> table[] = {
        {1.0 / 3, "0.333333"},
        {123456789.5, "1.23457e+008"},
        {1e21, "1e+021"},
        {1e-5, "1e-005"},
        {0.0001, "0.0001"},
        {0.00012345678, "0.000123457"},
        {123456.0, "123456"},
        {999999.4, "999999"},
        {999999.5, "1e+006"},
        {100000.0, "100000"},
        {3.5, "3.5"},
        {2.0, "2"},
        {-2.5, "-2.5"},
        {0.0, "0"},
        {-0.0, "-0"},
        {1e100, "1e+100"},
        {1.5e-300, "1.5e-300"},
        {5e-324, "4.94066e-324"},
        {1.7976931348623157e308, "1.79769e+308"},
        {2.2250738585072014e-308, "2.22507e-308"},
        {0.1 + 0.2, "0.3"},
        {kInf, "1.#INF"},
        {-kInf, "-1.#INF"},
        {std::numeric_limits<double>::quiet_NaN(), "1.#QNAN"},
        {kInf - kInf, "-1.#IND"},  // the NaN that inf - inf yields has its sign set
    };
    for (const auto& [x, text] : table)
        EXPECT_EQ(FormatFloat(x), text) << x;
}

TEST(NumberText, IntegersInARadix)
{
    const struct {
        std::int64_t x;
        int radix;
        const char* text;
    } table[] = {
        {255, 16, "ff"},
        {255, 10, "255"},
        {-255, 10, "-255"},
        {-1, 16, "ffffffffffffffff"},
        {-255, 2, "1111111111111111111111111111111111111111111111111111111100000001"},
        {std::numeric_limits<std::int64_t>::min(), 10, "-9223372036854775808"},
        {35, 36, "z"},
        {0, 2, "0"},
        {10, 1, "10"},   // radixes outside 2..36 write radix 10
        {10, 37, "10"},
    };
    for (const auto& c : table)
        EXPECT_EQ(FormatInteger(c.x, c.radix), c.text) << c.x << " radix " << c.radix;
}

TEST(NumberText, IntegerScanner)
{
    const struct {
        const char16_t* text;
        int radix;
        bool found, fits;
        std::int64_t integer;
        std::size_t end;
    } table[] = {
        {u"0x1F", 0, true, true, 31, 4},
        {u"010", 0, true, true, 8, 3},
        {u"08", 0, true, true, 0, 1},
        {u"- 7", 0, true, true, -7, 3},
        {u"  +12abc", 0, true, true, 12, 5},
        {u"abc", 0, false, false, 0, 0},
        {u"ff", 16, true, true, 255, 2},
        {u"0XfF", 16, true, true, 255, 4},
        {u"0x10", 10, true, true, 0, 1},
        {u"z", 36, true, true, 35, 1},
        {u"9223372036854775807", 0, true, true, 9223372036854775807LL, 19},
        {u"-9223372036854775807", 0, true, true, -9223372036854775807LL, 20},
        {u"9223372036854775808", 0, true, false, 0, 19},
        {u"", 0, false, false, 0, 0},
        {u"-", 0, false, false, 0, 0},
        {u"0x", 0, false, false, 0, 0},
        {u"12", -3, false, false, 0, 0},
    };
    for (const auto& c : table) {
        IntegerScan s = ScanInteger(c.text, c.radix);
        std::string label(c.text, c.text + std::char_traits<char16_t>::length(c.text));
        EXPECT_EQ(s.found, c.found) << label;
        EXPECT_EQ(s.fits, c.fits) << label;
        if (c.fits) {
            EXPECT_EQ(s.integer, c.integer) << label;
        }
        if (c.found) {
            EXPECT_EQ(s.end, c.end) << label;
        }
    }
}

TEST(NumberText, ScannerFloatsWhenTooLarge)
{
    // Radix 10: correctly rounded; 2^63 exactly.
    EXPECT_EQ(ScanInteger(u"9223372036854775808", 0).number, 9223372036854775808.0);
    EXPECT_EQ(ScanInteger(u"-9223372036854775808", 0).number, -9223372036854775808.0);
    EXPECT_EQ(ScanInteger(u"123456789012345678901234567890", 10).number, 1.2345678901234568e29);
    EXPECT_EQ(ScanInteger(std::u16string(400, u'9'), 10).number, kInf);
    // Power-of-two radixes: the exact value rounded to 53 bits, ties to even.
    // 2^64 + 2^11 lies exactly between two doubles: ties to even gives 2^64.
    EXPECT_EQ(ScanInteger(u"10000000000000800", 16).number, 18446744073709551616.0);
    // One more unit beyond the tie rounds up.
    EXPECT_EQ(ScanInteger(u"10000000000000801", 16).number, 18446744073709555712.0);
    // 2^64 + 3 * 2^11: the tie rounds to the even neighbour above.
    EXPECT_EQ(ScanInteger(u"10000000000001800", 16).number, 18446744073709559808.0);
    EXPECT_EQ(ScanInteger(u"ffffffffffffffff", 16).number, 18446744073709551616.0);
    EXPECT_EQ(ScanInteger(u"-8000000000000000", 16).number, -9223372036854775808.0);
    // Other radixes accumulate digit by digit.
    EXPECT_EQ(ScanInteger(u"zzzzzzzzzzzzzz", 36).number, 6.140942214464815e21);
}

TEST(NumberText, DecimalParser)
{
    const struct {
        const char16_t* text;
        double value;
        std::size_t end;
    } table[] = {
        {u"1.5e1", 15.0, 5},
        {u"  -2.5", -2.5, 6},
        {u"+.5", 0.5, 3},
        {u"5.", 5.0, 2},
        {u"1d2", 100.0, 3},
        {u"1D-2x", 0.01, 4},
        {u"1e", 1.0, 1},
        {u"1e+", 1.0, 1},
        {u"12px", 12.0, 2},
        {u"1e999", kInf, 5},
        {u"-1e999", -kInf, 6},
        {u"1e-999", 0.0, 6},
        {u"0.1", 0.1, 3},
        {u"2.2250738585072014e-308", 2.2250738585072014e-308, 23},
        {u"4.9e-324", 4.9406564584124654e-324, 8},
        {u"1e99999999999999999999", kInf, 22},
    };
    for (const auto& c : table) {
        std::size_t end = 99;
        std::optional<double> d = ParseDecimal(c.text, &end);
        std::string label(c.text, c.text + std::char_traits<char16_t>::length(c.text));
        ASSERT_TRUE(d.has_value()) << label;
        EXPECT_EQ(*d, c.value) << label;
        EXPECT_EQ(end, c.end) << label;
    }
    for (const char16_t* bad : {u"", u".", u"-", u"e5", u"Infinity", u"nan", u" .e1"})
        EXPECT_FALSE(ParseDecimal(bad).has_value());
}

// Hostile input neither crashes nor takes more than linear time.
TEST(NumberText, HugeAndMalformedText)
{
    std::u16string digits(1'000'000, u'7');
    EXPECT_EQ(*ParseDecimal(digits), kInf);
    EXPECT_EQ(*ParseDecimal(u"0." + digits), 0.77777777777777779);
    EXPECT_EQ(ScanInteger(digits, 0).number, kInf);
    EXPECT_EQ(ScanInteger(u"0x" + std::u16string(100000, u'f'), 0).number, kInf);
    std::u16string zeros(1'000'000, u'0');
    EXPECT_EQ(*ParseDecimal(u"0." + zeros + u"1e1000001"), 1.0);
    EXPECT_EQ(*ParseDecimal(zeros + u"1e-1000000"), 0.0);
}

} // namespace
} // namespace zelph
