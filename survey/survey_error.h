#pragma once

// Input that terrain work cannot use (a route of one vertex, an interval of zero, an area
// off the DEM, too many points): the message tells the user what to change.

#include <cstdint>
#include <stdexcept>

namespace keldarn::survey {

class SurveyInputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// No run makes more points (or profile samples) than this: beyond it the table and memory
// would not hold them.
inline constexpr std::int64_t kMaxPlannedPoints = 50'000'000;

}  // namespace keldarn::survey
