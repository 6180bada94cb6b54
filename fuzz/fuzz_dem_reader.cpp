// The elevation source on any bytes: a file named fuzz.tif when the input starts as a TIFF
// does ("II" or "MM"), else fuzz.vrt, opened by ElevationSource and asked for heights at
// the raster's centre, near its corners and at two fixed points.
//
// Only the VRT, GTiff and MEM (used inside VRT) drivers are kept, so the bytes reach no
// other format. A VRT may name other files: the input is written to a scratch folder of its
// own, where names relative to the VRT resolve (libFuzzer's own paths need the working
// directory as it is). Inputs that name a network path, a device or /proc are passed over,
// and any HTTP request GDAL would still make goes to a closed local port. Inputs of a
// million cells or more are passed over unread.
//
// Findings: a crash or sanitizer report; an exception other than RasterError; a message
// that does not name the file or is not UTF-8; a height that is not finite.

#include "fuzz/fuzz_support.h"
#include "raster/elevation_source.h"
#include "raster/gdal_support.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string_view>

namespace {

using namespace keldarn;
using fuzz::Require;
namespace fs = std::filesystem;

// Network file systems and addresses, devices and process files (a read that never ends),
// and memory opened by address (MEM:::DATAPOINTER=...).
constexpr std::array<std::string_view, 7> kRefused = {"vsi",    "http",  "ftp", "/dev/",
                                                      "/proc/", "/sys/", "mem:"};

bool NamesRefusedPath(std::string_view bytes)
{
    std::string lower(bytes);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::any_of(kRefused.begin(), kRefused.end(),
                       [&](std::string_view word) { return lower.find(word) != std::string::npos; });
}

fs::path scratchFolder;

void RemoveScratchFolder()
{
    std::error_code ignored;
    fs::remove_all(scratchFolder, ignored);
}

// GDAL with the VRT, GTiff and MEM drivers only, nothing sent over the network, and a fresh
// scratch folder removed at exit.
void SetUp()
{
    raster::EnsureGdalRegistered();
    GDALDriverManager* manager = GetGDALDriverManager();
    for (int i = manager->GetDriverCount() - 1; i >= 0; --i) {
        GDALDriver* driver = manager->GetDriver(i);
        const std::string_view name = driver->GetDescription();
        if (name != "VRT" && name != "GTiff" && name != "MEM") {
            manager->DeregisterDriver(driver);
            delete driver;
        }
    }
    CPLSetConfigOption("GDAL_HTTP_TIMEOUT", "1");
    CPLSetConfigOption("GDAL_HTTP_CONNECTTIMEOUT", "1");
    CPLSetConfigOption("GDAL_HTTP_PROXY", "127.0.0.1:9");
    CPLSetConfigOption("CPL_VSIL_CURL_ALLOWED_EXTENSIONS", ".none");
    CPLSetConfigOption("GDAL_VRT_ENABLE_PYTHON", "NO");
    CPLSetErrorHandler(CPLQuietErrorHandler);

    char scratch[] = "/tmp/keldarn-fuzz-dem-XXXXXX";
    Require(::mkdtemp(scratch) != nullptr, "mkdtemp failed");
    scratchFolder = scratch;
    std::atexit(RemoveScratchFolder);
}

// WGS84 points (latitude, longitude) over the raster, when its georeferencing reaches WGS84.
std::vector<geodesy::GeoPoint> PointsOver(GDALDataset& dataset)
{
    std::vector<geodesy::GeoPoint> points{{.latDeg = 33.2677, .lonDeg = 113.5538},
                                          {.latDeg = 0.0, .lonDeg = 0.0}};
    std::array<double, 6> transform{};
    const OGRSpatialReference* crs = dataset.GetSpatialRef();
    if (crs == nullptr || dataset.GetGeoTransform(transform.data()) != CE_None)
        return points;
    OGRSpatialReference wgs84;
    wgs84.importFromEPSG(4326);
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    const std::unique_ptr<OGRCoordinateTransformation> toWgs84(
        OGRCreateCoordinateTransformation(crs, &wgs84));
    if (!toWgs84)
        return points;
    const double columns = dataset.GetRasterXSize();
    const double rows = dataset.GetRasterYSize();
    // Three places, as fractions of the raster's width (across) and height (down).
    constexpr double kAcross[] = {0.5, 0.1, 0.95};
    constexpr double kDown[] = {0.5, 0.2, 0.9};
    for (int k = 0; k < 3; ++k) {
        const double u = kAcross[k], v = kDown[k];
        double x = transform[0] + u * columns * transform[1] + v * rows * transform[2];
        double y = transform[3] + u * columns * transform[4] + v * rows * transform[5];
        if (toWgs84->Transform(1, &x, &y) && std::isfinite(x) && std::isfinite(y))
            points.push_back({.latDeg = y, .lonDeg = x});  // traditional GIS order: x is the longitude
    }
    return points;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = (SetUp(), true);
    (void)ready;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (NamesRefusedPath(bytes))
        return 0;
    const bool tiff = bytes.starts_with("II") || bytes.starts_with("MM");
    const std::string name = scratchFolder / (tiff ? "fuzz.tif" : "fuzz.vrt");
    // No file of an earlier input may stay for this one to name.
    for (const fs::path& earlier : fs::directory_iterator(scratchFolder))
        fs::remove_all(earlier);
    std::ofstream(name, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));

    // A file GDAL cannot open still goes to ElevationSource, for its message.
    std::vector<geodesy::GeoPoint> points;
    if (GDALDataset* dataset = GDALDataset::Open(name.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY)) {
        const bool large = double(dataset->GetRasterXSize()) * dataset->GetRasterYSize() >= 1e6;
        if (!large)
            points = PointsOver(*dataset);
        GDALClose(dataset);
        if (large)
            return 0;
    }
    try {
        raster::ElevationSource source(name);
        for (const geodesy::GeoPoint& point : points) {
            const std::optional<double> height = source.HeightM(point.latDeg, point.lonDeg);
            Require(!height || std::isfinite(*height),
                    "a height that is not finite: " + std::to_string(*height));
        }
    } catch (const raster::RasterError& error) {
        fuzz::CheckMessage(error.what(), name);
    }
    return 0;
}
