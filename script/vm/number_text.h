// Number text, identical on every target: no C library formatting or parsing
// whose results depend on the platform or the locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zelph {

// A float as printf's "%g" writes it with a 3-digit exponent: six significant
// digits, trailing zeros dropped, exponent form below 1e-4 and from 1e6
// ("1.23457e+008"); "1.#INF", "-1.#INF", "-1.#IND" (NaN, sign set), "1.#QNAN".
std::string FormatFloat(double x);
// An integer in radix 2..36 with lower-case digits: radix 10 signed, any other
// radix the 64-bit two's-complement pattern. Other radixes write radix 10.
std::string FormatInteger(std::int64_t x, int radix);

// The integer scanner: white space, one sign, white space, an optional 0x prefix
// (radix 0 chooses 16, 8 or 10 from the prefix), then digits below the radix.
struct IntegerScan {
    bool found = false;       // at least one digit
    bool fits = false;        // the magnitude fits in 63 bits: `integer` holds it
    std::int64_t integer = 0; // sign applied
    double number = 0;        // sign applied; the value when it does not fit
    std::size_t end = 0;      // position after the last digit
};
IntegerScan ScanInteger(std::u16string_view text, std::int64_t radix);

// Decimal floating-point text as wide-character strtod reads it: white space,
// sign, digits with an optional fraction, an optional exponent introduced by e,
// E, d or D; correctly rounded, locale-independent. Nothing when no digits.
// `end` receives the position after the number.
std::optional<double> ParseDecimal(std::u16string_view text, std::size_t* end = nullptr);

// White space for the scanners: space and \t \n \v \f \r.
inline bool IsScanSpace(char16_t c)
{
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// Text as ASCII (for formatted numbers).
std::u16string Widen(std::string_view ascii);

} // namespace zelph
