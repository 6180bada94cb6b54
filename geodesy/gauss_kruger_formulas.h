#pragma once

// Internal to geodesy/: the Gauss–Krüger series formulas over a table of ellipsoid
// coefficients, shared by gauss_kruger.cpp (the program's ellipsoid, table folded at
// compile time) and gauss_kruger_ellipsoid.cpp (any ellipsoid, table built at run time).
//
// The classical series of Chinese control-survey practice: the meridian arc as a series
// in sin B whose coefficients are polynomials in e² (to e¹⁴), the forward series to m⁶ in
// x and m⁵ in y (m = l·cos B), the inverse through the footpoint latitude. Everything is
// plain double: the series error (a tenth of a millimetre at 3° from the meridian,
// millimetres at 6°) dwarfs rounding (nanometres). Series denominators are applied as
// multiplications by their reciprocals, which costs at most the last bit and keeps the
// divider free for the few divisions that remain per point.
//
// Both callers must see the same expressions in the same order: the program ellipsoid's
// results through either path are then identical to the bit.

#include <array>
#include <cmath>
#include <numbers>

#include "geodesy/gauss_kruger.h"

namespace keldarn::geodesy::detail {

// Everything the series needs from the ellipsoid.
struct SeriesCoefficients {
    double a2 = 0.0;          // a², m²
    double b2 = 0.0;          // b², m²
    double e2 = 0.0;          // first eccentricity squared
    double secondE2 = 0.0;    // second eccentricity squared
    double arcFactorM = 0.0;  // a·(1 − e²), the factor in front of the meridian arc, metres
    double k0 = 0.0, k1 = 0.0, k3 = 0.0, k5 = 0.0, k7 = 0.0;  // meridian-arc coefficients
};

// Coefficients of e², e⁴, …, e¹⁴ in one meridian-arc polynomial.
using ArcCoefficients = std::array<double, 7>;

// c[0]·e² + c[1]·e⁴ + … + c[6]·e¹⁴, Horner form in e².
constexpr double PolynomialInE2(const ArcCoefficients& c, double e2)
{
    double sum = 0.0;
    for (auto it = c.rbegin(); it != c.rend(); ++it) {
        sum = sum * e2 + *it;
    }
    return sum * e2;
}

// The table from the semi-axes a and b (metres). Eccentricities come from the axes so that
// they can never disagree with them.
constexpr SeriesCoefficients MakeSeriesCoefficients(double aM, double bM)
{
    SeriesCoefficients k;
    k.a2 = aM * aM;
    k.b2 = bM * bM;
    k.e2 = (k.a2 - k.b2) / k.a2;
    k.secondE2 = (k.a2 - k.b2) / k.b2;
    k.arcFactorM = aM * (1.0 - k.e2);
    // Meridian-arc coefficient table (exact fractions; zero where the series has no term).
    k.k1 = PolynomialInE2({3.0 / 4, 45.0 / 64, 175.0 / 256, 11025.0 / 16384, 43659.0 / 65536,
                           693693.0 / 1048576, 2760615.0 / 4194304},
                          k.e2);
    k.k0 = 1.0 + k.k1;
    k.k3 = PolynomialInE2(
        {0.0, 15.0 / 32, 175.0 / 384, 3675.0 / 8192, 14553.0 / 32768, 231231.0 / 524288, 920205.0 / 2097152},
        k.e2);
    k.k5 = PolynomialInE2(
        {0.0, 0.0, 35.0 / 96, 735.0 / 2048, 14553.0 / 40960, 231231.0 / 655360, 184041.0 / 524288}, k.e2);
    k.k7 = PolynomialInE2(
        {0.0, 0.0, 0.0, 315.0 / 1024, 43659.0 / 143360, 693693.0 / 2293760, 2760615.0 / 9175040}, k.e2);
    return k;
}

inline constexpr double kPi = std::numbers::pi;

// Safety net for NaN or astronomically large northings only: a finite northing on the
// Earth converges in 3–5 steps because the map contracts by a factor of about e².
inline constexpr int kMaxFootpointIterations = 50;
inline constexpr double kFootpointToleranceRad = 1e-10;

// cos B·(k1·sin B + k3·sin³B + k5·sin⁵B + k7·sin⁷B), evaluated in Horner form in sin²B.
inline double ArcPeriodicTerm(const SeriesCoefficients& k, double s, double c)
{
    const double s2 = s * s;
    return c * s * (k.k1 + s2 * (k.k3 + s2 * (k.k5 + s2 * k.k7)));
}

// X0 = a·(1 − e²)·[k0·B − cos B·(k1·sin B + …)], with sin B and cos B already at hand.
inline double MeridianArcFromTrig(const SeriesCoefficients& k, double B, double s, double c)
{
    return k.arcFactorM * (k.k0 * B - ArcPeriodicTerm(k, s, c));
}

// N = a² / √(a²·cos²B + b²·sin²B), radius of curvature in the prime vertical, metres.
inline double PrimeVerticalRadius(const SeriesCoefficients& k, double s, double c)
{
    return k.a2 / std::sqrt(k.a2 * c * c + k.b2 * s * s);
}

// Footpoint latitude Bf (radians) of northing x (metres): the latitude whose meridian
// arc is x, by the fixed-point iteration φ′ = [x + K·cos φ·(k1·sin φ + …)] / (K·k0).
inline double FootpointLatitude(const SeriesCoefficients& k, double x)
{
    double phi = x / (k.arcFactorM * k.k0);
    for (int i = 0; i < kMaxFootpointIterations; ++i) {
        const double next =
            (x + k.arcFactorM * ArcPeriodicTerm(k, std::sin(phi), std::cos(phi))) / (k.arcFactorM * k.k0);
        const bool converged = std::abs(next - phi) <= kFootpointToleranceRad;
        phi = next;
        if (converged) {
            break;
        }
    }
    return phi;
}

// Latitude B and longitude difference l = L − L0 (degrees) to northing x and easting y
// from the central meridian (metres).
inline SeriesPoint SeriesForward(const SeriesCoefficients& k, double latDeg, double dLonDeg)
{
    const double B = latDeg * kPi / 180.0;
    // One argument for both, so that the compiler fuses them into a single sincos.
    const double s = std::sin(B);
    const double c = std::cos(B);
    const double t = s / c;
    const double t2 = t * t;
    const double eta2 = k.secondE2 * c * c;
    const double N = PrimeVerticalRadius(k, s, c);
    const double m = dLonDeg * c * kPi / 180.0;  // l·cos B, radians
    const double m2 = m * m;

    // x = X0 + N·t·[m²/2 + (5 − t² + 9η² + 4η⁴)·m⁴/24 + (61 − 58t² + t⁴)·m⁶/720]
    const double a4 = (5.0 - t2 + 9.0 * eta2 + 4.0 * eta2 * eta2) * (1.0 / 24.0);
    const double a6 = (61.0 - 58.0 * t2 + t2 * t2) * (1.0 / 720.0);
    const double x = MeridianArcFromTrig(k, B, s, c) + N * t * m2 * (0.5 + m2 * (a4 + m2 * a6));

    // y = N·[m + (1 − t² + η²)·m³/6 + (5 − 18t² + t⁴ + 14η² − 58η²t²)·m⁵/120]
    const double b3 = (1.0 - t2 + eta2) * (1.0 / 6.0);
    const double b5 = (5.0 - 18.0 * t2 + t2 * t2 + 14.0 * eta2 - 58.0 * eta2 * t2) * (1.0 / 120.0);
    const double y = N * m * (1.0 + m2 * (b3 + m2 * b5));
    return {x, y};
}

// Northing x and easting y from the central meridian (metres) to latitude B and
// longitude difference l (degrees).
inline SeriesGeo SeriesInverse(const SeriesCoefficients& k, double northingM, double eastingFromMeridianM)
{
    const double Bf = FootpointLatitude(k, northingM);
    const double s = std::sin(Bf);
    const double c = std::cos(Bf);
    const double t = s / c;
    const double t2 = t * t;
    const double eta2 = k.secondE2 * c * c;
    const double u = eastingFromMeridianM / PrimeVerticalRadius(k, s, c);  // y / N
    const double u2 = u * u;

    // B = Bf − [u² − (5 + 3t² + η² − 9η²t²)·u⁴/12 + (61 + 90t² + 45t⁴)·u⁶/360]·(1 + η²)·t/2
    const double a4 = (5.0 + 3.0 * t2 + eta2 - 9.0 * eta2 * t2) * (1.0 / 12.0);
    const double a6 = (61.0 + 90.0 * t2 + 45.0 * t2 * t2) * (1.0 / 360.0);
    const double dB = u2 * (1.0 - u2 * (a4 - u2 * a6)) * (1.0 + eta2) * t / 2.0;  // radians

    // l = [u − (1 + 2t² + η²)·u³/6 + (5 + 28t² + 24t⁴ + 6η² + 8η²t²)·u⁵/120] / cos Bf
    const double b3 = (1.0 + 2.0 * t2 + eta2) * (1.0 / 6.0);
    const double b5 = (5.0 + 28.0 * t2 + 24.0 * t2 * t2 + 6.0 * eta2 + 8.0 * eta2 * t2) * (1.0 / 120.0);
    const double l = u * (1.0 - u2 * (b3 - u2 * b5)) / c;  // radians

    return {Bf * 180.0 / kPi - dB * 180.0 / kPi, l * 180.0 / kPi};
}

}  // namespace keldarn::geodesy::detail
