// Export of a million sampled points to a GB18030 text file: the time, and the memory the
// export needs on top of the table it reads.

#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "points/export_writer.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>

namespace {

using namespace keldarn;

constexpr int kRowCount = 1'000'000;

struct MeasuredTable {
    std::unique_ptr<points::PointTableModel> table = std::make_unique<points::PointTableModel>();
    double memoryMB = 0;  // resident growth while the table was filled
};

// withChinese: every third point carries a Chinese description, so that chunks go through
// the GB18030 converter; otherwise the rows are pure ASCII, as sampling writes them.
MeasuredTable MakeTable(bool withChinese)
{
    MeasuredTable measured;
    const double before = bench::TrimmedRssMB();
    bench::SampledRows rows;
    for (int i = 1; i <= kRowCount; ++i) {
        points::RowCells cells = rows.Next();
        if (withChinese && i % 3 == 0)
            cells[points::kDescriptionColumn] = QStringLiteral("山脊点");
        measured.table->AppendRow(cells);
    }
    measured.memoryMB = bench::TrimmedRssMB() - before;
    return measured;
}

void BM_ExportMillionRows(benchmark::State& state)
{
    const MeasuredTable measured = MakeTable(state.range(0) != 0);
    const points::ExportLayout layout{{0, 1, 3, 2, 4}, ","};
    const std::filesystem::path target = "/tmp/keldarn-bench-export.dat";
    double seconds = 0;
    double extraMB = 0;
    for (auto _ : state) {
        bench::ResetPeakMemory();
        const double rssBefore = bench::StatusMB("VmRSS");
        const auto start = std::chrono::steady_clock::now();
        points::ExportPointsFile(*measured.table, layout, target, {});
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        extraMB = std::max(extraMB, bench::StatusMB("VmHWM") - rssBefore);
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kRowCount);
    state.counters["s_per_1M_rows"] = seconds / iterations * 1e6 / kRowCount;
    state.counters["table_MB"] = measured.memoryMB;
    state.counters["export_extra_MB"] = extraMB;
    state.counters["peak_vs_table"] = (measured.memoryMB + extraMB) / measured.memoryMB;
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(target)) / (1 << 20);
    std::filesystem::remove(target);
}
BENCHMARK(BM_ExportMillionRows)
    ->ArgName("chinese")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
