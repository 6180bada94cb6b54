// Sampling inside a boundary as the window runs it, without the window: a 5 km × 5 km square
// on the survey grid at 5 m (1,002,001 points) over the 121 M-cell GeoTIFF, heights from the
// DEM at full resolution, rows formatted and appended to the point table in the run's
// batches. Target: at most 5 s, memory bounded by the table (the run itself holds one batch).

#include "geodesy/gauss_kruger.h"
#include "geodesy/number_text.h"
#include "large_dem.h"
#include "points/point_table_model.h"
#include "survey/boundary_sampling.h"

#include <QCoreApplication>
#include <QString>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace {

double PeakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

QString Fixed(double value)
{
    return QString::fromStdString(keldarn::geodesy::FormatFixed(value, 3));
}

void BM_BoundarySamplingIntoTable(benchmark::State& state)
{
    using namespace keldarn;
    const std::string path = bench::LargeGeoTiff(true);
    const survey::SurveyFrame frame(114.0, {});
    const geodesy::PlanePoint centre = geodesy::GeographicToPlane(33.5, 113.5, frame.CentralMeridianDeg());
    const double x0 = std::round(centre.x / 5.0) * 5.0, y0 = std::round(centre.y / 5.0) * 5.0;
    const survey::SamplePlan plan = survey::SamplePlan::ForBoundary(
        {{x0 - 0.5, y0 - 0.5}, {x0 + 5000.5, y0 - 0.5}, {x0 + 5000.5, y0 + 5000.5}, {x0 - 0.5, y0 + 5000.5}},
        5.0, frame);
    const double rssBefore = PeakRssMb();
    std::int64_t taken = 0;
    for (auto _ : state) {
        raster::ElevationSource dem(path);
        points::PointTableModel table;
        int nextRow = 1;
        const auto counts = survey::SampleInsideBoundary(
            plan, survey::HeightsOf(dem), [&](std::vector<survey::SampledPoint>&& points) {
                std::vector<points::RowCells> rows(points.size());
                for (std::size_t k = 0; k < points.size(); ++k)
                    rows[k] = {QString::number(nextRow++), QString(), Fixed(points[k].x), Fixed(points[k].y),
                               Fixed(points[k].h)};
                table.AppendRows(rows);
            });
        taken = counts.taken;
        benchmark::DoNotOptimize(table.DataRowCount());
    }
    state.counters["points"] = static_cast<double>(taken);
    state.counters["peak_rss_growth_mb"] = PeakRssMb() - rssBefore;
}
BENCHMARK(BM_BoundarySamplingIntoTable)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
