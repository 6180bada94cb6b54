#pragma once

// Reading numbers from field texts and writing them back as fixed-point text.
// The decimal mark is always '.', whatever the locale: these texts go into survey
// files and the settings file, which must read the same on every machine.

#include <stdexcept>
#include <string>
#include <string_view>

namespace keldarn::geodesy {

// A text that is not a decimal number. what() is the user's message in the interface
// language, "“<text>”不是有效的数值" ("'<text>' is not a valid floating point value" in
// English), UTF-8.
class InvalidNumberError : public std::runtime_error {
public:
    explicit InvalidNumberError(std::string_view text);
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

// Strict reading: an optional sign, digits with at most one '.', an optional exponent
// (E or e), blanks allowed before and after. The result must be finite. Anything else,
// the empty text included, throws InvalidNumberError naming the text as given.
double ParseNumber(std::string_view text);

// As ParseNumber, except that a text that is empty after trimming blanks and control
// characters (codes 0–32) reads as 0.
double ParseNumberOrZero(std::string_view text);

// Fixed-point text with exactly `decimals` digits after a '.', trailing zeros kept, no
// grouping, no blanks, a leading '-' only when the rounded value is not zero
// (−0.00004 with 4 decimals is "0.0000"). decimals = 0 writes no decimal point.
std::string FormatFixed(double value, int decimals);

// Decimals of a survey grid coordinate (X, Y or H, metres) in the point table and the files
// written from it: a millimetre.
inline constexpr int kGridCoordinateDecimals = 3;

// A survey grid coordinate (X, Y or H, metres) as the point table and the point files hold
// it: FormatFixed to the millimetre.
std::string FormatGridCoordinate(double metres);

// Removes leading and trailing characters with codes 0 to 32.
std::string_view TrimBlanks(std::string_view text);

}  // namespace keldarn::geodesy
