#include "script/vm/number_text.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <limits>

namespace zelph {
namespace {

int DigitValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'z')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'Z')
        return c - u'A' + 10;
    return 99;
}

void StripZeros(std::string& digits)
{
    if (digits.find('.') == std::string::npos)
        return;
    while (digits.back() == '0')
        digits.pop_back();
    if (digits.back() == '.')
        digits.pop_back();
}

// The magnitude of digits in a power-of-two radix, rounded to 53 significant
// bits, ties to even.
double BinaryDigitsValue(std::u16string_view digits, int bitsPerDigit)
{
    std::uint64_t top = 0;  // the leading 64 bits
    std::int64_t dropped = 0;
    bool sticky = false;
    for (char16_t c : digits) {
        int d = DigitValue(c);
        for (int b = bitsPerDigit - 1; b >= 0; --b) {
            int bit = (d >> b) & 1;
            if (top < (std::uint64_t(1) << 63)) {
                top = top * 2 + static_cast<std::uint64_t>(bit);
            } else {
                ++dropped;
                sticky |= bit != 0;
            }
        }
    }
    if (top < (std::uint64_t(1) << 53))
        return std::ldexp(static_cast<double>(top), static_cast<int>(dropped));
    int shift = std::bit_width(top) - 53;
    std::uint64_t mantissa = top >> shift;
    std::uint64_t rest = top & ((std::uint64_t(1) << shift) - 1);
    std::uint64_t half = std::uint64_t(1) << (shift - 1);
    if (rest > half || (rest == half && (sticky || (mantissa & 1))))
        ++mantissa;
    double exponent = static_cast<double>(dropped) + shift;
    if (exponent > 2000)
        return std::numeric_limits<double>::infinity();
    return std::ldexp(static_cast<double>(mantissa), static_cast<int>(exponent));
}

} // namespace

std::u16string Widen(std::string_view ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

std::string FormatFloat(double x)
{
    if (std::isnan(x))
        return std::signbit(x) ? "-1.#IND" : "1.#QNAN";
    if (std::isinf(x))
        return x > 0 ? "1.#INF" : "-1.#INF";
    if (x == 0)
        return std::signbit(x) ? "-0" : "0";

    char buffer[400];
    auto sci = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::scientific, 5);
    std::string text(buffer, sci.ptr);
    std::size_t e = text.find('e');
    int exponent = std::stoi(text.substr(e + 1));
    if (exponent < -4 || exponent >= 6) {
        std::string mantissa = text.substr(0, e);
        StripZeros(mantissa);
        std::string digits = std::to_string(exponent < 0 ? -exponent : exponent);
        while (digits.size() < 3)
            digits.insert(digits.begin(), '0');
        return mantissa + (exponent < 0 ? "e-" : "e+") + digits;
    }
    auto fixed = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, 5 - exponent);
    std::string result(buffer, fixed.ptr);
    StripZeros(result);
    return result;
}

std::string FormatInteger(std::int64_t x, int radix)
{
    if (radix < 2 || radix > 36)
        radix = 10;
    bool negative = radix == 10 && x < 0;
    std::uint64_t u = negative ? 0 - static_cast<std::uint64_t>(x) : static_cast<std::uint64_t>(x);
    char buffer[72];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, u, radix);
    std::string digits(buffer, r.ptr);
    return negative ? "-" + digits : digits;
}

IntegerScan ScanInteger(std::u16string_view text, std::int64_t radix)
{
    IntegerScan scan;
    std::size_t i = 0, n = text.size();
    while (i < n && IsScanSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    while (i < n && IsScanSpace(text[i]))
        ++i;
    bool hexPrefix = i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X');
    if (radix == 0)
        radix = hexPrefix ? 16 : (i < n && text[i] == u'0') ? 8 : 10;
    if (radix == 16 && hexPrefix)
        i += 2;

    std::size_t start = i;
    const std::uint64_t limit = std::numeric_limits<std::int64_t>::max();
    std::uint64_t exact = 0;
    double approx = 0;
    bool fits = true;
    for (; i < n; ++i) {
        int d = DigitValue(text[i]);
        if (d >= radix)
            break;
        approx = approx * static_cast<double>(radix) + d;
        if (fits) {
            std::uint64_t r = static_cast<std::uint64_t>(radix);
            if (exact > (limit - static_cast<std::uint64_t>(d)) / r)
                fits = false;
            else
                exact = exact * r + static_cast<std::uint64_t>(d);
        }
    }
    if (i == start)
        return scan;
    scan.found = true;
    scan.end = i;
    scan.fits = fits;
    std::u16string_view digits = text.substr(start, i - start);
    if (fits) {
        scan.integer = negative ? -static_cast<std::int64_t>(exact) : static_cast<std::int64_t>(exact);
        scan.number = static_cast<double>(scan.integer);
        return scan;
    }
    double magnitude = approx;
    if (radix == 10) {
        std::string ascii(digits.begin(), digits.end());
        auto r = std::from_chars(ascii.data(), ascii.data() + ascii.size(), magnitude);
        if (r.ec == std::errc::result_out_of_range)
            magnitude = std::numeric_limits<double>::infinity();
    } else if (std::has_single_bit(static_cast<std::uint64_t>(radix))) {
        magnitude = BinaryDigitsValue(digits, std::countr_zero(static_cast<std::uint64_t>(radix)));
    }
    scan.number = negative ? -magnitude : magnitude;
    return scan;
}

std::optional<double> ParseDecimal(std::u16string_view text, std::size_t* end)
{
    std::size_t i = 0, n = text.size();
    while (i < n && IsScanSpace(text[i]))
        ++i;
    std::string ascii;
    if (i < n && (text[i] == u'-' || text[i] == u'+'))
        ascii.push_back(static_cast<char>(text[i++]));
    auto isDigit = [&](std::size_t k) { return k < n && text[k] >= u'0' && text[k] <= u'9'; };

    std::size_t digitCount = 0;
    std::int64_t leadingExponent = 0;  // decimal exponent of the first significant digit, roughly
    bool significant = false;
    for (; isDigit(i); ++i, ++digitCount) {
        ascii.push_back(static_cast<char>(text[i]));
        if (text[i] != u'0')
            significant = true;
        if (significant)
            ++leadingExponent;
    }
    if (i < n && text[i] == u'.') {
        std::size_t dot = i++;
        std::string fraction;
        for (; isDigit(i); ++i, ++digitCount) {
            fraction.push_back(static_cast<char>(text[i]));
            if (!significant && text[i] == u'0')
                --leadingExponent;
            else
                significant = true;
        }
        if (digitCount == 0) {
            i = dot;
        } else {
            ascii += '.';
            ascii += fraction;
        }
    }
    if (digitCount == 0) {
        if (end)
            *end = 0;
        return std::nullopt;
    }
    if (i < n && (text[i] == u'e' || text[i] == u'E' || text[i] == u'd' || text[i] == u'D')) {
        std::size_t k = i + 1;
        bool negativeExponent = false;
        if (k < n && (text[k] == u'-' || text[k] == u'+'))
            negativeExponent = text[k++] == u'-';
        if (isDigit(k)) {
            std::int64_t exponent = 0;
            for (; isDigit(k); ++k)
                exponent = std::min<std::int64_t>(exponent * 10 + (text[k] - u'0'), 100000000);
            ascii += negativeExponent ? "e-" : "e";
            ascii += std::to_string(exponent);
            leadingExponent += negativeExponent ? -exponent : exponent;
            i = k;
        }
    }
    if (end)
        *end = i;

    double value = 0;
    const char* first = ascii.data();
    if (*first == '+')
        ++first;
    auto r = std::from_chars(first, ascii.data() + ascii.size(), value);
    if (r.ec == std::errc::result_out_of_range) {
        bool negative = ascii[0] == '-';
        value = leadingExponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        if (negative)
            value = -value;
    }
    return value;
}

} // namespace zelph
