// Imagery through ImagerySource compared with the GeoTIFF it was made from, read on its own with
// GDAL: the file itself, and its XYZ, TMS and WMTS tiles served on the loopback interface by
// range_http_server.py. make_imagery.py writes the imagery, once per test process.

#include "raster/imagery_source.h"

#include <cpl_conv.h>
#include <cpl_json.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace keldarn::raster {
namespace {

namespace fs = std::filesystem;

// The ortho: 1000 × 1000 cells of 5 m in UTM 49N from 734600 E, 3687400 N, squares of 50 cells.
constexpr double kWestM = 734600.0, kNorthM = 3687400.0, kCellM = 5.0;
constexpr int kSquare = 50;
// Reads cover most of the ortho and 0.007° east of it, at 20 000 pixels a degree (zoom 15).
constexpr geodesy::GeoBox kWindow{
    .southDeg = 33.26, .westDeg = 113.525, .northDeg = 33.295, .eastDeg = 113.58};
constexpr int kWidthPx = 1100, kHeightPx = 700;
constexpr int kToleranceLevels = 6;  // per channel, after two resamplings

fs::path Scratch()
{
    return fs::temp_directory_path() / ("keldarn_imagery_test_" + std::to_string(::getpid()));
}

// Writes the imagery into the scratch folder and removes the folder at the end; loopback
// answers in milliseconds, so short limits only keep a broken run from hanging.
class Imagery : public testing::Environment {
public:
    void SetUp() override
    {
        CPLSetConfigOption("GDAL_HTTP_TIMEOUT", "5");
        const std::string command =
            "/usr/bin/python3 " KELDARN_MAKE_IMAGERY " " + (Scratch() / "imagery").string();
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    void TearDown() override { fs::remove_all(Scratch()); }
};
testing::Environment* const kImagery = testing::AddGlobalTestEnvironment(new Imagery);

fs::path Folder()
{
    return Scratch() / "imagery";
}

// range_http_server.py serving the imagery on 127.0.0.1 until stopped or destroyed.
class Server {
public:
    Server()
    {
        const std::string folder = Folder();  // before fork: the child has a pid of its own
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::dup2(out[1], STDOUT_FILENO);
            ::execl("/usr/bin/python3", "python3", KELDARN_RANGE_HTTP_SERVER, folder.c_str(), nullptr);
            ::_exit(127);
        }
        ::close(out[1]);
        std::string line;
        pollfd ready{out[0], POLLIN, 0};
        char c = 0;
        while (::poll(&ready, 1, 10000) == 1 && ::read(out[0], &c, 1) == 1 && c != '\n')
            line += c;
        ::close(out[0]);
        base_ = "http://127.0.0.1:" + line;
    }
    ~Server() { Stop(); }
    void Stop()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    const std::string& Base() const { return base_; }
    // Requests for one path so far ("/tiles/15/26716/13166.png").
    int Requests(const std::string& path) const
    {
        CPLJSONDocument stats;
        EXPECT_TRUE(stats.LoadUrl(base_ + "/__stats", nullptr));
        for (const CPLJSONObject& served : stats.GetRoot().GetObj("paths").GetChildren())
            if (served.GetName() == path)
                return served.GetInteger("requests");
        return 0;
    }

private:
    pid_t pid_ = -1;
    std::string base_;
};

// A ground point and the ortho's colour there (0xRRGGBB), or nothing beyond the ortho.
struct Sample {
    double lonDeg, latDeg;
    std::optional<std::uint32_t> rgb;
};

// The centres of squares inside kWindow, with the colour of their centre cell read from the
// GeoTIFF, and a point east of the ortho.
std::vector<Sample> Samples()
{
    GDALAllRegister();
    std::unique_ptr<GDALDataset> ortho(GDALDataset::Open((Folder() / "ortho.tif").c_str(), GDAL_OF_RASTER));
    OGRSpatialReference utm, wgs84;
    utm.importFromEPSG(32649);
    wgs84.importFromEPSG(4326);
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    std::unique_ptr<OGRCoordinateTransformation> toWgs84(OGRCreateCoordinateTransformation(&utm, &wgs84));
    std::vector<Sample> samples{{113.578, 33.28, std::nullopt}};
    for (int i = 1; i < 20; i += 3)
        for (int j = 1; j < 20; j += 3) {
            const int column = i * kSquare + kSquare / 2, row = j * kSquare + kSquare / 2;
            double x = kWestM + (column + 0.5) * kCellM, y = kNorthM - (row + 0.5) * kCellM;
            toWgs84->Transform(1, &x, &y);
            if (x < kWindow.westDeg + 0.002 || y < kWindow.southDeg + 0.002 || y > kWindow.northDeg - 0.002)
                continue;
            std::uint8_t rgb[3];
            EXPECT_EQ(ortho->RasterIO(GF_Read, column, row, 1, 1, rgb, 1, 1, GDT_Byte, 3, nullptr, 0, 0, 0,
                                      nullptr),
                      CE_None);
            samples.push_back({x, y, std::uint32_t{rgb[0]} << 16 | rgb[1] << 8 | rgb[2]});
        }
    EXPECT_GE(samples.size(), 20u);
    return samples;
}

// The image's pixel at each sample matches the ortho within kToleranceLevels, opaque over the
// ortho and transparent beyond it.
void ExpectOrthoColours(const GeoImage& image)
{
    ASSERT_EQ(image.argb.size(), std::size_t(kWidthPx) * kHeightPx);
    for (const Sample& s : Samples()) {
        const int column =
            static_cast<int>((s.lonDeg - kWindow.westDeg) / (kWindow.eastDeg - kWindow.westDeg) * kWidthPx);
        const int row = static_cast<int>((kWindow.northDeg - s.latDeg) /
                                         (kWindow.northDeg - kWindow.southDeg) * kHeightPx);
        const std::uint32_t argb = image.argb[std::size_t(row) * kWidthPx + column];
        SCOPED_TRACE(testing::Message() << s.lonDeg << " E " << s.latDeg << " N, got " << std::hex << argb);
        if (!s.rgb) {
            EXPECT_EQ(argb >> 24, 0u);
            continue;
        }
        EXPECT_EQ(argb >> 24, 255u);
        for (const int shift : {16, 8, 0})
            EXPECT_NEAR(int(argb >> shift & 0xff), int(*s.rgb >> shift & 0xff), kToleranceLevels)
                << "shift " << shift;
    }
}

ImageryOptions CacheIn(const std::string& name, std::uint64_t boundBytes = std::uint64_t{1} << 30)
{
    return {Scratch() / name, boundBytes};
}

std::uint64_t BytesUnder(const fs::path& folder)
{
    std::uint64_t bytes = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder))
        bytes += entry.is_regular_file() ? entry.file_size() : 0;
    return bytes;
}

// wmts.xml with the server's address in place of @BASE@, served as WMTSCapabilities.xml.
void ServeWmtsCapabilities(const std::string& base)
{
    std::ostringstream text;
    text << std::ifstream(Folder() / "wmts.xml").rdbuf();
    std::string xml = text.str();
    xml.replace(xml.find("@BASE@"), 6, base);
    std::ofstream(Folder() / "WMTSCapabilities.xml") << xml;
}

// A source named with @BASE@ for the server's address and @DIR@ for the imagery folder.
constexpr const char* kXyz = "@BASE@/tiles/{z}/{x}/{y}.png";
std::string SourceOf(std::string pattern, const std::string& base)
{
    for (const auto& [key, value] :
         {std::pair<std::string, std::string>("@BASE@", base), {"@DIR@", Folder()}})
        if (const std::size_t at = pattern.find(key); at != std::string::npos)
            pattern.replace(at, key.size(), value);
    return pattern;
}

struct SourceCase {
    std::string name;
    std::string source;  // see SourceOf
    bool worldWide;
};

void PrintTo(const SourceCase& c, std::ostream* out)
{
    *out << c.name;
}

class Colours : public testing::TestWithParam<SourceCase> {};

// Where the ortho is, every source shows its colours, and nothing beyond it; tiles missing there
// (404) are no cause for a notice.
TEST_P(Colours, MatchTheGeoTiffAtGroundPoints)
{
    Server server;
    ServeWmtsCapabilities(server.Base());
    ImagerySource source(SourceOf(GetParam().source, server.Base()), CacheIn(GetParam().name));
    const ImageryRead read = source.Read(kWindow, kWidthPx, kHeightPx);
    EXPECT_EQ(read.notice, "");
    ExpectOrthoColours(read.image);
    EXPECT_EQ(source.Coverage().has_value(), !GetParam().worldWide);
}

INSTANTIATE_TEST_SUITE_P(Sources, Colours,
                         testing::Values(SourceCase{"geotiff", "@DIR@/ortho.tif", false},
                                         SourceCase{"geotiff_over_http", "@BASE@/ortho.tif", false},
                                         SourceCase{"png_world_file_prj", "@DIR@/world.png", false},
                                         SourceCase{"xyz", kXyz, true},
                                         SourceCase{"tms", "tms:@BASE@/tms_tiles/{z}/{x}/{y}.png", true},
                                         SourceCase{"minus_y", "@BASE@/tms_tiles/{z}/{x}/{-y}.png", true},
                                         SourceCase{"wmts", "@BASE@/WMTSCapabilities.xml", false}),
                         [](const testing::TestParamInfo<SourceCase>& info) { return info.param.name; });

// The cache through a server's life: a tile cut short on disk is fetched again, and only that
// one; with the server gone, a new source over the same cache shows the same imagery, quietly or
// saying that the service cannot be reached, but never failing.
TEST(TileCache, RefetchesATileCutShortAndServesTheCacheWithTheServerGone)
{
    Server server;
    const std::string xyz = SourceOf(kXyz, server.Base());
    ImagerySource(xyz, CacheIn("cache")).Read(kWindow, kWidthPx, kHeightPx);
    std::vector<fs::path> cached;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(Scratch() / "cache"))
        cached.push_back(entry.path());
    std::erase_if(cached, [](const fs::path& file) { return !fs::is_regular_file(file); });
    std::sort(cached.begin(), cached.end(),
              [](auto& a, auto& b) { return fs::file_size(a) > fs::file_size(b); });
    ASSERT_GE(cached.size(), 2u);
    // <cache>/<template>/<z>/<x>/<y> was /tiles/<z>/<x>/<y>.png on the server.
    const auto served = [](const fs::path& file) {
        return "/tiles/" + fs::relative(file, file.parent_path().parent_path().parent_path()).string() +
               ".png";
    };
    const fs::path& cut = cached[0];
    const std::uintmax_t bytes = fs::file_size(cut);
    fs::resize_file(cut, bytes / 2);
    const int cutRequests = server.Requests(served(cut));
    const int otherRequests = server.Requests(served(cached[1]));

    ImageryRead read = ImagerySource(xyz, CacheIn("cache")).Read(kWindow, kWidthPx, kHeightPx);
    EXPECT_EQ(read.notice, "");
    ExpectOrthoColours(read.image);
    EXPECT_EQ(fs::file_size(cut), bytes);
    EXPECT_EQ(server.Requests(served(cut)), cutRequests + 1);
    EXPECT_EQ(server.Requests(served(cached[1])), otherRequests);

    server.Stop();
    ASSERT_NO_THROW(read = ImagerySource(xyz, CacheIn("cache")).Read(kWindow, kWidthPx, kHeightPx));
    if (!read.notice.empty()) {
        EXPECT_NE(read.notice.find("无法连接影像服务“" + xyz + "”"), std::string::npos) << read.notice;
    }
    ExpectOrthoColours(read.image);
}

// Under a bound of about ten tiles the cache folder stays within it, keeping some, and the reads
// are whole all the same.
TEST(TileCache, StaysWithinItsBound)
{
    constexpr std::uint64_t kBoundBytes = 20000;
    Server server;
    ImagerySource source(SourceOf(kXyz, server.Base()), CacheIn("bound", kBoundBytes));
    for (int read = 0; read < 2; ++read) {
        ExpectOrthoColours(source.Read(kWindow, kWidthPx, kHeightPx).image);
        const std::uint64_t held = BytesUnder(Scratch() / "bound");
        EXPECT_GT(held, 0u);
        EXPECT_LE(held, kBoundBytes);
    }
}

struct BadCase {
    std::string name;
    std::string source;  // see SourceOf
    bool refusedAtOpen;  // else told in the read's notice
};

void PrintTo(const BadCase& c, std::ostream* out)
{
    *out << c.name;
}

class BadSources : public testing::TestWithParam<BadCase> {};

// Refused when opened, or told in one notice per read however many tiles failed; either way
// naming the source as the user gave it.
TEST_P(BadSources, AreRefusedOrToldNamingTheSource)
{
    Server server;
    const std::string source = SourceOf(GetParam().source, server.Base());
    const std::string named = "“" + source + "”";
    try {
        ImagerySource imagery(source, CacheIn(GetParam().name));
        ASSERT_FALSE(GetParam().refusedAtOpen) << "opened";
        const ImageryRead read = imagery.Read(kWindow, kWidthPx, kHeightPx);
        const std::size_t at = read.notice.find(named);
        EXPECT_NE(at, std::string::npos) << read.notice;
        EXPECT_EQ(read.notice.find(named, at + 1), std::string::npos) << read.notice;
        EXPECT_TRUE(
            std::all_of(read.image.argb.begin(), read.image.argb.end(), [](auto p) { return p == 0; }));
    } catch (const ImageryError& error) {
        EXPECT_TRUE(GetParam().refusedAtOpen) << error.what();
        EXPECT_NE(std::string(error.what()).find(named), std::string::npos) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, BadSources,
                         testing::Values(BadCase{"no_row", "@BASE@/tiles/{z}/{x}.png", true},
                                         BadCase{"no_service", "@BASE@/index.html", true},
                                         BadCase{"missing_file", "@DIR@/absent.tif", true},
                                         BadCase{"plain_png", "@DIR@/plain.png", true},
                                         BadCase{"html_tiles", "@BASE@/html_tiles/{z}/{x}/{y}.png", false},
                                         BadCase{"unreachable", "http://127.0.0.1:9/{z}/{x}/{y}.png", false}),
                         [](const testing::TestParamInfo<BadCase>& info) { return info.param.name; });

}  // namespace
}  // namespace keldarn::raster
