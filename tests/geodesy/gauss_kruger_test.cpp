#include "geodesy/gauss_kruger.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace keldarn::geodesy {
namespace {

constexpr double kMillimetre = 0.001;
constexpr double kDegreeTolerance = 1e-7;  // about 1 cm on the ground

struct ForwardCase {
    double latDeg, lonDeg, centralMeridianDeg;
    double northingM, eastingM;
};

TEST(GeographicToPlaneTest, MatchesSurveyedReferencePoints) {
    const ForwardCase cases[] = {
        {33.2677, 113.5538, 114, 3682526.192, 458427.379},
        {33.2677, 113.5538, 111, 3685347.751, 737969.157},
        {33.2677, 114, 114, 3682437.393, 500000.000},
        {45, 120, 120, 4984944.003, 500000.000},
        {0, 117, 114, 0.000, 834112.254},
        {-33.2677, 113.5538, 114, -3682526.192, 458427.379},  // no false northing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.latDeg << ", " << c.lonDeg << " on " << c.centralMeridianDeg);
        const PlanePoint p = GeographicToPlane(c.latDeg, c.lonDeg, c.centralMeridianDeg);
        EXPECT_NEAR(p.x, c.northingM, kMillimetre);
        EXPECT_NEAR(p.y, c.eastingM, kMillimetre);
    }
    EXPECT_EQ(GeographicToPlane(33.2677, 114, 114).y, kFalseEastingM);
    EXPECT_EQ(GeographicToPlane(0, 117, 114).x, 0.0);
}

// Reference values from an exact transverse Mercator (PROJ tmerc, Poder/Engsager) on
// the same ellipsoid. At high latitude and 3° from the meridian every t-dependent term
// of the series matters, so a wrong coefficient shows here and not near the equator.
TEST(GaussForwardTest, AgreesWithExactTransverseMercatorWithinThreeDegrees) {
    const ForwardCase cases[] = {
        {15, 3, 0, 1661177.9078, 322780.1279},
        {60, 1.5, 0, 6655021.5452, 83695.2481},
        {60, 3, 0, 6657868.4865, 167361.8120},
        {75, -3, 0, 8329130.1618, -86671.7334},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.latDeg << ", " << c.lonDeg);
        const SeriesPoint p = GaussForward(c.latDeg, c.lonDeg);
        EXPECT_NEAR(p.x, c.northingM, kMillimetre);
        EXPECT_NEAR(p.y, c.eastingM, kMillimetre);
    }
}

// Arc lengths by numerical integration of M(φ) = a(1 − e²)/(1 − e² sin²φ)^{3/2}.
TEST(MeridianArcTest, MatchesIntegratedArc) {
    const struct {
        double latDeg, arcM;
    } cases[] = {{0, 0}, {15, 1658989.3387}, {33.2677, 3682437.3928},
                 {60, 6654072.6738}, {90, 10001966.5028}, {-45, -4984944.0027}};
    for (const auto& c : cases) {
        EXPECT_NEAR(MeridianArc(c.latDeg * std::numbers::pi / 180), c.arcM, kMillimetre)
            << c.latDeg;
    }
}

TEST(PlaneToGeographicTest, InvertsReferencePointWithOrWithoutZonePrefix) {
    for (const double eastingM : {458427.379, 38458427.379}) {
        const GeoPoint g = PlaneToGeographic(3682526.192, eastingM, 114);
        EXPECT_NEAR(g.latDeg, 33.2677, kDegreeTolerance) << eastingM;
        EXPECT_NEAR(g.lonDeg, 113.5538, kDegreeTolerance) << eastingM;
    }
}

TEST(PlaneToGeographicTest, TakesEveryMillionAsZonePrefix) {
    const double northingM = 3682526.192;
    const GeoPoint atMillion = PlaneToGeographic(northingM, 1000000, 114);
    const SeriesGeo fiveHundredWest = GaussInverse(northingM, -500000);
    EXPECT_DOUBLE_EQ(atMillion.lonDeg, 114 + fiveHundredWest.dLonDeg);
    EXPECT_DOUBLE_EQ(atMillion.latDeg, fiveHundredWest.latDeg);

    const GeoPoint prefixed = PlaneToGeographic(northingM, 1234567.890, 114);
    const SeriesGeo west = GaussInverse(northingM, -265432.110);
    EXPECT_NEAR(prefixed.lonDeg, 114 + west.dLonDeg, 1e-12);
    EXPECT_NEAR(prefixed.latDeg, west.latDeg, 1e-12);

    // A negative easting has no prefix to strip: cut toward zero, not downward.
    const GeoPoint negative = PlaneToGeographic(northingM, -100000, 114);
    EXPECT_DOUBLE_EQ(negative.lonDeg, 114 + GaussInverse(northingM, -600000).dLonDeg);
}

// Forward then inverse over latitudes ±80°, worst error per band of distance from the
// central meridian; the series lose accuracy with the sixth power of that distance.
TEST(GaussRoundTripTest, ReturnsStartWithinBandAccuracy) {
    const struct {
        double bandDeg, toleranceDeg;
    } bands[] = {{1.5, 1e-10}, {3, 1e-8}, {6, 1.5e-6}};
    for (const auto& band : bands) {
        double worstDeg = 0;
        for (double B = -80; B <= 80; B += 0.5) {
            for (double l = -band.bandDeg; l <= band.bandDeg; l += band.bandDeg / 8) {
                const SeriesPoint p = GaussForward(B, l);
                const SeriesGeo g = GaussInverse(p.x, p.y);
                worstDeg = std::max({worstDeg, std::abs(g.latDeg - B), std::abs(g.dLonDeg - l)});
            }
        }
        EXPECT_LE(worstDeg, band.toleranceDeg) << "within " << band.bandDeg << " degrees";
    }
}

// The footpoint iteration must end even when its input never converges.
TEST(GaussInverseTest, NonFiniteNorthingEndsWithNaN) {
    const SeriesGeo g = GaussInverse(std::numeric_limits<double>::quiet_NaN(), 0);
    EXPECT_TRUE(std::isnan(g.latDeg));
}

TEST(ProposeZoneMeridianTest, RoundsToThreeDegreeZoneHalvesToEven) {
    const struct {
        double lonDeg, meridianDeg;
    } cases[] = {{113.5538, 114}, {112.5, 114}, {115.5, 114}, {118.5, 120},
                 {-77, -78},      {1.4, 0},     {-4.5, -6},   {179.9, 180}};
    for (const auto& c : cases) {
        EXPECT_EQ(ProposeZoneMeridian(c.lonDeg), c.meridianDeg) << c.lonDeg;
    }
    EXPECT_FALSE(std::signbit(ProposeZoneMeridian(-1.5))) << "must not format as -0.0000";
}

}  // namespace
}  // namespace keldarn::geodesy
