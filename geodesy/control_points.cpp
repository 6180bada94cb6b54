#include "geodesy/control_points.h"

#include "i18n/interface_text.h"

#include <cmath>
#include <cstddef>
#include <numbers>

namespace keldarn::geodesy {

namespace {

// Two used points closer than this on the source plane are one position, metres.
constexpr double kSamePositionM = 0.001;
// Used points whose RMS distance from their best-fitting line is below this give the height
// plane no second direction, metres.
constexpr double kOffLineM = 0.001;

// The centroid of the used points: source X̄, Ȳ and target X̄′, Ȳ′ (metres), and the mean of
// H′ − H.
struct Centroid {
    double x = 0.0;
    double y = 0.0;
    double xt = 0.0;
    double yt = 0.0;
    double dh = 0.0;
};

// One point about the centroid: a = X − X̄, b = Y − Ȳ, p = X′ − X̄′, q = Y′ − Ȳ′, and
// z = H′ − H. Gauss–Krüger northings are about 3e6 m, so products of raw coordinates would
// cancel away the millimetres that products of these reduced ones keep.
struct Reduced {
    double a, b, p, q, z;
};

Reduced Reduce(const ControlPoint& point, const Centroid& centroid)
{
    return {point.source.x - centroid.x, point.source.y - centroid.y, point.target.x - centroid.xt,
            point.target.y - centroid.yt, point.target.h - point.source.h};
}

struct HeightPlane {
    double atCentroid = 0.0;  // metres
    double slopeX = 0.0;      // metres per metre of X − X̄
    double slopeY = 0.0;      // metres per metre of Y − Ȳ
};

void CheckFinite(std::span<const ControlPoint> points)
{
    for (const ControlPoint& p : points) {
        for (const double v : {p.source.x, p.source.y, p.source.h, p.target.x, p.target.y, p.target.h}) {
            if (!std::isfinite(v))
                throw ControlPointError(
                    i18n::Format(i18n::Translate("geodesy", "控制点 %1 的坐标不是有限数值。"), {p.name}));
        }
    }
}

std::vector<std::size_t> UsedIndices(std::span<const ControlPoint> points)
{
    std::vector<std::size_t> used;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (points[i].used)
            used.push_back(i);
    }
    if (used.size() < 2)
        throw ControlPointError(i18n::Translate("geodesy", "至少需要两个参与计算的控制点。"));
    return used;
}

void CheckDistinctSources(std::span<const ControlPoint> points, const std::vector<std::size_t>& used)
{
    for (std::size_t i = 0; i < used.size(); ++i) {
        const ControlPoint& first = points[used[i]];
        for (std::size_t j = i + 1; j < used.size(); ++j) {
            const ControlPoint& second = points[used[j]];
            if (std::hypot(first.source.x - second.source.x, first.source.y - second.source.y) <
                kSamePositionM)
                throw ControlPointError(i18n::Format(
                    i18n::Translate("geodesy", "控制点 %1 与 %2 的源坐标相同（相距不到 1 毫米），"
                                               "无法求解。请删去其中一个，或不让它参与计算。"),
                    {first.name, second.name}));
        }
    }
}

// Each mean is taken of the differences from the first used point: small numbers for the
// points of one area, whose sum keeps the bits that a sum of 3e6 m northings would round off.
Centroid CentroidOf(std::span<const ControlPoint> points, const std::vector<std::size_t>& used)
{
    const ControlPoint& origin = points[used.front()];
    Centroid sum;
    for (const std::size_t i : used) {
        sum.x += points[i].source.x - origin.source.x;
        sum.y += points[i].source.y - origin.source.y;
        sum.xt += points[i].target.x - origin.target.x;
        sum.yt += points[i].target.y - origin.target.y;
        sum.dh += points[i].target.h - points[i].source.h;
    }
    const double n = static_cast<double>(used.size());
    return {origin.source.x + sum.x / n, origin.source.y + sum.y / n, origin.target.x + sum.xt / n,
            origin.target.y + sum.yt / n, sum.dh / n};
}

// Least squares of p = c·a − s·b, q = s·a + c·b about the centroids; the shift then carries
// the source centroid onto the target centroid. The normal equations are diagonal here:
//   c = Σ(a·p + b·q) / Σ(a² + b²),   s = Σ(a·q − b·p) / Σ(a² + b²).
// Σ(a² + b²) > 0 because the used sources are distinct.
FourParamCoefficients FitSimilarity(std::span<const ControlPoint> points,
                                    const std::vector<std::size_t>& used, const Centroid& centroid)
{
    double norm = 0.0, cosTerm = 0.0, sinTerm = 0.0;
    for (const std::size_t i : used) {
        const Reduced r = Reduce(points[i], centroid);
        norm += r.a * r.a + r.b * r.b;
        cosTerm += r.a * r.p + r.b * r.q;
        sinTerm += r.a * r.q - r.b * r.p;
    }
    FourParamCoefficients k;
    k.c = cosTerm / norm;
    k.s = sinTerm / norm;
    if (!(std::hypot(k.c, k.s) > 0.0))
        throw ControlPointError(i18n::Translate("geodesy",
                                                "求得的比例因子不大于零（尺度 m ≤ −1），"
                                                "这些控制点不构成相似变换。请检查各点的目标坐标。"));
    k.dxM = centroid.xt - (k.c * centroid.x - k.s * centroid.y);
    k.dyM = centroid.yt - (k.s * centroid.x + k.c * centroid.y);
    k.dHM = centroid.dh;
    return k;
}

// Least squares of z = dH + bx·a + by·b. About the centroid Σa = Σb = 0, so the 3×3 normal
// matrix splits into dH = mean z and the 2×2 system
//   [Σaa Σab; Σab Σbb]·[bx; by] = [Σaz; Σbz],
// solved by Cramer's rule. Its smaller eigenvalue λ is the sum of squared distances of the
// points from their best-fitting line; while the RMS distance sqrt(λ/n) is at least kOffLineM
// the determinant is far from its rounding error.
HeightPlane FitHeightPlane(std::span<const ControlPoint> points, const std::vector<std::size_t>& used,
                           const Centroid& centroid)
{
    double saa = 0.0, sab = 0.0, sbb = 0.0, saz = 0.0, sbz = 0.0;
    for (const std::size_t i : used) {
        const Reduced r = Reduce(points[i], centroid);
        const double z = r.z - centroid.dh;
        saa += r.a * r.a;
        sab += r.a * r.b;
        sbb += r.b * r.b;
        saz += r.a * z;
        sbz += r.b * z;
    }
    const double det = saa * sbb - sab * sab;
    const double largest = (saa + sbb) / 2 + std::hypot((saa - sbb) / 2, sab);
    const double smallest = det / largest;
    if (used.size() < 3 || !(smallest / static_cast<double>(used.size()) >= kOffLineM * kOffLineM))
        throw ControlPointError(i18n::Translate("geodesy", "高程拟合需要至少三个不在一条直线上的控制点。"));
    return {centroid.dh, (sbb * saz - sab * sbz) / det, (saa * sbz - sab * saz) / det};
}

}  // namespace

ControlSolution SolveFourParameters(std::span<const ControlPoint> points, HeightFit heightFit)
{
    CheckFinite(points);
    const std::vector<std::size_t> used = UsedIndices(points);
    CheckDistinctSources(points, used);
    const Centroid centroid = CentroidOf(points, used);
    const FourParamCoefficients k = FitSimilarity(points, used, centroid);
    const HeightPlane plane =
        heightFit == HeightFit::Plane ? FitHeightPlane(points, used, centroid) : HeightPlane{centroid.dh};

    ControlSolution solution;
    solution.parameters = {k.dxM, k.dyM, std::atan2(k.s, k.c) * 180.0 / std::numbers::pi * 3600.0,
                           std::hypot(k.c, k.s) - 1.0, plane.atCentroid};
    solution.heightSlopeX = plane.slopeX;
    solution.heightSlopeY = plane.slopeY;
    solution.centroidX = centroid.x;
    solution.centroidY = centroid.y;

    // Residuals in the reduced form, which equals target − FourParamForward(source) for the
    // solved c, s, dx, dy without its cancellation at 3e6 m.
    solution.residuals.reserve(points.size());
    for (const ControlPoint& point : points) {
        const Reduced r = Reduce(point, centroid);
        solution.residuals.push_back({r.p - (k.c * r.a - k.s * r.b), r.q - (k.s * r.a + k.c * r.b),
                                      r.z - (plane.atCentroid + plane.slopeX * r.a + plane.slopeY * r.b)});
    }

    double sumPlane = 0.0, sumHeight = 0.0, largest = -1.0;
    for (const std::size_t i : used) {
        const ControlResidual& v = solution.residuals[i];
        sumPlane += v.vxM * v.vxM + v.vyM * v.vyM;
        sumHeight += v.vhM * v.vhM;
        if (used.size() > 2 && std::hypot(v.vxM, v.vyM) > largest) {
            largest = std::hypot(v.vxM, v.vyM);
            solution.worst = static_cast<int>(i);
        }
    }
    const double n = static_cast<double>(used.size());
    solution.rmsPlaneM = std::sqrt(sumPlane / n);
    solution.rmsHeightM = std::sqrt(sumHeight / n);
    solution.planeRedundancy = 2 * static_cast<int>(used.size()) - 4;
    if (solution.planeRedundancy > 0)
        solution.unitWeightErrorM = std::sqrt(sumPlane / solution.planeRedundancy);
    return solution;
}

}  // namespace keldarn::geodesy
