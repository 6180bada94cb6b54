#pragma once

// Two-dimensional four-parameter similarity transformation (shift, rotation, scale)
// with a height correction, between the Gauss–Krüger plane and the user's own grid.
// Rotation and scale act about the plane origin (X = 0, Y = 0 on the false-easting
// grid); the shift is added after them. Pure arithmetic: nothing here throws.
// GridPoint carries the plane's X, Y (with the false easting) and H on the way in and the
// user's grid X′, Y′, H′ on the way out.

#include "geodesy/coordinates.h"

namespace keldarn::geodesy {

struct FourParameterSet {
    double dxM = 0.0;       // shift added to the northing, metres
    double dyM = 0.0;       // shift added to the easting, metres
    double rotArcSec = 0.0; // rotation R, arc-seconds; positive turns north toward east
    double scale = 0.0;     // scale change m, a plain ratio: the factor is 1 + m
    double dHM = 0.0;       // height correction added to the elevation, metres
};

// The transformation reduced to its multipliers, so that a run of many points pays
// for the sine and cosine of the rotation once: c = (1 + m)·cos r, s = (1 + m)·sin r.
struct FourParamCoefficients {
    double c = 1.0;
    double s = 0.0;
    double dxM = 0.0;
    double dyM = 0.0;
    double dHM = 0.0;
};

FourParamCoefficients MakeFourParamCoefficients(const FourParameterSet& params);

// Gauss–Krüger plane to user grid: X′ = c·X + dx − s·Y, Y′ = s·X + dy + c·Y, H′ = dH + H.
GridPoint FourParamForward(const FourParamCoefficients& k, const GridPoint& plane);
GridPoint FourParamForward(const FourParameterSet& params, const GridPoint& plane);

// User grid to Gauss–Krüger plane: the exact algebraic inverse of FourParamForward.
GridPoint FourParamReverse(const FourParamCoefficients& k, const GridPoint& grid);
GridPoint FourParamReverse(const FourParameterSet& params, const GridPoint& grid);

}  // namespace keldarn::geodesy
