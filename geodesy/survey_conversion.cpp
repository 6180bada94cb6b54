#include "geodesy/survey_conversion.h"

#include "geodesy/gauss_kruger.h"
#include "geodesy/number_text.h"
#include "i18n/interface_text.h"

#include <cmath>
#include <cstdio>

namespace keldarn::geodesy {

FourParameterSet ReadFourParameters(const FourParamTextsView& texts)
{
    FourParameterSet params;
    params.dxM = ParseNumberOrZero(texts.dx);
    params.dyM = ParseNumberOrZero(texts.dy);
    params.rotArcSec = ParseNumberOrZero(texts.rot);
    params.scale = ParseNumberOrZero(texts.scale);
    params.dHM = ParseNumberOrZero(texts.dH);
    return params;
}

void RequireOnTheGlobe(double latDeg, double lonDeg)
{
    const auto text = [](double value) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.10g", value);
        return std::string(buffer);
    };
    if (!(std::fabs(latDeg) <= 90.0))
        throw OutOfRangeError(i18n::Format(
            i18n::Translate("geodesy", "纬度 %1 超出范围：纬度应在 -90 到 90 度之间"), {text(latDeg)}));
    if (!(std::fabs(lonDeg) <= 180.0))
        throw OutOfRangeError(i18n::Format(
            i18n::Translate("geodesy", "经度 %1 超出范围：经度应在 -180 到 180 度之间"), {text(lonDeg)}));
}

GridPoint GeographicToGrid(double latDeg, double lonDeg, double elevationM, double centralMeridianDeg,
                           const FourParamCoefficients& transform)
{
    const PlanePoint plane = GeographicToPlane(latDeg, lonDeg, centralMeridianDeg);
    return FourParamForward(transform, GridPoint{plane.x, plane.y, elevationM});
}

GridPoint GeographicToGrid(double latDeg, double lonDeg, double elevationM, const ZoneProjection& projection,
                           const FourParamCoefficients& transform)
{
    const PlanePoint plane = projection.ToPlane(latDeg, lonDeg, elevationM);
    return FourParamForward(transform, GridPoint{plane.x, plane.y, elevationM});
}

}  // namespace keldarn::geodesy
