#include "geodesy/gauss_kruger.h"

#include <cmath>

#include "geodesy/gauss_kruger_formulas.h"

// The series themselves live in gauss_kruger_formulas.h, shared with GaussKrugerSeries.
// Here the coefficient table is a compile-time constant; flatten inlines the formulas so
// that every ellipsoid figure is folded into the code, as fast as a hand-written copy.

namespace keldarn::geodesy {
namespace {

constexpr detail::SeriesCoefficients kProgramSeries =
    detail::MakeSeriesCoefficients(kSemiMajorAxisM, kSemiMinorAxisM);

}  // namespace

[[gnu::flatten]] double MeridianArc(double latRad) {
    return detail::MeridianArcFromTrig(kProgramSeries, latRad, std::sin(latRad), std::cos(latRad));
}

[[gnu::flatten]] SeriesPoint GaussForward(double latDeg, double dLonDeg) {
    return detail::SeriesForward(kProgramSeries, latDeg, dLonDeg);
}

[[gnu::flatten]] SeriesGeo GaussInverse(double northingM, double eastingFromMeridianM) {
    return detail::SeriesInverse(kProgramSeries, northingM, eastingFromMeridianM);
}

PlanePoint GeographicToPlane(double latDeg, double lonDeg, double centralMeridianDeg) {
    const SeriesPoint p = GaussForward(latDeg, lonDeg - centralMeridianDeg);
    return {p.x, p.y + kFalseEastingM};
}

GeoPoint PlaneToGeographic(double northingM, double eastingM, double centralMeridianDeg) {
    // Any whole millions are a zone-number prefix; cutting toward zero keeps the sign.
    constexpr double kZonePrefixUnitM = 1000000.0;
    const double y =
        eastingM - std::trunc(eastingM / kZonePrefixUnitM) * kZonePrefixUnitM - kFalseEastingM;
    const SeriesGeo g = GaussInverse(northingM, y);
    return {.latDeg = g.latDeg, .lonDeg = g.dLonDeg + centralMeridianDeg};
}

double ProposeZoneMeridian(double lonDeg) {
    // nearbyint rounds half to even under the default rounding mode; + 0.0 turns the
    // −0 of a longitude just west of Greenwich into +0 so that it formats as "0.0000".
    return std::nearbyint(lonDeg / 3.0) * 3.0 + 0.0;
}

}  // namespace keldarn::geodesy
