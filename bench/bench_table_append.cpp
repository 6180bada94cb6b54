// Appending a sampling run's batches to a point table that holds 0, 1 M or 5 M rows
// already, with what follows the table in the window: a table view scrolled to its last
// row (offscreen platform), the crash journal on disk and the map's markers of the new
// rows. A batch costs in proportion to the batch: rows/s must not fall with the table.
// Run by hand: build/bench/bench_table_append

#include "bench/bench_support.h"

#include "app/map_points.h"
#include "points/point_journal.h"
#include "points/point_table_model.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableView>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace {

using namespace keldarn;

// About what 100 ms of a grid sampling gives at 40,000 points a second.
constexpr int kBatchRows = 4096;
constexpr int kBatches = 50;

std::vector<std::string> PackedSampledRows(bench::SampledRows& sampled, int count)
{
    std::vector<std::string> rows;
    rows.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        rows.push_back(points::PackRow(sampled.Next()));
    return rows;
}

void BM_AppendBatches(benchmark::State& state)
{
    const auto rowsBefore = static_cast<int>(state.range(0));
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("keldarn_bench_append_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    bench::SampledRows sampled;
    std::vector<std::vector<points::RowCells>> batches(kBatches);
    for (auto& batch : batches)
        for (int i = 0; i < kBatchRows; ++i)
            batch.push_back(sampled.Next());

    double rowsPerSecond = 0;
    for (auto _ : state) {
        state.PauseTiming();
        points::PointTableModel table;
        table.AppendPackedRows(PackedSampledRows(sampled, rowsBefore));
        points::PointJournal journal(dir / "Keldarn.journal", table);
        QTableView view;
        view.setModel(&table);
        view.verticalHeader()->setDefaultSectionSize(18);
        view.resize(600, 400);
        view.show();
        app::MapPoints markers;
        const app::MapPoints::Frame frame{114.0, {}, {}};
        markers.Update(table, frame);
        QApplication::processEvents();
        state.ResumeTiming();

        const auto start = std::chrono::steady_clock::now();
        for (const auto& batch : batches) {
            table.AppendRows(batch);
            markers.Update(table, frame);
            view.scrollToBottom();
            QApplication::processEvents();
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        rowsPerSecond = kBatches * kBatchRows / seconds;

        state.PauseTiming();
        journal.Finish();
        state.ResumeTiming();
    }
    state.counters["rows_per_s"] = rowsPerSecond;
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_AppendBatches)
    ->Arg(0)
    ->Arg(1'000'000)
    ->Arg(5'000'000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
