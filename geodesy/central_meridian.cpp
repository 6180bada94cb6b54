#include "geodesy/central_meridian.h"

#include "geodesy/number_text.h"

namespace keldarn::geodesy {

double ReadCentralMeridian(std::string_view fieldText) {
    if (TrimBlanks(fieldText).empty()) {
        throw CentralMeridianNotSetError();
    }
    return ParseNumberOrZero(fieldText);
}

}  // namespace keldarn::geodesy
