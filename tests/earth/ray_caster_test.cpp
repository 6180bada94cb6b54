#include "earth/camera.h"
#include "earth/ray_caster.h"
#include "earth/synthetic_terrain.h"
#include "terrain_fixtures.h"

#include <GeographicLib/Geodesic.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

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

// Geodesic distance (metres) and azimuth (degrees) from the focus to a hit.
std::pair<double, double> FromFocus(const LookAt& lookAt, const TerrainHit& hit)
{
    double distanceM = 0.0, azimuthDeg = 0.0, backDeg = 0.0;
    GeographicLib::Geodesic::WGS84().Inverse(lookAt.latDeg, lookAt.lonDeg, hit.latDeg, hit.lonDeg, distanceM,
                                             azimuthDeg, backDeg);
    return {distanceM, azimuthDeg};
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
        const auto [distanceM, azimuthDeg] = FromFocus(lookAt, hit);
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

}  // namespace
}  // namespace keldarn::earth
