#include "raster/block_cache.h"
#include "raster/elevation_source.h"

#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace keldarn::raster {
namespace {

using geodesy::GeoPoint;

namespace fs = std::filesystem;

constexpr double kMillimetre = 1e-3;

fs::path ScratchRoot()
{
    return fs::temp_directory_path() / ("keldarn_raster_test_" + std::to_string(::getpid()));
}

class RemoveScratch : public testing::Environment {
public:
    void TearDown() override { fs::remove_all(ScratchRoot()); }
};
testing::Environment* const kRemoveScratch = testing::AddGlobalTestEnvironment(new RemoveScratch);

fs::path ScratchFolder(const std::string& name)
{
    const fs::path folder = ScratchRoot() / name;
    fs::create_directories(folder);
    return folder;
}

struct OraclePoint {
    GeoPoint point;
    std::optional<double> heightM;
};

std::vector<OraclePoint> ReadOracle(const fs::path& csv)
{
    std::vector<OraclePoint> points;
    std::ifstream in(csv);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string lat, lon, height;
        std::getline(fields, lat, ',');
        std::getline(fields, lon, ',');
        std::getline(fields, height);
        points.push_back({{.latDeg = std::stod(lat), .lonDeg = std::stod(lon)},
                          height == "none" ? std::nullopt : std::optional<double>(std::stod(height))});
    }
    return points;
}

// The raster of one kind and its points, written and interpolated by oracle.py with GDAL's
// Python bindings.
class OracleComparison : public testing::TestWithParam<std::string> {};

TEST_P(OracleComparison, HeightsMatchGdalPythonWithinOneMillimetre)
{
    const fs::path folder = ScratchFolder(GetParam());
    const std::string command =
        std::string("/usr/bin/python3 ") + KELDARN_RASTER_ORACLE + " " + GetParam() + " " + folder.string();
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream rasterPath(folder / "raster.txt");
    const std::string path((std::istreambuf_iterator<char>(rasterPath)), std::istreambuf_iterator<char>());
    const std::vector<OraclePoint> expected = ReadOracle(folder / "points.csv");
    ASSERT_GE(expected.size(), 40u);

    ElevationSource source(path);
    if (fs::is_directory(path)) {
        EXPECT_EQ(source.Description().name, fs::path(path).filename().string());
    }
    std::vector<GeoPoint> points;
    for (const OraclePoint& p : expected)
        points.push_back(p.point);
    std::vector<std::optional<double>> batch(points.size());
    source.HeightsM(points, batch);

    double largestDifferenceM = 0.0;
    int answered = 0;
    for (std::size_t k = 0; k < expected.size(); ++k) {
        const GeoPoint& p = expected[k].point;
        const std::optional<double> single = source.HeightM(p.latDeg, p.lonDeg);
        ASSERT_EQ(single.has_value(), expected[k].heightM.has_value())
            << "point " << k << " at " << p.latDeg << ", " << p.lonDeg;
        ASSERT_EQ(batch[k].has_value(), single.has_value()) << "point " << k;
        if (!single)
            continue;
        ++answered;
        EXPECT_EQ(*batch[k], *single) << "point " << k;
        largestDifferenceM = std::max(largestDifferenceM, std::fabs(*single - *expected[k].heightM));
    }
    EXPECT_LE(largestDifferenceM, kMillimetre);
    EXPECT_GT(answered, static_cast<int>(expected.size()) / 2);
    RecordProperty("largest_difference_m", std::to_string(largestDifferenceM));
    std::printf("[ oracle   ] %s: %d of %zu points answered, largest difference %.3g m\n", GetParam().c_str(),
                answered, expected.size(), largestDifferenceM);
}

// utm: Float32 strips, 30 m cells. rotated: a geotransform turned by 20°. int16_holes: tiled
// Int16 with no-data holes and a scale/offset, points crowded around the holes. point: an SRTM
// .hgt ("pixel is point"), its heights computed from the format's sample positions. vrt: four
// tiles, points crowded on the seams. folder: a folder of five tiles with gaps between them and
// no no-data value (only the mosaic's mask marks the gaps), points on the seams and in the
// gaps. zipped: the same tiles in a folder of a zip archive. mixed_zones: tiles in UTM zones 49N
// and 50N astride 114° E, overlapping, each answered in its own CRS, the finer on overlap. large: 9000 × 9000
// cells, more than fit in memory as one grid, only a few blocks written; points in and around them and in
// blocks never written (no-data).
INSTANTIATE_TEST_SUITE_P(Kinds, OracleComparison,
                         testing::Values("utm", "rotated", "geographic", "int16_holes", "point", "vrt",
                                         "folder", "zipped", "mixed_zones", "large"),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(GDALDataset::ToHandle(dataset)); }
};
using DatasetPtr = std::unique_ptr<GDALDataset, DatasetCloser>;

// A Float64 GeoTIFF; epsg 0 writes no CRS.
fs::path WriteGeoTiff(const std::string& name, int columns, int rows, std::vector<double> values,
                      const std::array<double, 6>& gt, int epsg, std::optional<double> noData = {})
{
    GDALAllRegister();
    const fs::path path = ScratchFolder("small") / name;
    DatasetPtr dataset(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(path.c_str(), columns, rows,
                                                                                1, GDT_Float64, nullptr));
    std::array<double, 6> writable = gt;
    dataset->SetGeoTransform(writable.data());
    if (epsg != 0) {
        OGRSpatialReference crs;
        crs.importFromEPSG(epsg);
        dataset->SetSpatialRef(&crs);
    }
    if (noData)
        dataset->GetRasterBand(1)->SetNoDataValue(*noData);
    EXPECT_EQ(dataset->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, columns, rows, values.data(), columns, rows,
                                                  GDT_Float64, 0, 0, nullptr),
              CE_None);
    return path;
}

// A 3 × 2 raster of cells 0.01° with heights 1 2 3 / 4 5 6; (pixel, line) 0, 0 is its
// north-west corner at 31° N, 110° E.
TEST(ElevationSourceEdges, OuterHalfCellExtendsTheEdgeSamplesAndNothingBeyond)
{
    const fs::path path =
        WriteGeoTiff("edges.tif", 3, 2, {1, 2, 3, 4, 5, 6}, {110, 0.01, 0, 31, 0, -0.01}, 4326);
    ElevationSource source(path.string());
    struct Case {
        double pixel, line;
        std::optional<double> heightM;
    };
    const Case cases[] = {
        {0.5, 0.5, 1.0},   {1.0, 0.5, 1.5}, {1.5, 1.0, 3.5},  {0.25, 0.5, 1.0},
        {0.02, 0.02, 1.0}, {2.9, 1.9, 6.0}, {3.0, 2.0, 6.0},  {1.5, 1.95, 5.0},
        {-0.02, 0.5, {}},  {3.03, 1.0, {}}, {1.0, -0.05, {}}, {1.0, 2.04, {}},
    };
    for (const Case& c : cases) {
        const std::optional<double> h = source.HeightM(31 - c.line * 0.01, 110 + c.pixel * 0.01);
        ASSERT_EQ(h.has_value(), c.heightM.has_value()) << "pixel " << c.pixel << ", line " << c.line;
        if (h) {
            EXPECT_NEAR(*h, *c.heightM, 1e-9) << "pixel " << c.pixel << ", line " << c.line;
        }
    }
}

// 3 × 3 cells of 0.01° from 31° N, 110° E with a void in the middle: its weight drops out and
// the others are renormalised; on the void's own centre (neighbours' weights below 1e-9)
// there is nothing.
TEST(ElevationSourceVoids, VoidWeightsAreRenormalisedAndAVoidCentreAnswersNothing)
{
    const fs::path path = WriteGeoTiff("void.tif", 3, 3, {10, 20, 30, 40, -9999, 60, 70, 80, 90},
                                       {110, 0.01, 0, 31, 0, -0.01}, 4326, -9999.0);
    ElevationSource source(path.string());
    struct Case {
        double pixel, line;
        std::optional<double> heightM;
    };
    const Case cases[] = {
        {1.5, 1.5, {}},
        {1.5 + 1e-11, 1.5 - 1e-11, {}},
        {1.0, 1.5, 40.0},
        {1.5, 1.0, 20.0},
        {1.25, 1.25, (0.0625 * 10 + 0.1875 * 20 + 0.1875 * 40) / 0.4375},
        {2.0, 2.0, (60 + 80 + 90) / 3.0},
    };
    for (const Case& c : cases) {
        const std::optional<double> h = source.HeightM(31 - c.line * 0.01, 110 + c.pixel * 0.01);
        ASSERT_EQ(h.has_value(), c.heightM.has_value()) << "pixel " << c.pixel << ", line " << c.line;
        if (h) {
            EXPECT_NEAR(*h, *c.heightM, 1e-6) << "pixel " << c.pixel << ", line " << c.line;
        }
    }
}

TEST(ElevationSourceDescription, NamesFileCrsCellSizeAndUnit)
{
    const fs::path path = WriteGeoTiff("described.tif", 4, 3, std::vector<double>(12, 100.0),
                                       {500000, 30, 0, 3000000, 0, -30}, 32649);
    const ElevationSource source(path.string());
    const RasterDescription& d = source.Description();
    EXPECT_EQ(d.name, "described.tif");
    EXPECT_EQ(d.crsName, "WGS 84 / UTM zone 49N");
    EXPECT_DOUBLE_EQ(d.cellWidth, 30.0);
    EXPECT_DOUBLE_EQ(d.cellHeight, 30.0);
    EXPECT_EQ(d.unitName, "metre");
    EXPECT_EQ(d.columns, 4);
    EXPECT_EQ(d.rows, 3);
}

// A VRT of columns × rows Float32 cells of 30 m in UTM zone 49N from 420000 E, 3350000 N;
// `crs` empty for none.
std::string Vrt(int columns, int rows, const std::string& crs, const std::string& sources = {})
{
    return "<VRTDataset rasterXSize=\"" + std::to_string(columns) + "\" rasterYSize=\"" +
           std::to_string(rows) + "\">" + (crs.empty() ? "" : "<SRS>" + crs + "</SRS>") +
           "<GeoTransform>420000, 30, 0, 3350000, 0, -30</GeoTransform>"
           "<VRTRasterBand dataType=\"Float32\" band=\"1\">" +
           sources + "</VRTRasterBand></VRTDataset>";
}

// 100 × 100 tiles of 100 × 100 cells, none of which exists. SourceProperties lets GDAL defer
// opening a tile until its cells are read.
std::string MissingTiles()
{
    std::string sources;
    for (int j = 0; j < 100; ++j)
        for (int i = 0; i < 100; ++i)
            sources += "<SimpleSource><SourceFilename relativeToVRT=\"1\">missing/t_" + std::to_string(i) +
                       "_" + std::to_string(j) +
                       ".tif</SourceFilename><SourceBand>1</SourceBand>"
                       "<SourceProperties RasterXSize=\"100\" RasterYSize=\"100\" DataType=\"Float32\" "
                       "BlockXSize=\"100\" BlockYSize=\"100\"/>"
                       "<SrcRect xOff=\"0\" yOff=\"0\" xSize=\"100\" ySize=\"100\"/><DstRect xOff=\"" +
                       std::to_string(100 * i) + "\" yOff=\"" + std::to_string(100 * j) +
                       "\" xSize=\"100\" ySize=\"100\"/></SimpleSource>";
    return sources;
}

// Refused on opening, or for the VRT of missing tiles on the first query (20 × 20 points over
// its 300 km square): one RasterError in UTF-8 naming the file and the reason once, nothing on
// stderr, within a second. GDAL 3.6 itself refuses to open a 0 × 0 raster, in words of its own, so
// there only the file is checked.
TEST(ElevationSourceRefusal, UnusableRastersAreRefusedOnceWithFileAndReason)
{
    struct Case {
        std::string name;
        std::string vrt;
        std::string reason;
    };
    const std::string utm = "EPSG:32649";
    const Case cases[] = {
        {"zero.vrt", Vrt(0, 0, utm), "zero.vrt"},
        {"single_cell.vrt", Vrt(1, 1, utm), "1 × 1"},
        {"single_row.vrt", Vrt(5, 1, utm), "2 × 2"},
        {"no_crs.vrt", Vrt(3, 3, ""), "没有坐标系"},
        {"missing_tiles.vrt", Vrt(10000, 10000, utm, MissingTiles()), "missing/t_"},
        // GDAL's report quotes the broken attribute's bytes, which are no UTF-8.
        {"broken_attribute.vrt", "<VRTDataset rasterXSize=\"3\"\xE0\x8D\xFF ter=\"3\"></VRTDataset>",
         "GDAL 无法把它作为栅格打开"},
        {"odd_tile_name.vrt",
         Vrt(10000, 10000, utm,
             "<SimpleSource><SourceFilename relativeToVRT=\"1\">missing/t\xFF.tif</SourceFilename>"
             "<SourceBand>1</SourceBand><SourceProperties RasterXSize=\"100\" RasterYSize=\"100\" "
             "DataType=\"Float32\" BlockXSize=\"100\" BlockYSize=\"100\"/>"
             "<SrcRect xOff=\"0\" yOff=\"0\" xSize=\"100\" ySize=\"100\"/>"
             "<DstRect xOff=\"0\" yOff=\"0\" xSize=\"10000\" ySize=\"10000\"/></SimpleSource>"),
         "的数据块"},
    };
    std::vector<GeoPoint> points;
    for (int k = 0; k < 400; ++k)
        points.push_back({.latDeg = 27.7 + 0.13 * (k / 20), .lonDeg = 110.3 + 0.14 * (k % 20)});
    std::vector<std::optional<double>> heights(points.size());
    for (const Case& c : cases) {
        const fs::path path = ScratchFolder("refused") / c.name;
        std::ofstream(path) << c.vrt;
        std::string message;
        const auto start = std::chrono::steady_clock::now();
        testing::internal::CaptureStderr();
        try {
            ElevationSource source(path.string());
            source.HeightsM(points, heights);
            ADD_FAILURE() << c.name << " was accepted";
        } catch (const RasterError& error) {
            message = error.what();
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << c.name;
        // Refused at once, never after waiting out a network timeout (15 s); the bound leaves
        // room for a sanitizer build on a loaded machine, which took just over 1 s.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << c.name;
        EXPECT_NE(message.find(path.string()), std::string::npos) << message;
        EXPECT_TRUE(CPLIsUTF8(message.c_str(), -1)) << message;
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        EXPECT_EQ(message.find(c.reason), message.rfind(c.reason)) << message;
    }
    EXPECT_THROW(ElevationSource("/nonexistent/dem.tif"), RasterError);
}

// A folder of tiles is used whole or refused naming the tile at fault: notes and checksums
// beside the tiles are passed over, but a tile without a CRS, a damaged tile and a tile that
// GDAL cannot mosaic with the others (two bands where the others have one) would otherwise
// leave a hole that reads as "outside the data".
TEST(ElevationSourceRefusal, AFolderTileThatCannotBeUsedIsNamed)
{
    struct Case {
        std::string folder;
        std::string extraFile;   // beside good.tif, in the folder
        std::string refusedFor;  // empty: the folder is read
    };
    const Case cases[] = {
        {"notes", "readme.txt", ""},
        {"no_crs", "bad.tif", "没有坐标系"},
        {"damaged", "bad.tif", "无法作为栅格打开"},
        {"two_bands", "z_bad.tif", "无法与同一坐标系的其他瓦片拼接"},
    };
    const std::array<double, 6> gt{500000.0, 30.0, 0.0, 3320000.0, 0.0, -30.0};
    for (const Case& c : cases) {
        fs::create_directories(ScratchFolder("small") / c.folder);
        const fs::path good =
            WriteGeoTiff(c.folder + "/good.tif", 4, 4, std::vector<double>(16, 7.0), gt, 32649);
        const fs::path extra = good.parent_path() / c.extraFile;
        if (c.folder == "notes") {
            std::ofstream(extra) << "DEM tiles, metres above EGM96\n";
        } else if (c.folder == "no_crs") {
            WriteGeoTiff(c.folder + "/" + c.extraFile, 4, 4, std::vector<double>(16, 8.0), gt, 0);
        } else if (c.folder == "damaged") {
            std::ofstream(extra, std::ios::binary)
                << std::string("II*\0\x08\0\0\0", 8) << std::string(64, '\xff');
        } else {
            DatasetPtr two(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(extra.c_str(), 4, 4, 2,
                                                                                    GDT_Float64, nullptr));
            std::array<double, 6> east = gt;
            east[0] += 120.0;
            two->SetGeoTransform(east.data());
            OGRSpatialReference crs;
            crs.importFromEPSG(32649);
            two->SetSpatialRef(&crs);
        }
        const std::string folder = good.parent_path().string();
        try {
            ElevationSource source(folder);
            EXPECT_TRUE(c.refusedFor.empty()) << c.folder << " was accepted";
            EXPECT_NEAR(source.HeightM(30.0104, 111.0006).value_or(NAN), 7.0, 1e-9) << c.folder;
        } catch (const RasterError& error) {
            const std::string message = error.what();
            EXPECT_FALSE(c.refusedFor.empty()) << c.folder << ": " << message;
            EXPECT_NE(message.find(c.extraFile), std::string::npos) << message;
            EXPECT_NE(message.find(c.refusedFor), std::string::npos) << message;
        }
    }
}

// 1500 × 1500 cells in memory, strips of one row: read as 256 × 256 blocks of 512 KiB, so a
// bound of 1 MiB holds two of the 36.
TEST(BlockCache, StaysWithinItsBoundAndKeepsReturningTheBandsValues)
{
    GDALAllRegister();
    constexpr int kSide = 1500;
    DatasetPtr dataset(
        GetGDALDriverManager()->GetDriverByName("MEM")->Create("", kSide, kSide, 1, GDT_Int32, nullptr));
    std::vector<std::int32_t> values(kSide * kSide);
    for (int j = 0; j < kSide; ++j)
        for (int i = 0; i < kSide; ++i)
            values[j * kSide + i] = 100000 * j + i;  // beyond float's exact integers
    ASSERT_EQ(dataset->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, kSide, kSide, values.data(), kSide, kSide,
                                                  GDT_Int32, 0, 0, nullptr),
              CE_None);
    constexpr std::size_t kBound = 1 << 20;
    BlockCache cache(dataset->GetRasterBand(1), kBound);
    ASSERT_EQ(cache.BlockWidth(), 256);
    for (int pass = 0; pass < 2; ++pass)
        for (int j = pass; j < kSide; j += 97)
            for (int i = pass; i < kSide; i += 89) {
                ASSERT_EQ(cache.Value(i, j), 100000.0 * j + i) << i << ", " << j;
                ASSERT_LE(cache.BytesHeld(), kBound);
            }
    EXPECT_GE(cache.ReadCount(), 2u * 36u);  // every block read again on the second pass
    EXPECT_GT(cache.BytesHeld(), 0u);
}

}  // namespace
}  // namespace keldarn::raster
