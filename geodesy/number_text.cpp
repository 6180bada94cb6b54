#include "geodesy/number_text.h"

#include "i18n/interface_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <system_error>

namespace keldarn::geodesy {
namespace {

bool IsBlank(char ch) { return static_cast<unsigned char>(ch) <= 32; }
bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }
bool IsSign(char ch) { return ch == '+' || ch == '-'; }
bool IsExponentMark(char ch) { return ch == 'e' || ch == 'E'; }

// In the English interface "'<text>' is not a valid floating point value".
std::string InvalidNumberMessage(std::string_view text) {
    return i18n::Format(i18n::Translate("geodesy", "“%1”不是有效的数值"), {std::string(text)});
}

// [sign] digits [. digits] [(e|E) [sign] digits], at least one mantissa digit. Checked
// here rather than left to from_chars, which would also take "inf", "nan" and hex.
bool IsDecimalNumber(std::string_view t) {
    std::size_t i = 0;
    const auto skipDigits = [&] {
        const std::size_t start = i;
        while (i < t.size() && IsDigit(t[i])) {
            ++i;
        }
        return i - start;
    };
    if (i < t.size() && IsSign(t[i])) {
        ++i;
    }
    std::size_t mantissaDigits = skipDigits();
    if (i < t.size() && t[i] == '.') {
        ++i;
        mantissaDigits += skipDigits();
    }
    if (mantissaDigits == 0) {
        return false;
    }
    if (i < t.size() && IsExponentMark(t[i])) {
        ++i;
        if (i < t.size() && IsSign(t[i])) {
            ++i;
        }
        if (skipDigits() == 0) {
            return false;
        }
    }
    return i == t.size();
}

// Decimal order of magnitude of a well-formed, non-zero number text: the value lies in
// [10^(n−1), 10^n). Only its sign matters, to tell an overflow from an underflow.
long long DecimalMagnitude(std::string_view t) {
    const std::size_t exponentMark = t.find_first_of("eE");
    const std::string_view mantissa = t.substr(0, exponentMark);
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t firstNonZero = mantissa.find_first_of("123456789");
    long long magnitude = firstNonZero < point
                              ? static_cast<long long>(point - firstNonZero)
                              : -static_cast<long long>(firstNonZero - point - 1);
    if (exponentMark == std::string_view::npos) {
        return magnitude;
    }
    // Saturate: an exponent of a trillion digits must not overflow the sum.
    constexpr long long kExponentLimit = 1'000'000'000'000LL;
    const std::string_view exponent = t.substr(exponentMark + 1);
    long long e = 0;
    for (const char ch : exponent) {
        if (IsDigit(ch)) {
            e = std::min(e * 10 + (ch - '0'), kExponentLimit);
        }
    }
    return exponent.front() == '-' ? magnitude - e : magnitude + e;
}

}  // namespace

InvalidNumberError::InvalidNumberError(std::string_view text)
    : std::runtime_error(InvalidNumberMessage(text)), text_(text) {}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

double ParseNumber(std::string_view text) {
    const std::string_view number = TrimBlanks(text);
    if (!IsDecimalNumber(number)) {
        throw InvalidNumberError(text);
    }
    // from_chars reads neither the locale nor a leading '+'.
    const std::string_view digits = number.front() == '+' ? number.substr(1) : number;
    double value = 0.0;
    const auto result =
        std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Below the smallest subnormal double the value reads as zero; beyond the
        // largest double it is no usable number.
        if (DecimalMagnitude(number) > 0) {
            throw InvalidNumberError(text);
        }
        return number.front() == '-' ? -0.0 : 0.0;
    }
    if (result.ec != std::errc() || result.ptr != digits.data() + digits.size()) {
        throw InvalidNumberError(text);
    }
    return value;
}

double ParseNumberOrZero(std::string_view text) {
    if (TrimBlanks(text).empty()) {
        return 0.0;
    }
    return ParseNumber(text);
}

std::string FormatFixed(double value, int decimals) {
    if (std::isnan(value)) {
        return "NAN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-INF" : "INF";
    }
    // The largest double has 309 integer digits; add a sign, the point and the decimals.
    constexpr std::size_t kMaxIntegerChars = std::numeric_limits<double>::max_exponent10 + 3;
    const std::size_t decimalCount = static_cast<std::size_t>(std::max(decimals, 0));
    std::string text(kMaxIntegerChars + 1 + decimalCount, '\0');
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value,
                                      std::chars_format::fixed, static_cast<int>(decimalCount));
    text.resize(static_cast<std::size_t>(result.ptr - text.data()));
    // A value that rounds to zero is written without a sign (−0.00004 → "0.0000").
    if (text.front() == '-' && text.find_first_of("123456789") == std::string::npos) {
        text.erase(0, 1);
    }
    return text;
}

std::string FormatGridCoordinate(double metres)
{
    return FormatFixed(metres, kGridCoordinateDecimals);
}

}  // namespace keldarn::geodesy
