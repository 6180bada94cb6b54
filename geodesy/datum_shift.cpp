#include "geodesy/datum_shift.h"

#include <array>
#include <cmath>
#include <numbers>

namespace keldarn::geodesy {
namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;
constexpr double kArcSecToRad = kDegToRad / 3600.0;

using Matrix3 = std::array<std::array<double, 3>, 3>;

// M = (1 + s)·R of the forward map, R as documented in datum_shift.h.
Matrix3 ScaledRotation(const SevenParameters& p)
{
    const double m = 1.0 + p.scalePpm * 1e-6;
    // Coordinate frame rotates the axes, position vector the point: R_cf = R_pv transposed.
    const double sign = p.convention == RotationConvention::PositionVector ? 1.0 : -1.0;
    const double rx = sign * p.rxArcSec * kArcSecToRad;
    const double ry = sign * p.ryArcSec * kArcSecToRad;
    const double rz = sign * p.rzArcSec * kArcSecToRad;
    return {{{m, -m * rz, m * ry}, {m * rz, m, -m * rx}, {-m * ry, m * rx, m}}};
}

GeocentricPoint Multiply(const Matrix3& M, double x, double y, double z)
{
    return {M[0][0] * x + M[0][1] * y + M[0][2] * z, M[1][0] * x + M[1][1] * y + M[1][2] * z,
            M[2][0] * x + M[2][1] * y + M[2][2] * z};
}

// M⁻¹ = adj(M) / det M. M is within 1e-4 of the identity for any real datum, so the
// determinant is near 1 and nothing cancels.
Matrix3 Inverse(const Matrix3& M)
{
    Matrix3 adj;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            // Cofactor of M[j][i], by cyclic indices so that the sign comes out right.
            const int r0 = (j + 1) % 3, r1 = (j + 2) % 3, c0 = (i + 1) % 3, c1 = (i + 2) % 3;
            adj[i][j] = M[r0][c0] * M[r1][c1] - M[r0][c1] * M[r1][c0];
        }
    }
    const double det = M[0][0] * adj[0][0] + M[0][1] * adj[1][0] + M[0][2] * adj[2][0];
    for (auto& row : adj) {
        for (double& v : row) {
            v /= det;
        }
    }
    return adj;
}

}  // namespace

GeocentricPoint GeodeticToGeocentric(const GeodeticPoint& point, const Ellipsoid& ellipsoid)
{
    const double B = point.latDeg * kDegToRad;
    const double L = point.lonDeg * kDegToRad;
    const double e2 = ellipsoid.e2();
    const double sinB = std::sin(B);
    const double N = ellipsoid.a / std::sqrt(1.0 - e2 * sinB * sinB);
    const double r = (N + point.heightM) * std::cos(B);  // distance from the minor axis
    return {r * std::cos(L), r * std::sin(L), (N * (1.0 - e2) + point.heightM) * sinB};
}

// Vermeille H. (2002), Direct transformation from geocentric coordinates to geodetic
// coordinates, Journal of Geodesy 76:451–454: the closed form for the latitude. The cube
// root needs s ≥ −2, which holds outside the evolute of the meridian ellipse (within
// e²·a, about 43 km, of the centre).
GeodeticPoint GeocentricToGeodetic(const GeocentricPoint& point, const Ellipsoid& ellipsoid)
{
    const double a = ellipsoid.a;
    const double e2 = ellipsoid.e2();
    const double e4 = e2 * e2;
    const double Z = point.z;
    const double rho = std::hypot(point.x, point.y);  // distance from the minor axis

    const double p = (rho / a) * (rho / a);
    const double q = (1.0 - e2) * (Z / a) * (Z / a);
    const double r = (p + q - e4) / 6.0;
    const double s = e4 * p * q / (4.0 * r * r * r);
    const double t = std::cbrt(1.0 + s + std::sqrt(s * (2.0 + s)));
    const double u = r * (1.0 + t + 1.0 / t);
    const double v = std::sqrt(u * u + e4 * q);
    const double w = e2 * (u + v - q) / (2.0 * v);
    const double k = std::sqrt(u + v + w * w) - w;
    const double D = k * rho / (k + e2);  // tan B = Z / D, D ≥ 0
    const double hypotDZ = std::hypot(D, Z);
    const double sinB = Z / hypotDZ;
    const double cosB = D / hypotDZ;

    // Vermeille's H = (k + e² − 1)/k·√(D² + Z²) loses k's last bits to cancellation (4 nm
    // at the equator). Instead H is the offset of the point from its foot on the ellipsoid,
    // (N·cos B, N·(1 − e²)·sin B), taken along the normal (cos B, sin B); N − a is formed
    // apart because it is small and so keeps its relative accuracy: 2 nm at worst.
    const double n = std::sqrt(1.0 - e2 * sinB * sinB);
    const double NminusA = a * e2 * sinB * sinB / (n * (1.0 + n));  // N − a = a·(1/n − 1)
    const double H = (rho - a * cosB - NminusA * cosB) * cosB +
                     (Z - a * (1.0 - e2) * sinB - NminusA * (1.0 - e2) * sinB) * sinB;
    return {std::atan2(Z, D) / kDegToRad, std::atan2(point.y, point.x) / kDegToRad, H};
}

GeocentricPoint SevenParamForward(const SevenParameters& params, const GeocentricPoint& wgs84)
{
    const GeocentricPoint rotated = Multiply(ScaledRotation(params), wgs84.x, wgs84.y, wgs84.z);
    return {params.dxM + rotated.x, params.dyM + rotated.y, params.dzM + rotated.z};
}

GeocentricPoint SevenParamReverse(const SevenParameters& params, const GeocentricPoint& local)
{
    return Multiply(Inverse(ScaledRotation(params)), local.x - params.dxM, local.y - params.dyM,
                    local.z - params.dzM);
}

GeodeticPoint Wgs84ToLocal(const GeodeticPoint& wgs84, const SevenParameters& params, const Ellipsoid& local)
{
    return GeocentricToGeodetic(SevenParamForward(params, GeodeticToGeocentric(wgs84, kWgs84)), local);
}

GeodeticPoint LocalToWgs84(const GeodeticPoint& local, const SevenParameters& params,
                           const Ellipsoid& localEllipsoid)
{
    return GeocentricToGeodetic(SevenParamReverse(params, GeodeticToGeocentric(local, localEllipsoid)),
                                kWgs84);
}

}  // namespace keldarn::geodesy
