// Opening a large elevation model as the viewer does, up to its first frame: the first grid
// (ReadDemTerrain at kFirstLevelCells), the full-resolution height source, the renderer and
// one 1280 × 800 frame at the terrain's starting view. Targets: a 121 M-cell GeoTIFF in at
// most 1 s with at most 400 MB of peak memory, a VRT of 10^9 cells in at most 2 s with at
// most 500 MB.
//
// Warm file cache: the files were just written or read by an earlier run, and the page cache
// cannot be dropped here. peak_MB is how far the peak resident size (VmHWM) rose above the
// resident size before the runs; the data is generated in a child process, so its memory
// does not count. The *_ms counters split one opening into its steps.
// Run by hand: build-helper/bench/bench_terrain_open (the first run writes about 650 MB of
// data into the temporary folder, which takes two to three minutes on two cores).

#include "large_dem.h"

#include "earth/camera.h"
#include "earth/dem_reader.h"
#include "earth/parallel.h"
#include "earth/terrain_application.h"
#include "earth/terrain_renderer.h"
#include "earth/terrain_scene.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

namespace keldarn::earth {
namespace {

// A field of /proc/self/status in kB ("VmRSS:", "VmHWM:"), or 0 when missing.
double StatusKb(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string name;
    double valueKb = 0.0;
    std::string unit;
    while (status >> name) {
        if (name == field) {
            status >> valueKb;
            return valueKb;
        }
        std::getline(status, unit);
    }
    return 0.0;
}

// Lowers VmHWM to the current resident size (Linux 4.0 and later).
void ResetPeakResident()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

double MsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void MeasureFirstFrame(benchmark::State& state, const std::string& path)
{
    ResetPeakResident();
    const double baseKb = StatusKb("VmRSS:");
    double readMs = 0.0, sourceMs = 0.0, rendererMs = 0.0, frameMs = 0.0;
    int columns = 0, rows = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        const std::shared_ptr<const Terrain> terrain = ReadDemTerrain(path, DemReadOptions{.maxCells = kFirstLevelCells, .window = {}});
        readMs += MsSince(start);
        start = std::chrono::steady_clock::now();
        const std::unique_ptr<raster::ElevationSource> heights = OpenHeightSource(TerrainSource{path});
        sourceMs += MsSince(start);
        start = std::chrono::steady_clock::now();
        TerrainRenderer renderer(terrain);
        rendererMs += MsSince(start);
        start = std::chrono::steady_clock::now();
        const LookAt lookAt = StartingLookAt(*terrain);
        const Camera camera(lookAt, terrain->AnchorElevationM(lookAt.latDeg, lookAt.lonDeg), 1280, 800);
        benchmark::DoNotOptimize(renderer.Render(camera));
        frameMs += MsSince(start);
        columns = terrain->Grid().columns;
        rows = terrain->Grid().rows;
    }
    const auto perRun = [](double ms) { return benchmark::Counter(ms, benchmark::Counter::kAvgIterations); };
    state.counters["read_ms"] = perRun(readMs);
    state.counters["source_ms"] = perRun(sourceMs);
    state.counters["renderer_ms"] = perRun(rendererMs);
    state.counters["frame_ms"] = perRun(frameMs);
    state.counters["peak_MB"] = (StatusKb("VmHWM:") - baseKb) / 1024.0;
    state.counters["grid_columns"] = columns;
    state.counters["grid_rows"] = rows;
}

// 11000 × 11000 one arc-second cells in EPSG:4326: tiled with internal overviews as a national
// product comes, or plainly striped without overviews, when the first grid samples every
// eleventh row of the full resolution.
void BM_OpenGeoTiff121M(benchmark::State& state)
{
    MeasureFirstFrame(state, bench::LargeGeoTiff(state.range(0) != 0));
}
BENCHMARK(BM_OpenGeoTiff121M)
    ->ArgName("overviews")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// 10 × 10 tiles of 3163 × 3163 30 m cells in UTM zone 49N, tiled with internal overviews,
// mosaicked by GDALBuildVRT; the first grid is warped to EPSG:4326.
void BM_OpenVrt1G(benchmark::State& state)
{
    MeasureFirstFrame(state, bench::LargeMosaicVrt());
}
BENCHMARK(BM_OpenVrt1G)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// Frames of 1280 × 800 on the finest grid of the 121 M-cell DEM, alone or while a worker thread reads
// the finest grid of the 10^9-cell VRT, as when another source streams in: the frame keeps
// the other core and shares the memory bandwidth. Target: 50 ms at tilt 0, 100 ms at tilt 60.
void BM_FrameWhileStreaming(benchmark::State& state)
{
    static const std::shared_ptr<const Terrain> terrain =
        ReadDemTerrain(bench::LargeGeoTiff(true), DemReadOptions{.maxCells = kFinestLevelCells, .window = {}});
    static TerrainRenderer renderer(terrain);
    LookAt lookAt = StartingLookAt(*terrain);
    lookAt.rangeM = 20000.0;
    lookAt.tiltDeg = static_cast<double>(state.range(0));
    const Camera camera(lookAt, terrain->AnchorElevationM(lookAt.latDeg, lookAt.lonDeg), 1280, 800);
    std::atomic<bool> stop{false};
    std::thread streaming([&] {
        LowerCurrentThreadPriority();  // as the viewer's background reads run
        while (!stop && state.range(1) != 0)
            benchmark::DoNotOptimize(
                ReadDemTerrain(bench::LargeMosaicVrt(), DemReadOptions{.maxCells = kFinestLevelCells, .window = {}}));
    });
    for (auto _ : state)
        benchmark::DoNotOptimize(renderer.Render(camera));
    stop = true;
    streaming.join();
    state.counters["grid_columns"] = terrain->Grid().columns;
    state.counters["grid_rows"] = terrain->Grid().rows;
}
BENCHMARK(BM_FrameWhileStreaming)
    ->ArgNames({"tilt", "streaming"})
    ->ArgsProduct({{0, 60}, {0, 1}})
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Writes the data once, in a child process whose memory stays out of the peaks measured here.
bool GenerateInChild()
{
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        bench::LargeGeoTiff(true);
        bench::LargeGeoTiff(false);
        bench::LargeMosaicVrt();
        _exit(0);
    }
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace
}  // namespace keldarn::earth

// Text on images needs a QApplication.
int main(int argc, char** argv)
{
    if (!keldarn::earth::GenerateInChild()) {
        std::fprintf(stderr, "bench_terrain_open: generating the elevation models failed\n");
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
