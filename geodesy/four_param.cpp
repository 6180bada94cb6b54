#include "geodesy/four_param.h"

#include <cmath>
#include <numbers>

namespace keldarn::geodesy {

FourParamCoefficients MakeFourParamCoefficients(const FourParameterSet& params) {
    const double r = params.rotArcSec / 3600.0 * std::numbers::pi / 180.0;  // radians
    const double factor = params.scale + 1.0;
    return {std::cos(r) * factor, std::sin(r) * factor, params.dxM, params.dyM, params.dHM};
}

GridPoint FourParamForward(const FourParamCoefficients& k, const GridPoint& plane) {
    return {k.c * plane.x + k.dxM - k.s * plane.y,
            k.s * plane.x + k.dyM + k.c * plane.y,
            k.dHM + plane.h};
}

GridPoint FourParamForward(const FourParameterSet& params, const GridPoint& plane) {
    return FourParamForward(MakeFourParamCoefficients(params), plane);
}

GridPoint FourParamReverse(const FourParamCoefficients& k, const GridPoint& grid) {
    // Undo the shift, then apply the inverse of the matrix [c −s; s c], which is
    // [c s; −s c] / (c² + s²). With R = 0 and m = 0 this is the bare shift, exactly.
    // A scale change of −1 collapses the plane and has no inverse (the result is not
    // finite); no real transformation comes near it.
    const double u = grid.x - k.dxM;
    const double v = grid.y - k.dyM;
    const double det = k.c * k.c + k.s * k.s;
    return {(k.c * u + k.s * v) / det, (-k.s * u + k.c * v) / det, grid.h - k.dHM};
}

GridPoint FourParamReverse(const FourParameterSet& params, const GridPoint& grid) {
    return FourParamReverse(MakeFourParamCoefficients(params), grid);
}

}  // namespace keldarn::geodesy
