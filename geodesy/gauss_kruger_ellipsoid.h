#pragma once

// Gauss–Krüger projection on any ellipsoid: the same series as gauss_kruger.h (meridian
// arc to e¹⁴, forward to m⁶ in x and m⁵ in y, inverse through the footpoint latitude),
// with the coefficients computed once per ellipsoid. Scale 1 on the central meridian, no
// false northing.
//
// Conventions as in gauss_kruger.h: degrees, north and east positive; X is the northing
// and comes first, Y the easting. Plane Y carries the 500000 m false easting and never a
// zone number (see WithoutZoneNumber in central_meridian.h). Nothing here throws.
//
// Agreement with an exact transverse Mercator: 0.1 mm within 3° of the central meridian,
// about 1 cm within 6°, latitudes up to 60°.

#include "geodesy/ellipsoid.h"
#include "geodesy/gauss_kruger.h"
#include "geodesy/gauss_kruger_formulas.h"

namespace keldarn::geodesy {

// Holds the series coefficients of one ellipsoid (a dozen doubles; cheap to copy). On
// kProgramEllipsoid every result equals the free functions of gauss_kruger.h to the bit.
class GaussKrugerSeries {
public:
    explicit GaussKrugerSeries(const Ellipsoid& ellipsoid);

    // Meridian arc length from the equator to latitude B (radians), metres.
    double MeridianArc(double latRad) const;

    // Latitude B (degrees) and longitude difference l = L − L0 (degrees, any sign) to
    // northing x and easting y from the central meridian (metres).
    SeriesPoint Forward(double latDeg, double dLonDeg) const;

    // Northing x and easting y from the central meridian (metres) to latitude B and
    // longitude difference l (degrees).
    SeriesGeo Inverse(double northingM, double eastingFromMeridianM) const;

    // B, L and the central meridian L0 (degrees) to X, Y (metres, Y with 500000 m).
    PlanePoint ToPlane(double latDeg, double lonDeg, double centralMeridianDeg) const;

    // X, Y (metres, Y with 500000 m and without zone number) and L0 (degrees) to B, L
    // (degrees). Y is taken as it is: an easting past 1000000 m is simply far east.
    GeoPoint ToGeographic(double northingM, double eastingM, double centralMeridianDeg) const;

private:
    detail::SeriesCoefficients k_;
};

}  // namespace keldarn::geodesy
