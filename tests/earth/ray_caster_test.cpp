#include "earth/camera.h"
#include "earth/ray_caster.h"
#include "earth/synthetic_terrain.h"
#include "terrain_fixtures.h"

#include <GeographicLib/Geodesic.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <random>
#include <sstream>

namespace keldarn::earth {
namespace {

constexpr double kLatDeg = kSyntheticCentreLatDeg;
constexpr double kLonDeg = kSyntheticCentreLonDeg;
constexpr double kRad = std::numbers::pi / 180.0;

const Terrain& FlatTerrain()
{
    static const auto terrain =
        testing::TerrainAround(kLatDeg, kLonDeg, 0.1, 3.0 / 3600.0, [](double, double) { return 200.0f; });
    return *terrain;
}

const Terrain& Synthetic()
{
    static const auto terrain = MakeSyntheticTerrain();
    return *terrain;
}

Camera CameraOver(const Terrain& terrain, LookAt lookAt, int w = 800, int h = 600)
{
    return Camera(lookAt, terrain.AnchorElevationM(lookAt.latDeg, lookAt.lonDeg), w, h);
}

TerrainHit Hit(const Terrain& terrain, const Camera& camera, double sx, double sy)
{
    const RayCastResult result = CastRay(terrain, camera.RayThrough(sx, sy));
    EXPECT_TRUE(result.hit.has_value()) << sx << "," << sy;
    return result.hit.value_or(TerrainHit{});
}

// Where a hit lies seen from the focus: geodesic distance (metres) and azimuth (degrees).
struct Bearing {
    double distanceM = 0.0;
    double azimuthDeg = 0.0;
};

Bearing FromFocus(const LookAt& lookAt, const TerrainHit& hit)
{
    Bearing b;
    double backDeg = 0.0;
    GeographicLib::Geodesic::WGS84().Inverse(lookAt.latDeg, lookAt.lonDeg, hit.latDeg, hit.lonDeg,
                                             b.distanceM, b.azimuthDeg, backDeg);
    return b;
}

// Ground distance (metres) from the nadir to where a ray at angleRad from the nadir meets a
// sphere of radius radiusM + groundM, seen from heightM above that sphere's surface.
double SphericalGroundDistanceM(double radiusM, double groundM, double heightM, double angleRad)
{
    const double sphereM = radiusM + groundM;
    const double centreToCameraM = sphereM + heightM;
    const double alongRayM = centreToCameraM * std::cos(angleRad) -
                             std::sqrt(sphereM * sphereM - std::pow(centreToCameraM * std::sin(angleRad), 2));
    return radiusM * std::asin(alongRayM * std::sin(angleRad) / sphereM);
}

// Brute force: the ray stays above the terrain up to the hit (sampled every 0.5 m) and the
// hit lies on the ray.
void ExpectFirstCrossing(const Terrain& terrain, const Ray& ray, const TerrainHit& hit)
{
    const Vec3 p = EcefFromGeodetic({hit.latDeg, hit.lonDeg, hit.elevationM});
    const Vec3 fromOrigin = p - ray.origin;
    const double alongM = fromOrigin.Dot(ray.direction);
    EXPECT_LT((fromOrigin - ray.direction * alongM).Length(), 1e-3) << "hit off the ray";
    EXPECT_NEAR(alongM, hit.distanceM, 1e-3);
    for (double tM = 0.0; tM < hit.distanceM - 0.01; tM += 0.5) {
        const Geodetic g = GeodeticFromEcef(ray.At(tM));
        const auto groundM = terrain.ElevationM(g.latDeg, g.lonDeg);
        if (groundM && g.heightM < *groundM - 1e-6) {
            ADD_FAILURE() << "ray below ground at " << tM << " m, before the hit at " << hit.distanceM
                          << " m";
            return;
        }
    }
}

TEST(RayCastStraightDown, CentreIsTheFocusOnTheGround)
{
    for (const LookAt& lookAt :
         {LookAt{kLatDeg, kLonDeg, 0.0, 3000.0, 0.0, 0.0}, LookAt{33.31, 113.50, 500.0, 800.0, 0.0, 123.0},
          LookAt{33.2, 113.62, 0.0, 20000.0, 0.0, 0.0}}) {
        const TerrainHit hit = Hit(Synthetic(), CameraOver(Synthetic(), lookAt), 0.0, 0.0);
        EXPECT_NEAR(hit.latDeg, lookAt.latDeg, 1e-9);
        EXPECT_NEAR(hit.lonDeg, lookAt.lonDeg, 1e-9);
        EXPECT_NEAR(hit.elevationM, *Synthetic().ElevationM(lookAt.latDeg, lookAt.lonDeg), 1e-6);
    }
}

TEST(RayCastStraightDown, EdgesAreRangeTimesTan30AwayBeyondTheCurvature)
{
    // Over flat ground at 200 m the earth's curvature carries the edge rays about 0.14 m
    // further than range·tan 30° = 1732.05 m; a sphere of the ellipsoid's radius of
    // curvature in the ray's direction predicts that to 1 cm.
    const LookAt lookAt{kLatDeg, kLonDeg, 0.0, 3000.0, 0.0, 0.0};
    const Camera camera = CameraOver(FlatTerrain(), lookAt, 800, 600);
    const double sinB = std::sin(kLatDeg * kRad);
    const double w2 = 1.0 - 6.69437999014e-3 * sinB * sinB;
    const double primeVerticalM = kWgs84SemiMajorM / std::sqrt(w2);
    const double meridianM = kWgs84SemiMajorM * (1.0 - 6.69437999014e-3) / (w2 * std::sqrt(w2));
    const double vertical = std::atan(std::tan(30.0 * kRad) * 600.0 / 800.0);
    struct Case {
        double sx, sy, azimuthDeg, radiusM, angleRad;
    };
    for (const Case& k :
         {Case{1, 0, 90, primeVerticalM, 30.0 * kRad}, Case{-1, 0, -90, primeVerticalM, 30.0 * kRad},
          Case{0, 1, 0, meridianM, vertical}, Case{0, -1, 180, meridianM, vertical}}) {
        const TerrainHit hit = Hit(FlatTerrain(), camera, k.sx, k.sy);
        const auto [distanceM, azimuthDeg] = FromFocus(lookAt, hit);  // Bearing's fields
        const double flatM = 3000.0 * std::tan(k.angleRad);
        EXPECT_NEAR(distanceM, flatM, 0.3);
        EXPECT_NEAR(distanceM, SphericalGroundDistanceM(k.radiusM, 200.0, 3000.0, k.angleRad), 0.01);
        EXPECT_GT(distanceM, flatM);
        EXPECT_NEAR(std::remainder(azimuthDeg - k.azimuthDeg, 360.0), 0.0, 0.01);
        EXPECT_NEAR(hit.elevationM, 200.0, 1e-9);
    }
}

TEST(RayCastStraightDown, AzimuthTurnsTheView)
{
    const LookAt lookAt{kLatDeg, kLonDeg, 0.0, 3000.0, 0.0, 90.0};
    const auto [distanceM, azimuthDeg] =
        FromFocus(lookAt, Hit(FlatTerrain(), CameraOver(FlatTerrain(), lookAt), 0.0, 1.0));
    EXPECT_NEAR(azimuthDeg, 90.0, 0.01);  // the top of the view faces east
    EXPECT_NEAR(distanceM, 3000.0 * std::tan(30.0 * kRad) * 0.75, 0.3);
}

TEST(RayCastTilted, CentreRayMeetsTheFocus)
{
    for (double tiltDeg : {30.0, 60.0, 80.0}) {
        const LookAt lookAt{33.25, 113.57, 0.0, 4000.0, tiltDeg, 200.0};
        const TerrainHit hit = Hit(Synthetic(), CameraOver(Synthetic(), lookAt), 0.0, 0.0);
        // The focus is visible from the camera unless a hill hides it.
        EXPECT_NEAR(hit.latDeg, lookAt.latDeg, 1e-7) << tiltDeg;
        EXPECT_NEAR(hit.lonDeg, lookAt.lonDeg, 1e-7) << tiltDeg;
        EXPECT_NEAR(hit.distanceM, 4000.0, 1e-3) << tiltDeg;
    }
}

TEST(RayCastTilted, ReturnsTheFirstCrossingOnTheRay)
{
    for (const LookAt& lookAt :
         {LookAt{kLatDeg, kLonDeg, 0.0, 3000.0, 0.0, 0.0}, LookAt{33.2, 113.5, 0.0, 3000.0, 60.0, 30.0},
          LookAt{33.22, 113.48, 50.0, 2000.0, 80.0, 250.0}}) {
        const Camera camera = CameraOver(Synthetic(), lookAt);
        for (const ScreenPoint& s :
             {ScreenPoint{0.9, 0.7}, ScreenPoint{-0.6, -0.9}, ScreenPoint{-1, 0.2}, ScreenPoint{0.1, 0.4}}) {
            const Ray ray = camera.RayThrough(s.sx, s.sy);
            const RayCastResult result = CastRay(Synthetic(), ray);
            if (!result.hit) {
                EXPECT_EQ(result.miss, RayMiss::Sky);
                continue;
            }
            ExpectFirstCrossing(Synthetic(), ray, *result.hit);
            EXPECT_NEAR(result.hit->elevationM,
                        *Synthetic().ElevationM(result.hit->latDeg, result.hit->lonDeg), 1e-9);
        }
    }
}

TEST(RayCastTilted, ARidgeHidesTheFocus)
{
    // Flat ground at 100 m with an east-west ridge of 600 m about 1.1 km south of the focus;
    // the camera looks north from behind the ridge.
    const double ridgeLatDeg = kLatDeg - 0.01;
    const auto terrain =
        testing::TerrainAround(kLatDeg, kLonDeg, 0.05, 1.0 / 3600.0, [&](double latDeg, double) {
            const double u = (latDeg - ridgeLatDeg) / 0.002;
            return static_cast<float>(100.0 + 500.0 * std::exp(-u * u));
        });
    const LookAt lookAt{kLatDeg, kLonDeg, 0.0, 3000.0, 80.0, 0.0};
    const Camera camera = CameraOver(*terrain, lookAt);
    const Ray ray = camera.RayThrough(0.0, 0.0);
    const TerrainHit hit = Hit(*terrain, camera, 0.0, 0.0);
    EXPECT_LT(hit.latDeg, ridgeLatDeg + 0.004);
    EXPECT_GT(hit.latDeg, ridgeLatDeg - 0.004);
    EXPECT_GT(hit.elevationM, 150.0);
    ExpectFirstCrossing(*terrain, ray, hit);
}

TEST(RayCastMisses, SkyOutsideAndHolesMeetNoTerrain)
{
    const LookAt high{kLatDeg, kLonDeg, 0.0, 3000.0, kMaxTiltDeg, 0.0};
    const RayCastResult sky = CastRay(FlatTerrain(), CameraOver(FlatTerrain(), high).RayThrough(0.0, 1.0));
    EXPECT_FALSE(sky.hit);
    EXPECT_EQ(sky.miss, RayMiss::Sky);

    // 30 km up the right edge of the view is 17 km east, beyond the terrain's 9 km.
    const LookAt wide{kLatDeg, kLonDeg, 0.0, 30000.0, 0.0, 0.0};
    const RayCastResult outside =
        CastRay(FlatTerrain(), CameraOver(FlatTerrain(), wide).RayThrough(1.0, 0.0));
    EXPECT_FALSE(outside.hit);
    EXPECT_EQ(outside.miss, RayMiss::NoTerrain);

    const auto holed =
        testing::TerrainAround(kLatDeg, kLonDeg, 0.05, 3.0 / 3600.0, [](double latDeg, double lonDeg) {
            return std::fabs(latDeg - kLatDeg) < 0.005 && std::fabs(lonDeg - kLonDeg) < 0.005 ? NAN : 120.0f;
        });
    const LookAt down{kLatDeg, kLonDeg, 0.0, 3000.0, 0.0, 0.0};
    const RayCastResult hole = CastRay(*holed, CameraOver(*holed, down).RayThrough(0.0, 0.0));
    EXPECT_FALSE(hole.hit);
    EXPECT_EQ(hole.miss, RayMiss::NoTerrain);
    // Past the hole the ground is met again.
    EXPECT_TRUE(CastRay(*holed, CameraOver(*holed, down).RayThrough(1.0, 0.0)).hit);
}

TEST(RayCastMisses, ViewFromSpaceFindsASmallTerrain)
{
    const LookAt space{kLatDeg, kLonDeg, 0.0, 1.0e7, 0.0, 0.0};
    const Camera camera = CameraOver(Synthetic(), space);
    const TerrainHit hit = Hit(Synthetic(), camera, 0.0, 0.0);
    EXPECT_NEAR(hit.latDeg, kLatDeg, 1e-7);
    const RayCastResult beside = CastRay(Synthetic(), camera.RayThrough(0.5, 0.0));
    EXPECT_FALSE(beside.hit);
    EXPECT_EQ(beside.miss, RayMiss::NoTerrain);
}

// The demonstration terrain resampled at 3″ over centre ± 0.067° with four times its relief
// (about 200 to 1500 m), optionally with holes: discs of a few cells and scattered samples.
std::shared_ptr<const Terrain> MountainTerrain(bool withHoles)
{
    constexpr double kStepDeg = 1.0 / 1200.0;
    constexpr int kSize = 161;
    const double northDeg = kLatDeg + 80 * kStepDeg;
    const double westDeg = kLonDeg - 80 * kStepDeg;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::vector<std::array<double, 3>> discs(12);  // column, row, radius (cells)
    for (auto& d : discs)
        d = {kSize * uniform(random), kSize * uniform(random), 1.5 + 5.0 * uniform(random)};
    return testing::GridTerrain(kSize, kSize, northDeg, westDeg, kStepDeg, [&](int c, int r) {
        const bool inDisc = std::any_of(discs.begin(), discs.end(),
                                        [&](const auto& d) { return std::hypot(c - d[0], r - d[1]) < d[2]; });
        if (withHoles && (inDisc || uniform(random) < 0.02))
            return NAN;
        return static_cast<float>(4.0 *
                                  *Synthetic().ElevationM(northDeg - r * kStepDeg, westDeg + c * kStepDeg));
    });
}

struct BruteForceCast {
    std::optional<double> hitM;    // distance along the ray of the first crossing
    bool crossesGridEdge = false;  // passes over the grid's outer edge within the height range
};

// The first crossing by brute force: samples every 1/64 cell where the ray lies within the
// terrain's height range; where data begins or ends between two samples, the sample with
// data at its edge (bisection to 1e-5 m) stands in for the one without; bisection to 1e-5 m
// on the first change of side.
BruteForceCast BruteForce(const Terrain& terrain, const Ray& ray)
{
    const auto top = RayInsideRaisedEllipsoid(ray, terrain.MaxElevationM() + 5.0);
    const auto bottom = RayInsideRaisedEllipsoid(ray, terrain.MinElevationM() - 5.0);
    if (!top || top->farM < 0.0)
        return {};
    const double startM = std::max(0.0, top->nearM);
    const double endM = bottom && bottom->nearM > startM ? bottom->nearM : top->farM;
    // The ray's height above the surface (metres; nothing without data), and whether it is
    // over the grid.
    const auto probe = [&](double tM) {
        const Geodetic g = GeodeticFromEcef(ray.At(tM));
        const CellPosition p = terrain.CellPositionOf(g.latDeg, g.lonDeg);
        const auto groundM = terrain.ElevationAtGridM(p.column, p.row);
        return std::pair{groundM ? std::optional(g.heightM - *groundM) : std::nullopt,
                         p.column <= terrain.Grid().columns - 1 && p.row >= 0 &&
                             p.row <= terrain.Grid().rows - 1};
    };
    const auto gapAt = [&](double tM) { return probe(tM).first; };
    // Narrows [lowM, highM] to 1e-5 m, keeping lowM where onLowSide holds for the gap.
    const auto bisect = [&](double lowM, double highM, const auto& onLowSide) {
        while (highM - lowM > 1e-5) {
            const double midM = 0.5 * (lowM + highM);
            (onLowSide(gapAt(midM)) ? lowM : highM) = midM;
        }
        return std::pair{lowM, highM};
    };
    const double stepM = terrain.CellSizeM() / 64.0;
    BruteForceCast result;
    auto [previousGapM, previousInGrid] = probe(startM);
    for (int k = 1; startM + (k - 1) * stepM < endM; ++k) {
        double fromM = startM + (k - 1) * stepM, toM = fromM + stepM;
        const auto [gapM, inGrid] = probe(toM);
        result.crossesGridEdge |= inGrid != previousInGrid;
        std::optional<double> fromGapM = previousGapM, toGapM = gapM;
        if (gapM.has_value() != previousGapM.has_value()) {
            const bool fromHasData = previousGapM.has_value();
            const auto [lowM, highM] =
                bisect(fromM, toM, [&](auto g) { return g.has_value() == fromHasData; });
            (fromHasData ? toM : fromM) = fromHasData ? lowM : highM;
            (fromHasData ? toGapM : fromGapM) = gapAt(fromHasData ? lowM : highM);
        }
        if (fromGapM && toGapM && (*fromGapM > 0.0) != (*toGapM > 0.0)) {
            const bool fromAbove = *fromGapM > 0.0;
            const auto [lowM, highM] =
                bisect(fromM, toM, [&](auto g) { return !g || (*g > 0.0) == fromAbove; });
            result.hitM = 0.5 * (lowM + highM);
            return result;
        }
        previousGapM = gapM;
        previousInGrid = inGrid;
    }
    return result;
}

// A view of any tilt and azimuth whose focus lies within 500 m of a random edge of the grid.
LookAt ViewNearAnEdge(const Terrain& terrain, std::mt19937& random)
{
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    const double acrossM = 1000.0 * uniform(random) - 500.0;
    const double along = uniform(random);
    const double latDeg = terrain.SouthLatDeg() + along * (terrain.NorthLatDeg() - terrain.SouthLatDeg());
    const double lonDeg = terrain.WestLonDeg() + along * (terrain.EastLonDeg() - terrain.WestLonDeg());
    const double acrossLatDeg = acrossM / MetresPerDegreeLat(latDeg);
    const double acrossLonDeg = acrossM / MetresPerDegreeLon(latDeg);
    const auto edge = random() % 4;  // north, south, west, east
    const double edgeLatDeg = edge == 0 ? terrain.NorthLatDeg() : terrain.SouthLatDeg();
    const double edgeLonDeg = edge == 2 ? terrain.WestLonDeg() : terrain.EastLonDeg();
    LookAt lookAt =
        edge < 2 ? LookAt{edgeLatDeg + acrossLatDeg, lonDeg} : LookAt{latDeg, edgeLonDeg + acrossLonDeg};
    lookAt.rangeM = 200.0 * std::pow(25.0, uniform(random));
    lookAt.tiltDeg = 80.0 * uniform(random);
    lookAt.azimuthDeg = 360.0 * uniform(random);
    return lookAt;
}

// Same hit or miss as the brute force, and the hit within 1 mm of its crossing.
bool Agree(const RayCastResult& cast, const BruteForceCast& brute, const Ray& ray)
{
    if (!cast.hit || !brute.hitM)
        return cast.hit.has_value() == brute.hitM.has_value();
    const Vec3 hit = EcefFromGeodetic({cast.hit->latDeg, cast.hit->lonDeg, cast.hit->elevationM});
    return (hit - ray.At(*brute.hitM)).Length() <= 1e-3;
}

TEST(RayCastRandomViews, AgreesWithABruteForceMarch)
{
    for (const bool withHoles : {true, false}) {
        const auto terrain = MountainTerrain(withHoles);
        std::mt19937 random(42);
        std::uniform_real_distribution<double> uniform(0.0, 1.0);
        int rayCount = 0, edgeCount = 0, hitCount = 0, mismatchCount = 0;
        std::ostringstream mismatches;
        for (int view = 0; view < 100; ++view) {
            const LookAt lookAt = ViewNearAnEdge(*terrain, random);
            const Camera camera = CameraOver(*terrain, lookAt);
            for (int point = 0; point < 20; ++point, ++rayCount) {
                const double sx = 2.0 * uniform(random) - 1.0, sy = 2.0 * uniform(random) - 1.0;
                const Ray ray = camera.RayThrough(sx, sy);
                const RayCastResult cast = CastRay(*terrain, ray);
                const BruteForceCast brute = BruteForce(*terrain, ray);
                edgeCount += brute.crossesGridEdge;
                hitCount += brute.hitM.has_value();
                if (!Agree(cast, brute, ray) && ++mismatchCount <= 5)
                    mismatches << "\n  view " << view << " at " << sx << "," << sy << ": cast "
                               << (cast.hit ? cast.hit->distanceM : -1.0) << " m, brute force "
                               << brute.hitM.value_or(-1.0) << " m";
            }
        }
        EXPECT_EQ(mismatchCount, 0) << "holes " << withHoles << ", of " << rayCount << " rays"
                                    << mismatches.str();
        EXPECT_GT(edgeCount, rayCount / 4) << withHoles;
        EXPECT_GT(hitCount, rayCount / 3) << withHoles;
    }
}

}  // namespace
}  // namespace keldarn::earth
