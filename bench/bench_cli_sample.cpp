// keldarn-cli sample over the 10^9-cell VRT of large_dem.h: about 10^8 points at 72 m
// spacing inside 28–34 N, 107–115 E, with both cores. Target: at most 3 minutes with a
// peak resident size of at most 500 MB (the default 256 MB block cache included).
//
// Each run is a child process, so that its peak (ru_maxrss from wait4) is its own; the
// output goes to the temporary folder and is removed. Warm file cache.
// Run by hand: build-helper/bench/bench_cli_sample (the first run writes the DEMs, see
// bench_terrain_open).

#include "large_dem.h"

#include "cli/sample_command.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

void BM_SampleHundredMillionPoints(benchmark::State& state)
{
    const std::string vrt = keldarn::bench::LargeMosaicVrt();
    const std::string output =
        (std::filesystem::temp_directory_path() / "keldarn_bench_cli_sample.dat").string();
    double peakMB = 0.0;
    for (auto _ : state) {
        const pid_t child = fork();
        if (child == 0) {
            const std::vector<std::string> arguments = {"sample",        "--terrain", vrt,    "--meridian",
                                                        "111",           "--spacing", "72",   "--bbox",
                                                        "28,107,34,115", "--output",  output, "--quiet"};
            _exit(keldarn::cli::RunSample(arguments));
        }
        int status = 0;
        rusage usage{};
        if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the sampling run failed");
            break;
        }
        peakMB = std::max(peakMB, usage.ru_maxrss / 1024.0);
    }
    // The points written: the lines of the file.
    std::ifstream written(output, std::ios::binary);
    std::vector<char> buffer(1 << 20);
    double lines = 0.0;
    while (written.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || written.gcount() > 0)
        lines += static_cast<double>(std::count(buffer.begin(), buffer.begin() + written.gcount(), '\n'));
    state.counters["points"] = lines;
    state.counters["peak_MB"] = peakMB;
    std::filesystem::remove(output);
}
BENCHMARK(BM_SampleHundredMillionPoints)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
