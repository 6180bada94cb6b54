#pragma once

// Large elevation models for the benchmarks, generated once into the system's temporary
// folder and reused by later runs:
// - 11000 × 11000 Int16 cells of one arc-second in EPSG:4326 (121 M cells, the size of a
//   national 30 m product's sheet), tiled with internal overviews or striped without them;
// - a VRT over 10 × 10 tiles of 3163 × 3163 Int16 cells of 30 m in UTM zone 49N (10^9 cells),
//   each tiled with internal overviews.
// Files are DEFLATE-compressed with the horizontal predictor; the relief is smooth, so the
// set takes about 650 MB (2.2 GB as plain Int16). Each file is written under a temporary
// name and renamed when it is complete: a file under its final name is whole, and an
// interrupted run starts it again.

#include <cpl_conv.h>
#include <cpl_string.h>
#include <gdal_priv.h>
#include <gdal_utils.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace keldarn::bench {

inline constexpr int kLargeDemSide = 11000;
inline constexpr double kLargeDemWestLonDeg = 112.0;
inline constexpr double kLargeDemNorthLatDeg = 35.0;
inline constexpr double kLargeDemCellDeg = 1.0 / 3600.0;

inline constexpr int kMosaicTiles = 10;  // per side
inline constexpr int kMosaicTileSide = 3163;
inline constexpr double kMosaicCellM = 30.0;
inline constexpr double kMosaicWestM = 500000.0 - 0.5 * kMosaicTiles * kMosaicTileSide * kMosaicCellM;
inline constexpr double kMosaicNorthM = 3950000.0;

namespace detail {

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(GDALDataset::ToHandle(dataset)); }
};
using DatasetPtr = std::unique_ptr<GDALDataset, DatasetCloser>;

// Sets GDAL options for the generating thread only, so that they never reach the reads
// being measured.
class ThreadConfig {
public:
    ThreadConfig(const char* key, const char* value) : key_(key)
    {
        CPLSetThreadLocalConfigOption(key, value);
    }
    ~ThreadConfig() { CPLSetThreadLocalConfigOption(key_, nullptr); }
    ThreadConfig(const ThreadConfig&) = delete;
    ThreadConfig& operator=(const ThreadConfig&) = delete;

private:
    const char* key_;
};

// Where the relief of a raster lies: the ground position (metres east and north) of the
// centre of cell (0, 0) and the cell size (metres).
struct ReliefWindow {
    double eastM = 0.0;
    double northM = 0.0;
    double cellM = 30.0;
};

// Hills and valleys from 450 m to 9 km across as a sum of products sin(x/λ)·cos(y/μ), so
// that a row costs one cosine per term and a sample a few multiply-adds; slopes stay under
// 0.31. A function of ground position, so that neighbouring tiles join without a step.
struct Relief {
    static constexpr int kTerms = 4;
    static constexpr std::array<double, kTerms> kAmplitudeM{500.0, 200.0, 60.0, 15.0};
    static constexpr std::array<double, kTerms> kLambdaM{7000.0, 1900.0, 450.0, 130.0};
    static constexpr std::array<double, kTerms> kMuM{9000.0, 2300.0, 610.0, 170.0};

    Relief(const ReliefWindow& window, int columns) : window_(window), columnTerms_(kTerms * columns)
    {
        for (int i = 0; i < columns; ++i) {
            const double xM = window.eastM + i * window.cellM;
            for (int k = 0; k < kTerms; ++k)
                columnTerms_[static_cast<size_t>(i) * kTerms + k] =
                    kAmplitudeM[k] * std::sin(xM / kLambdaM[k] + k);
        }
    }

    // Heights (whole metres) of row `row`, one per column.
    void Row(int row, std::int16_t* heightsM) const
    {
        const double yM = window_.northM - row * window_.cellM;
        std::array<double, kTerms> rowTerms{};
        for (int k = 0; k < kTerms; ++k)
            rowTerms[k] = std::cos(yM / kMuM[k] + 0.5 * k);
        const size_t columns = columnTerms_.size() / kTerms;
        for (size_t i = 0; i < columns; ++i) {
            double hM = 900.0;
            for (int k = 0; k < kTerms; ++k)
                hM += columnTerms_[i * kTerms + k] * rowTerms[k];
            heightsM[i] = static_cast<std::int16_t>(std::lround(hM));
        }
    }

private:
    ReliefWindow window_;
    std::vector<double> columnTerms_;  // amplitude · sin(x/λ) per column and term
};

struct RasterPlan {
    int columns = 0;
    int rows = 0;
    std::array<double, 6> geoTransform{};
    int epsg = 0;
    ReliefWindow relief;
    bool tiled = true;  // 256 × 256 tiles with internal overviews, else strips without them
};

[[noreturn]] inline void Die(const std::string& what)
{
    std::fprintf(stderr, "large_dem: %s: %s\n", what.c_str(), CPLGetLastErrorMsg());
    std::abort();
}

// Writes the raster to `file` unless it exists.
inline void EnsureRaster(const std::filesystem::path& file, const RasterPlan& plan)
{
    if (std::filesystem::exists(file))
        return;
    GDALAllRegister();
    const std::filesystem::path part = file.string() + ".part";
    CPLStringList options;
    options.SetNameValue("COMPRESS", "DEFLATE");
    options.SetNameValue("PREDICTOR", "2");
    options.SetNameValue("NUM_THREADS", "ALL_CPUS");
    if (plan.tiled) {
        options.SetNameValue("TILED", "YES");
        options.SetNameValue("BLOCKXSIZE", "256");
        options.SetNameValue("BLOCKYSIZE", "256");
    }
    DatasetPtr dataset(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
        part.c_str(), plan.columns, plan.rows, 1, GDT_Int16, options.List()));
    if (!dataset)
        Die("cannot create " + part.string());
    std::array<double, 6> gt = plan.geoTransform;
    dataset->SetGeoTransform(gt.data());
    OGRSpatialReference crs;
    crs.importFromEPSG(plan.epsg);
    dataset->SetSpatialRef(&crs);

    // A band of 256 rows at a time: one row of tiles, flushed before the next.
    constexpr int kBandRows = 256;
    const Relief relief(plan.relief, plan.columns);
    std::vector<std::int16_t> band(static_cast<size_t>(plan.columns) * kBandRows);
    for (int top = 0; top < plan.rows; top += kBandRows) {
        const int rows = std::min(kBandRows, plan.rows - top);
        for (int r = 0; r < rows; ++r)
            relief.Row(top + r, band.data() + static_cast<size_t>(r) * plan.columns);
        if (dataset->GetRasterBand(1)->RasterIO(GF_Write, 0, top, plan.columns, rows, band.data(),
                                                plan.columns, rows, GDT_Int16, 0, 0, nullptr) != CE_None)
            Die("cannot write " + part.string());
    }
    if (plan.tiled) {
        const ThreadConfig compress("COMPRESS_OVERVIEW", "DEFLATE");
        const ThreadConfig predictor("PREDICTOR_OVERVIEW", "2");
        const ThreadConfig threads("GDAL_NUM_THREADS", "ALL_CPUS");
        std::vector<int> levels;
        for (int level = 2; std::max(plan.columns, plan.rows) / level >= 64; level *= 2)
            levels.push_back(level);
        if (GDALBuildOverviews(GDALDataset::ToHandle(dataset.get()), "AVERAGE",
                               static_cast<int>(levels.size()), levels.data(), 0, nullptr, nullptr,
                               nullptr) != CE_None)
            Die("cannot build the overviews of " + part.string());
    }
    dataset.reset();
    std::filesystem::rename(part, file);
}

}  // namespace detail

// The 121 M-cell GeoTIFF in EPSG:4326, 112°E..115.06°E, 31.94°N..35°N; made on first use.
inline std::string LargeGeoTiff(bool withOverviews)
{
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() /
        (withOverviews ? "keldarn_bench_dem_121m_overviews.tif" : "keldarn_bench_dem_121m_striped.tif");
    detail::RasterPlan plan;
    plan.columns = plan.rows = kLargeDemSide;
    plan.geoTransform = {kLargeDemWestLonDeg, kLargeDemCellDeg, 0.0, kLargeDemNorthLatDeg, 0.0,
                         -kLargeDemCellDeg};
    plan.epsg = 4326;
    plan.relief = {0.0, 0.0, 30.0};  // one arc-second of latitude is 30.8 m; near enough for relief
    plan.tiled = withOverviews;
    detail::EnsureRaster(file, plan);
    return file.string();
}

// Centre of the 121 M-cell GeoTIFF (degrees).
inline constexpr double kLargeDemCentreLatDeg = kLargeDemNorthLatDeg - 0.5 * kLargeDemSide * kLargeDemCellDeg;
inline constexpr double kLargeDemCentreLonDeg = kLargeDemWestLonDeg + 0.5 * kLargeDemSide * kLargeDemCellDeg;

// The VRT over the 10^9-cell mosaic in UTM zone 49N (easting 25 550..974 450 m, northing
// 3 001 090..3 950 000 m); the tiles and the VRT are made on first use.
inline std::string LargeMosaicVrt()
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "keldarn_bench_dem_1g";
    const std::filesystem::path vrt = dir / "mosaic.vrt";
    if (std::filesystem::exists(vrt))
        return vrt.string();
    std::filesystem::create_directories(dir);
    constexpr double tileM = kMosaicTileSide * kMosaicCellM;
    CPLStringList tiles;
    for (int r = 0; r < kMosaicTiles; ++r) {
        for (int c = 0; c < kMosaicTiles; ++c) {
            const std::filesystem::path tile =
                dir / ("tile_" + std::to_string(r) + "_" + std::to_string(c) + ".tif");
            detail::RasterPlan plan;
            plan.columns = plan.rows = kMosaicTileSide;
            const double westM = kMosaicWestM + c * tileM;
            const double northM = kMosaicNorthM - r * tileM;
            plan.geoTransform = {westM, kMosaicCellM, 0.0, northM, 0.0, -kMosaicCellM};
            plan.epsg = 32649;
            plan.relief = {westM + 0.5 * kMosaicCellM, northM - 0.5 * kMosaicCellM, kMosaicCellM};
            detail::EnsureRaster(tile, plan);
            tiles.AddString(tile.c_str());
        }
    }
    const std::filesystem::path part = dir / "mosaic.vrt.part";
    int usageError = FALSE;
    detail::DatasetPtr mosaic(GDALDataset::FromHandle(
        GDALBuildVRT(part.c_str(), tiles.Count(), nullptr, tiles.List(), nullptr, &usageError)));
    if (!mosaic)
        detail::Die("cannot build " + part.string());
    mosaic.reset();
    std::filesystem::rename(part, vrt);
    return vrt.string();
}

}  // namespace keldarn::bench
