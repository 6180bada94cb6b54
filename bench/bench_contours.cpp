// Contours every metre over 10 km × 10 km of a 30 m DEM (the hills of large_dem.h, 450 m to
// 9 km across, 1.5 km of relief) into a drawing: GenerateContours, then DrawContours with
// labels. Target: 3 s for the whole.
// Run by hand: build-helper2/bench/bench_contours

#include "bench/large_dem.h"
#include "cad/terrain_drawing.h"
#include "geodesy/four_param.h"
#include "survey/contours.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <vector>

namespace keldarn::survey {
namespace {

// 12 km square in UTM zone 49N, the 10 km area in its middle.
constexpr int kSide = 400;
constexpr double kCellM = 30.0;
constexpr double kWestM = 494000.0;
constexpr double kNorthM = 3406000.0;
constexpr double kAreaM = 10000.0;

const std::string& BenchDem()
{
    static const std::string path = [] {
        const std::filesystem::path file =
            std::filesystem::temp_directory_path() / "keldarn_bench_contours.tif";
        bench::detail::RasterPlan plan;
        plan.columns = plan.rows = kSide;
        plan.geoTransform = {kWestM, kCellM, 0.0, kNorthM, 0.0, -kCellM};
        plan.epsg = 32649;
        plan.relief = {kWestM + 0.5 * kCellM, kNorthM - 0.5 * kCellM, kCellM};
        bench::detail::EnsureRaster(file, plan);
        return file.string();
    }();
    return path;
}

std::vector<geodesy::GeoRing> Area()
{
    OGRSpatialReference utm, wgs84;
    utm.importFromEPSG(32649);
    wgs84.importFromEPSG(4326);
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    const std::unique_ptr<OGRCoordinateTransformation> ct(OGRCreateCoordinateTransformation(&utm, &wgs84));
    const double margin = 0.5 * (kSide * kCellM - kAreaM);
    geodesy::GeoRing ring;
    // A square: metres east and south of its north-west corner.
    for (auto [eastM, southM] : {std::pair{0.0, 0.0}, {kAreaM, 0.0}, {kAreaM, kAreaM}, {0.0, kAreaM}}) {
        double e = kWestM + margin + eastM, n = kNorthM - margin - southM;
        ct->Transform(1, &e, &n);
        ring.push_back({.latDeg = n, .lonDeg = e});
    }
    return {ring};
}

void BM_ContoursIntoDrawing(benchmark::State& state)
{
    const auto area = Area();
    const SurveyFrame frame(111.0, geodesy::MakeFourParamCoefficients({-1000.0, 2000.0, 12.0, 15e-6, 2.35}));
    std::size_t vertices = 0, lines = 0, labels = 0;
    for (auto _ : state) {
        const std::vector<ContourLine> contours = GenerateContours(BenchDem(), area, 1.0, frame);
        std::vector<cad::ContourPolyline> drawn;
        drawn.reserve(contours.size());
        for (const ContourLine& line : contours)
            drawn.push_back({line.elevationM, line.isIndex, line.xy});
        cad::DrawingModel model;
        cad::DrawContours(model, drawn, 2.0);
        lines = contours.size();
        vertices = 0;
        for (const ContourLine& line : contours)
            vertices += line.xy.size() / 2;
        labels = model.Texts().size();
        benchmark::DoNotOptimize(model.Extents());
    }
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["vertices"] = static_cast<double>(vertices);
    state.counters["labels"] = static_cast<double>(labels);
}
BENCHMARK(BM_ContoursIntoDrawing)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace keldarn::survey

BENCHMARK_MAIN();
