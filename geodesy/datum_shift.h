#pragma once

// Seven-parameter (Bursa–Wolf, Helmert) datum shift between WGS84 and a local datum,
// applied to geocentric coordinates, with the geodetic ⇄ geocentric conversions it needs.
//
// Geodetic points: latitude B and longitude L in degrees (north and east positive), height
// H above the ellipsoid in metres. Geocentric points: X, Y, Z in metres, origin at the
// ellipsoid's centre, Z along the minor axis, X through longitude 0. Nothing here throws.

#include "geodesy/ellipsoid.h"

namespace keldarn::geodesy {

// Sign of the rotations; the same numbers turn the frame the opposite way in the other.
//
// With the rotations rx, ry, rz (radians), the scale change s and the shift T, both
// conventions apply the linearised Bursa–Wolf form
//     X_local = T + (1 + s)·R·X_wgs84
// and differ only in R:
//   PositionVector  (EPSG method 1033; PROJ +convention=position_vector, also the
//                    convention of PROJ's +towgs84):
//       R = |  1   −rz   ry |
//           |  rz   1   −rx |
//           | −ry   rx   1  |
//   CoordinateFrame (EPSG method 1032; PROJ +convention=coordinate_frame): the transpose,
//       R = |  1    rz  −ry |
//           | −rz   1    rx |
//           |  ry  −rx   1  |
// A parameter set published in one convention is converted to the other by negating
// rx, ry and rz.
enum class RotationConvention { PositionVector, CoordinateFrame };

// The shift from WGS84 to the local datum: source WGS84, target local. A set published
// the other way round (local to WGS84, as PROJ's +towgs84 is) is the inverse map; negating
// its seven numbers gives this direction only to first order, about a millimetre off.
// Apply such a set with SevenParamForward on the local geocentric coordinates instead.
struct SevenParameters {
    double dxM = 0.0;  // shift T, metres
    double dyM = 0.0;
    double dzM = 0.0;
    double rxArcSec = 0.0;  // rotations about X, Y, Z, arc-seconds
    double ryArcSec = 0.0;
    double rzArcSec = 0.0;
    double scalePpm = 0.0;  // scale change s, parts per million: the factor is 1 + s·10⁻⁶
    RotationConvention convention = RotationConvention::PositionVector;

    bool operator==(const SevenParameters&) const = default;
};

struct GeodeticPoint {
    double latDeg = 0.0;
    double lonDeg = 0.0;
    double heightM = 0.0;  // above the ellipsoid
};

struct GeocentricPoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// X = (N + H)·cos B·cos L, Y = (N + H)·cos B·sin L, Z = (N·(1 − e²) + H)·sin B.
GeocentricPoint GeodeticToGeocentric(const GeodeticPoint& point, const Ellipsoid& ellipsoid);

// The exact inverse in closed form (Vermeille 2002), for points farther than about 50 km
// from the Earth's centre; longitude in (−180°, 180°]. Round trips agree to a few
// nanometres in height and 1e-11° in latitude and longitude.
GeodeticPoint GeocentricToGeodetic(const GeocentricPoint& point, const Ellipsoid& ellipsoid);

// X_local = T + (1 + s)·R·X_wgs84, with R of params.convention.
GeocentricPoint SevenParamForward(const SevenParameters& params, const GeocentricPoint& wgs84);

// X_wgs84 = [(1 + s)·R]⁻¹·(X_local − T): the 3×3 matrix of the forward map inverted
// exactly (not by negating the small angles), so that a round trip returns the point to
// nanometres.
GeocentricPoint SevenParamReverse(const SevenParameters& params, const GeocentricPoint& local);

// WGS84 geodetic point to the local datum on the local ellipsoid; heights stay ellipsoidal.
GeodeticPoint Wgs84ToLocal(const GeodeticPoint& wgs84, const SevenParameters& params, const Ellipsoid& local);

// The exact inverse of Wgs84ToLocal.
GeodeticPoint LocalToWgs84(const GeodeticPoint& local, const SevenParameters& params,
                           const Ellipsoid& localEllipsoid);

}  // namespace keldarn::geodesy
