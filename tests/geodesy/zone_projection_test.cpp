// The zone's projection as the user sets it up: the default choice is the program's old
// conversion, the others the series of their ellipsoid, with the zone number and the
// datum shift applied on the right side.

#include "geodesy/zone_projection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>

namespace keldarn::geodesy {
namespace {

constexpr double kMillimetre = 0.001;

ProjectionChoice Choice(EllipsoidChoice ellipsoid, ZoneWidth width, ZoneNumberInY zoneNumber,
                        std::optional<SevenParameters> datum = std::nullopt)
{
    ProjectionChoice choice;
    choice.ellipsoid = ellipsoid;
    choice.zoneWidth = width;
    choice.zoneNumber = zoneNumber;
    choice.datum = datum;
    return choice;
}

TEST(ZoneProjectionTest, DefaultChoiceIsTheOldConversionToTheBit)
{
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> lat(-85, 85), dLon(-4, 4), northing(-9e6, 9e6), easting(0, 40e6),
        height(-100, 8000);
    for (const double L0 : {117.0, 114.0, -135.0, 116.37}) {
        const ZoneProjection projection(L0);
        for (int i = 0; i < 2000; ++i) {
            // Eastings up to 40e6 m: with and without a zone number in their millions.
            const double B = lat(random), L = L0 + dLon(random), X = northing(random), Y = easting(random),
                         H = height(random);
            const PlanePoint p = projection.ToPlane(B, L, H), q = GeographicToPlane(B, L, L0);
            const GeoPoint g = projection.ToGeographic(X, Y, H), h = PlaneToGeographic(X, Y, L0);
            ASSERT_TRUE(p.x == q.x && p.y == q.y && g.latDeg == h.latDeg && g.lonDeg == h.lonDeg)
                << B << ", " << L << " / " << X << ", " << Y << " on " << L0;
        }
    }
}

TEST(ZoneProjectionTest, EllipsoidChoiceIsTheSeriesOfThatEllipsoid)
{
    for (const EllipsoidChoice ellipsoid : {EllipsoidChoice::Cgcs2000, EllipsoidChoice::Beijing54}) {
        const ZoneProjection projection(114, Choice(ellipsoid, ZoneWidth::Three, ZoneNumberInY::Guess));
        const GaussKrugerSeries series(EllipsoidOf(ellipsoid));
        std::mt19937_64 random(5);
        std::uniform_real_distribution<double> lat(-80, 80), lon(111, 117), northing(-8e6, 8e6),
            easting(100000, 900000);
        for (int i = 0; i < 1000; ++i) {
            const double B = lat(random), L = lon(random), X = northing(random), Y = easting(random);
            const PlanePoint p = projection.ToPlane(B, L, 0.0), q = series.ToPlane(B, L, 114);
            const GeoPoint g = projection.ToGeographic(X, Y, 0.0), h = series.ToGeographic(X, Y, 114);
            ASSERT_TRUE(p.x == q.x && p.y == q.y && g.latDeg == h.latDeg && g.lonDeg == h.lonDeg)
                << DisplayName(ellipsoid) << ": " << B << ", " << L << " / " << X << ", " << Y;
        }
    }
}

// Zone 39 of the 3° grid and zone 20 of the 6° grid share L0 = 117°.
TEST(ZoneProjectionTest, ZoneNumberIsWrittenOnTheWayOutAndRemovedOnTheWayIn)
{
    struct Case {
        ZoneWidth width;
        int zone;
    };
    const GaussKrugerSeries series(kCgcs2000);
    for (const Case c : {Case{ZoneWidth::Three, 39}, Case{ZoneWidth::Six, 20}}) {
        const ZoneProjection projection(117, Choice(EllipsoidChoice::Cgcs2000, c.width, ZoneNumberInY::With));
        EXPECT_EQ(projection.ZoneNumberOfY(), c.zone);
        for (const double L : {114.6, 117.0, 118.9}) {
            const PlanePoint p = projection.ToPlane(31.25, L, 0.0), bare = series.ToPlane(31.25, L, 117);
            EXPECT_EQ(p.x, bare.x);
            EXPECT_NEAR(p.y, c.zone * 1e6 + bare.y, 1e-8) << c.zone << " at " << L;
            const GeoPoint back = projection.ToGeographic(p.x, p.y, 0.0);
            EXPECT_NEAR(back.latDeg, 31.25, 1e-9);
            EXPECT_NEAR(back.lonDeg, L, 1e-9);
        }
    }
}

// 4.5° east of L0 = −135° near the equator the easting passes 1000000 m with no zone number
// in it: the historic rule takes that million for one and lands 9° west.
TEST(ZoneProjectionTest, EastingWithoutZoneNumberIsNeverCut)
{
    constexpr double B = 5.63036163, L = -130.47985464, L0 = -135;
    const ZoneProjection without(L0,
                                 Choice(EllipsoidChoice::Program, ZoneWidth::Three, ZoneNumberInY::Without));
    const PlanePoint p = without.ToPlane(B, L, 0.0);
    EXPECT_NEAR(p.y, 1001282.590, kMillimetre);
    const GeoPoint back = without.ToGeographic(p.x, p.y, 0.0);
    EXPECT_NEAR(back.latDeg, B, 1e-8);
    EXPECT_NEAR(back.lonDeg, L, 1e-8);
    EXPECT_NEAR(ZoneProjection(L0).ToGeographic(p.x, p.y, 0.0).lonDeg, -139.497, 1e-3);
}

TEST(ZoneProjectionTest, ZoneNumberNeedsTheMeridianOfAZone)
{
    struct Case {
        double centralMeridianDeg;
        ZoneWidth width;
    };
    for (const Case c : {Case{116.5, ZoneWidth::Three}, Case{117.000001, ZoneWidth::Three},
                         Case{114, ZoneWidth::Six}, Case{0.5, ZoneWidth::Six}}) {
        const auto projection = [&](ZoneNumberInY zoneNumber) {
            return ZoneProjection(c.centralMeridianDeg,
                                  Choice(EllipsoidChoice::Cgcs2000, c.width, zoneNumber));
        };
        EXPECT_THROW(projection(ZoneNumberInY::With), ProjectionSetupError) << c.centralMeridianDeg;
        // Any meridian will do when Y carries no zone number.
        EXPECT_NO_THROW(projection(ZoneNumberInY::Without)) << c.centralMeridianDeg;
    }
}

// A Beijing 1954-like shift (150–210 m, rotations of arc-seconds) in both conventions: WGS84
// goes to the local datum before the series and comes back after it. Zero height on WGS84
// lies 20–40 m above the local ellipsoid here, along normals a few arc-seconds apart, so a
// way back that starts from zero local height instead misses by 3.6e-9° (0.4 mm).
TEST(ZoneProjectionTest, DatumShiftRoundTrips)
{
    const GaussKrugerSeries series(kBeijing54);
    for (const RotationConvention convention :
         {RotationConvention::PositionVector, RotationConvention::CoordinateFrame}) {
        const SevenParameters shift{-15.8, 154.4, 82.3, 0.9, -1.6, 2.4, -3.2, convention};
        const ZoneProjection projection(
            117, Choice(EllipsoidChoice::Beijing54, ZoneWidth::Three, ZoneNumberInY::With, shift));
        for (const double B : {18.3, 31.25, 53.4})
            for (const double L : {115.6, 117.0, 118.4}) {
                const PlanePoint p = projection.ToPlane(B, L, 0.0);
                const GeodeticPoint local = Wgs84ToLocal({B, L, 0.0}, shift, kBeijing54);
                const PlanePoint expected = series.ToPlane(local.latDeg, local.lonDeg, 117);
                EXPECT_NEAR(p.x, expected.x, 1e-6) << B << ", " << L;
                EXPECT_NEAR(p.y, 39e6 + expected.y, 1e-6) << B << ", " << L;
                const GeoPoint back = projection.ToGeographic(p.x, p.y, 0.0);
                EXPECT_NEAR(back.latDeg, B, 1e-9) << B << ", " << L;
                EXPECT_NEAR(back.lonDeg, L, 1e-9) << B << ", " << L;
            }
    }
}

}  // namespace
}  // namespace keldarn::geodesy
