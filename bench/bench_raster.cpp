// Full-resolution height queries of raster::ElevationSource on a generated 4000 × 4000 Float32
// GeoTIFF in UTM zone 49N (30 m cells, 256 × 256 tiles). Targets: warm cache 1 000 000 per second
// on one core, cold (fresh source, blocks read from the local file) 50 000 per second.
// Run by hand: build-helper/bench/bench_raster

#include "raster/elevation_source.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <random>
#include <vector>

namespace keldarn::raster {
namespace {

using geodesy::GeoPoint;

constexpr int kSide = 4000;
constexpr double kCellM = 30.0;
constexpr double kWestM = 420000.0;
constexpr double kNorthM = 3350000.0;

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(GDALDataset::ToHandle(dataset)); }
};
struct TransformationDestroyer {
    void operator()(OGRCoordinateTransformation* ct) const { OGRCoordinateTransformation::DestroyCT(ct); }
};

const std::string& BenchRaster()
{
    static const std::string path = [] {
        GDALAllRegister();
        const std::string file =
            (std::filesystem::temp_directory_path() / "keldarn_bench_raster.tif").string();
        const char* options[] = {"TILED=YES", "BLOCKXSIZE=256", "BLOCKYSIZE=256", nullptr};
        std::unique_ptr<GDALDataset, DatasetCloser> dataset(
            GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
                file.c_str(), kSide, kSide, 1, GDT_Float32, const_cast<char**>(options)));
        double gt[6] = {kWestM, kCellM, 0, kNorthM, 0, -kCellM};
        dataset->SetGeoTransform(gt);
        OGRSpatialReference utm;
        utm.importFromEPSG(32649);
        dataset->SetSpatialRef(&utm);
        std::vector<float> row(kSide);
        for (int j = 0; j < kSide; ++j) {
            for (int i = 0; i < kSide; ++i)
                row[i] = static_cast<float>(800 + 300 * std::sin(i / 37.0) * std::cos(j / 23.0) +
                                            40 * std::sin(i / 3.1));
            if (dataset->GetRasterBand(1)->RasterIO(GF_Write, 0, j, kSide, 1, row.data(), kSide, 1,
                                                    GDT_Float32, 0, 0, nullptr) != CE_None)
                std::abort();
        }
        return file;
    }();
    return path;
}

// count WGS84 points over the raster: random, or (grid) row by row at a spacing of 20 cells.
std::vector<GeoPoint> PointsOverRaster(int count, bool grid)
{
    OGRSpatialReference utm, wgs84;
    utm.importFromEPSG(32649);
    wgs84.importFromEPSG(4326);
    utm.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    std::unique_ptr<OGRCoordinateTransformation, TransformationDestroyer> toWgs84(
        OGRCreateCoordinateTransformation(&utm, &wgs84));
    std::mt19937 random(7);
    std::uniform_real_distribution<double> cell(0.0, kSide);
    const int perRow = static_cast<int>(std::sqrt(count));
    std::vector<double> xs(count), ys(count);
    for (int k = 0; k < count; ++k) {
        const double pixel = grid ? (k % perRow + 0.3) * kSide / perRow : cell(random);
        const double line = grid ? (k / perRow + 0.3) * kSide / perRow : cell(random);
        xs[k] = kWestM + pixel * kCellM;
        ys[k] = kNorthM - line * kCellM;
    }
    toWgs84->Transform(count, xs.data(), ys.data());
    std::vector<GeoPoint> points(count);
    for (int k = 0; k < count; ++k)
        points[k] = {.latDeg = ys[k], .lonDeg = xs[k]};
    return points;
}

void Warm(ElevationSource& source, std::span<const GeoPoint> points)
{
    std::vector<std::optional<double>> heights(points.size());
    source.HeightsM(points, heights);
}

void BM_WarmHeightsBatch(benchmark::State& state)
{
    ElevationSource source(BenchRaster());
    const std::vector<GeoPoint> points = PointsOverRaster(1 << 16, false);
    Warm(source, PointsOverRaster(40000, true));  // every block in the cache (128 MB < 256 MB)
    std::vector<std::optional<double>> heights(points.size());
    for (auto _ : state) {
        source.HeightsM(points, heights);
        benchmark::DoNotOptimize(heights.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(points.size()));
}
BENCHMARK(BM_WarmHeightsBatch)->Unit(benchmark::kMillisecond);

void BM_WarmHeightSingle(benchmark::State& state)
{
    ElevationSource source(BenchRaster());
    const std::vector<GeoPoint> points = PointsOverRaster(1 << 16, false);
    Warm(source, PointsOverRaster(40000, true));
    std::size_t k = 0;
    for (auto _ : state) {
        const GeoPoint& p = points[k++ & (points.size() - 1)];
        benchmark::DoNotOptimize(source.HeightM(p.latDeg, p.lonDeg));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WarmHeightSingle);

// Heights of `points` answered by a fresh source each round: its own dataset, so both its
// cache and GDAL's block cache start empty. The file itself is in the page cache.
void MeasureColdBatch(benchmark::State& state, const std::vector<GeoPoint>& points)
{
    std::vector<std::optional<double>> heights(points.size());
    for (auto _ : state) {
        state.PauseTiming();  // opening is BM_Open's
        ElevationSource source(BenchRaster());
        state.ResumeTiming();
        source.HeightsM(points, heights);
        benchmark::DoNotOptimize(heights.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(points.size()));
}

// A sampling run from an empty cache: a 200 × 200 grid over the whole raster, row by row,
// reading all 256 blocks.
void BM_ColdGridBatch(benchmark::State& state)
{
    MeasureColdBatch(state, PointsOverRaster(200 * 200, true));
}
BENCHMARK(BM_ColdGridBatch)->Unit(benchmark::kMillisecond)->UseRealTime();

// Worst case: random points from an empty cache, so nearly every query reads a block.
void BM_ColdRandomBatch(benchmark::State& state)
{
    MeasureColdBatch(state, PointsOverRaster(static_cast<int>(state.range(0)), false));
}
BENCHMARK(BM_ColdRandomBatch)->Arg(256)->Arg(40000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Opening: the dataset, the CRS and the transformation from WGS84.
void BM_Open(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ElevationSource(BenchRaster()).Description().columns);
}
BENCHMARK(BM_Open)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace keldarn::raster

BENCHMARK_MAIN();
