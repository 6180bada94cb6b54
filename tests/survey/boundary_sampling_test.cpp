#include "geodesy/gauss_kruger.h"
#include "kml/kml_shapes.h"
#include "survey/boundary_sampling.h"
#include "survey/survey_error.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

namespace keldarn::survey {
namespace {

// A ring of survey grid points (X, Y).
using GridRing = std::vector<geodesy::PlanePoint>;

// Vertices written as KML writes them, longitude first (degrees).
geodesy::GeoPoint LonLat(double lonDeg, double latDeg)
{
    return {.latDeg = latDeg, .lonDeg = lonDeg};
}

// A frame with a turn, a scale change and a height correction, so that round grid
// coordinates are not round Gauss–Krüger ones.
SurveyFrame TestFrame(const geodesy::ProjectionChoice& projection = {})
{
    return SurveyFrame(117.0, geodesy::MakeFourParamCoefficients({-300000.0, 150.0, 12.5, 2.0e-5, 7.25}),
                       projection);
}

// A ring of survey grid points carried to WGS84.
geodesy::GeoRing GridRingToGeographic(const GridRing& gridXY, const SurveyFrame& frame)
{
    geodesy::GeoRing ring;
    for (const geodesy::PlanePoint& p : gridXY) {
        const geodesy::GridPoint plane = geodesy::FourParamReverse(frame.Transform(), {p.x, p.y, 0.0});
        ring.push_back(geodesy::PlaneToGeographic(plane.x, plane.y, frame.CentralMeridianDeg()));
    }
    return ring;
}

// Heights from a plane tilted in latitude, with a void west of 117.005° east.
HeightQuery TiltedGround()
{
    return [](std::span<const geodesy::GeoPoint> points, std::span<std::optional<double>> heights) {
        for (std::size_t k = 0; k < points.size(); ++k)
            heights[k] =
                points[k].lonDeg < 117.005 ? std::nullopt : std::optional(100.0 + 1000.0 * points[k].latDeg);
    };
}

std::vector<SampledPoint> SampleAll(const SamplePlan& plan, BoundarySamplingCounts* counts = nullptr)
{
    std::vector<SampledPoint> all;
    const auto found = SampleInsideBoundary(plan, TiltedGround(), [&](std::vector<SampledPoint>&& batch) {
        EXPECT_FALSE(batch.empty());
        all.insert(all.end(), batch.begin(), batch.end());
    });
    if (counts)
        *counts = found;
    return all;
}

TEST(BoundarySampling, RectangleOnTheGridGivesExactlyItsRoundPoints)
{
    // 1,002 m × 502 m with corners half a spacing off the round lines: 100 × 50 points.
    const SurveyFrame frame = TestFrame();
    const GridRing rectangle = {{3'000'002.5, 500'032.5},
                                {3'000'002.5, 501'034.5},
                                {3'000'504.5, 501'034.5},
                                {3'000'504.5, 500'032.5}};
    const SamplePlan plan = SamplePlan::ForBoundary(rectangle, 10.0, frame);
    BoundarySamplingCounts counts;
    const auto points = SampleAll(plan, &counts);
    EXPECT_EQ(points.size() + counts.skipped, 50u * 100u);
    EXPECT_EQ(counts.taken, static_cast<std::int64_t>(points.size()));
    for (const SampledPoint& p : points) {
        EXPECT_EQ(std::fmod(p.x, 10.0), 0.0);
        EXPECT_EQ(std::fmod(p.y, 10.0), 0.0);
    }
    // North to south, and west to east within a row.
    ASSERT_GE(points.size(), 2u);
    EXPECT_EQ(points.front().x, 3'000'500.0);
    EXPECT_TRUE(
        std::is_sorted(points.begin(), points.end(), [](const SampledPoint& a, const SampledPoint& b) {
            return a.x != b.x ? a.x > b.x : a.y < b.y;
        }));
}

TEST(BoundarySampling, PolygonWithHoleKeepsInsideOnly)
{
    const SurveyFrame frame = TestFrame();
    const GridRing outerXY = {{3'000'000.0, 500'000.0}, {3'002'000.0, 501'000.0}, {3'000'000.0, 502'000.0}};
    const GridRing holeXY = {{3'000'300.0, 500'900.0},
                             {3'000'700.0, 500'900.0},
                             {3'000'700.0, 501'100.0},
                             {3'000'300.0, 501'100.0}};
    const SamplePlan plan = SamplePlan::ForGeoRings(
        {GridRingToGeographic(outerXY, frame), GridRingToGeographic(holeXY, frame)}, 25.0, frame);
    BoundarySamplingCounts counts;
    const auto points = SampleAll(plan, &counts);
    ASSERT_GT(points.size(), 1000u);
    EXPECT_GT(counts.skipped, 0);  // the void in the west
    // Each grid point once: rows north to south, west to east in each, none repeated.
    const auto notAfter = [](const SampledPoint& a, const SampledPoint& b) {
        return a.x != b.x ? b.x > a.x : b.y <= a.y;
    };
    EXPECT_EQ(std::adjacent_find(points.begin(), points.end(), notAfter), points.end());
    for (const SampledPoint& p : points) {
        EXPECT_EQ(std::fmod(p.y, 25.0), 0.0);
        EXPECT_EQ(std::fmod(p.x, 25.0), 0.0);
        // Inside the triangle (a margin of a millimetre for the edges' bow) ...
        const double dx = p.x - 3'000'000.0;
        EXPECT_GE(dx, -1e-3);
        EXPECT_LE(std::abs(p.y - 501'000.0), 1000.0 - dx / 2.0 + 1e-3);
        // ... and not in the hole.
        EXPECT_FALSE(p.x > 3'000'300.001 && p.x < 3'000'699.999 && p.y > 500'900.001 && p.y < 501'099.999)
            << p.x << ' ' << p.y;
        // H is the ground of the point plus dH.
        const geodesy::GridPoint plane = geodesy::FourParamReverse(frame.Transform(), {p.x, p.y, 0.0});
        const geodesy::GeoPoint geo =
            geodesy::PlaneToGeographic(plane.x, plane.y, frame.CentralMeridianDeg());
        EXPECT_NEAR(p.h, 100.0 + 1000.0 * geo.latDeg + 7.25, 1e-6);
    }
}

// On the Beijing 1954 ellipsoid with the zone number in Y (zone 39 of the 3° grid): the grid
// around a box of latitudes and longitudes, and each point's position, come from that
// projection.
TEST(BoundarySampling, PlanUsesTheFramesProjection)
{
    geodesy::ProjectionChoice choice;
    choice.ellipsoid = geodesy::EllipsoidChoice::Beijing54;
    choice.zoneNumber = geodesy::ZoneNumberInY::With;
    const SurveyFrame frame = TestFrame(choice);
    const geodesy::ZoneProjection projection(frame.CentralMeridianDeg(), choice);
    const geodesy::GeoBox box{.southDeg = 30.0, .westDeg = 117.01, .northDeg = 30.01, .eastDeg = 117.02};
    const SamplePlan plan = SamplePlan::ForGeoBox(box, 25.0, frame);
    std::vector<PlannedPoint> points;
    for (std::int64_t row = 0; row < plan.RowCount(); ++row)
        plan.RowPoints(row, points);
    // 1109 m × 964 m at 25 m: about 1710 points.
    EXPECT_NEAR(static_cast<double>(points.size()), 1710.0, 60.0);
    for (const PlannedPoint& p : points) {
        EXPECT_GT(p.y, 39e6);
        const geodesy::GridPoint plane = geodesy::FourParamReverse(frame.Transform(), {p.x, p.y, 0.0});
        const geodesy::GeoPoint geo = projection.ToGeographic(plane.x, plane.y, 0.0);
        EXPECT_NEAR(p.latDeg, geo.latDeg, 1e-12);
        EXPECT_NEAR(p.lonDeg, geo.lonDeg, 1e-12);
        EXPECT_TRUE(p.latDeg >= box.southDeg && p.latDeg <= box.northDeg && p.lonDeg >= box.westDeg &&
                    p.lonDeg <= box.eastDeg)
            << p.latDeg << ", " << p.lonDeg;
    }
}

// With a Beijing 1954 datum shift a grid point's place depends on its height: each sampled H
// (about 30 km on this ground) is the ground's height at the place where the grid point of
// that height lies, not where it would lie at height 0 (0.14 mm different here).
TEST(BoundarySampling, HeightIsTheGroundsWhereThePointOfThatHeightLies)
{
    geodesy::ProjectionChoice choice;
    choice.ellipsoid = geodesy::EllipsoidChoice::Beijing54;
    choice.datum = geodesy::SevenParameters{-15.8, 154.4, 82.3, 0.9, -1.6, 2.4, -3.2};
    const SurveyFrame frame = TestFrame(choice);
    const geodesy::ZoneProjection projection(frame.CentralMeridianDeg(), choice);
    const std::vector<SampledPoint> points = SampleAll(SamplePlan::ForGeoBox(
        {.southDeg = 30.0, .westDeg = 117.01, .northDeg = 30.01, .eastDeg = 117.02}, 25.0, frame));
    ASSERT_GT(points.size(), 1000u);
    for (const SampledPoint& p : points) {
        const geodesy::GridPoint plane = geodesy::FourParamReverse(frame.Transform(), {p.x, p.y, p.h});
        const geodesy::GeoPoint geo = projection.ToGeographic(plane.x, plane.y, plane.h);
        ASSERT_NEAR(plane.h, 100.0 + 1000.0 * geo.latDeg, 1e-6) << p.x << ", " << p.y;
    }
}

TEST(BoundarySampling, CancelStopsBetweenBatches)
{
    const SurveyFrame frame = TestFrame();
    const SamplePlan plan = SamplePlan::ForBoundary({{3'000'000.0, 500'000.0},
                                                     {3'010'000.0, 500'000.0},
                                                     {3'010'000.0, 510'000.0},
                                                     {3'000'000.0, 510'000.0}},
                                                    5.0, frame);
    TaskProgress progress;
    int batches = 0;
    EXPECT_THROW(SampleInsideBoundary(
                     plan, TiltedGround(),
                     [&](std::vector<SampledPoint>&&) {
                         if (++batches == 3)
                             progress.Cancel();
                     },
                     &progress),
                 TaskCancelled);
    EXPECT_EQ(batches, 3);
    EXPECT_LT(progress.Fraction(), 0.05);
}

struct RingCase {
    const char* what;
    geodesy::GeoRing ring;
    bool crosses;
};

TEST(BoundarySampling, RingsThatCrossThemselves)
{
    const std::vector<RingCase> cases = {
        {"square", {LonLat(0, 0), LonLat(1, 0), LonLat(1, 1), LonLat(0, 1)}, false},
        {"bow tie", {LonLat(0, 0), LonLat(1, 1), LonLat(1, 0), LonLat(0, 1)}, true},
        {"concave arrow", {LonLat(0, 0), LonLat(2, 1), LonLat(0, 2), LonLat(1, 1)}, false},
        {"edge back onto a vertex",
         {LonLat(0, 0), LonLat(2, 0), LonLat(2, 2), LonLat(1, 0), LonLat(0, 2)},
         true},
        {"triangle", {LonLat(0, 0), LonLat(1, 0), LonLat(0, 1)}, false},
        {"spike along an edge",
         {LonLat(0, 0), LonLat(3, 0), LonLat(3, 1), LonLat(1, 1), LonLat(2, 1), LonLat(0, 1)},
         true},
    };
    for (const RingCase& c : cases)
        EXPECT_EQ(RingSelfIntersects(c.ring), c.crosses) << c.what;
}

TEST(BoundarySampling, RefusesWhatCannotBeSampled)
{
    EXPECT_THROW(CheckBoundary({{LonLat(117, 30), LonLat(117.1, 30), LonLat(117, 30)}}), SurveyInputError);
    EXPECT_THROW(
        CheckBoundary({{LonLat(117, 30), LonLat(117.1, 30.1), LonLat(117.1, 30), LonLat(117, 30.1)}}),
        SurveyInputError);
    EXPECT_THROW(
        CheckBoundary({{LonLat(117, 30), LonLat(118, 30), LonLat(118, 31), LonLat(117, 31)},
                       {LonLat(117.2, 30.2), LonLat(117.4, 30.4), LonLat(117.4, 30.2), LonLat(117.2, 30.4)}}),
        SurveyInputError);
    EXPECT_NO_THROW(CheckBoundary({{LonLat(117, 30), LonLat(118, 30), LonLat(118, 31), LonLat(117, 31)}}));
    for (const double spacing : {0.0, -5.0, std::nan(""), HUGE_VAL})
        EXPECT_THROW(CheckSpacing(spacing), SurveyInputError) << spacing;
    // 10 km × 10 km at 1 m: 100 million candidates.
    const SamplePlan huge = SamplePlan::ForBoundary(
        {{3'000'000.0, 500'000.0}, {3'010'000.0, 500'000.0}, {3'010'000.0, 510'000.0}}, 1.0, TestFrame());
    EXPECT_THROW(CheckPlanSize(huge), SurveyInputError);
}

TEST(KmlShapes, RoutesAreasAndHoles)
{
    const auto path = std::filesystem::temp_directory_path() / "keldarn_shapes_test.kml";
    std::ofstream(path) << R"(<kml xmlns="http://www.opengis.net/kml/2.2"><Document>
<Placemark><name>渠线</name><LineString><coordinates>117,30 117.1,30.1 117.2,30</coordinates></LineString></Placemark>
<Placemark><name>点</name><Point><coordinates>117,30</coordinates></Point></Placemark>
<Placemark><name>测区</name><Polygon>
 <outerBoundaryIs><LinearRing><coordinates>117,30 118,30 118,31 117,31 117,30</coordinates></LinearRing></outerBoundaryIs>
 <innerBoundaryIs><LinearRing><coordinates>117.2,30.2 117.4,30.2 117.4,30.4 117.2,30.2</coordinates></LinearRing></innerBoundaryIs>
</Polygon></Placemark>
<Placemark><name>测区</name><Polygon><outerBoundaryIs><LinearRing>
 <coordinates>119,30 119.5,30 119.5,30.5 119,30</coordinates></LinearRing></outerBoundaryIs></Polygon></Placemark>
</Document></kml>)";
    const auto shapes = kml::ReadKmlShapes(path);
    std::filesystem::remove(path);
    ASSERT_EQ(shapes.size(), 3u);
    EXPECT_FALSE(shapes[0].isArea);
    EXPECT_EQ(shapes[0].rings.at(0).size(), 3u);
    EXPECT_EQ(kml::DescribeKmlShape(shapes[0]), "渠线（路线，3个顶点）");
    EXPECT_TRUE(shapes[1].isArea);
    ASSERT_EQ(shapes[1].rings.size(), 2u);  // the outer ring without its repeated vertex, and the hole
    EXPECT_EQ(shapes[1].rings[0].size(), 4u);
    EXPECT_EQ(kml::DescribeKmlShape(shapes[1]), "测区（区域，7个顶点，1个洞）");
    // A polygon of the same name outside the first is an area of its own.
    EXPECT_TRUE(shapes[2].isArea);
    EXPECT_EQ(shapes[2].rings.size(), 1u);
}

}  // namespace
}  // namespace keldarn::survey
