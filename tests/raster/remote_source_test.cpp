#include "raster/elevation_source.h"
#include "raster/gdal_support.h"
#include "tests/support/range_server.h"

#include <cpl_conv.h>
#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace keldarn::raster {
namespace {

using geodesy::GeoPoint;

namespace fs = std::filesystem;
using testing_support::RangeServer;

// The test rasters: kSide × kSide cells of 30 m in UTM zone 49N from 420000 E, 3350000 N, in
// 256 × 256 blocks.
constexpr int kSide = 2048;
constexpr int kBlock = 256;
constexpr double kCellM = 30.0;
constexpr double kWestM = 420000.0;
constexpr double kNorthM = 3350000.0;
// The VRT's two tiles are kSeamColumn columns wide each; the western one ends there.
constexpr int kSeamColumn = kSide / 2;

// Loopback answers in milliseconds; these only keep a broken run from hanging.
class LoopbackHttpLimits : public testing::Environment {
public:
    void SetUp() override
    {
        CPLSetConfigOption("GDAL_HTTP_TIMEOUT", "5");
        CPLSetConfigOption("GDAL_HTTP_MAX_RETRY", "0");
    }
};
testing::Environment* const kLoopbackHttpLimits = testing::AddGlobalTestEnvironment(new LoopbackHttpLimits);

// A folder of its own under one per test process, removed with everything in it when the
// test ends.
class Scratch {
public:
    explicit Scratch(const std::string& name)
        : path_(fs::temp_directory_path() / ("keldarn_remote_test_" + std::to_string(::getpid())) / name)
    {
        fs::create_directories(path_);
    }
    ~Scratch()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
        fs::remove(path_.parent_path(), ignored);  // only once empty
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(GDALDataset::ToHandle(dataset)); }
};
using DatasetPtr = std::unique_ptr<GDALDataset, DatasetCloser>;

// Columns [x0, x0 + columns) of the test relief as a Float32 raster in memory: smooth hills of
// a few hundred metres, different in every cell.
DatasetPtr Relief(int x0, int columns)
{
    GDALAllRegister();
    DatasetPtr dataset(
        GetGDALDriverManager()->GetDriverByName("MEM")->Create("", columns, kSide, 1, GDT_Float32, nullptr));
    std::array<double, 6> gt{kWestM + x0 * kCellM, kCellM, 0, kNorthM, 0, -kCellM};
    dataset->SetGeoTransform(gt.data());
    OGRSpatialReference utm;
    utm.importFromEPSG(32649);
    dataset->SetSpatialRef(&utm);
    std::vector<float> heightsM(static_cast<std::size_t>(columns) * kSide);
    for (int j = 0; j < kSide; ++j)
        for (int i = 0; i < columns; ++i) {
            const double c = x0 + i;
            heightsM[static_cast<std::size_t>(j) * columns + i] = static_cast<float>(
                600 + 400 * std::sin(c / 300) * std::cos(j / 210.0) + 80 * std::sin((c + 2 * j) / 90.0));
        }
    EXPECT_EQ(dataset->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, columns, kSide, heightsM.data(), columns,
                                                  kSide, GDT_Float32, 0, 0, nullptr),
              CE_None);
    return dataset;
}

void Copy(GDALDataset& source, const char* driver, const fs::path& file, CPLStringList options)
{
    DatasetPtr copy(GetGDALDriverManager()->GetDriverByName(driver)->CreateCopy(
        file.c_str(), &source, FALSE, options.List(), nullptr, nullptr));
    ASSERT_TRUE(copy) << file;
}

// The COG driver writes the overviews (1024, 512, 256 cells) before the full-resolution blocks.
void WriteCog(const fs::path& file)
{
    CPLStringList options;
    options.SetNameValue("BLOCKSIZE", std::to_string(kBlock).c_str());
    options.SetNameValue("COMPRESS", "DEFLATE");
    Copy(*Relief(0, kSide), "COG", file, options);
}

// mosaic.vrt: two tiled GeoTIFFs side by side, named relative to the VRT, so that on the server
// the tiles are fetched from beside it.
void WriteTwoTileVrt(const fs::path& folder)
{
    CPLStringList options;
    options.SetNameValue("TILED", "YES");
    options.SetNameValue("BLOCKXSIZE", std::to_string(kBlock).c_str());
    options.SetNameValue("BLOCKYSIZE", std::to_string(kBlock).c_str());
    options.SetNameValue("COMPRESS", "DEFLATE");
    Copy(*Relief(0, kSeamColumn), "GTiff", folder / "tile_w.tif", options);
    Copy(*Relief(kSeamColumn, kSeamColumn), "GTiff", folder / "tile_e.tif", options);
    std::string sources;
    for (const auto& [file, x0] : {std::pair("tile_w.tif", 0), std::pair("tile_e.tif", kSeamColumn)}) {
        const std::string size =
            "xSize=\"" + std::to_string(kSeamColumn) + "\" ySize=\"" + std::to_string(kSide) + "\"";
        sources += std::string("<SimpleSource><SourceFilename relativeToVRT=\"1\">") + file +
                   "</SourceFilename><SourceBand>1</SourceBand><SrcRect xOff=\"0\" yOff=\"0\" " + size +
                   "/><DstRect xOff=\"" + std::to_string(x0) + "\" yOff=\"0\" " + size + "/></SimpleSource>";
    }
    std::ofstream(folder / "mosaic.vrt")
        << "<VRTDataset rasterXSize=\"" << kSide << "\" rasterYSize=\"" << kSide
        << "\"><SRS>EPSG:32649</SRS><GeoTransform>" << kWestM << ", " << kCellM << ", 0, " << kNorthM
        << ", 0, " << -kCellM << "</GeoTransform><VRTRasterBand dataType=\"Float32\" band=\"1\">" << sources
        << "</VRTRasterBand></VRTDataset>";
}

// A position on the test grid, in cells: pixel eastwards, line southwards.
struct Cell {
    double pixel = 0.0;
    double line = 0.0;
};

// Positions on the test grid as WGS84 points.
std::vector<GeoPoint> ToWgs84(const std::vector<Cell>& cells)
{
    OGRSpatialReference utm;
    utm.importFromEPSG(32649);
    OGRSpatialReference wgs84;
    wgs84.importFromEPSG(4326);
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    const std::unique_ptr<OGRCoordinateTransformation> toWgs84(
        OGRCreateCoordinateTransformation(&utm, &wgs84));
    std::vector<GeoPoint> points;
    for (const Cell& cell : cells) {
        double x = kWestM + cell.pixel * kCellM;
        double y = kNorthM - cell.line * kCellM;
        EXPECT_TRUE(toWgs84->Transform(1, &x, &y));
        points.push_back({.latDeg = y, .lonDeg = x});
    }
    return points;
}

// n random points in cells [c0, c1) × [r0, r1) (columns × rows).
std::vector<Cell> RandomCells(int n, double c0, double c1, double r0, double r1, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> column(c0, c1);
    std::uniform_real_distribution<double> row(r0, r1);
    std::vector<Cell> cells;
    for (int k = 0; k < n; ++k) {
        const double line = row(random);  // the row is drawn first: the points the seed gave so far
        cells.push_back({.pixel = column(random), .line = line});
    }
    return cells;
}

// 200 random points in columns [800, 1250) and rows [600, 1100): 6 of the COG's 64 blocks, 3 of
// each VRT tile's 32. And 15 on the seam between the tiles, where every height needs both.
std::vector<GeoPoint> PointsAroundTheSeam()
{
    std::vector<Cell> cells = RandomCells(200, 800, 1250, 600, 1100, 20261207);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> row(600, 1100);
    for (const double offset : {0.0, -0.3, 0.3})
        for (int k = 0; k < 5; ++k)
            cells.push_back({.pixel = kSeamColumn + offset, .line = row(random)});
    return ToWgs84(cells);
}

struct RemoteCase {
    std::string name;
    std::string address;                   // after the server's address, as a user gives it
    std::string openedFile;                // the file the address names
    std::vector<std::string> servedFiles;  // the files GDAL must fetch from the server
    void (*write)(const fs::path& folder);
};

void PrintTo(const RemoteCase& c, std::ostream* out)
{
    *out << c.name;
}

class RemoteHeights : public testing::TestWithParam<RemoteCase> {};

// Through the server the heights are those of the same file read locally, bit for bit, and
// only a small part of the files travels: range requests for the blocks sampled. Nothing else
// is asked for: no listing of the server's folder, no probes for side files.
TEST_P(RemoteHeights, EqualTheLocalFilesHeightsWithOnlyTheSampledBlocksFetched)
{
    const RemoteCase& c = GetParam();
    const Scratch scratch(c.name);
    c.write(scratch.Path());
    RangeServer server(scratch.Path());
    ASSERT_TRUE(server.Running());

    const std::vector<GeoPoint> points = PointsAroundTheSeam();
    std::vector<std::optional<double>> local(points.size());
    std::vector<std::optional<double>> remote(points.size());
    ElevationSource((scratch.Path() / c.openedFile).string()).HeightsM(points, local);
    ElevationSource source(server.Url(c.address));
    source.HeightsM(points, remote);

    EXPECT_EQ(source.Description().name, c.openedFile);
    EXPECT_EQ(source.Description().columns, kSide);
    for (std::size_t k = 0; k < points.size(); ++k) {
        ASSERT_TRUE(local[k].has_value()) << "point " << k;
        EXPECT_EQ(remote[k], local[k]) << "point " << k;
    }
    RangeServer::Served served = server.Stats();
    std::uintmax_t fileBytes = 0;
    for (const std::string& file : c.servedFiles) {
        EXPECT_GT(served.requestsByPath["/" + file], 0) << file << " was not fetched from the server";
        served.requestsByPath.erase("/" + file);
        fileBytes += fs::file_size(scratch.Path() / file);
    }
    std::string otherPaths;
    for (const auto& [path, requests] : served.requestsByPath)
        otherPaths += " " + path;
    EXPECT_EQ(otherPaths, "") << "asked for more than the raster's files";
    EXPECT_GT(served.bytes, 0);
    EXPECT_LT(served.bytes, static_cast<std::int64_t>(fileBytes / 4));
    std::printf("[ served   ] %s: %lld of %ju bytes\n", c.name.c_str(), static_cast<long long>(served.bytes),
                fileBytes);
}

// The COG's address carries a query, as signed addresses do; it is no part of the name.
INSTANTIATE_TEST_SUITE_P(
    Kinds, RemoteHeights,
    testing::Values(
        RemoteCase{"cog",
                   "dem_cog.tif?version=2",
                   "dem_cog.tif",
                   {"dem_cog.tif"},
                   [](const fs::path& folder) { WriteCog(folder / "dem_cog.tif"); }},
        RemoteCase{
            "vrt", "mosaic.vrt", "mosaic.vrt", {"mosaic.vrt", "tile_w.tif", "tile_e.tif"}, WriteTwoTileVrt}),
    [](const testing::TestParamInfo<RemoteCase>& info) { return info.param.name; });

// The server goes away after a few points were read. A block not read before fails at once,
// naming the address as the user gave it; the blocks read keep answering, with the same
// heights; a file never opened is refused, also naming its address.
TEST(RemoteSourceGone, UnreadBlocksFailNamingTheAddressAndReadBlocksStillAnswer)
{
    const Scratch scratch("gone");
    WriteCog(scratch.Path() / "gone_cog.tif");
    fs::copy_file(scratch.Path() / "gone_cog.tif", scratch.Path() / "never_opened.tif");
    RangeServer server(scratch.Path());
    ASSERT_TRUE(server.Running());
    const std::string address = server.Url("gone_cog.tif");
    const std::string neverOpened = server.Url("never_opened.tif");
    ElevationSource source(address);

    // The first block, then the last one: the COG stores it at the end of the file.
    const std::vector<GeoPoint> read = ToWgs84(RandomCells(20, 10, 200, 10, 200, 1));
    const std::vector<GeoPoint> unread =
        ToWgs84(RandomCells(20, kSide - 200, kSide - 10, kSide - 200, kSide - 10, 2));
    std::vector<std::optional<double>> before(read.size());
    source.HeightsM(read, before);
    for (const std::optional<double>& h : before)
        ASSERT_TRUE(h.has_value());
    server.Stop();

    std::vector<std::optional<double>> heights(unread.size());
    const auto start = std::chrono::steady_clock::now();
    try {
        source.HeightsM(unread, heights);
        ADD_FAILURE() << "read with the server gone";
    } catch (const RasterError& error) {
        EXPECT_NE(std::string(error.what()).find("“" + address + "”"), std::string::npos) << error.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    std::vector<std::optional<double>> after(read.size());
    source.HeightsM(read, after);
    EXPECT_EQ(after, before);

    try {
        ElevationSource refused(neverOpened);
        ADD_FAILURE() << "opened with the server gone";
    } catch (const RasterError& error) {
        EXPECT_NE(std::string(error.what()).find("“" + neverOpened + "”"), std::string::npos) << error.what();
    }
}

// 512 × 512 cells of the test grid in 256 × 256 tiles with no no-data value, only the
// north-west tile written (100 m): a sparse GeoTIFF. hole.vrt: its north-west tile and, east
// of it, a tile that does not exist. raw.vrt: a raw band over the bytes of a local file
// ("r" = 114), named by its absolute path.
void WriteUnwrittenAndForeign(const fs::path& folder, const fs::path& local)
{
    GDALAllRegister();
    CPLStringList options;
    for (const char* option : {"TILED=YES", "SPARSE_OK=TRUE", "BLOCKXSIZE=256", "BLOCKYSIZE=256"})
        options.AddString(option);
    DatasetPtr sparse(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
        (folder / "sparse.tif").c_str(), 512, 512, 1, GDT_Float32, options.List()));
    std::array<double, 6> gt{kWestM, kCellM, 0, kNorthM, 0, -kCellM};
    sparse->SetGeoTransform(gt.data());
    OGRSpatialReference utm;
    utm.importFromEPSG(32649);
    sparse->SetSpatialRef(&utm);
    std::vector<float> written(256 * 256, 100.0f);
    ASSERT_EQ(sparse->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, 256, 256, written.data(), 256, 256,
                                                 GDT_Float32, 0, 0, nullptr),
              CE_None);
    sparse.reset();
    const auto vrt = [&](const std::string& bands) {
        return "<VRTDataset rasterXSize=\"512\" rasterYSize=\"512\"><SRS>EPSG:32649</SRS><GeoTransform>" +
               std::to_string(kWestM) + ", 30, 0, " + std::to_string(kNorthM) + ", 0, -30</GeoTransform>" +
               bands + "</VRTDataset>";
    };
    std::string sources;
    for (const auto& [file, x0] : {std::pair("sparse.tif", 0), std::pair("gone.tif", 256)})
        sources += std::string("<SimpleSource><SourceFilename relativeToVRT=\"1\">") + file +
                   "</SourceFilename><SourceBand>1</SourceBand><SrcRect xOff=\"0\" yOff=\"0\" xSize=\"256\" "
                   "ySize=\"256\"/><DstRect xOff=\"" +
                   std::to_string(x0) + "\" yOff=\"0\" xSize=\"256\" ySize=\"256\"/></SimpleSource>";
    std::ofstream(folder / "hole.vrt")
        << vrt("<VRTRasterBand dataType=\"Float32\" band=\"1\">" + sources + "</VRTRasterBand>");
    std::ofstream(local) << std::string(512 * 512, 'r');
    std::ofstream(folder / "raw.vrt")
        << vrt("<VRTRasterBand dataType=\"Byte\" band=\"1\" subClass=\"VRTRawRasterBand\"><SourceFilename "
               "relativeToVRT=\"0\">" +
               local.string() +
               "</SourceFilename><ImageOffset>0</ImageOffset><PixelOffset>1</PixelOffset><LineOffset>512</"
               "LineOffset></VRTRasterBand>");
}

// What the file does not hold is no height: an unwritten block is a void, not 0 m; a missing
// tile of a VRT on a server is refused by its name, not only by GDAL's "HTTP 404". A raw band
// in a VRT from an address is refused naming the local file it would read; the same VRT on the
// local disk is the user's own and keeps it.
TEST(SourceWithoutData, UnwrittenBlocksAreVoidsAndForeignBytesAreRefused)
{
    const Scratch scratch("unwritten");
    const fs::path served = scratch.Path() / "served";
    fs::create_directories(served);
    const fs::path secret = scratch.Path() / "secret.bin";
    WriteUnwrittenAndForeign(served, secret);
    RangeServer server(served);
    ASSERT_TRUE(server.Running());
    struct Case {
        std::string source;
        Cell cell;
        std::optional<double> heightM;   // when answered
        std::string refusal;             // text of the refusal; empty: answered (or not) as heightM
    };
    const Case cases[] = {
        {(served / "sparse.tif").string(), {100.5, 100.5}, 100.0, ""},
        {(served / "sparse.tif").string(), {384.5, 384.5}, {}, ""},
        {server.Url("sparse.tif"), {384.5, 100.5}, {}, ""},
        {server.Url("hole.vrt"), {384.5, 100.5}, {}, "“" + server.Url("gone.tif") + "”"},
        {server.Url("raw.vrt"), {100.5, 100.5}, {}, secret.string()},
        {(served / "raw.vrt").string(), {100.5, 100.5}, 114.0, ""},
    };
    for (const Case& c : cases) {
        const GeoPoint point = ToWgs84({c.cell}).front();
        try {
            ElevationSource source(c.source);
            const std::optional<double> height = source.HeightM(point.latDeg, point.lonDeg);
            EXPECT_TRUE(c.refusal.empty()) << c.source << " was read";
            EXPECT_EQ(height, c.heightM) << c.source << " at " << c.cell.pixel << ", " << c.cell.line;
        } catch (const RasterError& error) {
            EXPECT_FALSE(c.refusal.empty()) << error.what();
            EXPECT_NE(std::string(error.what()).find(c.refusal), std::string::npos) << error.what();
        }
    }
}

// How a source is named to GDAL, and which sources travel over the network.
TEST(RemoteSourceNames, AddressesBecomeVsicurlPathsAndOnlyNetworkPathsAreRemote)
{
    struct Case {
        std::string source;
        std::string gdalPath;
        bool remote;
    };
    const Case cases[] = {
        {"http://dem.example/srtm/dem.tif", "/vsicurl/http://dem.example/srtm/dem.tif", true},
        {"HTTPS://Dem.Example/A/Dem.TIF?k=V", "/vsicurl/https://Dem.Example/A/Dem.TIF?k=V", true},
        {"/vsicurl/https://dem.example/dem.tif", "/vsicurl/https://dem.example/dem.tif", true},
        {"/vsizip//vsicurl/https://dem.example/t.zip/dem.tif",
         "/vsizip//vsicurl/https://dem.example/t.zip/dem.tif", true},
        {"/vsis3/bucket/dem.tif", "/vsis3/bucket/dem.tif", true},
        {"/vsizip//data/vsis3/tiles.zip/dem.tif", "/vsizip//data/vsis3/tiles.zip/dem.tif", false},
        {"/data/http_dem/dem.tif", "/data/http_dem/dem.tif", false},
        {"https_dem.tif", "https_dem.tif", false},
        {"http:/dem.tif", "http:/dem.tif", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GdalPathOf(c.source), c.gdalPath) << c.source;
        EXPECT_EQ(IsRemoteSource(c.source), c.remote) << c.source;
    }
}

}  // namespace
}  // namespace keldarn::raster
