#pragma once

// The four parameters and the height correction solved from control points known both on
// the Gauss–Krüger plane and in the surveyor's own grid. Two points give the similarity
// exactly; more give its least-squares fit, with each point's residuals so that a wrong
// control point stands out before it spoils a survey.
//
// The model is FourParamForward's: X′ = c·X − s·Y + dx, Y′ = s·X + c·Y + dy with
// c = (1 + m)·cos R, s = (1 + m)·sin R, and H′ = H + dH. It is linear in c, s, dx, dy, so the
// least-squares solution has a closed form about the centroids.

#include "geodesy/four_param.h"

#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace keldarn::geodesy {

struct ControlPoint {
    std::string name;
    GridPoint source;  // on the Gauss–Krüger plane of the zone: X northing, Y easting, H (metres)
    GridPoint target;  // in the surveyor's grid (metres)
    bool used = true;  // left out of the solution when false (its residuals are still given)
};

// How the height correction is fitted.
enum class HeightFit {
    Mean,   // dH = mean of H′ − H over the points used
    Plane,  // H′ − H = a + b·(X − X̄) + c·(Y − Ȳ) about the centroid of the points used
};

struct ControlResidual {
    double vxM = 0.0;  // target minus transformed source, metres
    double vyM = 0.0;
    double vhM = 0.0;
};

struct ControlSolution {
    FourParameterSet parameters;  // dx, dy (m), R (arc-seconds), m (ratio), dH (m)
    // The plane fit of the height difference (HeightFit::Plane), else zero slopes: metres per
    // metre about the centroid (X̄, Ȳ) of the source positions of the points used, which is
    // given with either fit. parameters.dHM is the plane's value at the centroid, so a point's
    // height correction is dHM + heightSlopeX·(X − X̄) + heightSlopeY·(Y − Ȳ).
    double heightSlopeX = 0.0;
    double heightSlopeY = 0.0;
    double centroidX = 0.0;
    double centroidY = 0.0;
    std::vector<ControlResidual> residuals;  // one per control point, in order
    double rmsPlaneM = 0.0;                  // sqrt(Σ(vx² + vy²) / n) over the points used
    double rmsHeightM = 0.0;                 // sqrt(Σ vh² / n) over the points used
    // The plane adjustment: 2n observations (X′, Y′ of the n points used) for 4 unknowns
    // (c, s, dx, dy), redundancy r = 2n − 4, and the unit-weight error m0 = sqrt(Σ(vx² + vy²) / r)
    // in metres. None with two points: r = 0, their fit is exact and estimates nothing.
    int planeRedundancy = 0;
    std::optional<double> unitWeightErrorM;
    // The used point with the largest plane residual, or −1 with two points (their fit is
    // exact and shows nothing).
    int worst = -1;
};

// A control point set that gives no solution; the message is for the user and names the point.
class ControlPointError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws ControlPointError for a coordinate that is not finite (in any point, used or not),
// fewer than two points used, two used points within 1 mm of each other on the source plane, a
// scale change that would come out at or below −1, and for the plane fit fewer than three
// points used or all of them within 1 mm (RMS) of one line.
ControlSolution SolveFourParameters(std::span<const ControlPoint> points, HeightFit heightFit);

}  // namespace keldarn::geodesy
