#pragma once

// The regular grid that automatic sampling lays over the whole view, and the measure of
// the view on the ground that sizes it.

#include "earth/screen_coords.h"
#include "geodesy/coordinates.h"

#include <cstdint>
#include <stdexcept>

namespace keldarn::earth {

// Spans or spacing that cannot form a grid; what() is the user's message.
class SamplingGridError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// nV vertical and nW horizontal intervals: (nV + 1) rows of (nW + 1) points.
struct SamplingGrid {
    std::int64_t nV = 0;
    std::int64_t nW = 0;

    std::int64_t PointCount() const { return (nV + 1) * (nW + 1); }
    // Point (i, j): row i from the bottom (0..nV), column j from the left (0..nW), at
    // sx = 2·j/nW − 1, sy = 2·i/nV − 1; both edges of the view are included.
    ScreenPoint PointAt(std::int64_t i, std::int64_t j) const;
};

// Largest grid the program lays out in one run.
inline constexpr std::int64_t kMaxGridPoints = 10'000'000;

// The estimate shown before sampling: (trunc(W/d) + 1)·(trunc(V/d) + 1) from the spans
// V (north–south) and W (east–west) in metres and the spacing d in metres. Throws
// SamplingGridError for a spacing of zero or less or a count beyond any sane run.
std::int64_t EstimatePointCount(double spanVM, double spanWM, double spacingM);

// The grid of a sampling run: nV = trunc(V/d), nW = trunc(W/d). Throws
// SamplingGridError when no grid can be formed: spacing of zero or less, a spacing
// larger than a span (no interval in that direction), or more than kMaxGridPoints.
SamplingGrid MakeSamplingGrid(double spanVM, double spanWM, double spacingM);

// The view's extent on the ground, measured along its centre lines on the meridian
// through its centre: V = x(top) − x(bottom), W = y(right) − y(left), metres.
struct ViewSpans {
    double spanVM = 0.0;
    double spanWM = 0.0;
};

// The spans from the ground points (WGS84) under the middles of the view's four edges.
ViewSpans MeasureViewSpans(const geodesy::GeoPoint& left, const geodesy::GeoPoint& right,
                           const geodesy::GeoPoint& bottom, const geodesy::GeoPoint& top,
                           double centreLonDeg);

}  // namespace keldarn::earth
