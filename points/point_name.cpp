#include "points/point_name.h"

#include "geodesy/number_text.h"

namespace keldarn::points {

namespace {

bool IsAsciiDigit(char ch) { return ch >= '0' && ch <= '9'; }

// Adds one to a run of decimal digits, as text: "0099" → "100", "9" → "10".
std::string IncrementDigits(std::string_view digits)
{
    std::size_t first = 0;
    while (first + 1 < digits.size() && digits[first] == '0')
        ++first;
    std::string number(digits.substr(first));
    for (auto it = number.rbegin(); it != number.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return number;
        }
        *it = '0';
    }
    return '1' + number;
}

}  // namespace

std::string NextPointName(std::string_view name)
{
    const std::string_view base = geodesy::TrimBlanks(name).empty() ? std::string_view("K") : name;
    std::size_t runStart = base.size();
    while (runStart > 0 && IsAsciiDigit(base[runStart - 1]))
        --runStart;
    if (runStart == base.size())
        return std::string(base) + '1';
    return std::string(base.substr(0, runStart)) + IncrementDigits(base.substr(runStart));
}

}  // namespace keldarn::points
