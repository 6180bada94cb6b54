#pragma once

#include <string>
#include <string_view>

namespace keldarn::points {

// The name that follows `name` on the adoption pages: the run of ASCII digits at the
// very end is counted up by one, as text of any length and without leading zeros
// (K9 → K10, K09 → K10, K007 → K8, K99999999999 → K100000000000); a name without
// such a run gets "1" appended (A- → A-1, "K1 " → "K1 1"); a blank name gives K1.
// Everything in front of the digit run stays byte for byte.
std::string NextPointName(std::string_view name);

}  // namespace keldarn::points
