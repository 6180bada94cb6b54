#include "geodesy/survey_conversion.h"

#include "geodesy/gauss_kruger.h"
#include "geodesy/number_text.h"

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
