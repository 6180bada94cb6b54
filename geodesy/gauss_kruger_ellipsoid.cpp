#include "geodesy/gauss_kruger_ellipsoid.h"

#include <cmath>

namespace keldarn::geodesy {

// b from a and 1/f; on kProgramEllipsoid that is kSemiMinorAxisM exactly, so the table
// equals the one gauss_kruger.cpp folds at compile time.
GaussKrugerSeries::GaussKrugerSeries(const Ellipsoid& ellipsoid)
    : k_(detail::MakeSeriesCoefficients(ellipsoid.a, ellipsoid.b()))
{
}

double GaussKrugerSeries::MeridianArc(double latRad) const
{
    return detail::MeridianArcFromTrig(k_, latRad, std::sin(latRad), std::cos(latRad));
}

SeriesPoint GaussKrugerSeries::Forward(double latDeg, double dLonDeg) const
{
    return detail::SeriesForward(k_, latDeg, dLonDeg);
}

SeriesGeo GaussKrugerSeries::Inverse(double northingM, double eastingFromMeridianM) const
{
    return detail::SeriesInverse(k_, northingM, eastingFromMeridianM);
}

PlanePoint GaussKrugerSeries::ToPlane(double latDeg, double lonDeg, double centralMeridianDeg) const
{
    const SeriesPoint p = Forward(latDeg, lonDeg - centralMeridianDeg);
    return {p.x, p.y + kFalseEastingM};
}

GeoPoint GaussKrugerSeries::ToGeographic(double northingM, double eastingM, double centralMeridianDeg) const
{
    const SeriesGeo g = Inverse(northingM, eastingM - kFalseEastingM);
    return {.latDeg = g.latDeg, .lonDeg = g.dLonDeg + centralMeridianDeg};
}

}  // namespace keldarn::geodesy
