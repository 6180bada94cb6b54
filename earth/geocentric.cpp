#include "earth/geocentric.h"

#include <GeographicLib/Geocentric.hpp>

#include <numbers>

namespace keldarn::earth {

Vec3 EcefFromGeodetic(const Geodetic& g)
{
    Vec3 p;
    GeographicLib::Geocentric::WGS84().Forward(g.latDeg, g.lonDeg, g.heightM, p.x, p.y, p.z);
    return p;
}

Geodetic GeodeticFromEcef(const Vec3& p)
{
    Geodetic g;
    GeographicLib::Geocentric::WGS84().Reverse(p.x, p.y, p.z, g.latDeg, g.lonDeg, g.heightM);
    return g;
}

Geodetic GeodeticNearSurface(const Vec3& p)
{
    constexpr double a = kWgs84SemiMajorM, b = kWgs84SemiMinorM;
    constexpr double e2 = kWgs84Flattening * (2.0 - kWgs84Flattening);  // first eccentricity²
    constexpr double ep2 = e2 / (1.0 - e2);                             // second eccentricity²
    constexpr double kDeg = 180.0 / std::numbers::pi;
    // Plain square roots rather than std::hypot, which is several times slower: the values
    // here are metres near the earth's surface, far from overflow and underflow.
    const double distanceFromAxis = std::sqrt(p.x * p.x + p.y * p.y);
    // Parametric latitude β of the point's projection, tan β = a·z / (b·p), as sine and cosine.
    const double r = std::sqrt(p.z * a * p.z * a + distanceFromAxis * b * distanceFromAxis * b);
    const double sinBeta = p.z * a / r, cosBeta = distanceFromAxis * b / r;
    // tan B = (z + e'²·b·sin³β) / (p − e²·a·cos³β)
    const double num = p.z + ep2 * b * sinBeta * sinBeta * sinBeta;
    const double den = distanceFromAxis - e2 * a * cosBeta * cosBeta * cosBeta;
    const double q = std::sqrt(num * num + den * den);
    const double sinB = num / q, cosB = den / q;
    // h = p·cos B + z·sin B − a·√(1 − e² sin² B), free of cancellation at any latitude.
    const double heightM = distanceFromAxis * cosB + p.z * sinB - a * std::sqrt(1.0 - e2 * sinB * sinB);
    return {std::atan2(num, den) * kDeg, std::atan2(p.y, p.x) * kDeg, heightM};
}

LocalFrame LocalFrameAt(double latDeg, double lonDeg)
{
    const double B = latDeg * std::numbers::pi / 180.0;
    const double L = lonDeg * std::numbers::pi / 180.0;
    const double sB = std::sin(B), cB = std::cos(B), sL = std::sin(L), cL = std::cos(L);
    return {{-sL, cL, 0.0}, {-sB * cL, -sB * sL, cB}, {cB * cL, cB * sL, sB}};
}

Vec3 ApproximateUp(const Vec3& p, double heightM)
{
    const double a = kWgs84SemiMajorM + heightM;
    const double b = kWgs84SemiMinorM + heightM;
    return Vec3{p.x / (a * a), p.y / (a * a), p.z / (b * b)}.Normalized();
}

std::optional<RaySpan> RayInsideRaisedEllipsoid(const Ray& ray, double heightM)
{
    // Scaling z by a'/b' turns the ellipsoid into a sphere of radius a'; then solve
    // |o + t·d|² = a'² for t.
    const double a = kWgs84SemiMajorM + heightM;
    const double k = a / (kWgs84SemiMinorM + heightM);
    const Vec3 o{ray.origin.x, ray.origin.y, ray.origin.z * k};
    const Vec3 d{ray.direction.x, ray.direction.y, ray.direction.z * k};
    const double qa = d.Dot(d);
    const double qb = o.Dot(d);  // half the linear coefficient
    const double qc = o.Dot(o) - a * a;
    const double discriminant = qb * qb - qa * qc;
    if (discriminant < 0.0)
        return std::nullopt;
    // The cancellation-free pair of roots.
    const double root = std::sqrt(discriminant);
    const double q = qb >= 0.0 ? -(qb + root) : -(qb - root);
    if (q == 0.0)
        return RaySpan{0.0, 0.0};
    double t1 = q / qa;
    double t2 = qc / q;
    if (t1 > t2)
        std::swap(t1, t2);
    return RaySpan{t1, t2};
}

}  // namespace keldarn::earth
