// The point-name increment on any name.
//
// Findings: a crash or sanitizer report; a result that does not keep the name's text in
// front of its final digit run, or whose new digits are not that run plus one (checked
// by counting the result back down, digit by digit).

#include "fuzz/fuzz_support.h"
#include "points/point_name.h"

#include <string_view>

using namespace keldarn;
using fuzz::Require;

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The decimal text one less than `digits` (no leading zeros, not "0"), without leading zeros.
std::string Decrement(std::string digits)
{
    std::size_t i = digits.size();
    while (i > 0 && digits[i - 1] == '0')
        digits[--i] = '9';
    Require(i > 0, "decrement of zero");
    --digits[i - 1];
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? "0" : digits.substr(first);
}

bool IsBlankName(std::string_view name)
{
    for (const char c : name) {
        if (static_cast<unsigned char>(c) > 32)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view name(reinterpret_cast<const char*>(data), size);
    const std::string next = points::NextPointName(name);
    const std::string_view base = IsBlankName(name) ? std::string_view("K") : name;

    std::size_t runStart = base.size();
    while (runStart > 0 && IsDigit(base[runStart - 1]))
        --runStart;
    const std::string_view prefix = base.substr(0, runStart);
    Require(std::string_view(next).starts_with(prefix), "the text before the number changed");
    const std::string digits = next.substr(prefix.size());
    Require(!digits.empty(), "no number at the end");
    for (const char c : digits)
        Require(IsDigit(c), "the new number is not all digits");
    Require(digits.front() != '0', "the new number has a leading zero");

    const std::string run(base.substr(runStart));
    const std::size_t firstNonZero = run.find_first_not_of('0');
    const std::string old = firstNonZero == std::string::npos ? "0" : run.substr(firstNonZero);
    Require(Decrement(digits) == old, "the new number is not the old one plus one");
    return 0;
}
