#include "earth/source_surface.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace keldarn::earth {

namespace {

// Bracket width along the ray at which the crossing is taken (metres).
constexpr double kToleranceAlongRayM = 0.05;
// How often the stretch searched may be widened forwards.
constexpr int kMaxWidenings = 4;
// A grazing ray is searched as if it fell at least this steeply (sine of the angle below
// the horizon), which bounds the stretch to 50 height tolerances.
constexpr double kLeastSteepness = 0.02;
// Ground distance of one march step, in source cells.
constexpr double kCellFractionPerStep = 0.25;
// The most march points in one stretch; beyond it the step grows.
constexpr int kMaxMarchPoints = 1024;

// The ray's height above the source's surface at a distance along it.
struct Probe {
    double tM = 0.0;
    Geodetic point;                // the ray's point
    std::optional<double> aboveM;  // point height − source height; nothing over a void
};

class RayOverSource {
public:
    RayOverSource(raster::ElevationSource& source, const Ray& ray) : source_(source), ray_(ray) {}

    void Evaluate(const std::vector<double>& ts, std::vector<Probe>& probes)
    {
        probes.resize(ts.size());
        points_.resize(ts.size());
        heights_.resize(ts.size());
        for (size_t k = 0; k < ts.size(); ++k) {
            probes[k].tM = ts[k];
            probes[k].point = GeodeticNearSurface(ray_.At(ts[k]));
            points_[k] = {.latDeg = probes[k].point.latDeg, .lonDeg = probes[k].point.lonDeg};
        }
        source_.HeightsM(points_, heights_);
        for (size_t k = 0; k < ts.size(); ++k) {
            probes[k].aboveM.reset();
            if (heights_[k])
                probes[k].aboveM = probes[k].point.heightM - *heights_[k];
        }
    }

private:
    raster::ElevationSource& source_;
    const Ray& ray_;
    std::vector<geodesy::GeoPoint> points_;
    std::vector<std::optional<double>> heights_;
};

bool Below(const Probe& probe)
{
    return probe.aboveM && *probe.aboveM <= 0.0;
}

// The first pair of neighbouring probes, both over data, between which the ray goes from
// above the surface to on or below it; -1 when there is none.
int FirstDescent(const std::vector<Probe>& probes)
{
    for (size_t k = 1; k < probes.size(); ++k)
        if (probes[k - 1].aboveM && *probes[k - 1].aboveM > 0.0 && Below(probes[k]))
            return static_cast<int>(k - 1);
    return -1;
}

// Narrows [above, below] to the tolerance, kBisectionPoints probes at a time (one batch of
// heights each). A void in between counts as above: the ray meets no surface there.
TerrainHit Bisect(RayOverSource& ray, Probe above, Probe below)
{
    constexpr int kBisectionPoints = 7;
    std::vector<double> ts(kBisectionPoints);
    std::vector<Probe> probes;
    while (below.tM - above.tM > kToleranceAlongRayM) {
        const double stepM = (below.tM - above.tM) / (kBisectionPoints + 1);
        for (int k = 0; k < kBisectionPoints; ++k)
            ts[k] = above.tM + (k + 1) * stepM;
        ray.Evaluate(ts, probes);
        // The first probe on or below the surface closes the bracket; those before it are above.
        const auto first = std::find_if(probes.begin(), probes.end(), Below);
        if (first != probes.begin())
            above = *(first - 1);
        if (first != probes.end())
            below = *first;
    }
    // The point reported is on the surface side of the bracket, with the source's own
    // height at its latitude and longitude.
    return TerrainHit{below.point.latDeg, below.point.lonDeg, below.point.heightM - *below.aboveM, below.tM};
}

}  // namespace

std::optional<TerrainHit> MeetSourceSurface(raster::ElevationSource& source, const Ray& ray,
                                            const SourceStretch& stretch, const SurfaceSearch& search)
{
    const double steepness = RaySteepness(ray, stretch.near);
    const double level = std::sqrt(std::max(0.0, 1.0 - steepness * steepness));
    const double halfStretchM = std::max(search.heightToleranceM, 1.0) / std::max(steepness, kLeastSteepness);
    // One step moves at most a quarter of a source cell over the ground: the bilinear surface
    // along the ray is a parabola in each cell, and a ray grazing a ridge can pass below it
    // and out again within one cell.
    double stepM = search.sourceCellM > 0.0
                       ? kCellFractionPerStep * search.sourceCellM / std::max(level, 1e-9)
                       : halfStretchM;
    stepM = std::clamp(stepM, kToleranceAlongRayM, halfStretchM / 4.0);
    stepM = std::max(stepM, 2.0 * halfStretchM / kMaxMarchPoints);

    RayOverSource over(source, ray);
    double beginM = stretch.beginM;
    // Each stretch holds at most kMaxMarchPoints; a long one (a grazing ray) goes in parts.
    const double partM = stepM * (kMaxMarchPoints - 1);
    std::vector<double> ts;
    std::vector<Probe> probes;
    double lastM = stretch.gridHitM ? *stretch.gridHitM + halfStretchM : beginM + 2.0 * halfStretchM;
    for (int widening = 0; widening <= kMaxWidenings;) {
        const double endM = std::min(beginM + partM, lastM);
        ts.clear();
        for (double t = beginM; t < endM + stepM; t += stepM)
            ts.push_back(std::min(t, endM));
        over.Evaluate(ts, probes);
        if (const int k = FirstDescent(probes); k >= 0)
            return Bisect(over, probes[k], probes[k + 1]);
        beginM = endM;
        if (endM >= lastM) {
            lastM += 2.0 * halfStretchM;
            ++widening;
        }
    }
    return std::nullopt;
}

double RaySteepness(const Ray& ray, const TerrainHit& near)
{
    return std::fabs(ray.direction.Dot(LocalFrameAt(near.latDeg, near.lonDeg).up));
}

std::optional<double> SearchStartM(const Ray& ray, const TerrainHit& gridHit, double heightToleranceM,
                                   double gridMaxSlope)
{
    // Going back d along the ray, it rises d·steepness while the grid below rises at most
    // gridMaxSlope·d·level: it is heightToleranceM above the grid once
    // d ≥ heightToleranceM / (steepness − gridMaxSlope·level).
    const double steepness = RaySteepness(ray, gridHit);
    const double level = std::sqrt(std::max(0.0, 1.0 - steepness * steepness));
    const double gain = steepness - gridMaxSlope * level;
    if (gain < 0.1 * steepness)
        return std::nullopt;
    return std::max(0.0, gridHit.distanceM - heightToleranceM / gain);
}

}  // namespace keldarn::earth
