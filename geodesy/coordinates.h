#pragma once

// The coordinate types of the whole program, one for each kind of coordinate, each naming
// its axes and units in its fields: a latitude cannot pass for a longitude, nor a box's
// west edge for its south edge, without the code saying so. Initialise them by field name
// ({.latDeg = …, .lonDeg = …}), never by position.

#include <vector>

namespace keldarn::geodesy {

// A point on the ellipsoid: latitude B and longitude L, decimal degrees, north and east
// positive. WGS84, unless the function that takes or returns it says it is on the zone's
// datum.
struct GeoPoint {
    double latDeg = 0.0;
    double lonDeg = 0.0;

    bool operator==(const GeoPoint&) const = default;
};

// A stretch of ground bounded by two parallels and two meridians, degrees, edge to edge:
// southDeg ≤ northDeg and westDeg ≤ eastDeg (no box crosses the antimeridian).
struct GeoBox {
    double southDeg = 0.0;
    double westDeg = 0.0;
    double northDeg = 0.0;
    double eastDeg = 0.0;
};

// The vertices of a route, or of a closed ring whose last vertex joins the first (it is
// not repeated).
using GeoRing = std::vector<GeoPoint>;

// A point of the zone's Gauss–Krüger plane: X the northing, Y the easting with the false
// easting, metres. Also a point of the survey grid where its height does not matter.
struct PlanePoint {
    double x = 0.0;
    double y = 0.0;
};

// A point of the survey grid: X the northing, Y the easting, H the elevation, metres. Also
// a plane point with its height, on its way through the four parameters.
struct GridPoint {
    double x = 0.0;
    double y = 0.0;
    double h = 0.0;
};

}  // namespace keldarn::geodesy
