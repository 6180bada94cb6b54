#pragma once

// The zone central meridian exists only as the text of its field; every converting
// command reads it afresh through ReadCentralMeridian before it converts anything.

#include <stdexcept>
#include <string_view>

namespace keldarn::geodesy {

// Message shown when the central meridian field is blank.
inline constexpr const char* kCentralMeridianNotSet = "中央子午线没有设置！";

class CentralMeridianNotSetError : public std::runtime_error {
public:
    CentralMeridianNotSetError() : std::runtime_error(kCentralMeridianNotSet) {}
};

// L0 in degrees from the field text. Blank text (only blanks and control characters)
// throws CentralMeridianNotSetError; a text that is not a number throws
// InvalidNumberError.
double ReadCentralMeridian(std::string_view fieldText);

}  // namespace keldarn::geodesy
