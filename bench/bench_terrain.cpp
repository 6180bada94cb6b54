// The terrain viewer's hot paths: picks at tilt 0 (target: 100 000 per second) and frames of
// 1280 × 800 at tilt 0 and 60 (targets: 50 ms and 250 ms on two cores), on the demonstration
// terrain around the default view. Run by hand: build-earth/bench/bench_terrain

#include "earth/synthetic_terrain.h"
#include "earth/terrain_application.h"
#include "earth/terrain_scene.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <memory>

namespace keldarn::earth {
namespace {

std::shared_ptr<const Terrain> Demonstration()
{
    static const auto terrain = MakeSyntheticTerrain();
    return terrain;
}

// Picks through the automation interface at view points spread over the whole 800 × 600
// view, as grid sampling asks for them.
void BM_PointOnTerrain(benchmark::State& state)
{
    TerrainApplication viewer(Demonstration());
    viewer.SetCameraParams(kSyntheticCentreLatDeg, kSyntheticCentreLonDeg, 0.0,
                           AltitudeModeGE::RelativeToGroundAltitudeGE, 3000.0,
                           static_cast<double>(state.range(0)), 30.0, 1.0);
    constexpr int kGrid = 101;
    int k = 0;
    for (auto _ : state) {
        const double sx = 2.0 * (k % kGrid) / (kGrid - 1) - 1.0;
        const double sy = 2.0 * (k / kGrid % kGrid) / (kGrid - 1) - 1.0;
        benchmark::DoNotOptimize(viewer.GetPointOnTerrainFromScreenCoords(sx, sy));
        ++k;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PointOnTerrain)->ArgName("tilt")->Arg(0)->Arg(60);

void BM_RenderFrame(benchmark::State& state)
{
    TerrainScene scene(Demonstration());
    LookAt lookAt = kDefaultLookAt;
    lookAt.tiltDeg = static_cast<double>(state.range(0));
    lookAt.azimuthDeg = 30.0;
    scene.SetLookAt(lookAt);
    scene.Render(QSize(1280, 800));  // the first frame also loads the overlay font
    for (auto _ : state)
        benchmark::DoNotOptimize(scene.Render(QSize(1280, 800)));
    state.counters["tiles"] = scene.renderer().LastTileCount();
    state.counters["triangles"] = static_cast<double>(scene.renderer().LastTriangleCount());
}
BENCHMARK(BM_RenderFrame)
    ->ArgName("tilt")
    ->Arg(0)
    ->Arg(60)
    ->Arg(85)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Zoomed out to 30 km: many tiles, drawn coarser with distance.
void BM_RenderFrameWide(benchmark::State& state)
{
    TerrainScene scene(Demonstration());
    scene.SetLookAt({kSyntheticCentreLatDeg, kSyntheticCentreLonDeg, 0.0, 30000.0,
                     static_cast<double>(state.range(0)), 0.0});
    scene.Render(QSize(1280, 800));
    for (auto _ : state)
        benchmark::DoNotOptimize(scene.Render(QSize(1280, 800)));
    state.counters["triangles"] = static_cast<double>(scene.renderer().LastTriangleCount());
}
BENCHMARK(BM_RenderFrameWide)->ArgName("tilt")->Arg(0)->Arg(60)->Unit(benchmark::kMillisecond)->UseRealTime();

// What starting the viewer costs: the demonstration terrain, then its renderer (level of
// detail tree and hillshade).
void BM_MakeSyntheticTerrain(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(MakeSyntheticTerrain());
}
BENCHMARK(BM_MakeSyntheticTerrain)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_PrepareRenderer(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(std::make_unique<TerrainRenderer>(Demonstration()));
}
BENCHMARK(BM_PrepareRenderer)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace keldarn::earth

// Widgets and text on images need a QApplication.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
