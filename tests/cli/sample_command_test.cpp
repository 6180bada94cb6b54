// keldarn-cli sample and merge, run through their entry points on a DEM the test writes.

#include "cli/command_line.h"
#include "cli/contours_command.h"
#include "cli/convert_command.h"
#include "cli/kml_commands.h"
#include "cli/point_output.h"
#include "cli/points2dxf_command.h"
#include "cli/profile_command.h"
#include "cli/sample_command.h"
#include "geodesy/gauss_kruger.h"
#include "geodesy/number_text.h"
#include "geodesy/survey_conversion.h"
#include "points/export_writer.h"
#include "points/point_file_writer.h"
#include "points/point_table_model.h"
#include "raster/elevation_source.h"
#include "tests/support/range_server.h"
#include "tests/support/resource_limits.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace keldarn::cli {
namespace {

namespace fs = std::filesystem;

// A line of the default layout: name, description, Y, X, H.
struct PointLine {
    explicit PointLine(const std::string& line)
    {
        std::istringstream fields(line);
        std::string description, yText, xText, hText;
        std::getline(fields, name, ',');
        std::getline(fields, description, ',');
        std::getline(fields, yText, ',');
        std::getline(fields, xText, ',');
        std::getline(fields, hText, '\r');
        x = std::stod(xText);
        y = std::stod(yText);
        h = std::stod(hText);
    }
    std::string name;
    double x = 0.0, y = 0.0, h = 0.0;
};

class SampleCommandTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = fs::temp_directory_path() / ("keldarn_cli_test_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        // 600 × 500 cells of 30 m in UTM zone 49N around 30 N, 111 E, with smooth relief.
        GDALAllRegister();
        dem_ = (dir_ / "dem.tif").string();
        GDALDataset* dataset = GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
            dem_.c_str(), 600, 500, 1, GDT_Float32, nullptr);
        double gt[6] = {495000.0, 30.0, 0.0, 3325000.0, 0.0, -30.0};
        dataset->SetGeoTransform(gt);
        OGRSpatialReference utm;
        utm.importFromEPSG(32649);
        dataset->SetSpatialRef(&utm);
        std::vector<float> values(600 * 500);
        for (int r = 0; r < 500; ++r)
            for (int c = 0; c < 600; ++c)
                values[r * 600 + c] = static_cast<float>(700 + 90 * std::sin(c / 17.0) * std::cos(r / 11.0));
        EXPECT_EQ(dataset->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, 600, 500, values.data(), 600, 500,
                                                      GDT_Float32, 0, 0, nullptr),
                  CE_None);
        GDALClose(dataset);
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }

    static std::string Path(const std::string& name) { return (dir_ / name).string(); }

    // The run's base arguments over a box inside the DEM, with four parameters.
    static std::vector<std::string> Sample(const std::string& output, std::vector<std::string> more = {})
    {
        std::vector<std::string> arguments = {"sample",     "--terrain", dem_,
                                              "--meridian", "111",       "--spacing",
                                              "25",         "--bbox",    "29.95,110.96,30.05,111.05",
                                              "--dx",       "-12.5",     "--rot",
                                              "3.2",        "--dh",      "1.5",
                                              "--output",   output,      "--quiet"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return arguments;
    }

    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    static inline fs::path dir_;
    static inline std::string dem_;
};

TEST_F(SampleCommandTest, PointsLieOnRoundCoordinatesWithTheDemsHeights)
{
    ASSERT_EQ(RunSample(Sample(Path("one.dat"))), kExitOk);
    raster::ElevationSource dem(dem_);
    std::istringstream lines(Read(Path("one.dat")));
    std::string line;
    long count = 0;
    double lastX = 1e300;
    while (std::getline(lines, line)) {
        ASSERT_EQ(line.back(), '\r');
        const PointLine point(line);
        ASSERT_EQ(point.name, std::to_string(++count));
        const double X = point.x, Y = point.y;
        EXPECT_EQ(std::fmod(X, 25.0), 0.0);
        EXPECT_EQ(std::fmod(Y, 25.0), 0.0);
        EXPECT_LE(X, lastX);  // rows from north to south
        lastX = X;
        // Back to the ellipsoid by the inverse four parameters (R in arc-seconds) and projection.
        const double r = 3.2 / 3600.0 * M_PI / 180.0;
        const double px = std::cos(r) * (X + 12.5) + std::sin(r) * Y;
        const double py = -std::sin(r) * (X + 12.5) + std::cos(r) * Y;
        const geodesy::GeoPoint geo = geodesy::PlaneToGeographic(px, py, 111.0);
        EXPECT_TRUE(geo.latDeg >= 29.95 - 1e-9 && geo.latDeg <= 30.05 + 1e-9 && geo.lonDeg >= 110.96 - 1e-9 &&
                    geo.lonDeg <= 111.05 + 1e-9);
        if (count % 97 == 0) {
            EXPECT_NEAR(point.h, *dem.HeightM(geo.latDeg, geo.lonDeg) + 1.5, 0.0015) << line;
        }
    }
    // 0.1° × 0.09° at 25 m: about 444 × 346 points.
    EXPECT_GT(count, 140000);
}

TEST_F(SampleCommandTest, TheDatFileIsTheWindowsExportOfTheSamePoints)
{
    // The window's road for a point: GeographicToGrid of the DEM's height at the point, the
    // table's cells as the sampling fills them, and the export page's default layout.
    ASSERT_EQ(RunSample(Sample(Path("cli.dat"), {"--bbox", "29.99,110.99,30.0,111.0"})), kExitOk);
    raster::ElevationSource dem(dem_);
    const geodesy::FourParamCoefficients transform =
        geodesy::MakeFourParamCoefficients({-12.5, 0.0, 3.2, 0.0, 1.5});
    points::PointTableModel table;
    std::istringstream lines(Read(Path("cli.dat")));
    std::string line;
    for (int row = 1; std::getline(lines, line); ++row) {
        const PointLine point(line);
        const geodesy::GridPoint plane = geodesy::FourParamReverse(transform, {point.x, point.y, 0.0});
        const geodesy::GeoPoint geo = geodesy::PlaneToGeographic(plane.x, plane.y, 111.0);
        const geodesy::GridPoint g = geodesy::GeographicToGrid(
            geo.latDeg, geo.lonDeg, *dem.HeightM(geo.latDeg, geo.lonDeg), 111.0, transform);
        const auto fixed = [](double v) { return QString::fromStdString(geodesy::FormatFixed(v, 3)); };
        table.AppendRow(
            points::RowCells{QString::number(row), QString(), fixed(g.x), fixed(g.y), fixed(g.h)});
    }
    ASSERT_GT(table.DataRowCount(), 1000);
    points::ExportPointsFile(table, {{0, 1, 3, 2, 4}, ","}, Path("window.dat"), {});
    EXPECT_EQ(Read(Path("cli.dat")), Read(Path("window.dat")));
}

TEST_F(SampleCommandTest, AKmlPolygonWithAHoleBoundsTheArea)
{
    std::ofstream(Path("area.kml"))
        << R"(<kml xmlns="http://www.opengis.net/kml/2.2"><Placemark><name>测区</name><Polygon>
<outerBoundaryIs><LinearRing><coordinates>110.97,29.96 111.04,29.96 111.04,30.04 110.97,30.04 110.97,29.96</coordinates></LinearRing></outerBoundaryIs>
<innerBoundaryIs><LinearRing><coordinates>110.99,29.98 111.02,29.98 111.02,30.02 110.99,30.02 110.99,29.98</coordinates></LinearRing></innerBoundaryIs>
</Polygon></Placemark></kml>)";
    // The same polygon in the layer file that the doc.kml of GDAL's LIBKML links to.
    for (const std::string& area :
         {Path("area.kml"), std::string(KELDARN_KML_TEST_DATA "/libkml_area.kmz")}) {
        SCOPED_TRACE(area);
        std::vector<std::string> arguments = Sample(Path("ring.csv"));
        const auto box = std::find(arguments.begin(), arguments.end(), "--bbox");
        *box = "--kml";
        *(box + 1) = area;
        for (const std::string option : {"--dx", "--rot"})  // plain projection, so X, Y map back simply
            *(std::find(arguments.begin(), arguments.end(), option) + 1) = "0";
        ASSERT_EQ(RunSample(arguments), kExitOk);
        std::istringstream lines(Read(Path("ring.csv")));
        std::string line;
        std::getline(lines, line);
        EXPECT_EQ(line, "点名,描述,Y坐标,X坐标,高程H");
        long inside = 0;
        while (std::getline(lines, line)) {
            const PointLine point(line);
            const geodesy::GeoPoint geo = geodesy::PlaneToGeographic(point.x, point.y, 111.0);
            EXPECT_TRUE(geo.lonDeg > 110.97 && geo.lonDeg < 111.04 && geo.latDeg > 29.96 &&
                        geo.latDeg < 30.04)
                << line;
            EXPECT_FALSE(geo.lonDeg > 110.99 && geo.lonDeg < 111.02 && geo.latDeg > 29.98 &&
                         geo.latDeg < 30.02)
                << line;
            ++inside;
        }
        EXPECT_GT(inside, 50000);
    }
}

TEST_F(SampleCommandTest, SharesMergedAndAnyThreadCountGiveTheSingleRunsFile)
{
    // The box reaches 0.2° north of the DEM: the first share holds no point and is written
    // empty (a CSV with its title only), so that merge finds every share.
    const std::string box = "29.95,110.96,30.25,111.05";
    for (const std::string extension : {".dat", ".csv"}) {
        const std::string whole = Path("whole" + extension);
        ASSERT_EQ(RunSample(Sample(whole, {"--bbox", box, "--threads", "1"})), kExitOk);
        const std::string wholeBytes = Read(whole);
        ASSERT_EQ(RunSample(Sample(Path("threads" + extension), {"--bbox", box, "--threads", "3"})), kExitOk);
        EXPECT_EQ(Read(Path("threads" + extension)), wholeBytes);
        std::vector<std::string> merge = {"merge", "--output", Path("merged" + extension)};
        for (int part = 1; part <= 3; ++part) {
            const std::string share = Path("part" + std::to_string(part) + extension);
            const std::string which = std::to_string(part) + "/3";
            ASSERT_EQ(RunSample(Sample(share, {"--bbox", box, "--part", which})), kExitOk);
            merge.push_back(share);
        }
        EXPECT_EQ(Read(merge[3]), extension == ".csv" ? "点名,描述,Y坐标,X坐标,高程H\n" : "");
        ASSERT_EQ(RunMerge(merge), kExitOk);
        EXPECT_EQ(Read(Path("merged" + extension)), wholeBytes) << extension;
    }
}

TEST_F(SampleCommandTest, MergeTakesOnlyOneRunsSharesEachOnceWholeAndInOrder)
{
    const std::string box = "29.99,110.99,30.0,111.0";
    const auto share = [&box](const std::string& name, const std::string& part,
                              std::vector<std::string> more = {}) {
        more.insert(more.end(), {"--bbox", box, "--part", part});
        EXPECT_EQ(RunSample(Sample(Path(name), more)), kExitOk) << name;
        return Path(name);
    };
    ASSERT_EQ(RunSample(Sample(Path("single.dat"), {"--bbox", box})), kExitOk);
    const std::string p1 = share("s1.dat", "1/3"), p2 = share("s2.dat", "2/3"), p3 = share("s3.dat", "3/3");
    const std::string otherRun = share("other2.dat", "2/3", {"--dh", "2.5"});
    const std::string c1 = share("s1.csv", "1/3"), c2 = share("s2.csv", "2/3"), c3 = share("s3.csv", "3/3");
    // Copies of share 2: without its side file, cut short, one digit changed.
    const std::string bytes = Read(p2);
    const auto copy = [&](const std::string& name, const std::string& content, bool withSideFile) {
        std::ofstream(Path(name), std::ios::binary) << content;
        if (withSideFile)
            fs::copy_file(p2 + ".part", Path(name) + ".part", fs::copy_options::overwrite_existing);
        return Path(name);
    };
    std::string edited = bytes;
    const std::size_t digit = edited.find('\r') - 1;
    edited[digit] = edited[digit] == '1' ? '2' : '1';
    const std::string lone = copy("lone.dat", bytes, false);
    const std::string cut = copy("cut.dat", bytes.substr(0, bytes.size() - 40), true);
    const std::string changed = copy("changed.dat", edited, true);
    const struct {
        std::vector<std::string> shares;
        std::string reason;  // empty: merged
        std::string named;   // the file the message names
    } cases[] = {
        {{p1, p2, p3}, "", ""},
        {{p1, lone, p3}, "没有分份说明文件", lone},
        {{p2, p1, p3}, "请按顺序给出各份：" + p1 + " " + p2 + " " + p3, p2},
        {{p1, p3}, "缺少第 2 份", p1},
        {{p1, p2, p2, p3}, "都是第 2 份", p2},
        {{p1, otherRun, p3}, "不是同一次运行的分份", otherRun},
        {{p1, cut, p3}, "不完整", cut},
        {{p1, changed, p3}, "内容与分份说明", changed},
        {{c1, c2, c3}, "的格式是 --format csv", c1},  // their title rows would become points of a .dat
    };
    const std::string target = Path("merged-shares.dat");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        fs::remove(target);
        std::vector<std::string> arguments = {"merge", "--output", target};
        arguments.insert(arguments.end(), c.shares.begin(), c.shares.end());
        ::testing::internal::CaptureStderr();
        const int status = RunMerge(arguments);
        const std::string message = ::testing::internal::GetCapturedStderr();
        if (c.reason.empty()) {
            EXPECT_EQ(status, kExitOk) << message;
            EXPECT_EQ(Read(target), Read(Path("single.dat")));
            continue;
        }
        EXPECT_EQ(status, kExitBadInput);
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        EXPECT_NE(message.find(c.named), std::string::npos) << message;
        EXPECT_FALSE(fs::exists(target));
    }
}

// The real program stopped by a signal while it writes a large area.
TEST_F(SampleCommandTest, AnInterruptedRunLeavesNeitherAChangedTargetNorATemporaryFile)
{
    const struct {
        int signal;
        bool targetExists;
    } cases[] = {{SIGINT, true}, {SIGTERM, false}, {SIGHUP, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::strsignal(c.signal));
        const fs::path folder = dir_ / ("signal" + std::to_string(c.signal));
        fs::create_directories(folder);
        const std::string target = (folder / "heights.dat").string();
        if (c.targetExists)
            std::ofstream(target) << "earlier work\r\n";
        const auto temporaries = [&folder] {
            std::vector<fs::path> found;
            for (const fs::directory_entry& entry : fs::directory_iterator(folder))
                if (entry.path().filename().string().find(".tmp-") != std::string::npos)
                    found.push_back(entry.path());
            return found;
        };
        // At 1 m, some 10^8 points: minutes of writing, stopped as soon as the first rows are out.
        std::vector<std::string> arguments = Sample(target, {"--spacing", "1"});
        arguments[0] = KELDARN_CLI;
        arguments.insert(arguments.begin() + 1, "sample");
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        // The three signals with their default action, whatever the test runner ignores.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (const int s : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&defaults, s);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        pid_t pid = 0;
        ASSERT_EQ(::posix_spawn(&pid, KELDARN_CLI, nullptr, &attributes, argv.data(), environ), 0);
        posix_spawnattr_destroy(&attributes);
        bool writing = false;
        for (int wait = 0; wait < 600 && !writing; ++wait) {
            for (const fs::path& file : temporaries()) {
                std::error_code error;
                writing = writing || fs::file_size(file, error) > 0;
            }
            if (!writing)
                ::usleep(50'000);
        }
        ::kill(pid, c.signal);
        int status = 0;
        for (int wait = 0; wait < 200 && ::waitpid(pid, &status, WNOHANG) == 0; ++wait)
            ::usleep(50'000);
        if (::kill(pid, 0) == 0) {  // still running after 10 s: not stopped by the signal
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
        }
        EXPECT_TRUE(writing);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
        if (c.targetExists)
            EXPECT_EQ(Read(target), "earlier work\r\n");
        else
            EXPECT_FALSE(fs::exists(target));
        EXPECT_EQ(temporaries(), std::vector<fs::path>());
    }
}

// A server that answers 64 bytes every 2 s: the run writes a progress line every 5 s all
// the same, saying how long it has waited, and SIGINT ends it at once.
TEST_F(SampleCommandTest, AStalledServerKeepsProgressComingAndSigintStopsTheRun)
{
    testing_support::RangeServer server(dir_);
    ASSERT_TRUE(server.Running());
    std::vector<std::string> arguments = Sample(Path("stalled.dat"));
    arguments[2] = server.Url("trickle/dem.tif");
    arguments.pop_back();  // --quiet
    arguments.insert(arguments.begin(), KELDARN_CLI);
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    int errorPipe[2];
    ASSERT_EQ(::pipe(errorPipe), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, errorPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, errorPipe[0]);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, KELDARN_CLI, &actions, &attributes, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(errorPipe[1]);

    // 12 s of the run's standard error.
    std::string progress;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(12);
    for (auto now = std::chrono::steady_clock::now(); now < until; now = std::chrono::steady_clock::now()) {
        pollfd ready{errorPipe[0], POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count();
        char buffer[512];
        if (::poll(&ready, 1, static_cast<int>(left)) == 1) {
            const ssize_t got = ::read(errorPipe[0], buffer, sizeof buffer);
            if (got <= 0)
                break;
            progress.append(buffer, static_cast<std::size_t>(got));
        }
    }
    const auto stop = std::chrono::steady_clock::now();
    ::kill(pid, SIGINT);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0 &&
           std::chrono::steady_clock::now() - stop < std::chrono::seconds(5))
        ::usleep(10'000);
    const auto stopped = std::chrono::steady_clock::now() - stop;
    if (::kill(pid, 0) == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    ::close(errorPipe[0]);
    EXPECT_GE(std::count(progress.begin(), progress.end(), '\n'), 2) << progress;
    // In the interface language of the test's environment.
    EXPECT_TRUE(progress.find("等待数据") != std::string::npos ||
                progress.find("waiting for data") != std::string::npos)
        << progress;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    EXPECT_LT(stopped, std::chrono::seconds(1));
    EXPECT_FALSE(fs::exists(Path("stalled.dat")));
}

// An input file that is not there is a read that fails: exit status 2 in every subcommand,
// with the file named.
// Runs keldarn-cli with `arguments` (the subcommand first), its standard error into the file
// `errors`; its exit status, or -1 when it did not exit.
int RunProgram(std::vector<std::string> arguments, const std::string& errors)
{
    arguments.insert(arguments.begin(), KELDARN_CLI);
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, KELDARN_CLI, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

TEST_F(SampleCommandTest, AMissingInputFileIsAFailedReadInEverySubcommand)
{
    const std::string missing = Path("no such file");
    const std::vector<std::vector<std::string>> runs = {
        {"sample", "--terrain", dem_, "--meridian", "111", "--spacing", "25", "--kml", missing, "--output",
         Path("m1.dat")},
        {"sample", "--terrain", dem_, "--meridian", "111", "--spacing", "25", "--boundary", missing,
         "--output", Path("m2.dat")},
        {"convert", "--meridian", "111", "--input", missing, "--output", Path("m3.txt")},
        {"kml2dxf", "--meridian", "111", "--output", Path("m4.dxf"), missing},
        {"dxf2kml", "--meridian", "111", "--output", Path("m5.kml"), missing},
        {"merge", "--output", Path("m6.dat"), missing},
        {"profile", "--terrain", dem_, "--meridian", "111", "--interval", "25", "--kml", missing, "--output",
         Path("m7.dat")},
        {"contours", "--terrain", dem_, "--meridian", "111", "--interval", "25", "--kml", missing, "--output",
         Path("m8.dxf")},
        {"points2dxf", "--input", missing, "--output", Path("m9.dxf")},
    };
    const std::string errors = Path("errors.txt");
    for (const std::vector<std::string>& arguments : runs) {
        EXPECT_EQ(RunProgram(arguments, errors), 2) << arguments[0];
        EXPECT_NE(Read(errors).find(missing), std::string::npos) << arguments[0] << ": " << Read(errors);
    }
}

// A wrong input file is bad input (status 1) in every subcommand: the message names the file,
// and, the options being right, no pointer to --help follows.
TEST_F(SampleCommandTest, AWrongInputFileIsBadInputInEverySubcommand)
{
    const std::string kml = Path("broken.kml"), points = Path("points.txt"), route = Path("route.txt");
    std::ofstream(kml) << "<kml><Document><Placemark><Polygon>";
    std::ofstream(points) << "30 111 100\n30 x 100\n";
    std::ofstream(route) << "3320000,38500000\nX,Y\n";
    const std::vector<std::vector<std::string>> runs = {
        {"sample", "--terrain", dem_, "--meridian", "111", "--spacing", "25", "--kml", kml, "--output",
         Path("w1.dat")},
        {"sample", "--terrain", dem_, "--meridian", "111", "--spacing", "25", "--boundary", route, "--output",
         Path("w2.dat")},
        {"convert", "--meridian", "111", "--input", points, "--output", Path("w3.txt")},
        {"kml2dxf", "--meridian", "111", "--output", Path("w4.dxf"), kml},
        {"profile", "--terrain", dem_, "--meridian", "111", "--interval", "25", "--route", route, "--output",
         Path("w5.dat")},
        {"contours", "--terrain", dem_, "--meridian", "111", "--interval", "25", "--kml", kml, "--output",
         Path("w6.dxf")},
    };
    const std::string errors = Path("errors.txt");
    for (const std::vector<std::string>& arguments : runs) {
        EXPECT_EQ(RunProgram(arguments, errors), 1) << arguments[0];
        const std::string text = Read(errors);
        const std::string& input = arguments[0] == "sample" || arguments[0] == "profile" || arguments[0] == "contours"
                                       ? arguments[8]
                                       : arguments[0] == "convert" ? points : kml;
        EXPECT_NE(text.find(std::filesystem::path(input).filename().string()), std::string::npos)
            << arguments[0] << ": " << text;
        EXPECT_EQ(text.find("--help"), std::string::npos) << arguments[0] << ": " << text;
    }
}

// An option the subcommand does not know, or a value it cannot use, is bad input (status 1).
TEST_F(SampleCommandTest, BadOptionsOfTheTerrainProductsAreBadInput)
{
    const std::string frame[] = {"--terrain", dem_, "--meridian", "111"};
    const std::vector<std::vector<std::string>> runs = {
        {"profile", "--bogus"},
        {"profile", frame[0], frame[1], frame[2], frame[3], "--interval", "0", "--route", "r", "--output",
         "o.dat"},
        {"profile", frame[0], frame[1], frame[2], frame[3], "--interval", "5", "--route", "r", "--output",
         "o.txt"},
        {"contours", frame[0], frame[1], frame[2], frame[3], "--interval", "5", "--output", "o.dxf"},
        {"points2dxf", "--input", "p.dat"},
    };
    for (const std::vector<std::string>& arguments : runs) {
        const int status = arguments[0] == "profile"    ? RunProfile(arguments)
                           : arguments[0] == "contours" ? RunContours(arguments)
                                                        : RunPoints2Dxf(arguments);
        EXPECT_EQ(status, kExitBadInput) << arguments[0] << " " << arguments[1];
    }
}

// A write that fails (the file size limit, as a full disk) names the file once, with the reason.
TEST_F(SampleCommandTest, AFailedWriteNamesTheFileOnce)
{
    const fs::path target = Path("limited.dat");
    std::string message;
    try {
        const keldarn::testing::FileSizeLimit limit(4096);
        points::PointFileWriter writer(target, PointFormat{}.Encoding());
        for (int k = 0; k < 64; ++k)
            writer.Write("点" + std::string(64 * 1024, '1') + "\r\n");
        writer.Commit();
    } catch (const fileio::FileWriteError& error) {
        message = error.what();
    }
    EXPECT_EQ(message, "无法写入文件 " + target.string() + "：文件超出允许的大小");
}

TEST_F(SampleCommandTest, BadInputAndFailedReadsLeaveTheTargetAlone)
{
    const std::string target = Path("kept.dat");
    std::ofstream(target) << "earlier work\r\n";
    const struct {
        std::vector<std::string> change;  // option and value replaced or added
        int status;
    } cases[] = {
        {{"--colour", "red"}, kExitBadInput},
        {{"--spacing", "-5"}, kExitBadInput},
        {{"--bbox", "30.05,110.96,29.95,111.05"}, kExitBadInput},  // north below south
        {{"--bbox", "30.2,111.0,30.21,111.01"}, kExitBadInput},    // north of the DEM: no height anywhere
        {{"--spacing", "0.001"}, kExitBadInput},                   // beyond 10^9 points without --force
        {{"--part", "4/3"}, kExitBadInput},
        {{"--fields", "0,7"}, kExitBadInput},
        {{"--terrain", Path("missing.tif")}, kExitFailure},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments = Sample(target);
        const auto found = std::find(arguments.begin(), arguments.end(), c.change[0]);
        if (found != arguments.end())
            *(found + 1) = c.change[1];
        else
            arguments.insert(arguments.end(), c.change.begin(), c.change.end());
        EXPECT_EQ(RunSample(arguments), c.status) << c.change[0] << " " << c.change[1];
        EXPECT_EQ(Read(target), "earlier work\r\n");
    }
    // An area wholly off the terrain is told so, with the terrain's extent (the DEM lies
    // between 29.91° and 30.05° N), whether or not the area has grid points.
    for (const std::string box : {"10,10,10.1,10.1", "30.2,111.0,30.21,111.01"}) {
        std::vector<std::string> arguments = Sample(target);
        *(std::find(arguments.begin(), arguments.end(), "--bbox") + 1) = box;
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(RunSample(arguments), kExitBadInput);
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("测区在地形数据范围之外"), std::string::npos) << said;
        EXPECT_NE(said.find("纬度 29.9"), std::string::npos) << said;
    }
    // A source that fails mid-run: a VRT whose eastern tile is missing opens, and the run
    // stops with status 2 when its rows reach that tile.
    std::ofstream(Path("broken.vrt")) << R"(<VRTDataset rasterXSize="1200" rasterYSize="500">
  <SRS>EPSG:32649</SRS><GeoTransform>495000, 30, 0, 3325000, 0, -30</GeoTransform>
  <VRTRasterBand dataType="Float32" band="1">
    <SimpleSource><SourceFilename relativeToVRT="1">dem.tif</SourceFilename><SourceBand>1</SourceBand>
      <SourceProperties RasterXSize="600" RasterYSize="500" DataType="Float32" BlockXSize="600" BlockYSize="3"/>
      <SrcRect xOff="0" yOff="0" xSize="600" ySize="500"/><DstRect xOff="0" yOff="0" xSize="600" ySize="500"/></SimpleSource>
    <SimpleSource><SourceFilename relativeToVRT="1">gone.tif</SourceFilename><SourceBand>1</SourceBand>
      <SourceProperties RasterXSize="600" RasterYSize="500" DataType="Float32" BlockXSize="600" BlockYSize="3"/>
      <SrcRect xOff="0" yOff="0" xSize="600" ySize="500"/><DstRect xOff="600" yOff="0" xSize="600" ySize="500"/></SimpleSource>
  </VRTRasterBand></VRTDataset>)";
    std::vector<std::string> arguments = Sample(target);
    *(std::find(arguments.begin(), arguments.end(), "--terrain") + 1) = Path("broken.vrt");
    *(std::find(arguments.begin(), arguments.end(), "--bbox") + 1) = "29.95,110.96,30.05,111.25";
    EXPECT_EQ(RunSample(arguments), kExitFailure);
    EXPECT_EQ(Read(target), "earlier work\r\n");
    // No temporary file of a failed run stays behind.
    for (const fs::directory_entry& entry : fs::directory_iterator(dir_))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
}

// A file given as --settings that is no settings file (a log grown large, a folder, a
// device, a drawing, a binary file) stops every subcommand that reads one, before its
// default parameters would put the points a kilometre off: exit status 1, the file and
// the reason on standard error, no output.
TEST_F(SampleCommandTest, EveryCommandRefusesASettingsFileItCannotRead)
{
    const std::string offset = "[GEzbzh]\r\nXdis=1000\r\nYdis=2000\r\n";
    std::ofstream(Path("large.ini"), std::ios::binary) << offset << std::string(10 << 20, ';') << "\r\n";
    fs::create_directories(Path("folder.ini"));
    const std::string drawing =
        "  0\nSECTION\n  2\nENTITIES\n  0\nTEXT\n  8\n0\n 10\n10.0\n 20\n20.0\n 30\n0.0\n"
        " 40\n2.5\n  1\nH=12.5\n  0\nENDSEC\n  0\nEOF\n";
    std::ofstream(Path("drawing.dxf"), std::ios::binary) << drawing;
    std::ofstream(Path("binary.ini"), std::ios::binary) << offset << std::string("\0\x01\x02\xff\r\n", 6);
    std::ofstream(Path("points.txt")) << "30 111 100\n";
    const struct {
        std::string settings;
        std::string reason;
    } cases[] = {
        {Path("large.ini"), "大于 1 MB"}, {Path("folder.ini"), "这是一个文件夹"},
        {"/dev/zero", "大于 1 MB"},       {Path("drawing.dxf"), "“[节名]”"},
        {Path("binary.ini"), "NUL"},
    };
    const std::vector<std::vector<std::string>> commands = {
        // Without --terrain the settings file would be asked for one.
        {"sample", "--spacing", "25", "--bbox", "29.95,110.96,30.05,111.05"},
        {"convert", Path("points.txt")},
        {"kml2dxf", KELDARN_KML_TEST_DATA "/ogr_kml.kml"},
        {"dxf2kml", Path("drawing.dxf")},
    };
    const std::string output = Path("refused.out");
    for (const auto& c : cases) {
        for (std::vector<std::string> arguments : commands) {
            SCOPED_TRACE(arguments[0] + " --settings " + c.settings);
            arguments.insert(arguments.end(),
                             {"--settings", c.settings, "--meridian", "111", "--output", output, "--quiet"});
            const auto run = arguments[0] == "sample"    ? RunSample
                             : arguments[0] == "convert" ? RunConvert
                             : arguments[0] == "kml2dxf" ? RunKml2Dxf
                                                         : RunDxf2Kml;
            ::testing::internal::CaptureStderr();
            EXPECT_EQ(run(arguments), kExitBadInput);
            const std::string message = ::testing::internal::GetCapturedStderr();
            EXPECT_NE(message.find(c.settings), std::string::npos) << message;
            EXPECT_NE(message.find(c.reason), std::string::npos) << message;
            EXPECT_FALSE(fs::exists(output));
            fs::remove(output);
        }
    }
}

}  // namespace
}  // namespace keldarn::cli
