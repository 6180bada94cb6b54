// The map layers over the terrain view: a 1280 × 800 frame of the demonstration terrain with
// 10,000 labelled points, at tilt 0 and 60 (target: the frame with its layers within 50 ms,
// the layers within about 15 ms), and a KML file of about 100 MB read into a layer (target:
// 3 s on one core) and drawn. Run by hand: build-*/bench/bench_map_layers

#include "bench/bench_support.h"
#include "earth/kml_overlay.h"
#include "earth/map_layers.h"
#include "earth/synthetic_terrain.h"
#include "earth/terrain_scene.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

namespace keldarn::earth {
namespace {

const QSize kFrame(1280, 800);
constexpr int kPointCount = 10000;
constexpr int kPlacemarkCount = 240000;

std::shared_ptr<const Terrain> Demonstration()
{
    static const auto terrain = MakeSyntheticTerrain();
    return terrain;
}

// Points spread over the ground that the view at tilt 0 shows, named as the point table
// names sampled points; one selected.
std::shared_ptr<const MapLayer> TablePoints()
{
    auto layer = std::make_shared<MapLayer>();
    layer->name = QStringLiteral("点表");
    layer->colour = QColor(220, 40, 40);
    std::mt19937_64 random(20240611);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int k = 0; k < kPointCount; ++k)
        layer->markers.push_back({kDefaultLookAt.latDeg + 0.0095 * unit(random),
                                  kDefaultLookAt.lonDeg + 0.017 * unit(random),
                                  QStringLiteral("测点%1").arg(k + 1), k == kPointCount / 2});
    return layer;
}

// Placemarks over the demonstration terrain as Google Earth writes them: every second one a
// point, the others lines of 12 vertices, every tenth of those a closed ring. Written once
// into the temporary folder.
std::filesystem::path LargeKml()
{
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "keldarn-bench-map-100mb.kml";
    if (std::filesystem::exists(file))
        return file;
    const std::filesystem::path part = file.string() + ".part";
    {
        std::ofstream out(part, std::ios::binary);
        out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
               "<Document>\n\t<name>bench</name>\n\t<Folder>\n";
        std::mt19937_64 random(20240611);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        char tuple[64];
        for (int i = 0; i < kPlacemarkCount; ++i) {
            const double lon = 113.31 + 0.49 * unit(random), lat = 33.02 + 0.49 * unit(random);
            out << "\t\t<Placemark>\n\t\t\t<name>测点 " << i << "</name>\n\t\t\t<LookAt><longitude>" << lon
                << "</longitude><latitude>" << lat
                << "</latitude><range>1000</range></LookAt>\n\t\t\t<styleUrl>#m_ylw-pushpin</styleUrl>\n";
            if (i % 2 == 0) {
                std::snprintf(tuple, sizeof tuple, "%.9f,%.9f,0", lon, lat);
                out << "\t\t\t<Point>\n\t\t\t\t<coordinates>" << tuple << "</coordinates>\n\t\t\t</Point>\n";
            } else {
                out << "\t\t\t<LineString>\n\t\t\t\t<tessellate>1</"
                       "tessellate>\n\t\t\t\t<coordinates>\n\t\t\t\t\t";
                const bool ring = i % 20 == 1;
                for (int k = 0; k < 12; ++k) {
                    const int v = ring && k == 11 ? 0 : k;
                    std::snprintf(tuple, sizeof tuple, "%.9f,%.9f,0 ", lon + 0.001 * v,
                                  lat + (ring ? 0.0004 * v * (6 - v) : 0.0007 * v));
                    out << tuple;
                }
                out << "\n\t\t\t\t</coordinates>\n\t\t\t</LineString>\n";
            }
            out << "\t\t</Placemark>\n";
        }
        out << "\t</Folder>\n</Document>\n</kml>\n";
    }
    std::filesystem::rename(part, file);
    return file;
}

std::shared_ptr<const MapLayer> LargeKmlLayer()
{
    static const std::shared_ptr<const MapLayer> layer = LoadKmlOverlay(LargeKml());
    return layer;
}

struct View {
    TerrainScene scene{Demonstration()};
    GroundHeight ground = [](double latDeg, double lonDeg) {
        return Demonstration()->ElevationM(latDeg, lonDeg);
    };

    explicit View(double tiltDeg, double rangeM = 3000.0)
    {
        LookAt lookAt = kDefaultLookAt;
        lookAt.tiltDeg = tiltDeg;
        lookAt.rangeM = rangeM;
        lookAt.azimuthDeg = 30.0;
        scene.SetLookAt(lookAt);
        scene.Render(kFrame);  // the first frame also loads the fonts
    }
    Camera MakeCamera() const { return scene.MakeCamera(kFrame); }
    FrameDepth Depth() const
    {
        const SurfaceBuffers& b = scene.renderer().Buffers();
        return {b.widthPx, b.heightPx, &b.invDepth};
    }
};

void ReportDrawn(benchmark::State& state, const MapLayersDrawn& drawn)
{
    state.counters["markers"] = drawn.markers;
    state.counters["labels"] = static_cast<double>(drawn.labels.size());
    state.counters["segments"] = drawn.segments;
}

// The terrain frame, then the layers on it, as the view draws them; layers = 0: the terrain alone.
void BM_FrameWithPoints(benchmark::State& state)
{
    View view(static_cast<double>(state.range(0)));
    std::vector<std::shared_ptr<const MapLayer>> layers;
    if (state.range(1) != 0)
        layers.push_back(TablePoints());
    const Camera camera = view.MakeCamera();
    MapLayersDrawn drawn;
    for (auto _ : state) {
        QImage frame = view.scene.Render(kFrame);
        if (!layers.empty())
            drawn = DrawMapLayers(frame, camera, view.Depth(), view.ground, layers);
        benchmark::DoNotOptimize(frame.constBits());
    }
    ReportDrawn(state, drawn);
}
BENCHMARK(BM_FrameWithPoints)
    ->ArgNames({"tilt", "layers"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({60, 0})
    ->Args({60, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The layers alone, drawn on a copy of one terrain frame.
void DrawOnly(benchmark::State& state, View& view, const std::shared_ptr<const MapLayer>& layer)
{
    const QImage terrain = view.scene.Render(kFrame);
    const Camera camera = view.MakeCamera();
    QImage warmUp = terrain.copy();
    MapLayersDrawn drawn =
        DrawMapLayers(warmUp, camera, view.Depth(), view.ground, {layer});  // fills the caches
    for (auto _ : state) {
        state.PauseTiming();
        QImage frame = terrain.copy();
        state.ResumeTiming();
        drawn = DrawMapLayers(frame, camera, view.Depth(), view.ground, {layer});
        benchmark::DoNotOptimize(frame.constBits());
    }
    ReportDrawn(state, drawn);
}

void BM_PointsOnly(benchmark::State& state)
{
    View view(static_cast<double>(state.range(0)));
    DrawOnly(state, view, TablePoints());
}
BENCHMARK(BM_PointsOnly)->ArgName("tilt")->Arg(0)->Arg(60)->Unit(benchmark::kMillisecond)->UseRealTime();

// The 100 MB file's 120,000 points and 120,000 lines over the default view, and seen whole
// from 60 km.
void BM_LargeKmlLayer(benchmark::State& state)
{
    View view(static_cast<double>(state.range(0)), static_cast<double>(state.range(1)));
    DrawOnly(state, view, LargeKmlLayer());
}
BENCHMARK(BM_LargeKmlLayer)
    ->ArgNames({"tilt", "range"})
    ->Args({0, 3000})
    ->Args({60, 3000})
    ->Args({0, 60000})
    ->Args({60, 60000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_LoadKml100MB(benchmark::State& state)
{
    const std::filesystem::path file = LargeKml();
    double seconds = 0.0, layerMB = 0.0;
    std::shared_ptr<MapLayer> layer;
    for (auto _ : state) {
        layer.reset();
        const double before = bench::TrimmedRssMB();
        const auto start = std::chrono::steady_clock::now();
        layer = LoadKmlOverlay(file);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        layerMB = bench::TrimmedRssMB() - before;
    }
    state.counters["s_per_file"] = seconds / static_cast<double>(state.iterations());
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(file)) / (1 << 20);
    state.counters["layer_MB"] = layerMB;
    state.counters["markers"] = static_cast<double>(layer->markers.size());
    state.counters["lines"] = static_cast<double>(layer->lines.size());
}
BENCHMARK(BM_LoadKml100MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace keldarn::earth

// Text on images needs a QApplication.
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
