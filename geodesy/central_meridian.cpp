#include "geodesy/central_meridian.h"

#include <cmath>

#include "geodesy/gauss_kruger.h"
#include "geodesy/number_text.h"

namespace keldarn::geodesy {

double ReadCentralMeridian(std::string_view fieldText) {
    if (TrimBlanks(fieldText).empty()) {
        throw CentralMeridianNotSetError();
    }
    return ParseNumberOrZero(fieldText);
}

namespace {

constexpr double kZoneNumberUnitM = 1000000.0;

}  // namespace

double ProposeZoneMeridian(double lonDeg, ZoneWidth width) {
    if (width == ZoneWidth::Three) {
        return ProposeZoneMeridian(lonDeg);
    }
    return std::floor(lonDeg / 6.0) * 6.0 + 3.0;
}

int ZoneNumber(double centralMeridianDeg, ZoneWidth width) {
    // East longitude in (0°, 360°]: fmod keeps the sign of its first argument.
    double eastDeg = std::fmod(centralMeridianDeg, 360.0);
    if (eastDeg <= 0.0) {
        eastDeg += 360.0;
    }
    const double n = width == ZoneWidth::Three ? eastDeg / 3.0 : (eastDeg + 3.0) / 6.0;
    const int zoneCount = width == ZoneWidth::Three ? 120 : 60;
    if (!(n == std::floor(n)) || n < 1.0 || n > zoneCount) {
        return kNoZoneNumber;
    }
    return static_cast<int>(n);
}

double WithZoneNumber(double eastingM, int zone) {
    return zone * kZoneNumberUnitM + eastingM;
}

double WithoutZoneNumber(double eastingM, int zone) {
    return eastingM - zone * kZoneNumberUnitM;
}

}  // namespace keldarn::geodesy
