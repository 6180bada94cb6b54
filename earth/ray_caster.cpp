#include "earth/ray_caster.h"

#include "earth/vector_state.h"

#include <algorithm>
#include <cmath>

namespace keldarn::earth {

namespace {

constexpr double kRefineToleranceM = 1e-4;
constexpr double kMaxStepM = 100000.0;
constexpr double kStepSafety = 0.95;
constexpr int kMaxSteps = 200000;
constexpr double kMinDipWidthCells = 1.0 / 256.0;

// The ray at one distance: its geodetic position, and whether it is above the surface
// there. `valid` is false outside the grid or over a hole.
struct Sample {
    double tM = 0.0;
    Vec3 p;
    Geodetic g;
    bool valid = false;
    double gapM = 0.0;  // ray height minus terrain elevation
    bool Above() const { return gapM > 0.0; }
};

// Two samples with the surface crossing between them; fa and fb are the gaps that regula
// falsi interpolates (the Illinois rule halves the one at an end kept twice in a row).
struct Bracket {
    Sample a;  // on the ray's starting side of the surface
    Sample b;
    double fa = 0.0;
    double fb = 0.0;
    bool aAbove = false;
    int lastKept = 0;  // -1: the last step replaced b, +1: it replaced a, 0: neither

    double WidthM() const { return b.tM - a.tM; }

    // Replaces the end on the sample's side; s must have data.
    void Keep(const Sample& s, bool illinois)
    {
        if (s.Above() == aAbove) {
            fa = s.gapM;
            a = s;
            if (illinois && lastKept == +1)
                fb *= 0.5;
            lastKept = illinois ? +1 : 0;
        } else {
            fb = s.gapM;
            b = s;
            if (illinois && lastKept == -1)
                fa *= 0.5;
            lastKept = illinois ? -1 : 0;
        }
    }
};

class Marcher {
public:
    Marcher(const Terrain& terrain, const Ray& ray, double raiseM)
        : terrain_(terrain), ray_(ray), raiseM_(raiseM), slope_(terrain.MaxSlope() * 1.02),
          cellSizeM_(terrain.CellSizeM()), minStepM_(0.25 * cellSizeM_)
    {
    }

    Sample At(double tM) const
    {
        Sample s;
        s.tM = tM;
        s.p = ray_.At(tM);
        s.g = GeodeticNearSurface(s.p);  // the march stays within the terrain's height range
        if (const auto elevationM = terrain_.ElevationM(s.g.latDeg, s.g.lonDeg)) {
            s.valid = true;
            s.gapM = s.g.heightM - (*elevationM + raiseM_);
        }
        return s;
    }

    // A step after which the ray cannot yet have crossed the surface: the gap closes at
    // most as fast as the ray moves vertically plus the slope bound times its horizontal
    // motion. The ray's height along a straight line is convex, so the vertical rate at
    // the sample is an upper bound ahead.
    double SafeStepM(const Sample& s) const
    {
        double stepM = minStepM_;
        if (s.valid) {
            const double closingRate = ClosingRate(s);
            if (closingRate > 0.0)
                stepM = std::max(minStepM_, kStepSafety * std::fabs(s.gapM) / closingRate);
            else
                stepM = kMaxStepM;
        } else if (const double horizontal = HorizontalRate(VerticalRate(s)); horizontal > 1e-9) {
            stepM = std::max(minStepM_, kStepSafety * DistanceToGridM(s.g) / horizontal);
        }
        return std::min(stepM, kMaxStepM);
    }

    // The first crossing between two successive samples of the march (a before b). Where
    // data begins or ends between them, only the part with data counts, from the sample
    // next to its edge.
    std::optional<TerrainHit> CrossingBetween(const Sample& a, const Sample& b) const
    {
        if (a.valid != b.valid) {
            const Sample edge = EdgeOfData(a, b);
            return a.valid ? CrossingBetween(a, edge) : CrossingBetween(edge, b);
        }
        if (!a.valid)
            return std::nullopt;
        if (a.Above() != b.Above())
            return Refine(a, b);
        if (!MayDipBetween(a, b))
            return std::nullopt;
        return FirstCrossing(a, At(0.5 * (a.tM + b.tM)), b);
    }

    std::optional<TerrainHit> FirstCrossing(const Sample& a, const Sample& middle, const Sample& b) const
    {
        if (auto hit = CrossingBetween(a, middle))
            return hit;
        return CrossingBetween(middle, b);
    }

    // Narrows a crossing between two samples on opposite sides of the surface to
    // kRefineToleranceM along the ray: regula falsi with the Illinois modification, which
    // converges fast on the smooth surface inside a cell, and a bisection step whenever an
    // interpolated step fails to halve the bracket. A sample without data on the way
    // splits the search around it: a change of side across a hole alone is the hole's
    // wall, not the surface.
    std::optional<TerrainHit> Refine(const Sample& a, const Sample& b) const
    {
        Bracket bracket{a, b, a.gapM, b.gapM, a.Above()};
        while (bracket.WidthM() > kRefineToleranceM) {
            const double widthM = bracket.WidthM();
            const double gapPerMetre = std::fabs(bracket.fa - bracket.fb) / widthM;
            double tM = bracket.a.tM + widthM * bracket.fa / (bracket.fa - bracket.fb);
            if (!(tM > bracket.a.tM && tM < bracket.b.tM))
                tM = bracket.a.tM + 0.5 * widthM;
            const Sample mid = At(tM);
            if (!mid.valid)
                return FirstCrossing(bracket.a, mid, bracket.b);
            bracket.Keep(mid, true);
            // A gap this small puts the crossing within half the tolerance.
            if (std::fabs(mid.gapM) <= 0.5 * kRefineToleranceM * gapPerMetre)
                return HitAt(mid, bracket.b);
            if (bracket.WidthM() > 0.5 * widthM) {
                const Sample half = At(bracket.a.tM + 0.5 * bracket.WidthM());
                if (!half.valid)
                    return FirstCrossing(bracket.a, half, bracket.b);
                bracket.Keep(half, false);
            }
        }
        return HitAt(At(bracket.a.tM + 0.5 * bracket.WidthM()), bracket.b);
    }

    // The hit at a sample; its elevation is the terrain's there, or the valid end's.
    static TerrainHit HitAt(const Sample& s, const Sample& validEnd)
    {
        const double elevationM = s.valid ? s.g.heightM - s.gapM : validEnd.g.heightM - validEnd.gapM;
        return {s.g.latDeg, s.g.lonDeg, elevationM, s.tM};
    }

private:
    // How fast the ray moves vertically and horizontally (metres per metre along the ray).
    double VerticalRate(const Sample& s) const
    {
        return std::fabs(ray_.direction.Dot(ApproximateUp(s.p, s.g.heightM)));
    }
    static double HorizontalRate(double verticalRate)
    {
        return std::sqrt(std::max(0.0, 1.0 - verticalRate * verticalRate));
    }

    // How fast the gap between ray and surface can change near a sample (metres per metre).
    double ClosingRate(const Sample& s) const
    {
        const double vertical = VerticalRate(s);
        return vertical + slope_ * HorizontalRate(vertical);
    }

    // Whether the ray could pass through the surface and back between two samples on the
    // same side of it. A step longer than the floor was a safe step, which rules that out;
    // a floored one may clip a crest (or, seen from below, a hollow) only if the two gaps
    // together are less than the closing rate allows over its length. Stretches shorter than
    // kMinDipWidthCells of a cell are not searched: a pass through the surface that short
    // counts as a touch.
    bool MayDipBetween(const Sample& a, const Sample& b) const
    {
        const double widthM = b.tM - a.tM;
        // The margin keeps floored steps whose length rounding put a hair over the floor.
        if (widthM > 1.01 * minStepM_ || widthM < kMinDipWidthCells * cellSizeM_)
            return false;
        const double gapsM = std::fabs(a.gapM) + std::fabs(b.gapM);
        // The closing rate never exceeds 1 + slope; the exact bound costs two normals.
        return gapsM < (1.0 + slope_) * widthM && gapsM < std::max(ClosingRate(a), ClosingRate(b)) * widthM;
    }

    // The sample with data nearest the place between a and b (one with data, one without)
    // where data begins or ends, found by bisection to kRefineToleranceM along the ray.
    Sample EdgeOfData(const Sample& a, const Sample& b) const
    {
        Sample inside = a.valid ? a : b;
        Sample outside = a.valid ? b : a;
        while (std::fabs(outside.tM - inside.tM) > kRefineToleranceM) {
            const Sample middle = At(0.5 * (inside.tM + outside.tM));
            (middle.valid ? inside : outside) = middle;
        }
        return inside;
    }

    // A lower bound of the ground distance from a point outside the grid to the grid
    // (metres); 0 inside it.
    double DistanceToGridM(const Geodetic& g) const
    {
        const GridGeometry& grid = terrain_.Grid();
        const double southDeg = terrain_.SouthLatDeg();
        const double northDeg = terrain_.NorthLatDeg();
        const double latOutDeg = std::max({0.0, southDeg - g.latDeg, g.latDeg - northDeg});
        const double column = terrain_.CellPositionOf(g.latDeg, g.lonDeg).column;
        const double lastColumn = grid.columns - 1.0;
        double lonOutDeg = 0.0;
        if (column > lastColumn) {
            const double eastDeg = (column - lastColumn) * grid.stepLonDeg;
            const double westDeg = 360.0 - column * grid.stepLonDeg;
            lonOutDeg = std::min(eastDeg, westDeg);
        }
        // Metres per degree of longitude at the latitude nearest a pole that the way
        // could pass, so the bound stays low.
        const double polewardDeg = std::max({std::fabs(g.latDeg), std::fabs(southDeg), std::fabs(northDeg)});
        return std::max(latOutDeg * MetresPerDegreeLat(0.0), lonOutDeg * MetresPerDegreeLon(polewardDeg));
    }

    const Terrain& terrain_;
    const Ray& ray_;
    double raiseM_;
    double slope_;
    double cellSizeM_;
    double minStepM_;
};

// Keeps the ellipsoid raised by heightM on the far side of the true height heightM.
double ShellPadM(double heightM)
{
    return 1.0 + 0.005 * std::fabs(heightM);
}

}  // namespace

RayCastResult CastRay(const Terrain& terrain, const Ray& ray, double raiseM)
{
    ClearUpperVectorState();
    const double maxM = terrain.MaxElevationM() + raiseM;
    const double minM = terrain.MinElevationM() + raiseM;
    const double topM = maxM + ShellPadM(maxM);
    const double bottomM = minM - ShellPadM(minM);
    const auto outer = RayInsideRaisedEllipsoid(ray, topM);
    if (!outer || outer->farM < 0.0)
        return {std::nullopt, RayMiss::Sky};

    double startM = std::max(0.0, outer->nearM);
    double endM = outer->farM;
    RayMiss miss = RayMiss::Sky;
    if (const auto inner = RayInsideRaisedEllipsoid(ray, bottomM); inner && inner->farM > startM) {
        if (inner->nearM > startM) {
            endM = std::min(endM, inner->nearM);
            miss = RayMiss::NoTerrain;
        } else {
            // The camera lies below all terrain; nothing can be met before the ray rises
            // out of the lowest level.
            startM = inner->farM;
        }
    }

    const Marcher marcher(terrain, ray, raiseM);
    Sample previous = marcher.At(startM);
    for (int step = 0; step < kMaxSteps && previous.tM < endM; ++step) {
        const Sample current = marcher.At(std::min(endM, previous.tM + marcher.SafeStepM(previous)));
        if (auto hit = marcher.CrossingBetween(previous, current))
            return {hit, miss};
        previous = current;
    }
    return {std::nullopt, miss};
}

}  // namespace keldarn::earth
