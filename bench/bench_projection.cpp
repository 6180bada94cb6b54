// Throughput of the per-point conversions as the grid sampling uses them: geographic to
// Gauss–Krüger plane, then into the user's grid with parameters prepared once.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "geodesy/ellipsoid.h"
#include "geodesy/four_param.h"
#include "geodesy/gauss_kruger.h"
#include "geodesy/gauss_kruger_ellipsoid.h"
#include "survey/survey_frame.h"

namespace {

using namespace keldarn::geodesy;

constexpr std::size_t kPointCount = 1 << 20;
constexpr double kCentralMeridianDeg = 114.0;

// Points scattered over about 1° around the default map place (33.27 N, 113.55 E).
std::vector<GeoPoint> MakeGeoPoints() {
    std::mt19937_64 random(20240611);
    std::uniform_real_distribution<double> offsetDeg(-0.5, 0.5);
    std::vector<GeoPoint> points(kPointCount);
    for (GeoPoint& p : points) {
        p = {.latDeg = 33.27 + offsetDeg(random), .lonDeg = 113.55 + offsetDeg(random)};
    }
    return points;
}

std::vector<PlanePoint> MakePlanePoints(const std::vector<GeoPoint>& geo) {
    std::vector<PlanePoint> plane;
    plane.reserve(geo.size());
    for (const GeoPoint& g : geo) {
        plane.push_back(GeographicToPlane(g.latDeg, g.lonDeg, kCentralMeridianDeg));
    }
    return plane;
}

void BM_GeographicToGrid(benchmark::State& state) {
    const std::vector<GeoPoint> geo = MakeGeoPoints();
    std::vector<GridPoint> grid(geo.size());
    const FourParamCoefficients k =
        MakeFourParamCoefficients(FourParameterSet{100, -200, 10, 0.00001, 5});
    for (auto _ : state) {
        for (std::size_t i = 0; i < geo.size(); ++i) {
            const PlanePoint p = GeographicToPlane(geo[i].latDeg, geo[i].lonDeg, kCentralMeridianDeg);
            grid[i] = FourParamForward(k, GridPoint{p.x, p.y, 100.0});
        }
        benchmark::DoNotOptimize(grid.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * geo.size()));
}
BENCHMARK(BM_GeographicToGrid)->Unit(benchmark::kMillisecond);

// The same series with its coefficients computed at run time, here for CGCS2000.
void BM_SeriesToPlaneCgcs2000(benchmark::State& state) {
    const std::vector<GeoPoint> geo = MakeGeoPoints();
    std::vector<PlanePoint> plane(geo.size());
    const GaussKrugerSeries series(kCgcs2000);
    for (auto _ : state) {
        for (std::size_t i = 0; i < geo.size(); ++i) {
            plane[i] = series.ToPlane(geo[i].latDeg, geo[i].lonDeg, kCentralMeridianDeg);
        }
        benchmark::DoNotOptimize(plane.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * geo.size()));
}
BENCHMARK(BM_SeriesToPlaneCgcs2000)->Unit(benchmark::kMillisecond);

void BM_PlaneToGeographic(benchmark::State& state) {
    const std::vector<PlanePoint> plane = MakePlanePoints(MakeGeoPoints());
    std::vector<GeoPoint> geo(plane.size());
    for (auto _ : state) {
        for (std::size_t i = 0; i < plane.size(); ++i) {
            geo[i] = PlaneToGeographic(plane[i].x, plane[i].y, kCentralMeridianDeg);
        }
        benchmark::DoNotOptimize(geo.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * plane.size()));
}
BENCHMARK(BM_PlaneToGeographic)->Unit(benchmark::kMillisecond);

// The same two roads through the survey frame, as the sampling loops take them: geographic to
// the survey grid with H = elevation + dH, and a grid point without height back to WGS84.
void BM_SurveyFrameToGrid(benchmark::State& state)
{
    const std::vector<GeoPoint> geo = MakeGeoPoints();
    std::vector<GridPoint> grid(geo.size());
    const keldarn::survey::SurveyFrame frame(
        kCentralMeridianDeg, MakeFourParamCoefficients(FourParameterSet{100, -200, 10, 0.00001, 5}));
    for (auto _ : state) {
        for (std::size_t i = 0; i < geo.size(); ++i) {
            grid[i] = frame.ToGrid(geo[i], 100.0);
        }
        benchmark::DoNotOptimize(grid.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * geo.size()));
}
BENCHMARK(BM_SurveyFrameToGrid)->Unit(benchmark::kMillisecond);

void BM_SurveyFrameToGeographic(benchmark::State& state)
{
    const std::vector<PlanePoint> plane = MakePlanePoints(MakeGeoPoints());
    std::vector<GeoPoint> geo(plane.size());
    const keldarn::survey::SurveyFrame frame(kCentralMeridianDeg, {});
    for (auto _ : state) {
        for (std::size_t i = 0; i < plane.size(); ++i) {
            geo[i] = frame.ToGeographic(plane[i]);
        }
        benchmark::DoNotOptimize(geo.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * plane.size()));
}
BENCHMARK(BM_SurveyFrameToGeographic)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
