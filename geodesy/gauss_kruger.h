#pragma once

// Gauss–Krüger projection on the program's reference ellipsoid (a = 6378138 m,
// b = 6356752.29821597 m), scale 1 on the central meridian, no false northing.
//
// Conventions: latitudes and longitudes in decimal degrees, north and east positive.
// X is the northing and comes first; Y is the easting. Plane Y carries the 500000 m
// false easting and never a zone number. Nothing here throws or rounds; callers format.

#include "geodesy/coordinates.h"

namespace keldarn::geodesy {

// Semi-major and semi-minor axes of the reference ellipsoid, metres.
inline constexpr double kSemiMajorAxisM = 6378138.0;
inline constexpr double kSemiMinorAxisM = 6356752.29821597;
// False easting added to the series easting by the zone-level conversions, metres.
inline constexpr double kFalseEastingM = 500000.0;

// Result of the series: x is the northing, y the easting measured from the central
// meridian (no false easting), both metres.
struct SeriesPoint {
    double x = 0.0;
    double y = 0.0;
};

// Latitude and longitude difference from the central meridian, degrees.
struct SeriesGeo {
    double latDeg = 0.0;
    double dLonDeg = 0.0;
};

// Meridian arc length from the equator to latitude B (radians), metres.
double MeridianArc(double latRad);

// Forward series: latitude B (degrees) and longitude difference l = L − L0 (degrees,
// any sign) to northing x and easting y from the central meridian (metres).
SeriesPoint GaussForward(double latDeg, double dLonDeg);

// Inverse series: northing x and easting y from the central meridian (metres) to
// latitude B and longitude difference l (degrees).
SeriesGeo GaussInverse(double northingM, double eastingFromMeridianM);

// B, L and the zone's central meridian L0 (degrees) to X, Y (metres, Y with 500000 m).
PlanePoint GeographicToPlane(double latDeg, double lonDeg, double centralMeridianDeg);

// X, Y (metres) and L0 (degrees) to B, L (degrees). Whole millions of metres in Y are
// discarded first, so a Y with a zone-number prefix reads the same as without it.
GeoPoint PlaneToGeographic(double northingM, double eastingM, double centralMeridianDeg);

// The 3-degree zone meridian proposed for a map centred at longitude lonDeg: three times
// lonDeg / 3 rounded to the nearest whole number, exact halves to the even one.
double ProposeZoneMeridian(double lonDeg);

}  // namespace keldarn::geodesy
