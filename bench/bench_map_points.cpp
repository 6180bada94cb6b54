// The point table on the map: markers for a table of 1,000,000 sampled rows, all at once (a
// changed frame or an edit) and for the rows a sampling run appends between two frames.
// Run by hand: build/bench/bench_map_points

#include "app/map_points.h"
#include "geodesy/survey_conversion.h"
#include "points/point_table_model.h"

#include <benchmark/benchmark.h>

namespace keldarn::app {
namespace {

constexpr int kRows = 1000000;

const points::PointTableModel& MillionRows()
{
    static const auto* table = [] {
        auto* model = new points::PointTableModel;
        const auto transform = geodesy::MakeFourParamCoefficients({});
        std::vector<points::RowCells> rows;
        rows.reserve(kRows);
        for (int k = 0; k < kRows; ++k) {
            const auto grid = geodesy::GeographicToGrid(33.2 + (k / 1000) * 1e-4, 113.5 + (k % 1000) * 1e-4, 100.0,
                                                        114.0, transform);
            rows.push_back({QString::number(k + 1), QString(), QString::number(grid.x, 'f', 3),
                            QString::number(grid.y, 'f', 3), QStringLiteral("100.000")});
        }
        model->AppendRows(rows);
        return model;
    }();
    return *table;
}

void BM_MarkersOfAllRows(benchmark::State& state)
{
    const points::PointTableModel& table = MillionRows();
    const MapPoints::Frame frame{114.0, geodesy::MakeFourParamCoefficients({}), {}};
    for (auto _ : state) {
        MapPoints points;
        points.Update(table, frame);
        benchmark::DoNotOptimize(points.Layers().size());
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_MarkersOfAllRows)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace keldarn::app

BENCHMARK_MAIN();
