#include "earth/camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace keldarn::earth {
namespace {

constexpr double kRad = std::numbers::pi / 180.0;

TEST(ClampLookAt, BringsEveryFieldIntoRange)
{
    const LookAt fallback{33.0, 113.0, 0.0, 3000.0, 0.0, 0.0};
    struct Case {
        LookAt wanted;
        LookAt expected;
    };
    const Case cases[] = {
        {{95.0, 190.0, 10.0, -5.0, -5.0, -90.0}, {90.0, -170.0, 10.0, kMinRangeM, 0.0, 270.0}},
        {{-100.0, -180.0, -2e6, 0.0, 120.0, 720.0},
         {-90.0, -180.0, -kMaxAbsAltitudeM, kMinRangeM, kMaxTiltDeg, 0.0}},
        {{33.2677, 180.0, 0.0, 1e12, 60.0, 359.5}, {33.2677, -180.0, 0.0, kMaxRangeM, 60.0, 359.5}},
        {{NAN, INFINITY, NAN, NAN, -INFINITY, NAN}, {33.0, 113.0, 0.0, 3000.0, 0.0, 0.0}},
    };
    for (const Case& k : cases) {
        const LookAt c = ClampLookAt(k.wanted, fallback);
        EXPECT_DOUBLE_EQ(c.latDeg, k.expected.latDeg);
        EXPECT_DOUBLE_EQ(c.lonDeg, k.expected.lonDeg);
        EXPECT_DOUBLE_EQ(c.altitudeM, k.expected.altitudeM);
        EXPECT_DOUBLE_EQ(c.rangeM, k.expected.rangeM);
        EXPECT_DOUBLE_EQ(c.tiltDeg, k.expected.tiltDeg);
        EXPECT_DOUBLE_EQ(c.azimuthDeg, k.expected.azimuthDeg);
    }
}

TEST(CameraFrame, StraightDownWithNorthAtTheTop)
{
    const LookAt lookAt{33.2677, 113.5538, 0.0, 3000.0, 0.0, 0.0};
    const Camera camera(lookAt, 150.0, 800, 600);
    const LocalFrame frame = LocalFrameAt(lookAt.latDeg, lookAt.lonDeg);
    EXPECT_NEAR(camera.Forward().Dot(frame.up), -1.0, 1e-12);
    EXPECT_NEAR(camera.Up().Dot(frame.north), 1.0, 1e-12);
    EXPECT_NEAR(camera.Right().Dot(frame.east), 1.0, 1e-12);
    // The camera is range metres above the focus, which lies on the ground at 150 m.
    const Geodetic position = GeodeticFromEcef(camera.Position());
    EXPECT_NEAR(position.heightM, 3150.0, 1e-6);
    EXPECT_NEAR(position.latDeg, lookAt.latDeg, 1e-10);
    EXPECT_NEAR(position.lonDeg, lookAt.lonDeg, 1e-10);
}

TEST(CameraFrame, AzimuthTurnsTheTopOfTheViewAndTiltMovesTheCameraBehind)
{
    const LookAt lookAt{33.2677, 113.5538, 0.0, 3000.0, 60.0, 90.0};
    const Camera camera(lookAt, 0.0, 800, 600);
    const LocalFrame frame = LocalFrameAt(lookAt.latDeg, lookAt.lonDeg);
    // Looking east and 60° up from straight down; the camera is west of the focus.
    EXPECT_NEAR(camera.Forward().Dot(frame.up), -std::cos(60.0 * kRad), 1e-12);
    EXPECT_NEAR(camera.Forward().Dot(frame.east), std::sin(60.0 * kRad), 1e-12);
    EXPECT_NEAR(camera.Right().Dot(frame.north), -1.0, 1e-12);
    const Vec3 offset = camera.Position() - camera.Focus();
    EXPECT_NEAR(offset.Length(), 3000.0, 1e-6);
    EXPECT_NEAR(offset.Dot(frame.east), -3000.0 * std::sin(60.0 * kRad), 1e-6);
    EXPECT_NEAR(offset.Dot(frame.up), 3000.0 * std::cos(60.0 * kRad), 1e-6);
}

TEST(CameraRays, FieldOfViewIsSixtyDegreesAcrossAndFollowsTheAspect)
{
    const Camera camera({10.0, 20.0, 0.0, 1000.0, 30.0, 45.0}, 0.0, 1280, 800);
    const auto angleDeg = [&](double sx, double sy) {
        return std::acos(camera.RayThrough(sx, sy).direction.Dot(camera.Forward())) / kRad;
    };
    EXPECT_NEAR(angleDeg(1.0, 0.0), 30.0, 1e-9);
    EXPECT_NEAR(angleDeg(-1.0, 0.0), 30.0, 1e-9);
    EXPECT_NEAR(angleDeg(0.0, 1.0), std::atan(std::tan(30.0 * kRad) * 800.0 / 1280.0) / kRad, 1e-9);
    EXPECT_GT(camera.RayThrough(0.0, 1.0).direction.Dot(camera.Up()), 0.0);
    EXPECT_GT(camera.RayThrough(1.0, 0.0).direction.Dot(camera.Right()), 0.0);
}

TEST(CameraRays, ProjectionInvertsTheRays)
{
    for (const auto& [w, h] : {std::pair{800, 600}, std::pair{1280, 800}, std::pair{300, 900}}) {
        const Camera camera({-45.0, 170.0, 20.0, 5000.0, 70.0, 300.0}, 80.0, w, h);
        for (const ScreenPoint& s :
             {ScreenPoint{0, 0}, ScreenPoint{-1, 1}, ScreenPoint{0.3, -0.8}, ScreenPoint{2, 3}}) {
            const auto back = camera.Project(camera.RayThrough(s.sx, s.sy).At(1234.5));
            ASSERT_TRUE(back.has_value());
            EXPECT_NEAR(back->sx, s.sx, 1e-9);
            EXPECT_NEAR(back->sy, s.sy, 1e-9);
        }
        EXPECT_FALSE(camera.Project(camera.Position() - camera.Forward() * 10.0).has_value());
    }
}

TEST(CameraRays, PolesAreNoSpecialCase)
{
    const Camera camera(ClampLookAt({120.0, 0.0, 0.0, 2000.0, 45.0, 10.0}, {}), 0.0, 640, 480);
    const Ray ray = camera.RayThrough(0.5, 0.5);
    EXPECT_TRUE(std::isfinite(ray.direction.x) && std::isfinite(ray.direction.y) &&
                std::isfinite(ray.direction.z));
    EXPECT_NEAR(ray.direction.Length(), 1.0, 1e-12);
}

TEST(Geocentric, NearSurfaceConversionMatchesGeographicLib)
{
    for (double latDeg : {-89.9, -60.0, -33.3, 0.0, 0.001, 33.2677, 45.0, 75.0, 89.99})
        for (double heightM : {-1000.0, 0.0, 350.0, 9000.0})
            for (double lonDeg : {-179.9, -30.0, 113.5538}) {
                const Vec3 p = EcefFromGeodetic({latDeg, lonDeg, heightM});
                const Geodetic fast = GeodeticNearSurface(p), exact = GeodeticFromEcef(p);
                EXPECT_NEAR(fast.latDeg, exact.latDeg, 1e-11);  // 1 µm
                EXPECT_NEAR(fast.lonDeg, exact.lonDeg, 1e-11);
                EXPECT_NEAR(fast.heightM, exact.heightM, 1e-8);
            }
}

TEST(Geocentric, RayAgainstTheRaisedEllipsoid)
{
    // Straight down over the north pole from 1 000 km: the ellipsoid raised by 500 m is met
    // at b + 500 m from the centre, and left on the far side of the earth.
    const Ray down{{0.0, 0.0, kWgs84SemiMinorM + 1.0e6}, {0.0, 0.0, -1.0}};
    const auto span = RayInsideRaisedEllipsoid(down, 500.0);
    ASSERT_TRUE(span.has_value());
    EXPECT_NEAR(span->nearM, 1.0e6 - 500.0, 1e-6);
    EXPECT_NEAR(span->farM, 1.0e6 + 2.0 * kWgs84SemiMinorM + 500.0, 1e-6);
    // Across the equator plane 1 m outside the raised equator it misses.
    const Ray past{{kWgs84SemiMajorM + 501.0, -1.0e6, 0.0}, {0.0, 1.0, 0.0}};
    EXPECT_FALSE(RayInsideRaisedEllipsoid(past, 500.0).has_value());
}

}  // namespace
}  // namespace keldarn::earth
