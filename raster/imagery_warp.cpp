#include "raster/imagery_warp.h"

#include <cpl_conv.h>
#include <cpl_string.h>
#include <gdal.h>
#include <gdal_alg.h>
#include <gdal_utils.h>
#include <ogr_spatialref.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace keldarn::raster {

namespace {

struct WarpOptionsFree {
    void operator()(GDALWarpAppOptions* options) const { GDALWarpAppOptionsFree(options); }
};
struct TranslateOptionsFree {
    void operator()(GDALTranslateOptions* options) const { GDALTranslateOptionsFree(options); }
};
struct TransformerDestroyer {
    void operator()(void* transformer) const { GDALDestroyGenImgProjTransformer(transformer); }
};

std::string Number(double value)
{
    return CPLSPrintf("%.17g", value);
}

// Band `band` (1-based) of a Byte raster as one plane of widthPx × heightPx samples.
std::vector<std::uint8_t> Plane(GDALDatasetH dataset, int band, int widthPx, int heightPx)
{
    std::vector<std::uint8_t> samples(static_cast<std::size_t>(widthPx) * heightPx);
    if (GDALRasterIO(GDALGetRasterBand(dataset, band), GF_Read, 0, 0, widthPx, heightPx, samples.data(),
                     widthPx, heightPx, GDT_Byte, 0, 0) != CE_None)
        samples.clear();
    return samples;
}

// The warped raster's bands as ARGB. The last band is the alpha band that -dstalpha added;
// before it one grey band or red, green, blue (and any further bands, ignored).
std::optional<GeoImage> Pack(GDALDatasetH warped, const geodesy::GeoBox& window, int widthPx, int heightPx)
{
    const int bands = GDALGetRasterCount(warped);
    if (bands < 2)
        return std::nullopt;
    const bool grey = bands - 1 < 3;
    const std::vector<std::uint8_t> red = Plane(warped, 1, widthPx, heightPx);
    const std::vector<std::uint8_t> green = grey ? red : Plane(warped, 2, widthPx, heightPx);
    const std::vector<std::uint8_t> blue = grey ? red : Plane(warped, 3, widthPx, heightPx);
    const std::vector<std::uint8_t> alpha = Plane(warped, bands, widthPx, heightPx);
    const std::size_t pixels = static_cast<std::size_t>(widthPx) * heightPx;
    if (red.size() != pixels || green.size() != pixels || blue.size() != pixels || alpha.size() != pixels)
        return std::nullopt;
    GeoImage image = TransparentImage(window, widthPx, heightPx);
    for (std::size_t k = 0; k < pixels; ++k)
        if (alpha[k] != 0)
            image.argb[k] = std::uint32_t{alpha[k]} << 24 | std::uint32_t{red[k]} << 16 |
                            std::uint32_t{green[k]} << 8 | blue[k];
    return image;
}

}  // namespace

GeoImage TransparentImage(const geodesy::GeoBox& window, int widthPx, int heightPx)
{
    return {window, widthPx, heightPx, std::vector<std::uint32_t>(std::size_t(widthPx) * heightPx, 0)};
}

bool IsGeoreferenced(void* dataset)
{
    std::array<double, 6> gt{};
    const auto usable = [](OGRSpatialReferenceH crs) {
        return crs != nullptr && !OGRSpatialReference::FromHandle(crs)->IsEmpty();
    };
    if (GDALGetGeoTransform(dataset, gt.data()) == CE_None && usable(GDALGetSpatialRef(dataset)))
        return true;
    return GDALGetGCPCount(dataset) >= 3 && usable(GDALGetGCPSpatialRef(dataset));
}

OwnedDataset ExpandedPalette(void* dataset)
{
    if (GDALGetRasterCount(dataset) < 1 || GDALGetRasterColorTable(GDALGetRasterBand(dataset, 1)) == nullptr)
        return nullptr;
    // Band 1 alone: gdal_translate expands only a single paletted band. An alpha band of a
    // folder mosaic is lost with it, so gaps between paletted tiles show palette entry 0.
    CPLStringList args;
    for (const char* arg : {"-of", "VRT", "-b", "1", "-expand", "rgba"})
        args.AddString(arg);
    const std::unique_ptr<GDALTranslateOptions, TranslateOptionsFree> options(
        GDALTranslateOptionsNew(args.List(), nullptr));
    int usageError = FALSE;
    return OwnedDataset(GDALTranslate("", dataset, options.get(), &usageError));
}

OwnedDataset WithWorldFileCrs(void* dataset, const std::string& path)
{
    std::array<double, 6> gt{};
    const OGRSpatialReferenceH own = GDALGetSpatialRef(dataset);
    if (GDALGetGeoTransform(dataset, gt.data()) != CE_None ||
        (own != nullptr && !OGRSpatialReference::FromHandle(own)->IsEmpty()))
        return nullptr;
    std::string crs;
    for (const char* extension : {"prj", "PRJ"}) {
        const std::string prj = CPLResetExtension(path.c_str(), extension);
        if (char** lines = CSLLoad2(prj.c_str(), 1000, 100000, nullptr)) {
            OGRSpatialReference reference;
            if (reference.importFromESRI(lines) == OGRERR_NONE) {
                char* wkt = nullptr;
                if (reference.exportToWkt(&wkt) == OGRERR_NONE)
                    crs = wkt;
                CPLFree(wkt);
            }
            CSLDestroy(lines);
            break;
        }
    }
    if (crs.empty()) {
        const double west = gt[0], north = gt[3];
        const double east = gt[0] + gt[1] * GDALGetRasterXSize(dataset) + gt[2] * GDALGetRasterYSize(dataset);
        const double south = gt[3] + gt[4] * GDALGetRasterXSize(dataset) + gt[5] * GDALGetRasterYSize(dataset);
        const auto inDegrees = [](double lon, double lat) { return std::abs(lon) <= 180.0 && std::abs(lat) <= 90.0; };
        if (!inDegrees(west, north) || !inDegrees(east, south))
            return nullptr;
        crs = "EPSG:4326";
    }
    CPLStringList args;
    for (const char* arg : {"-of", "VRT", "-a_srs", crs.c_str()})
        args.AddString(arg);
    const std::unique_ptr<GDALTranslateOptions, TranslateOptionsFree> options(
        GDALTranslateOptionsNew(args.List(), nullptr));
    int usageError = FALSE;
    return OwnedDataset(GDALTranslate("", dataset, options.get(), &usageError));
}

std::optional<GeoImage> WarpToGeoImage(void* dataset, const geodesy::GeoBox& window, int widthPx,
                                       int heightPx)
{
    // EPSG:4326 is latitude first by its definition; gdalwarp takes -te in longitude, latitude
    // order (it sets the traditional GIS axis order on the target CRS).
    CPLStringList args;
    for (const char* arg : {"-of", "MEM", "-t_srs", "EPSG:4326", "-r", "bilinear", "-dstalpha"})
        args.AddString(arg);
    args.AddString("-te");
    for (const double edge : {window.westDeg, window.southDeg, window.eastDeg, window.northDeg})
        args.AddString(Number(edge).c_str());
    args.AddString("-ts");
    args.AddString(std::to_string(widthPx).c_str());
    args.AddString(std::to_string(heightPx).c_str());
    const std::unique_ptr<GDALWarpAppOptions, WarpOptionsFree> options(
        GDALWarpAppOptionsNew(args.List(), nullptr));
    if (!options)
        return std::nullopt;
    GDALDatasetH source = dataset;
    int usageError = FALSE;
    const OwnedDataset warped(GDALWarp("", nullptr, 1, &source, options.get(), &usageError));
    if (!warped)
        return std::nullopt;
    return Pack(warped.get(), window, widthPx, heightPx);
}

std::optional<geodesy::GeoBox> ExtentInWgs84(void* dataset)
{
    const char* const transformerOptions[] = {"DST_SRS=EPSG:4326", nullptr};
    const std::unique_ptr<void, TransformerDestroyer> toWgs84(
        GDALCreateGenImgProjTransformer2(dataset, nullptr, const_cast<char**>(transformerOptions)));
    if (!toWgs84)
        return std::nullopt;
    std::array<double, 6> gt{};
    std::array<double, 4> extent{};  // west, south, east, north
    int columns = 0;
    int rows = 0;
    if (GDALSuggestedWarpOutput2(dataset, GDALGenImgProjTransform, toWgs84.get(), gt.data(), &columns, &rows,
                                 extent.data(), 0) != CE_None)
        return std::nullopt;
    return geodesy::GeoBox{
        .southDeg = extent[1], .westDeg = extent[0], .northDeg = extent[3], .eastDeg = extent[2]};
}

}  // namespace keldarn::raster
