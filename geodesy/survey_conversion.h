#pragma once

// The road every collected point takes: geographic coordinates to the Gauss–Krüger
// plane of the zone, then by the four-parameter transformation and the height
// correction into the surveyor's own grid.

#include "geodesy/four_param.h"
#include "geodesy/zone_projection.h"

#include <stdexcept>
#include <string_view>

namespace keldarn::geodesy {

// The five parameter texts as the transformation page holds them, in the order they
// are read: dx, dy (metres), R (arc-seconds), m (ratio), dH (metres).
struct FourParamTextsView {
    std::string_view dx;
    std::string_view dy;
    std::string_view rot;
    std::string_view scale;
    std::string_view dH;
};

// Reads the texts with ParseNumberOrZero in the order dx, dy, R, m, dH: an empty or
// blank text counts as 0; the first text that is not a number throws
// InvalidNumberError.
FourParameterSet ReadFourParameters(const FourParamTextsView& texts);

// A latitude or longitude beyond the globe (|latitude| > 90°, |longitude| > 180°). what() is
// the user's message naming the value and the range, UTF-8.
class OutOfRangeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws OutOfRangeError unless −90 ≤ latDeg ≤ 90 and −180 ≤ lonDeg ≤ 180, latitude first.
void RequireOnTheGlobe(double latDeg, double lonDeg);

// Latitude and longitude (degrees) with the elevation H (metres) to the user's grid:
// X northing, Y easting with the false easting, H corrected (metres).
GridPoint GeographicToGrid(double latDeg, double lonDeg, double elevationM, double centralMeridianDeg,
                           const FourParamCoefficients& transform);
// The same on the zone's projection as the user has set it up (ellipsoid, zone number, datum);
// the elevation is the height the datum shift takes (ZoneProjection::ToPlane).
GridPoint GeographicToGrid(double latDeg, double lonDeg, double elevationM, const ZoneProjection& projection,
                           const FourParamCoefficients& transform);

}  // namespace keldarn::geodesy
