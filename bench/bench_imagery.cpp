// Imagery on the map: frames of 1280 × 800 with an orthophoto draped over the demonstration
// terrain and 10,000 labelled points (targets: 50 ms at tilt 0, 100 ms at tilt 60), and the
// reads behind them: the whole ground's image and a view image at screen resolution from a
// tiled GeoTIFF with overviews. The orthophoto (about 60 MB) is written once into the
// temporary folder. Run by hand: build/bench/bench_imagery

#include "earth/imagery_drape.h"
#include "earth/synthetic_terrain.h"
#include "earth/terrain_scene.h"
#include "raster/imagery_source.h"

#include <QApplication>

#include <cpl_conv.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>

namespace keldarn::earth {
namespace {

const QSize kFrame(1280, 800);
constexpr int kPointCount = 10000;
// The orthophoto: 0.5 m cells over the demonstration terrain's middle, 0.06° × 0.04°.
constexpr double kWestDeg = 113.52, kNorthDeg = 33.29, kCellDeg = 0.000005;
constexpr int kColumns = 12000, kRows = 8000;

std::shared_ptr<const Terrain> Demonstration()
{
    static const auto terrain = MakeSyntheticTerrain();
    return terrain;
}

// Fields of 100 × 100 m in six colours, tiled, compressed, with overviews as orthophotos
// are delivered.
std::filesystem::path Orthophoto()
{
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "keldarn-bench-ortho.tif";
    if (std::filesystem::exists(file))
        return file;
    GDALAllRegister();
    const std::string part = file.string() + ".part.tif";
    const char* options[] = {"TILED=YES", "COMPRESS=DEFLATE", "PHOTOMETRIC=RGB", "BIGTIFF=IF_SAFER", nullptr};
    GDALDataset* dataset = GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
        part.c_str(), kColumns, kRows, 3, GDT_Byte, const_cast<char**>(options));
    double transform[6] = {kWestDeg, kCellDeg, 0.0, kNorthDeg, 0.0, -kCellDeg};
    dataset->SetGeoTransform(transform);
    OGRSpatialReference wgs84;
    wgs84.importFromEPSG(4326);
    dataset->SetSpatialRef(&wgs84);
    static constexpr std::uint8_t kFields[6][3] = {{96, 128, 60}, {140, 150, 80}, {170, 160, 110},
                                                   {80, 110, 50},  {120, 140, 70}, {190, 180, 130}};
    std::vector<std::uint8_t> line(static_cast<size_t>(kColumns) * 3);
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            const int field = (c / 200 * 7 + r / 200 * 11) % 6;
            for (int b = 0; b < 3; ++b)
                line[static_cast<size_t>(c) * 3 + b] = static_cast<std::uint8_t>(kFields[field][b] + (c * 13 + r * 7) % 9);
        }
        if (dataset->RasterIO(GF_Write, 0, r, kColumns, 1, line.data(), kColumns, 1, GDT_Byte, 3, nullptr, 3,
                              3 * kColumns, 1, nullptr) != CE_None)
            std::abort();
    }
    int levels[] = {2, 4, 8, 16, 32};
    dataset->BuildOverviews("AVERAGE", 5, levels, 0, nullptr, nullptr, nullptr);
    GDALClose(dataset);
    std::filesystem::rename(part, file);
    return file;
}

geodesy::GeoBox Whole()
{
    return {.southDeg = kNorthDeg - kRows * kCellDeg,
            .westDeg = kWestDeg,
            .northDeg = kNorthDeg,
            .eastDeg = kWestDeg + kColumns * kCellDeg};
}

// Points spread over the ground that the view shows, named as sampled points are.
std::shared_ptr<const MapLayer> TablePoints()
{
    auto layer = std::make_shared<MapLayer>();
    layer->colour = QColor(230, 40, 40);
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int k = 0; k < kPointCount; ++k)
        layer->markers.push_back({kDefaultLookAt.latDeg + 0.0095 * unit(random),
                                  kDefaultLookAt.lonDeg + 0.017 * unit(random), QStringLiteral("%1").arg(k + 1),
                                  k == kPointCount / 2});
    return layer;
}

// What the imagery layer holds once the view has rested: the whole ground's image and the
// view's at one and a half times the screen's pixels.
void BM_FrameWithImageryAndPoints(benchmark::State& state)
{
    TerrainScene scene(Demonstration());
    LookAt lookAt = kDefaultLookAt;
    lookAt.tiltDeg = static_cast<double>(state.range(0));
    scene.SetLookAt(lookAt);
    raster::ImagerySource source(Orthophoto().string(), {});
    const auto whole = std::make_shared<const raster::GeoImage>(source.Read(Whole(), 2048, 1365).image);
    const auto footprint = scene.ViewFootprint(kFrame);
    const geodesy::GeoBox view = footprint.value_or(Whole());
    const auto near = std::make_shared<const raster::GeoImage>(source.Read(view, 1920, 1200).image);
    const auto drape = std::make_shared<const ImageryDrape>(
        std::vector<std::shared_ptr<const raster::GeoImage>>{whole, near}, 1.0);
    // layers: 0 the relief alone, 1 with the imagery, 2 with the imagery and the points.
    if (state.range(1) >= 1)
        scene.SetDrape(drape);
    if (state.range(1) >= 2)
        scene.SetMapLayers({TablePoints()});
    scene.Render(kFrame);  // the first frame also loads the fonts
    for (auto _ : state)
        benchmark::DoNotOptimize(scene.Render(kFrame));
    state.counters["imageryMB"] = static_cast<double>(drape->Bytes()) / (1 << 20);
}
BENCHMARK(BM_FrameWithImageryAndPoints)
    ->ArgNames({"tilt", "layers"})
    ->ArgsProduct({{0, 60}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond);

// How long the view image takes to arrive after the camera rests, and the whole ground's.
void BM_ReadImagery(benchmark::State& state)
{
    raster::ImagerySource source(Orthophoto().string(), {});
    const bool whole = state.range(0) == 1;
    const geodesy::GeoBox window = whole ? Whole()
                                         : geodesy::GeoBox{.southDeg = kDefaultLookAt.latDeg - 0.008,
                                                           .westDeg = kDefaultLookAt.lonDeg - 0.012,
                                                           .northDeg = kDefaultLookAt.latDeg + 0.008,
                                                           .eastDeg = kDefaultLookAt.lonDeg + 0.012};
    for (auto _ : state)
        benchmark::DoNotOptimize(source.Read(window, whole ? 2048 : 1920, whole ? 1365 : 1200));
}
BENCHMARK(BM_ReadImagery)->ArgName("whole")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace keldarn::earth

int main(int argc, char** argv)
{
    QApplication application(argc, argv);  // the labels' fonts
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
