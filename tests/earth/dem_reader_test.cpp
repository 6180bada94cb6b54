#include "earth/dem_reader.h"
#include "terrain_fixtures.h"

#include <GeographicLib/UTMUPS.hpp>
#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogr_spatialref.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace keldarn::earth {
namespace {

using testing::ScratchDir;
using testing::WriteGeoTiff;

// gdallocationinfo's reading of one pixel, the independent oracle, or nothing when the
// tool is not installed. With wgs84 the point is longitude and latitude, otherwise it is
// in the file's own coordinates.
std::optional<double> GdalLocationInfo(const std::string& file, double x, double y, bool wgs84)
{
    if (std::system("command -v gdallocationinfo >/dev/null 2>&1") != 0)
        return std::nullopt;
    const std::string command = std::string("gdallocationinfo -valonly ") + (wgs84 ? "-wgs84 " : "-geoloc ") +
                                "'" + file + "' " + std::to_string(x) + " " + std::to_string(y);
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    double value = NAN;
    if (!pipe || std::fscanf(pipe.get(), "%lf", &value) != 1)
        return std::nullopt;
    return value;
}

std::string ErrorOf(const std::string& path)
{
    try {
        ReadDemTerrain(path);
    } catch (const TerrainError& error) {
        return error.what();
    }
    return "no error";
}

// 40 rows × 50 columns of 0.001° from (33.30 N, 113.50 E): h = 300 + 0.5·column − 0.25·row,
// with the north-west 3 × 3 samples no data (-9999).
constexpr double kTiffWestDeg = 113.5;
constexpr double kTiffNorthDeg = 33.3;
constexpr double kTiffStepDeg = 0.001;

double PlaneAt(int column, int row)
{
    return 300.0 + 0.5 * column - 0.25 * row;
}

void WriteGeographicTiff(const std::string& path)
{
    std::vector<float> values(50 * 40);
    for (int r = 0; r < 40; ++r)
        for (int c = 0; c < 50; ++c)
            values[r * 50 + c] = c < 3 && r < 3 ? -9999.0f : static_cast<float>(PlaneAt(c, r));
    WriteGeoTiff(path, {kTiffWestDeg, kTiffStepDeg, 0, kTiffNorthDeg, 0, -kTiffStepDeg}, 50, 40, values,
                 "EPSG:4326", -9999.0);
}

TEST(DemReader, CopiesAGeographicGeoTiffSampleForSample)
{
    ScratchDir dir;
    const std::string path = dir.File("geographic.tif");
    WriteGeographicTiff(path);
    const auto terrain = ReadDemTerrain(path);
    EXPECT_EQ(terrain->Grid().columns, 50);
    EXPECT_EQ(terrain->Grid().rows, 40);
    EXPECT_EQ(terrain->Name(), path);
    EXPECT_FALSE(terrain->IsSynthetic());
    for (const auto& [c, r] : {std::pair{10, 5}, std::pair{49, 39}, std::pair{3, 3}, std::pair{27, 18}}) {
        const double lonDeg = kTiffWestDeg + (c + 0.5) * kTiffStepDeg;
        const double latDeg = kTiffNorthDeg - (r + 0.5) * kTiffStepDeg;
        const auto h = terrain->ElevationM(latDeg, lonDeg);
        ASSERT_TRUE(h.has_value());
        EXPECT_NEAR(*h, PlaneAt(c, r), 1e-4);
        if (const auto oracle = GdalLocationInfo(path, lonDeg, latDeg, false)) {
            EXPECT_NEAR(*h, *oracle, 1e-4);
        }
    }
    // Between samples the plane is interpolated exactly; the no-data corner is a hole.
    EXPECT_NEAR(
        *terrain->ElevationM(kTiffNorthDeg - 20.25 * kTiffStepDeg, kTiffWestDeg + 30.8 * kTiffStepDeg),
        PlaneAt(0, 0) + 0.5 * 30.3 - 0.25 * 19.75, 1e-4);
    EXPECT_FALSE(terrain->ElevationM(kTiffNorthDeg - 1.5 * kTiffStepDeg, kTiffWestDeg + 1.5 * kTiffStepDeg));
    EXPECT_DOUBLE_EQ(terrain->MaxElevationM(), PlaneAt(49, 0));
}

TEST(DemReader, ReadsTheCommittedAsciiGrid)
{
    const std::string path = testing::TestDataDir() + "/earth_dem_small.asc";
    const auto terrain = ReadDemTerrain(path);
    ASSERT_EQ(terrain->Grid().columns, 4);
    ASSERT_EQ(terrain->Grid().rows, 3);
    // Cell centres: columns at 113.505 + 0.01·c, rows at 33.225 - 0.01·r.
    EXPECT_NEAR(*terrain->ElevationM(33.225, 113.505), 10.0, 1e-6);
    EXPECT_NEAR(*terrain->ElevationM(33.205, 113.535), 120.0, 1e-6);
    EXPECT_NEAR(*terrain->ElevationM(33.225, 113.510), 15.0, 1e-6);
    EXPECT_NEAR(*terrain->ElevationM(33.210, 113.505), 70.0, 1e-6);
    EXPECT_FALSE(terrain->ElevationM(33.215, 113.525));  // the -9999 cell
    EXPECT_DOUBLE_EQ(terrain->MinElevationM(), 10.0);
}

TEST(DemReader, WarpsAProjectedRasterToGeographic)
{
    // UTM zone 49 N, 200 × 200 cells of 30 m, h = 100 + 0.01·(E − E0) + 0.02·(N0 − N)
    // over the cell centres: a plane, which bilinear warping keeps to millimetres.
    ScratchDir dir;
    const std::string path = dir.File("utm.tif");
    const double e0 = 550000.0, n0 = 3682000.0, cellM = 30.0;
    std::vector<float> values(200 * 200);
    for (int r = 0; r < 200; ++r)
        for (int c = 0; c < 200; ++c)
            values[r * 200 + c] =
                static_cast<float>(100.0 + 0.01 * (c + 0.5) * cellM + 0.02 * (r + 0.5) * cellM);
    WriteGeoTiff(path, {e0, cellM, 0, n0, 0, -cellM}, 200, 200, values, "EPSG:32649");
    const auto terrain = ReadDemTerrain(path);

    for (const auto& [eastM, northM] :
         {std::pair{e0 + 1515.0, n0 - 2985.0}, std::pair{e0 + 4005.0, n0 - 555.0},
          std::pair{e0 + 3015.0, n0 - 3015.0}}) {
        double latDeg = 0.0, lonDeg = 0.0;
        GeographicLib::UTMUPS::Reverse(49, true, eastM, northM, latDeg, lonDeg);
        const double expectedM = 100.0 + 0.01 * (eastM - e0) + 0.02 * (n0 - northM);
        const auto h = terrain->ElevationM(latDeg, lonDeg);
        ASSERT_TRUE(h.has_value());
        EXPECT_NEAR(*h, expectedM, 0.01);
        if (const auto oracle = GdalLocationInfo(path, lonDeg, latDeg, true)) {
            EXPECT_NEAR(*h, *oracle, 0.01);  // at source cell centres the pixel is the plane
        }
    }
    // Outside the projected footprint the warped grid holds no data, never zeros.
    double cornerLatDeg = 0.0, cornerLonDeg = 0.0;
    GeographicLib::UTMUPS::Reverse(49, true, e0 - 10.0, n0 + 10.0, cornerLatDeg, cornerLonDeg);
    EXPECT_FALSE(terrain->ElevationM(cornerLatDeg, cornerLonDeg).has_value());
    EXPECT_GE(terrain->MinElevationM(), 100.0);
}

TEST(DemReader, ReducesABigSourceToTheCellLimit)
{
    ScratchDir dir;
    const std::string path = dir.File("geographic.tif");
    WriteGeographicTiff(path);
    const auto terrain = ReadDemTerrain(path, DemReadOptions{.maxCells = 500, .window = {}});
    const GridGeometry& grid = terrain->Grid();
    EXPECT_LE(static_cast<long>(grid.columns) * grid.rows, 500);
    EXPECT_GE(grid.columns, 20);
    // Still georeferenced: the plane holds in degrees, h = 300 + 500·Δlon − 250·Δlat. Each
    // coarse sample is the source sample nearest to the coarse cell's centre, so it may sit
    // up to half a source cell away in each direction.
    const double latDeg = kTiffNorthDeg - 0.021, lonDeg = kTiffWestDeg + 0.033;
    const double halfCellRiseM = 0.5 * (500.0 + 250.0) * kTiffStepDeg;
    EXPECT_NEAR(*terrain->ElevationM(latDeg, lonDeg), 300.0 + 500.0 * 0.0325 - 250.0 * 0.0205, halfCellRiseM);
}

TEST(DemReader, MosaicsTheRastersOfAFolder)
{
    ScratchDir dir;
    // Two tiles side by side, 0.01° each: west at 100 m, east at 200 m; the other files
    // are not rasters and are skipped.
    WriteGeoTiff(dir.File("a_west.tif"), {113.50, 0.001, 0, 33.30, 0, -0.001}, 10, 10,
                 std::vector<float>(100, 100.0f), "EPSG:4326");
    WriteGeoTiff(dir.File("b_east.tif"), {113.51, 0.001, 0, 33.30, 0, -0.001}, 10, 10,
                 std::vector<float>(100, 200.0f), "EPSG:4326");
    std::ofstream(dir.File("readme.txt")) << "tiles of the survey area\n";
    const auto terrain = ReadDemTerrain(dir.Path());
    EXPECT_EQ(terrain->Grid().columns, 20);
    EXPECT_EQ(terrain->Name(), dir.Path());
    EXPECT_NEAR(*terrain->ElevationM(33.295, 113.5035), 100.0, 1e-6);
    EXPECT_NEAR(*terrain->ElevationM(33.295, 113.5165), 200.0, 1e-6);
    EXPECT_NEAR(*terrain->ElevationM(33.295, 113.5100), 150.0, 1e-6);  // between the tiles' samples
}

// Tiles in UTM zones 49N and 50N on either side of 114° E: both are shown, each carried
// from its own zone, none left out because the other came first.
TEST(DemReader, JoinsTilesInTwoUtmZones)
{
    ScratchDir dir;
    WriteGeoTiff(dir.File("z49.tif"), {786600, 30, 0, 3328000, 0, -30}, 100, 100,
                 std::vector<float>(10000, 100.0f), "EPSG:32649");
    WriteGeoTiff(dir.File("z50.tif"), {210600, 20, 0, 3328000, 0, -20}, 150, 150,
                 std::vector<float>(22500, 200.0f), "EPSG:32650");
    const auto terrain = ReadDemTerrain(dir.Path());
    EXPECT_NEAR(terrain->ElevationM(30.0357, 113.9875).value_or(NAN), 100.0, 1e-3);
    EXPECT_NEAR(terrain->ElevationM(30.0357, 114.0146).value_or(NAN), 200.0, 1e-3);
    EXPECT_FALSE(terrain->ElevationM(30.0357, 113.90).has_value());
}

// A sparse GeoTIFF of 512 × 512 cells in 256 × 256 tiles without a no-data value, only the
// north-west tile written (100 m): the other tiles are voids in the picture, not 0 m, whether
// the grid is copied, decimated or warped.
TEST(DemReader, BlocksTheFileNeverWroteAreVoids)
{
    struct Case {
        std::string crs;
        double west, north, step;  // in the CRS's units
        std::int64_t maxCells;
    };
    const Case cases[] = {{"EPSG:4326", 113.5, 33.3, 0.0001, DemReadOptions{}.maxCells},
                          {"EPSG:4326", 113.5, 33.3, 0.0001, 20000},
                          {"EPSG:32649", 550000, 3682000, 30, DemReadOptions{}.maxCells}};
    ScratchDir dir;
    GDALAllRegister();
    for (const Case& c : cases) {
        const std::string path = dir.File("sparse_" + std::to_string(&c - cases) + ".tif");
        {
            const char* const options[] = {"TILED=YES", "SPARSE_OK=TRUE", "BLOCKXSIZE=256", "BLOCKYSIZE=256",
                                           nullptr};
            std::unique_ptr<GDALDataset> dataset(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
                path.c_str(), 512, 512, 1, GDT_Float32, const_cast<char**>(options)));
            double gt[6] = {c.west, c.step, 0, c.north, 0, -c.step};
            dataset->SetGeoTransform(gt);
            OGRSpatialReference crs;
            crs.SetFromUserInput(c.crs.c_str());
            dataset->SetSpatialRef(&crs);
            std::vector<float> written(256 * 256, 100.0f);
            ASSERT_EQ(dataset->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, 256, 256, written.data(), 256, 256,
                                                          GDT_Float32, 0, 0, nullptr),
                      CE_None);
        }
        const auto terrain = ReadDemTerrain(path, DemReadOptions{.maxCells = c.maxCells, .window = {}});
        for (const auto& [cell, heightM] :
             {std::pair{128.0, std::optional<double>(100.0)}, std::pair{384.0, std::optional<double>()}}) {
            double latDeg = c.north - cell * c.step, lonDeg = c.west + cell * c.step;
            if (c.crs != "EPSG:4326")
                GeographicLib::UTMUPS::Reverse(49, true, lonDeg, latDeg, latDeg, lonDeg);
            const std::optional<double> h = terrain->ElevationM(latDeg, lonDeg);
            ASSERT_EQ(h.has_value(), heightM.has_value())
                << path << " at cell " << cell << ": " << h.value_or(NAN);
            if (h) {
                EXPECT_NEAR(*h, *heightM, 1e-3) << path;
            }
        }
        EXPECT_GE(terrain->MinElevationM(), 100.0 - 1e-3) << path;
    }
}

// A grid of a large raster reads from its overviews; without them, a grid that would decode
// more of the file's blocks than allowed is refused with the way to make overviews, at once,
// instead of decoding every block (a sparse 200 000² raster with nothing written).
TEST(DemReader, LargeRasterReadsFromOverviewsOrIsRefused)
{
    ScratchDir dir;
    GDALAllRegister();
    const auto create = [](const std::string& path, int size, int block, int bands = 1) {
        const std::string width = "BLOCKXSIZE=" + std::to_string(block);
        const std::string height = "BLOCKYSIZE=" + std::to_string(block);
        const char* const options[] = {"TILED=YES",    "SPARSE_OK=TRUE",    width.c_str(),
                                       height.c_str(), "BIGTIFF=IF_NEEDED", nullptr};
        std::unique_ptr<GDALDataset> dataset(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
            path.c_str(), size, size, bands, GDT_Float32, const_cast<char**>(options)));
        double gt[6] = {113.5, 1e-5, 0, 33.3, 0, -1e-5};
        dataset->SetGeoTransform(gt);
        OGRSpatialReference crs;
        crs.SetFromUserInput("EPSG:4326");
        dataset->SetSpatialRef(&crs);
        return dataset;
    };
    // 2048² cells in 32² blocks, h = 100 + column / 100 m.
    const std::string plain = dir.File("plain.tif");
    {
        auto dataset = create(plain, 2048, 32);
        std::vector<float> row(2048);
        for (int column = 0; column < 2048; ++column)
            row[column] = static_cast<float>(100.0 + column / 100.0);
        for (int line = 0; line < 2048; ++line)
            ASSERT_EQ(dataset->GetRasterBand(1)->RasterIO(GF_Write, 0, line, 2048, 1, row.data(), 2048, 1,
                                                          GDT_Float32, 0, 0, nullptr),
                      CE_None);
    }
    const std::string withOverviews = dir.File("overviews.tif");
    std::filesystem::copy_file(plain, withOverviews);
    {
        std::unique_ptr<GDALDataset> dataset(GDALDataset::Open(withOverviews.c_str(), GDAL_OF_UPDATE));
        int levels[] = {2, 4, 8};
        ASSERT_EQ(dataset->BuildOverviews("NEAREST", 3, levels, 0, nullptr, nullptr, nullptr, nullptr),
                  CE_None);
    }
    const std::string sparse = dir.File("sparse.tif");
    create(sparse, 200000, 256);
    // 16 bands interleaved by pixel: each block decoded holds all of them.
    const std::string interleaved = dir.File("interleaved.tif");
    create(interleaved, 2048, 32, 16);

    struct Case {
        std::string path;
        std::uint64_t maxDecodedBytes;
        bool refused;
    };
    const Case cases[] = {
        {plain, 1 << 20, true},                            // every 32² block of 16 MB for a 256² grid
        {plain, 32 << 20, false},                          // allowed to decode them all
        {withOverviews, 1 << 20, false},                   // the 256² overview: 64 blocks
        {sparse, DemReadOptions{}.maxDecodedBytes, true},  // 611 000 blocks of 256 KB
        {interleaved, 32 << 20, true},                     // band 1's 16 MB are 256 MB with the others
    };
    for (const Case& c : cases) {
        const DemReadOptions options{
            .maxCells = 256 * 256, .window = {}, .maxDecodedBytes = c.maxDecodedBytes};
        if (c.refused) {
            try {
                ReadDemTerrain(c.path, options);
                ADD_FAILURE() << c.path << " was read";
            } catch (const TerrainError& error) {
                EXPECT_NE(std::string(error.what()).find("gdaladdo"), std::string::npos) << error.what();
                EXPECT_NE(std::string(error.what()).find(c.path), std::string::npos) << error.what();
            }
            continue;
        }
        const auto terrain = ReadDemTerrain(c.path, options);
        EXPECT_EQ(terrain->Grid().columns, 256) << c.path;
        // Column 1000 of the file: 110 m, within the 8-cell step of the grid (0.08 m).
        EXPECT_NEAR(terrain->ElevationM(33.3 - 500e-5, 113.5 + 1000.5e-5).value_or(NAN), 110.0, 0.1)
            << c.path;
    }
}

TEST(DemReader, ErrorsNameTheFileAndTheReason)
{
    ScratchDir dir;
    struct Case {
        std::string path;
        std::string reason;
    };
    std::ofstream(dir.File("notes.txt")) << "not an elevation model\n";
    WriteGeoTiff(dir.File("no_crs.tif"), {113.5, 0.001, 0, 33.3, 0, -0.001}, 4, 4,
                 std::vector<float>(16, 5.0f), "");
    WriteGeoTiff(dir.File("empty.tif"), {113.5, 0.001, 0, 33.3, 0, -0.001}, 4, 4,
                 std::vector<float>(16, -1.0f), "EPSG:4326", -1.0);
    std::filesystem::create_directory(dir.File("no_rasters"));
    std::ofstream(dir.File("no_rasters/list.csv")) << "a,b\n";
    std::filesystem::create_directory(dir.File("nothing"));
    for (const Case& k :
         {Case{dir.File("missing.tif"), "不存在"}, Case{dir.File("notes.txt"), "GDAL 无法打开"},
          Case{dir.File("no_crs.tif"), "没有坐标系"}, Case{dir.File("empty.tif"), "无数据"},
          Case{dir.File("no_rasters"), "没有 GDAL 能读取"}, Case{dir.File("nothing"), "没有 GDAL 能读取"}}) {
        const std::string message = ErrorOf(k.path);
        EXPECT_NE(message.find(k.path), std::string::npos) << message;
        EXPECT_NE(message.find(k.reason), std::string::npos) << message;
    }
}

TEST(DemReader, RefusesARasterWithoutGeoreferencing)
{
    ScratchDir dir;
    const std::string path = dir.File("plain.tif");
    WriteGeoTiff(path, {}, 3, 2, {1, 2, 3, 4, 5, 6}, "");
    const std::string message = ErrorOf(path);
    EXPECT_NE(message.find(path), std::string::npos) << message;
    EXPECT_NE(message.find("没有地理参考"), std::string::npos) << message;
}

}  // namespace
}  // namespace keldarn::earth
