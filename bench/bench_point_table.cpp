// The point table at a million rows: its memory, the cost of appending a sampling run,
// and drawing a table view over it while scrolling (offscreen platform).

#include <benchmark/benchmark.h>

#include "bench/bench_support.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

using namespace keldarn;

constexpr int kMillion = 1'000'000;

// Filled through AppendRows in runs of 10,000, as the grid sampling appends them.
void FillTable(points::PointTableModel& table, int rowCount)
{
    bench::SampledRows sampled;
    std::vector<points::RowCells> run;
    for (int done = 0; done < rowCount; done += static_cast<int>(run.size())) {
        run.clear();
        for (int i = 0; i < 10'000 && done + i < rowCount; ++i)
            run.push_back(sampled.Next());
        table.AppendRows(run);
    }
}

void BM_TableMemory(benchmark::State& state)
{
    double megabytes = 0;
    for (auto _ : state) {
        const double before = bench::TrimmedRssMB();
        auto table = std::make_unique<points::PointTableModel>();
        FillTable(*table, kMillion);
        megabytes = bench::TrimmedRssMB() - before;
        benchmark::DoNotOptimize(table->RowCount());
    }
    state.counters["MB_per_1M_rows"] = megabytes;
}
BENCHMARK(BM_TableMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_AppendRows100k(benchmark::State& state)
{
    constexpr int kRows = 100'000;
    bench::SampledRows sampled;
    std::vector<points::RowCells> rows;
    for (int i = 0; i < kRows; ++i)
        rows.push_back(sampled.Next());
    for (auto _ : state) {
        state.PauseTiming();
        auto table = std::make_unique<points::PointTableModel>();
        state.ResumeTiming();
        table->AppendRows(rows);
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kRows);
}
BENCHMARK(BM_AppendRows100k)->Unit(benchmark::kMillisecond);

// One frame = move the scroll bar, then draw the viewport; 20 positions spread over the
// whole table per iteration.
void BM_ScrollFrames(benchmark::State& state)
{
    constexpr int kPositions = 20;
    points::PointTableModel table;
    FillTable(table, kMillion);
    QTableView view;
    view.setModel(&table);
    view.verticalHeader()->setDefaultSectionSize(18);
    view.resize(1280, 800);
    const auto showStart = std::chrono::steady_clock::now();
    view.show();
    QApplication::processEvents();
    view.viewport()->grab();
    const double showMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - showStart).count();

    QScrollBar* bar = view.verticalScrollBar();
    double worstMs = 0;
    for (auto _ : state) {
        for (int k = 0; k < kPositions; ++k) {
            const auto start = std::chrono::steady_clock::now();
            bar->setValue(static_cast<int>(static_cast<std::int64_t>(bar->maximum()) * k / (kPositions - 1)));
            benchmark::DoNotOptimize(view.viewport()->grab());
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            worstMs = std::max(worstMs, ms);
        }
    }
    state.counters["ms_per_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kPositions,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["worst_frame_ms"] = worstMs;
    state.counters["first_show_ms"] = showMs;
}
BENCHMARK(BM_ScrollFrames)->Unit(benchmark::kMillisecond)->UseRealTime();

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
