// keldarn-cli convert, run through its entry point on files the test writes.

#include "cli/command_line.h"
#include "cli/convert_command.h"
#include "encoding/text_encoding.h"
#include "geodesy/gauss_kruger.h"
#include "geodesy/gauss_kruger_ellipsoid.h"
#include "geodesy/number_text.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace keldarn::cli {
namespace {

namespace fs = std::filesystem;

class ConvertCommandTest : public testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("keldarn_convert_test_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    static void Write(const std::string& path, const std::string& bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    fs::path dir_;
};

// Grid and back with four parameters; the forward run takes them from a settings file
// whose dx the option overrides, the reverse run from options only.
TEST_F(ConvertCommandTest, ForwardThenReverseReturnsThePoints)
{
    const struct {
        std::string name;
        double latDeg, lonDeg, heightM;
    } points[] = {
        {"测点一", 30.0, 111.0, 100.0},
        {"K2", 30.123456789, 113.6, -12.345},      // 2.6° east of the central meridian
        {"边界桩", 45.987654321, 108.55, 2500.5},  // 2.45° west
        {"南1", -33.5, 111.7, 0.0},
    };
    std::string input = "点名,纬度,经度,高程\r\n";  // skipped as a title
    for (const auto& p : points)
        input += p.name + "," + geodesy::FormatFixed(p.latDeg, 9) + "," + geodesy::FormatFixed(p.lonDeg, 9) +
                 "," + geodesy::FormatFixed(p.heightM, 3) + "\r\n";
    Write(Path("geo.txt"), encoding::Utf8ToGb18030(input));
    Write(Path("Keldarn.ini"),
          "[GEzbzh]\r\nXdis=999\r\nYdis=30.25\r\nRot=3.2\r\nSca=0.000012\r\nHdis=1.5\r\n");
    const std::vector<std::string> common = {"--meridian", "111",   "--name-column", "1",
                                             "--columns",  "2,3,4", "--quiet"};
    std::vector<std::string> forward = {"convert",    Path("geo.txt"),     "--output", Path("grid.txt"),
                                        "--settings", Path("Keldarn.ini"), "--dx",     "-12.5"};
    std::vector<std::string> reverse = {
        "convert",  "--to",  "geo",  "--input", Path("grid.txt"), "--output", Path("back.txt"),
        "--dx",     "-12.5", "--dy", "30.25",   "--rot",          "3.2",      "--scale",
        "0.000012", "--dh",  "1.5"};
    forward.insert(forward.end(), common.begin(), common.end());
    reverse.insert(reverse.end(), common.begin(), common.end());
    ASSERT_EQ(RunConvert(forward), kExitOk);
    ASSERT_EQ(RunConvert(reverse), kExitOk);

    // Both outputs keep the input's encoding, GB18030.
    std::istringstream lines(encoding::Gb18030ToUtf8(Read(Path("back.txt"))));
    std::string line;
    std::size_t k = 0;
    for (; std::getline(lines, line); ++k) {
        ASSERT_LT(k, std::size(points));
        ASSERT_EQ(line.back(), '\r');
        std::istringstream fields(line);
        std::string name, lat, lon, h;
        std::getline(fields, name, ',');
        std::getline(fields, lat, ',');
        std::getline(fields, lon, ',');
        std::getline(fields, h, '\r');
        EXPECT_EQ(name, points[k].name);
        EXPECT_NEAR(std::stod(lat), points[k].latDeg, 1e-8) << name;
        EXPECT_NEAR(std::stod(lon), points[k].lonDeg, 1e-8) << name;
        EXPECT_NEAR(std::stod(h), points[k].heightM, 0.001) << name;
    }
    EXPECT_EQ(k, std::size(points));
}

// The settings file's national system applies: CGCS2000 with the 3° zone number in Y.
TEST_F(ConvertCommandTest, SettingsFileChoosesTheNationalSystem)
{
    Write(Path("one.txt"), "30 118 100\n");
    Write(Path("Keldarn.ini"), "[Projection]\r\nEllipsoid=CGCS2000\r\nZoneWidth=3\r\nZoneNumber=With\r\n");
    ASSERT_EQ(RunConvert({"convert", Path("one.txt"), "--meridian", "117", "--settings", Path("Keldarn.ini"),
                          "--output", Path("one.out"), "--quiet"}),
              kExitOk);
    const geodesy::PlanePoint plane = geodesy::GaussKrugerSeries(geodesy::kCgcs2000).ToPlane(30, 118, 117);
    EXPECT_EQ(Read(Path("one.out")), geodesy::FormatFixed(plane.x, 3) + "," +
                                         geodesy::FormatFixed(39e6 + plane.y, 3) + ",100.000\r\n");
    // A meridian that is no 3° zone's cannot carry a zone number.
    EXPECT_EQ(RunConvert({"convert", Path("one.txt"), "--meridian", "117.5", "--settings", Path("Keldarn.ini"),
                          "--output", Path("two.out"), "--quiet"}),
              kExitBadInput);
}

TEST_F(ConvertCommandTest, ForwardMatchesTheWindowsArithmetic)
{
    Write(Path("one.txt"), "30 111 100\n");
    ASSERT_EQ(
        RunConvert({"convert", Path("one.txt"), "--meridian", "111", "--output", Path("one.out"), "--quiet"}),
        kExitOk);
    EXPECT_EQ(Read(Path("one.out")), geodesy::FormatFixed(geodesy::GeographicToPlane(30, 111, 111).x, 3) +
                                         ",500000.000,100.000\r\n");
}

TEST_F(ConvertCommandTest, BadInputLeavesTheTargetAlone)
{
    const std::string target = Path("kept.txt");
    const struct {
        const char* input;  // nullptr: no file
        std::vector<std::string> more;
        int status;
        std::string message;
    } cases[] = {
        {"30,111,100\n30.1,111.1,101\n30.2,abc,102\n", {}, kExitBadInput, Path("in.txt") + " 第 3 行"},
        {nullptr, {}, kExitFailure, "无法读取"},
        {"30,111,100\n30.1,111.1,101,\xB2\xE2\n",
         {"--encoding", "utf-8"},
         kExitBadInput,
         Path("in.txt") + " 第 2 行"},
        // A decimal comma in the settings file's national system: the run does not guess.
        {"30,111,100\n", {"--settings", Path("comma.ini")}, kExitBadInput, "DatumDx=-15,8"},
    };
    Write(Path("comma.ini"), "[Projection]\r\nEllipsoid=Beijing54\r\nDatum=1\r\nDatumDx=-15,8\r\n");
    for (const auto& c : cases) {
        fs::remove(Path("in.txt"));
        if (c.input)
            Write(Path("in.txt"), c.input);
        Write(target, "earlier work\r\n");
        std::vector<std::string> arguments = {"convert", Path("in.txt"), "--meridian",
                                              "111",     "--output",     target};
        arguments.insert(arguments.end(), c.more.begin(), c.more.end());
        testing::internal::CaptureStderr();
        EXPECT_EQ(RunConvert(arguments), c.status) << c.message;
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_NE(errors.find(c.message), std::string::npos) << errors;
        EXPECT_EQ(Read(target), "earlier work\r\n") << c.message;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(dir_))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
}

}  // namespace
}  // namespace keldarn::cli
