// Reading and writing numbers: ParseNumber, ParseNumberOrZero and FormatFixed.
//
// The input's first byte chooses the decimals (0 to 15) and its next eight bytes a
// double for the round trip; all of it is also read as a field text. Findings: a crash
// or sanitizer report; an exception other than InvalidNumberError, or one that does not
// carry the text; a result that is not finite; a text the C library reads as a
// different value (or does not read) that ParseNumber accepts, or one it reads in full
// and ParseNumber refuses; ParseNumberOrZero differing from ParseNumber on a non-blank
// text; a FormatFixed text without exactly its decimals, or that does not read back to
// the value within half its last digit.

#include "fuzz/fuzz_support.h"
#include "geodesy/number_text.h"

#include <cerrno>
#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstring>
#include <optional>

using namespace keldarn;
using fuzz::Require;

namespace {

std::optional<double> Parse(std::string_view text)
{
    try {
        const double value = geodesy::ParseNumber(text);
        Require(std::isfinite(value), "ParseNumber gave a value that is not finite");
        return value;
    } catch (const geodesy::InvalidNumberError& error) {
        Require(error.text() == text, "the error does not carry the text");
        return std::nullopt;
    }
}

// The C library's reading of a text made only of digits, signs, '.', 'e' and 'E' (so
// never "inf", "nan" or hex), or nothing when it does not read the whole text.
std::optional<double> Reference(std::string_view trimmed)
{
    if (trimmed.empty() || trimmed.find_first_not_of("0123456789+-.eE") != std::string_view::npos)
        return std::nullopt;
    const std::string text(trimmed);
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

void CheckReading(std::string_view text)
{
    const std::optional<double> parsed = Parse(text);
    const std::string_view trimmed = geodesy::TrimBlanks(text);
    const std::optional<double> reference = Reference(trimmed);
    // Only these characters can make a number; the reference knows no other grammar.
    if (trimmed.find_first_not_of("0123456789+-.eE") == std::string_view::npos) {
        Require(parsed.has_value() == reference.has_value(),
                "'" + std::string(text) + "' is read by " + (parsed ? "ParseNumber" : "strtod") + " only");
        // Values below the smallest normal double may be read as zero.
        if (parsed)
            Require(*parsed == *reference || std::abs(*parsed - *reference) <= DBL_MIN,
                    "'" + std::string(text) + "' is read as another value");
    } else {
        Require(!parsed.has_value(), "'" + std::string(text) + "' with other characters was read");
    }

    if (trimmed.empty()) {
        Require(geodesy::ParseNumberOrZero(text) == 0.0, "a blank text is not zero");
        return;
    }
    try {
        const double value = geodesy::ParseNumberOrZero(text);
        Require(parsed && std::memcmp(&value, &*parsed, sizeof value) == 0, "ParseNumberOrZero reads otherwise");
    } catch (const geodesy::InvalidNumberError&) {
        Require(!parsed, "ParseNumberOrZero refuses a number");
    }
}

void CheckRoundTrip(double value, int decimals)
{
    const std::string text = geodesy::FormatFixed(value, decimals);
    if (!std::isfinite(value)) {
        Require(!Parse(text), "a text of a value that is not finite reads as a number");
        return;
    }
    const std::size_t point = text.find('.');
    if (decimals == 0)
        Require(point == std::string::npos, "a decimal point without decimals");
    else
        Require(point != std::string::npos && text.size() - point - 1 == static_cast<std::size_t>(decimals),
                "'" + text + "' does not have " + std::to_string(decimals) + " decimals");
    const std::optional<double> back = Parse(text);
    Require(back.has_value(), "'" + text + "' does not read back");
    const double halfDigit = 0.5 * std::pow(10.0, -decimals);
    const double tolerance = halfDigit + 4 * DBL_EPSILON * std::abs(value);
    Require(std::abs(*back - value) <= tolerance, "'" + text + "' is too far from its value");
    if (*back == 0.0)
        Require(text.front() != '-', "'" + text + "' is a negative zero");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CheckReading(std::string_view(reinterpret_cast<const char*>(data), size));
    if (size >= 9) {
        double value;
        std::memcpy(&value, data + 1, sizeof value);
        CheckRoundTrip(value, data[0] % 16);
    }
    return 0;
}
