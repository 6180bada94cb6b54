// Every path that reads terrain on several threads gives the bytes of a one-thread run, over
// every kind of source: a file, a VRT, a folder and a zip of tiles, tiles in two UTM zones and
// a file on a web server (the loopback server of the tests). The runs are repeated, since a
// race shows in some runs only: KELDARN_DETERMINISM_RUNS sets how often (the long test runs
// each 20 times).

#include "cli/command_line.h"
#include "cli/sample_command.h"
#include "geodesy/four_param.h"
#include "raster/elevation_source.h"
#include "survey/contours.h"
#include "tests/support/range_server.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace keldarn::cli {
namespace {

namespace fs = std::filesystem;

int Runs()
{
    const char* runs = std::getenv("KELDARN_DETERMINISM_RUNS");
    return runs != nullptr ? std::max(1, std::atoi(runs)) : 2;
}

std::string Read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The terrain that determinism_terrain.py writes, once per test process, and the server of
// its single file.
class TerrainKinds : public testing::Environment {
public:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() / ("keldarn_determinism_" + std::to_string(::getpid()));
        const std::string command =
            std::string("/usr/bin/python3 ") + KELDARN_DETERMINISM_TERRAIN + " " + folder_.string();
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        server_.emplace(folder_);
        ASSERT_TRUE(server_->Running());
    }
    void TearDown() override
    {
        server_.reset();
        fs::remove_all(folder_);
    }

    static fs::path Folder() { return folder_; }
    static std::string Url(const std::string& file) { return server_->Url(file); }

private:
    static inline fs::path folder_;
    static inline std::optional<testing_support::RangeServer> server_;
};
testing::Environment* const kTerrainKinds = testing::AddGlobalTestEnvironment(new TerrainKinds);

struct SourceKind {
    std::string name;
    std::function<std::string()> terrain;
    std::string bbox;     // south,west,north,east
    std::string spacing;  // metres
};

const std::string kTilesBox = "29.63,110.96,30.04,111.43";

class SampleDeterminism : public testing::TestWithParam<SourceKind> {};

// keldarn-cli sample with 4 threads, again and again, against the same run with one.
TEST_P(SampleDeterminism, FourThreadsWriteTheOneThreadFile)
{
    const SourceKind& kind = GetParam();
    const auto run = [&](const std::string& threads, const fs::path& output) {
        return RunSample({"sample",    "--terrain",  kind.terrain(), "--meridian",    "111",
                          "--spacing", kind.spacing, "--bbox",       kind.bbox,       "--dx",
                          "-12.5",     "--rot",      "3.2",          "--dh",          "1.5",
                          "--threads", threads,      "--output",     output.string(), "--quiet"});
    };
    const fs::path one = TerrainKinds::Folder() / (kind.name + "-1.dat");
    ASSERT_EQ(run("1", one), kExitOk);
    const std::string expected = Read(one);
    ASSERT_GT(expected.size(), 1'000'000u) << "too few points to show a race";
    for (int k = 0; k < Runs(); ++k) {
        const fs::path four = TerrainKinds::Folder() / (kind.name + "-4.dat");
        ASSERT_EQ(run("4", four), kExitOk) << "run " << k;
        ASSERT_TRUE(Read(four) == expected)
            << kind.name << ": run " << k << " differs from the one-thread file";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SampleDeterminism,
    testing::Values(
        SourceKind{"file", [] { return (TerrainKinds::Folder() / "whole.tif").string(); }, kTilesBox, "90"},
        SourceKind{"vrt", [] { return (TerrainKinds::Folder() / "mosaic.vrt").string(); }, kTilesBox, "90"},
        SourceKind{"folder", [] { return (TerrainKinds::Folder() / "tiles").string(); }, kTilesBox, "90"},
        SourceKind{"zip", [] { return (TerrainKinds::Folder() / "tiles.zip").string(); }, kTilesBox, "90"},
        SourceKind{"mixed_zones", [] { return (TerrainKinds::Folder() / "mixed").string(); },
                   "29.999,113.93,30.04,114.07", "15"},
        SourceKind{"http", [] { return TerrainKinds::Url("whole.tif"); }, kTilesBox, "120"}),
    [](const testing::TestParamInfo<SourceKind>& info) { return info.param.name; });

// The window's readers run side by side, each on a thread with a source of its own: the
// viewer's picks and worker threads, a boundary sampling or a profile, contours. Each gives
// what it gives alone. Here: two threads of batch heights, one of heights point by point (a
// profile) and one of contours, all on the zip of deflated tiles.
TEST(ConcurrentReaders, EachGivesWhatItGivesAlone)
{
    const std::string zip = (TerrainKinds::Folder() / "tiles.zip").string();
    std::vector<geodesy::GeoPoint> points;
    for (int k = 0; k < 100'000; ++k)
        points.push_back({.latDeg = 30.04 - 0.41 * (k / 250) / 400.0,
                          .lonDeg = 110.96 + 0.47 * (k % 250) / 250.0});  // rows north to south
    // Sources are opened on one thread and used on another, as the window hands a source
    // opened on its thread to a task; a small cache makes them read blocks again and again.
    const auto open = [&] { return std::make_unique<raster::ElevationSource>(zip, 8 << 20); };
    const auto batch = [&](raster::ElevationSource& source) {
        std::vector<std::optional<double>> heights(points.size());
        source.HeightsM(points, heights);
        return heights;
    };
    const auto oneByOne = [&](raster::ElevationSource& source) {
        std::vector<std::optional<double>> heights;
        for (std::size_t k = 0; k < points.size(); k += 7)
            heights.push_back(source.HeightM(points[k].latDeg, points[k].lonDeg));
        return heights;
    };
    const survey::SurveyFrame frame(111.0, geodesy::MakeFourParamCoefficients({0, 0, 0, 0, 0}));
    const std::vector<geodesy::GeoRing> area{{{.latDeg = 29.80, .lonDeg = 111.10},
                                              {.latDeg = 29.80, .lonDeg = 111.22},
                                              {.latDeg = 29.90, .lonDeg = 111.22},
                                              {.latDeg = 29.90, .lonDeg = 111.10}}};
    const auto contours = [&] {
        std::vector<double> vertices;
        for (const survey::ContourLine& line : survey::GenerateContours(zip, area, 20.0, frame))
            vertices.insert(vertices.end(), line.xy.begin(), line.xy.end());
        return vertices;
    };
    const auto batchAlone = batch(*open());
    const auto oneByOneAlone = oneByOne(*open());
    const auto contoursAlone = contours();
    ASSERT_GT(contoursAlone.size(), 10'000u);
    RecordProperty("contour_vertices", std::to_string(contoursAlone.size() / 2));
    for (int k = 0; k < Runs(); ++k) {
        std::vector<std::optional<double>> batch1, batch2, single;
        std::vector<double> lines;
        const auto source1 = open(), source2 = open(), source3 = open();
        {
            std::jthread a([&] { batch1 = batch(*source1); });
            std::jthread b([&] { batch2 = batch(*source2); });
            std::jthread c([&] { single = oneByOne(*source3); });
            std::jthread d([&] { lines = contours(); });
        }
        EXPECT_TRUE(batch1 == batchAlone) << "run " << k;
        EXPECT_TRUE(batch2 == batchAlone) << "run " << k;
        EXPECT_TRUE(single == oneByOneAlone) << "run " << k;
        EXPECT_TRUE(lines == contoursAlone) << "run " << k;
    }
}

}  // namespace
}  // namespace keldarn::cli
