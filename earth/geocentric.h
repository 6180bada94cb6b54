#pragma once

// Earth-centred, earth-fixed (ECEF) geometry on the WGS84 ellipsoid for the camera and the
// rays of the viewer. Conversions go through GeographicLib.

#include <cmath>
#include <optional>

namespace keldarn::earth {

inline constexpr double kWgs84SemiMajorM = 6378137.0;
inline constexpr double kWgs84Flattening = 1.0 / 298.257223563;
inline constexpr double kWgs84SemiMinorM = kWgs84SemiMajorM * (1.0 - kWgs84Flattening);

struct Vec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec3 operator*(double s) const { return {x * s, y * s, z * s}; }
    double Dot(const Vec3& o) const { return x * o.x + y * o.y + z * o.z; }
    Vec3 Cross(const Vec3& o) const { return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x}; }
    double Length() const { return std::sqrt(Dot(*this)); }
    Vec3 Normalized() const { return *this * (1.0 / Length()); }
};

// Latitude and longitude (degrees, WGS84) and height above the ellipsoid (metres).
struct Geodetic {
    double latDeg = 0.0;
    double lonDeg = 0.0;
    double heightM = 0.0;
};

// A half-line in ECEF metres: origin + t·direction for t >= 0, direction of unit length,
// so t is the distance from the origin in metres.
struct Ray {
    Vec3 origin;
    Vec3 direction;

    Vec3 At(double tM) const { return origin + direction * tM; }
};

// The local frame of a point: unit vectors east, north and up (the ellipsoid normal) in ECEF.
struct LocalFrame {
    Vec3 east;
    Vec3 north;
    Vec3 up;
};

Vec3 EcefFromGeodetic(const Geodetic& g);
Geodetic GeodeticFromEcef(const Vec3& p);

// The same for points near the ellipsoid, about twice as fast: Bowring's formula (1976)
// with a single step. For heights within ±10 km it is off by less than 1e-6 m in position
// and 1e-8 m in height; not for points far out in space or near the earth's centre.
Geodetic GeodeticNearSurface(const Vec3& p);
LocalFrame LocalFrameAt(double latDeg, double lonDeg);

// The ellipsoid normal at the foot of a point, from the gradient of the ellipsoid raised
// by heightM (axes a + h and b + h); exact on the ellipsoid, off by about e²·h/a radians
// above it, which is all a step bound needs.
Vec3 ApproximateUp(const Vec3& p, double heightM);

// The stretch [tNear, tFar] (metres along the ray, possibly negative) where the ray lies
// inside the ellipsoid with semi-axes a + heightM and b + heightM, or nothing when it
// misses it. That surface is within about |heightM|·e²/2 of the true height heightM.
struct RaySpan {
    double nearM = 0.0;
    double farM = 0.0;
};
std::optional<RaySpan> RayInsideRaisedEllipsoid(const Ray& ray, double heightM);

}  // namespace keldarn::earth
