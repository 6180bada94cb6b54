#include "survey/contours.h"

#include "geodesy/gauss_kruger.h"
#include "survey/survey_error.h"

#include <gdal_priv.h>
#include <ogr_geometry.h>
#include <ogr_spatialref.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <set>

namespace keldarn::survey {
namespace {

namespace fs = std::filesystem;
using Rings = std::vector<geodesy::GeoRing>;

// A point of zone 50N (metres), as the cases write them: easting first.
struct Zone50Point {
    double eastingM = 0.0;
    double northingM = 0.0;
};

// A Gaussian hill in UTM zone 50N (central meridian 117°E, the frame's L0), 300 × 300 cells
// of 30 m: 100 m of plain, 400 m of hill with σ = 1500 m, summit at the centre of cell (150, 150).
constexpr int kSide = 300;
constexpr double kCellM = 30.0, kWestM = 495000.0, kNorthM = 4405000.0;
constexpr double kPeakEastM = kWestM + 150.5 * kCellM, kPeakNorthM = kNorthM - 150.5 * kCellM;
constexpr double kIntervalM = 10.0;

double CellHeightM(int column, int row)
{
    const double r2 = std::pow((column - 150) * kCellM, 2) + std::pow((row - 150) * kCellM, 2);
    return static_cast<float>(100.0 + 400.0 * std::exp(-r2 / (2 * 1500.0 * 1500.0)));
}

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(GDALDataset::ToHandle(dataset)); }
};

fs::path Scratch(const char* name)
{
    const fs::path folder =
        fs::temp_directory_path() / ("keldarn_contour_test_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    return folder / name;
}

class RemoveScratch : public testing::Environment {
public:
    void TearDown() override { fs::remove_all(Scratch("").parent_path()); }
};
testing::Environment* const kRemoveScratch = testing::AddGlobalTestEnvironment(new RemoveScratch);

// The hill as a Float32 GeoTIFF; `columns` × `rows` cells declared in a VRT holding none.
std::string Dem(const char* driver, const char* name, int columns = kSide, int rows = kSide)
{
    const fs::path path = Scratch(name);
    GDALAllRegister();
    std::unique_ptr<GDALDataset, DatasetCloser> dataset(
        GetGDALDriverManager()->GetDriverByName(driver)->Create(path.c_str(), columns, rows, 1, GDT_Float32,
                                                                nullptr));
    double gt[6] = {kWestM, kCellM, 0.0, kNorthM, 0.0, -kCellM};
    dataset->SetGeoTransform(gt);
    OGRSpatialReference utm;
    utm.importFromEPSG(32650);
    dataset->SetSpatialRef(&utm);
    if (std::string(driver) == "GTiff") {
        std::vector<float> heights;
        for (int row = 0; row < rows; ++row)
            for (int column = 0; column < columns; ++column)
                heights.push_back(static_cast<float>(CellHeightM(column, row)));
        EXPECT_EQ(dataset->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, columns, rows, heights.data(), columns,
                                                      rows, GDT_Float32, 0, 0, nullptr),
                  CE_None);
    }
    return path;
}

const std::string& HillDem()
{
    static const std::string path = Dem("GTiff", "hill.tif");
    return path;
}

// Points of zone 50N (easting, northing) as latitude/longitude: Gauss–Krüger standing in
// for UTM, off by metres, which an area does not mind.
geodesy::GeoRing RingOfZone50(const std::vector<Zone50Point>& utm)
{
    geodesy::GeoRing ring;
    for (const Zone50Point& p : utm)
        ring.push_back(
            geodesy::PlaneToGeographic(p.northingM / 0.9996, 500000 + (p.eastingM - 500000) / 0.9996, 117.0));
    return ring;
}

// A pentagon over most of the hill, its east running 2 km beyond the DEM, and a hole
// south-west of the summit.
Rings HillArea()
{
    const double e = kPeakEastM, n = kPeakNorthM;
    return {RingOfZone50({{e - 3500, n - 3000},
                          {e + 6500, n - 2500},
                          {e + 6500, n + 3000},
                          {e - 500, n + 3800},
                          {e - 3800, n + 500}}),
            RingOfZone50({{e - 1800, n - 1600}, {e - 600, n - 1800}, {e - 900, n - 500}})};
}

OGRPolygon LonLatPolygon(const std::vector<geodesy::GeoPoint>& ring)
{
    OGRLinearRing linear;
    for (const geodesy::GeoPoint& p : ring)
        linear.addPoint(p.lonDeg, p.latDeg);
    linear.closeRings();
    OGRPolygon polygon;
    polygon.addRing(&linear);
    return polygon;
}

SurveyFrame Frame()
{
    return SurveyFrame(117.0, geodesy::MakeFourParamCoefficients({-1234.567, 2345.678, 31.5, 25e-6, 3.7}));
}

// Contour vertices lie between two cell centres, where the DEM's bilinear surface is the
// straight interpolation GDAL uses: carried back to latitude/longitude and sampled, they read
// their level up to the round trip through the four parameters and Gauss–Krüger (a few
// nanometres seen; 1 µm allowed). Where the area's edge cuts a line, the end vertex lies
// inside a cell, off the centres' lines: there the surface differs from the straight cut by
// up to the cell's twist |h00 − h10 − h01 + h11| / 4, 15 mm on this hill (12 mm seen).
TEST(Contours, VerticesReadTheirLevelInsideTheArea)
{
    const SurveyFrame frame = Frame();
    const Rings rings = HillArea();
    TaskProgress progress;
    const std::vector<ContourLine> lines = GenerateContours(HillDem(), rings, kIntervalM, frame, &progress);
    EXPECT_EQ(progress.Fraction(), 1.0);

    double twistM = 0.0;
    for (int row = 0; row + 1 < kSide; ++row)
        for (int c = 0; c + 1 < kSide; ++c)
            twistM = std::max(twistM, std::abs(CellHeightM(c, row) - CellHeightM(c + 1, row) -
                                               CellHeightM(c, row + 1) + CellHeightM(c + 1, row + 1)) /
                                          4);
    const OGRPolygon outer = LonLatPolygon(rings[0]), hole = LonLatPolygon(rings[1]);
    const std::unique_ptr<OGRGeometry> area(outer.Difference(&hole));
    constexpr double kCentimetreDeg = 1e-7;
    raster::ElevationSource dem(HillDem());
    std::set<long long> levels;
    std::size_t cutAtHole = 0;
    for (const ContourLine& line : lines) {
        const double k = line.elevationM / kIntervalM;
        ASSERT_NEAR(k, std::round(k), 1e-9) << line.elevationM;
        EXPECT_EQ(line.isIndex, std::llround(k) % 5 == 0) << line.elevationM;
        levels.insert(std::llround(k));
        for (std::size_t i = 0; i < line.xy.size(); i += 2) {
            const geodesy::GridPoint plane =
                geodesy::FourParamReverse(frame.Transform(), {line.xy[i + 1], line.xy[i]});
            const geodesy::GeoPoint geo =
                geodesy::PlaneToGeographic(plane.x, plane.y, frame.CentralMeridianDeg());
            const OGRPoint point(geo.lonDeg, geo.latDeg);
            const std::optional<double> h = dem.HeightM(geo.latDeg, geo.lonDeg);
            ASSERT_TRUE(h.has_value()) << "vertex off the DEM";
            const bool onEdge = outer.getExteriorRing()->Distance(&point) < kCentimetreDeg ||
                                hole.getExteriorRing()->Distance(&point) < kCentimetreDeg;
            const bool end = i == 0 || i + 2 == line.xy.size();
            EXPECT_NEAR(*h + frame.Transform().dHM, line.elevationM, onEdge && end ? twistM + 1e-6 : 1e-6);
            EXPECT_LT(area->Distance(&point), kCentimetreDeg) << "vertex outside the area";
            cutAtHole += hole.getExteriorRing()->Distance(&point) < kCentimetreDeg;
        }
    }
    EXPECT_GT(cutAtHole, 0u);
    // Every level from the plain to the summit, in H′ = H + dH.
    EXPECT_EQ(*levels.rbegin(), std::llround(std::floor((500.0 + frame.Transform().dHM) / kIntervalM)));
    EXPECT_EQ(static_cast<long long>(levels.size()), *levels.rbegin() - *levels.begin() + 1);
}

TEST(Contours, CancelledStops)
{
    TaskProgress progress;
    progress.Cancel();
    EXPECT_THROW(GenerateContours(HillDem(), HillArea(), kIntervalM, Frame(), &progress), TaskCancelled);
}

struct BadInput {
    const char* label;
    const char* dem;  // the hill, a DEM of 442 million cells, or no file
    double intervalM;
    Rings area;
    const char* messagePart;
};
void PrintTo(const BadInput& input, std::ostream* out)
{
    *out << input.label;
}

class ContoursRefuse : public testing::TestWithParam<BadInput> {};

TEST_P(ContoursRefuse, WithAMessage)
{
    const BadInput& input = GetParam();
    const std::string dem = input.dem == std::string("hill.tif")   ? HillDem()
                            : input.dem == std::string("huge.vrt") ? Dem("VRT", input.dem, 13000, 34000)
                                                                   : Scratch(input.dem).string();
    try {
        GenerateContours(dem, input.area, input.intervalM, Frame());
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {  // SurveyInputError, or RasterError for the file
        EXPECT_NE(std::string(error.what()).find(input.messagePart), std::string::npos) << error.what();
    }
}

const Rings kFarAway{{{.latDeg = 30.0, .lonDeg = 100.0},
                      {.latDeg = 30.0, .lonDeg = 100.1},
                      {.latDeg = 30.1, .lonDeg = 100.1}}};
const Rings kOverTheHugeDem{RingOfZone50({{kWestM + 1e3, kNorthM - 1e3},
                                          {kWestM + 385e3, kNorthM - 1e3},
                                          {kWestM + 385e3, kNorthM - 1015e3},
                                          {kWestM + 1e3, kNorthM - 1015e3}})};

INSTANTIATE_TEST_SUITE_P(
    Cases, ContoursRefuse,
    testing::Values(BadInput{"ZeroInterval", "hill.tif", 0.0, HillArea(), "等高距"},
                    BadInput{"NegativeInterval", "hill.tif", -5.0, HillArea(), "等高距"},
                    BadInput{"NanInterval", "hill.tif", std::nan(""), HillArea(), "等高距"},
                    BadInput{"InfiniteInterval", "hill.tif", HUGE_VAL, HillArea(), "等高距"},
                    BadInput{"TwoVertices",
                             "hill.tif",
                             kIntervalM,
                             {{{.latDeg = 40.0, .lonDeg = 117.0}, {.latDeg = 40.1, .lonDeg = 117.0}}},
                             "三个顶点"},
                    BadInput{"OffTheDem", "hill.tif", kIntervalM, kFarAway, "不在高程数据范围之内"},
                    BadInput{"TooManyCells", "huge.vrt", kIntervalM, kOverTheHugeDem, "较小的范围"},
                    BadInput{"TooManyVertices", "hill.tif", 1e-5, HillArea(), "加大等高距"},
                    BadInput{"NoFile", "none.tif", kIntervalM, HillArea(), "none.tif"}),
    [](const testing::TestParamInfo<BadInput>& info) { return info.param.label; });

}  // namespace
}  // namespace keldarn::survey
