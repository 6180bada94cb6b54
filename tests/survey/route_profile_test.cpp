// Route profiles against independent computations: grid coordinates and plane chainage from
// PROJ's exact transverse Mercator on the program's ellipsoid, ellipsoid chainage and positions
// along the geodesics from GeographicLib, heights from a GeoTIFF holding a tilted plane (which
// bilinear interpolation reproduces exactly) evaluated at PROJ's UTM coordinates.

#include "survey/route_profile.h"
#include "survey/survey_error.h"

#include <GeographicLib/Geodesic.hpp>
#include <gdal.h>
#include <gtest/gtest.h>
#include <ogr_srs_api.h>
#include <proj.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace keldarn::survey {
namespace {

constexpr double kMillimetre = 0.001;

// A route east of Wuhan in the 3° zone of 114°E, with a repeated vertex (a segment of length 0).
const std::vector<geodesy::GeoPoint> kRoute{{.latDeg = 30.50, .lonDeg = 114.10},
                                            {.latDeg = 30.55, .lonDeg = 114.16},
                                            {.latDeg = 30.55, .lonDeg = 114.16},
                                            {.latDeg = 30.62, .lonDeg = 114.21},
                                            {.latDeg = 30.60, .lonDeg = 114.30}};
constexpr double kIntervalM = 50.0;
constexpr double kCentralMeridianDeg = 114.0;

// Four parameters with a scale large enough (30 ppm) to tell plane from ellipsoid chainage.
constexpr double kDxM = -12.3, kDyM = 45.6, kRotArcSec = 2.5, kScale = 3e-5, kDHM = 1.5;

SurveyFrame TestFrame(const geodesy::ProjectionChoice& projection = {})
{
    const double r = kRotArcSec / 3600.0 * std::numbers::pi / 180.0;
    return SurveyFrame(kCentralMeridianDeg,
                       {(1 + kScale) * std::cos(r), (1 + kScale) * std::sin(r), kDxM, kDyM, kDHM},
                       projection);
}

struct PjDeleter {
    void operator()(PJ* pj) const { proj_destroy(pj); }
};
using PjPtr = std::unique_ptr<PJ, PjDeleter>;

// Easting and northing (metres) of a WGS84 point by a PROJ operation taking radians.
std::array<double, 2> Project(PJ* operation, double latDeg, double lonDeg)
{
    const PJ_COORD out =
        proj_trans(operation, PJ_FWD, proj_coord(proj_torad(lonDeg), proj_torad(latDeg), 0, 0));
    return {out.xy.x, out.xy.y};
}

// The survey grid (X′ northing, Y′ easting) written out from the four-parameter definition.
std::array<double, 2> SurveyGrid(PJ* tmerc, double latDeg, double lonDeg)
{
    const auto [e, n] = Project(tmerc, latDeg, lonDeg);
    const double r = kRotArcSec / 3600.0 * std::numbers::pi / 180.0;
    const double k = 1 + kScale;
    return {k * (n * std::cos(r) - e * std::sin(r)) + kDxM, k * (n * std::sin(r) + e * std::cos(r)) + kDyM};
}

// A UTM zone 50N GeoTIFF of 100 m cells over most of the route, Float64 heights on the plane
// PlaneHeightM; the route's last segment leaves it to the east.
constexpr double kWestM = 220000, kNorthM = 3392000, kCellM = 100;
constexpr int kColumns = 180, kRows = 160;
constexpr double kEastM = kWestM + kColumns * kCellM, kSouthM = kNorthM - kRows * kCellM;

double PlaneHeightM(double eastingM, double northingM)
{
    return 100.0 + 0.01 * (eastingM - kWestM) - 0.004 * (northingM - kSouthM);
}

struct DatasetCloser {
    void operator()(void* dataset) const { GDALClose(dataset); }
};

std::string WritePlaneDem()
{
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "keldarn_route_profile_plane.tif";
    GDALAllRegister();
    std::unique_ptr<void, DatasetCloser> dataset(
        GDALCreate(GDALGetDriverByName("GTiff"), path.c_str(), kColumns, kRows, 1, GDT_Float64, nullptr));
    double geoTransform[6] = {kWestM, kCellM, 0, kNorthM, 0, -kCellM};
    GDALSetGeoTransform(dataset.get(), geoTransform);
    OGRSpatialReferenceH utm = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(utm, 32650);
    GDALSetSpatialRef(dataset.get(), utm);
    OSRDestroySpatialReference(utm);
    std::vector<double> heights;
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column)
            heights.push_back(PlaneHeightM(kWestM + (column + 0.5) * kCellM, kNorthM - (row + 0.5) * kCellM));
    EXPECT_EQ(GDALRasterIO(GDALGetRasterBand(dataset.get(), 1), GF_Write, 0, 0, kColumns, kRows,
                           heights.data(), kColumns, kRows, GDT_Float64, 0, 0),
              CE_None);
    return path.string();
}

class RouteProfileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { demPath_ = new std::string(WritePlaneDem()); }
    static void TearDownTestSuite()
    {
        std::filesystem::remove(*demPath_);
        delete demPath_;
    }

    static std::string* demPath_;
    PjPtr tmerc_{proj_create(nullptr, "+proj=tmerc +a=6378138 +b=6356752.29821597 +lon_0=114 +lat_0=0 +k_0=1 "
                                      "+x_0=500000 +y_0=0")};
    PjPtr utm_{proj_create(nullptr, "+proj=utm +zone=50 +datum=WGS84")};
};
std::string* RouteProfileTest::demPath_ = nullptr;

TEST_F(RouteProfileTest, ChainageGridAndHeightsAgreeWithIndependentComputation)
{
    ASSERT_TRUE(tmerc_ && utm_);
    const GeographicLib::Geodesic& wgs84 = GeographicLib::Geodesic::WGS84();
    raster::ElevationSource dem(*demPath_);
    for (const ChainageMeasure measure : {ChainageMeasure::SurveyPlane, ChainageMeasure::Ellipsoid}) {
        SCOPED_TRACE(measure == ChainageMeasure::SurveyPlane ? "survey plane" : "ellipsoid");
        std::vector<double> vertexChainageM{0.0};
        for (std::size_t i = 1; i < kRoute.size(); ++i) {
            const geodesy::GeoPoint &a = kRoute[i - 1], &b = kRoute[i];
            double lengthM = 0;
            if (measure == ChainageMeasure::Ellipsoid) {
                wgs84.Inverse(a.latDeg, a.lonDeg, b.latDeg, b.lonDeg, lengthM);
            } else {
                const auto ga = SurveyGrid(tmerc_.get(), a.latDeg, a.lonDeg);
                const auto gb = SurveyGrid(tmerc_.get(), b.latDeg, b.lonDeg);
                lengthM = std::hypot(gb[0] - ga[0], gb[1] - ga[1]);
            }
            vertexChainageM.push_back(vertexChainageM.back() + lengthM);
        }
        // Every multiple of the interval inside the route, except those within 1 mm of a vertex.
        std::vector<double> roundChainageM;
        for (double c = kIntervalM; c < vertexChainageM.back(); c += kIntervalM)
            if (std::none_of(vertexChainageM.begin(), vertexChainageM.end(),
                             [c](double v) { return std::fabs(c - v) <= kMillimetre; }))
                roundChainageM.push_back(c);

        const std::vector<ProfileSample> samples =
            SampleRoute(kRoute, kIntervalM, TestFrame(), measure, HeightsOf(dem));
        ASSERT_EQ(samples.size(), kRoute.size() + roundChainageM.size());

        std::size_t vertex = 0, round = 0, voids = 0;
        for (const ProfileSample& s : samples) {
            if (s.isVertex) {
                ASSERT_LT(vertex, kRoute.size());
                EXPECT_EQ(s.latDeg, kRoute[vertex].latDeg);
                EXPECT_EQ(s.lonDeg, kRoute[vertex].lonDeg);
                EXPECT_NEAR(s.chainageM, vertexChainageM[vertex], kMillimetre) << "vertex " << vertex;
                ++vertex;
            } else {
                ASSERT_LT(round, roundChainageM.size());
                EXPECT_EQ(s.chainageM, roundChainageM[round++]);
                // On the geodesic from the previous vertex, at the chainage's share of it.
                const geodesy::GeoPoint &a = kRoute[vertex - 1], &b = kRoute[vertex];
                double fromA = 0, toB = 0, s12 = 0;
                wgs84.Inverse(a.latDeg, a.lonDeg, s.latDeg, s.lonDeg, fromA);
                wgs84.Inverse(s.latDeg, s.lonDeg, b.latDeg, b.lonDeg, toB);
                wgs84.Inverse(a.latDeg, a.lonDeg, b.latDeg, b.lonDeg, s12);
                EXPECT_NEAR(fromA + toB, s12, kMillimetre);
                const double share = (s.chainageM - vertexChainageM[vertex - 1]) /
                                     (vertexChainageM[vertex] - vertexChainageM[vertex - 1]);
                EXPECT_NEAR(fromA, share * s12, kMillimetre);
            }
            const auto grid = SurveyGrid(tmerc_.get(), s.latDeg, s.lonDeg);
            EXPECT_NEAR(s.x, grid[0], kMillimetre);
            EXPECT_NEAR(s.y, grid[1], kMillimetre);

            // Exact inside the outermost cell centres; nothing beyond the raster's edge.
            const auto [e, n] = Project(utm_.get(), s.latDeg, s.lonDeg);
            if (e > kWestM + kCellM / 2 && e < kEastM - kCellM / 2 && n > kSouthM + kCellM / 2 &&
                n < kNorthM - kCellM / 2) {
                ASSERT_TRUE(s.heightM) << s.chainageM;
                EXPECT_NEAR(*s.heightM, PlaneHeightM(e, n) + kDHM, kMillimetre) << s.chainageM;
            } else if (e > kEastM) {
                EXPECT_FALSE(s.heightM) << s.chainageM;
                ++voids;
            }
        }
        EXPECT_EQ(vertex, kRoute.size());
        EXPECT_GT(voids, 10u);

        std::size_t skipped = 0;
        const std::vector<ProfileRow> rows = ProfileRows(samples, "G318", 1000.0, &skipped);
        EXPECT_EQ(rows.size() + skipped, samples.size());
        EXPECT_GE(skipped, voids);
        EXPECT_EQ(rows.front().name, "K1+000.000");
        EXPECT_EQ(rows.front().description, "G318");
        EXPECT_EQ(rows.front().h, *samples.front().heightM);
    }
}

// Along a meridian, vertices 1.2 mm before a multiple of the interval (kept), 0.4 mm after one and
// 0.4 mm before one (both left to the vertex).
TEST(SampleRouteTest, RoundChainageWithinAMillimetreOfAVertexIsTheVertex)
{
    const GeographicLib::Geodesic& wgs84 = GeographicLib::Geodesic::WGS84();
    std::vector<geodesy::GeoPoint> route{{.latDeg = 30.0, .lonDeg = 114.0}};
    for (const double lengthM : {99.9988, 100.0016, 49.9992, 50.0}) {
        geodesy::GeoPoint next;
        wgs84.Direct(route.back().latDeg, route.back().lonDeg, 0.0, lengthM, next.latDeg, next.lonDeg);
        route.push_back(next);
    }
    const HeightQuery none = [](std::span<const geodesy::GeoPoint>, std::span<std::optional<double>>) {};
    std::vector<double> chainageM;
    for (const ProfileSample& s : SampleRoute(route, 50.0, TestFrame(), ChainageMeasure::Ellipsoid, none))
        chainageM.push_back(s.chainageM);
    const std::vector<double> expected{0.0, 50.0, 99.9988, 100.0, 150.0, 200.0004, 249.9996, 299.9996};
    ASSERT_EQ(chainageM.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(chainageM[i], expected[i], 1e-6) << i;
}

// On the CGCS2000 ellipsoid with the zone number in Y (zone 38 of the 3° grid), every sample,
// vertex or not, lies where that projection and the four parameters put it; with a datum
// shift, at the height of the ground (3000 m, which moves it by centimetres).
TEST(SampleRouteTest, GridCoordinatesComeFromTheFramesProjection)
{
    const HeightQuery none = [](std::span<const geodesy::GeoPoint>, std::span<std::optional<double>>) {};
    const HeightQuery at3000 = [](std::span<const geodesy::GeoPoint>,
                                  std::span<std::optional<double>> heights) {
        std::fill(heights.begin(), heights.end(), 3000.0);
    };
    for (const bool shifted : {false, true}) {
        geodesy::ProjectionChoice choice;
        choice.ellipsoid = geodesy::EllipsoidChoice::Cgcs2000;
        choice.zoneNumber = geodesy::ZoneNumberInY::With;
        if (shifted)
            choice.datum = geodesy::SevenParameters{-15.8, 154.4, 82.3, 0.9, -1.6, 2.4, -3.2};
        const SurveyFrame frame = TestFrame(choice);
        const geodesy::ZoneProjection projection(kCentralMeridianDeg, choice);
        const double groundM = shifted ? 3000.0 : 0.0;
        const std::vector<ProfileSample> samples =
            SampleRoute(kRoute, kIntervalM, frame, ChainageMeasure::SurveyPlane, shifted ? at3000 : none);
        ASSERT_GT(samples.size(), kRoute.size());
        for (const ProfileSample& s : samples) {
            const geodesy::PlanePoint plane = projection.ToPlane(s.latDeg, s.lonDeg, groundM);
            const geodesy::GridPoint grid =
                geodesy::FourParamForward(frame.Transform(), {plane.x, plane.y, 0.0});
            EXPECT_NEAR(s.x, grid.x, 1e-6) << s.chainageM << (shifted ? " with the datum shift" : "");
            EXPECT_NEAR(s.y, grid.y, 1e-6) << s.chainageM << (shifted ? " with the datum shift" : "");
        }
    }
}

TEST(ChainageTextTest, NamesAndParsesInTheRoadSurveyorsForm)
{
    const struct {
        double chainageM;
        const char* name;
    } names[] = {
        {0.0, "K0+000.000"},      {20.0, "K0+020.000"},     {12345.678, "K12+345.678"},
        {999.9996, "K1+000.000"}, {999.9994, "K0+999.999"}, {-12.5, "-K0+012.500"},
        {-0.0004, "K0+000.000"},  {1000.0, "K1+000.000"},   {123456789.25, "K123456+789.250"},
    };
    for (const auto& c : names) {
        EXPECT_EQ(ChainageName(c.chainageM), c.name) << c.chainageM;
        const std::optional<double> back = ParseChainage(c.name);
        ASSERT_TRUE(back) << c.name;
        EXPECT_NEAR(*back, c.chainageM, 0.0005) << c.name;
    }

    const struct {
        const char* text;
        std::optional<double> chainageM;
    } texts[] = {
        {"K1+250.5", 1250.5}, {"k1+250.5", 1250.5}, {"1250.5", 1250.5},
        {" \tK0+000  ", 0.0}, {"-K0+012.5", -12.5}, {"K12+345", 12345.0},
        {"7", 7.0},           {".5", 0.5},          {"", {}},
        {"   ", {}},          {"K1+", {}},          {"K+250", {}},
        {"K1+1250", {}},      {"K1.5+20", {}},      {"K1+-20", {}},
        {"1,250", {}},        {"12m", {}},          {"abc", {}},
        {"nan", {}},          {"inf", {}},          {"1e3", {}},
        {"K1+2e2", {}},       {"--5", {}},          {".", {}},
    };
    for (const auto& c : texts)
        EXPECT_EQ(ParseChainage(c.text), c.chainageM) << '"' << c.text << '"';
}

TEST(SampleRouteTest, RejectsInputItCannotUse)
{
    const HeightQuery neverAsked = [](std::span<const geodesy::GeoPoint>, std::span<std::optional<double>>) {
        ADD_FAILURE() << "heights asked for rejected input";
    };
    const std::vector<geodesy::GeoPoint> twoPoints{{.latDeg = 30.0, .lonDeg = 114.0},
                                                   {.latDeg = 30.0, .lonDeg = 115.0}};
    const struct {
        std::vector<geodesy::GeoPoint> vertices;
        double intervalM;
        const char* messagePart;
    } cases[] = {
        {{{.latDeg = 30.0, .lonDeg = 114.0}}, 10.0, "两个顶点"},
        {twoPoints, 0.0, "采样间距必须大于0"},
        {twoPoints, -1.0, "采样间距必须大于0"},
        {twoPoints, std::nan(""), "采样间距必须大于0"},
        {twoPoints, 1e-4, "请加大采样间距"},  // about 9.6e8 samples
        {{{.latDeg = 30.0, .lonDeg = 114.0}, {.latDeg = 91.0, .lonDeg = 114.0}}, 10.0, "第2个顶点"},
        {{{.latDeg = 30.0, .lonDeg = 114.0}, {.latDeg = 30.0, .lonDeg = INFINITY}}, 10.0, "第2个顶点"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.messagePart);
        try {
            SampleRoute(c.vertices, c.intervalM, TestFrame(), ChainageMeasure::SurveyPlane, neverAsked);
            ADD_FAILURE() << "no error";
        } catch (const SurveyInputError& error) {
            EXPECT_NE(std::string(error.what()).find(c.messagePart), std::string::npos) << error.what();
        }
    }
}

TEST(SampleRouteTest, ReportsProgressAndStopsWhenCancelled)
{
    int calls = 0;
    const HeightQuery flat = [&calls](std::span<const geodesy::GeoPoint>,
                                      std::span<std::optional<double>> h) {
        ++calls;
        std::fill(h.begin(), h.end(), 10.0);
    };
    // About 29 km: some 29,000 samples at 1 m, asked for in several chunks.
    const std::vector<geodesy::GeoPoint> route{{.latDeg = 30.0, .lonDeg = 114.0},
                                               {.latDeg = 30.0, .lonDeg = 114.3}};
    TaskProgress progress;
    SampleRoute(route, 1.0, TestFrame(), ChainageMeasure::Ellipsoid, flat, &progress);
    EXPECT_EQ(progress.Fraction(), 1.0);
    EXPECT_GT(calls, 1);

    calls = 0;
    TaskProgress cancelled;
    cancelled.Cancel();
    EXPECT_THROW(SampleRoute(route, 1.0, TestFrame(), ChainageMeasure::Ellipsoid, flat, &cancelled),
                 TaskCancelled);
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace keldarn::survey
