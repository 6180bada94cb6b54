#include "earth/dem_reader.h"

#include "earth/grid_read_cost.h"
#include "i18n/interface_text.h"
#include "raster/gdal_support.h"
#include "raster/mosaic.h"
#include "raster/raster_error.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal.h>
#include <gdal_alg.h>
#include <gdal_utils.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <optional>
#include <vector>

namespace keldarn::earth {

namespace {

namespace fs = std::filesystem;
using raster::EnsureGdalRegistered;
using raster::GdalDetail;
using raster::QuietGdalErrors;

using DatasetPtr = raster::OwnedDataset;

struct WarpOptionsFree {
    void operator()(GDALWarpAppOptions* options) const { GDALWarpAppOptionsFree(options); }
};
struct TransformerFree {
    void operator()(void* transformer) const { GDALDestroyGenImgProjTransformer(transformer); }
};
struct CplFree {
    void operator()(char* text) const { CPLFree(text); }
};

// Elevations beyond this (metres) are no-data markers that the file does not declare,
// such as -3.4e38.
constexpr double kImpossibleElevationM = 1.0e5;

[[noreturn]] void Fail(const std::string& path, const std::string& reason)
{
    throw TerrainError(i18n::Format(i18n::Translate("earth", "无法读取地形“%1”：%2"), {path, reason}));
}

OGRSpatialReference Wgs84Geographic()
{
    OGRSpatialReference wgs84;
    wgs84.importFromEPSG(4326);
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);  // longitude first, as in geotransforms
    return wgs84;
}

bool HasGeoTransform(GDALDatasetH dataset)
{
    std::array<double, 6> gt{};
    return GDALGetGeoTransform(dataset, gt.data()) == CE_None;
}

// path: a file, a GDAL virtual path (/vsizip/...) or an http(s) address.
DatasetPtr OpenRaster(const std::string& path)
{
    const bool remote = raster::IsRemoteSource(path);
    if (!remote && !path.starts_with("/vsi") && !fs::exists(fs::path(path)))
        Fail(path, i18n::Translate("earth", "文件不存在"));
    DatasetPtr dataset(GDALOpenEx(raster::GdalPathOf(path).c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY,
                                  nullptr, nullptr, nullptr));
    if (!dataset && remote)
        Fail(path, i18n::Translate("earth", "无法从该网址读取栅格（服务器没有响应、没有这个文件，"
                                            "或它不是可识别的栅格格式）") +
                       GdalDetail());
    if (!dataset)
        Fail(path, i18n::Translate("earth", "GDAL 无法打开该文件，它不是可识别的栅格格式") + GdalDetail());
    if (const std::string raw = raster::RawBandFromAddress(dataset.get()); !raw.empty())
        Fail(path, i18n::Format(i18n::Translate("earth", "来自网址的 VRT 不能使用原始数据波段"
                                                         "（VRTRawRasterBand），它会读取文件“%1”"),
                                {raw}));
    if (GDALGetRasterCount(dataset.get()) < 1)
        Fail(path, i18n::Translate("earth", "文件中没有栅格波段"));
    return dataset;
}

// The tiles of a folder as one raster per coordinate system, the finest first; the raster
// module's message already names the folder.
std::vector<DatasetPtr> BuildMosaics(const std::string& folder)
{
    try {
        return raster::BuildFolderMosaics(folder);
    } catch (const raster::RasterError& error) {
        throw TerrainError(error.what());
    }
}

// The coordinate system of the georeferencing, or a TerrainError.
const OGRSpatialReference* RequireGeoreferencing(GDALDatasetH dataset, const std::string& path)
{
    const bool hasGeoTransform = HasGeoTransform(dataset);
    if (!hasGeoTransform && GDALGetGCPCount(dataset) == 0)
        Fail(path, i18n::Translate("earth", "没有地理参考信息（既无地理变换参数，也无控制点）"));
    const OGRSpatialReferenceH srs =
        hasGeoTransform ? GDALGetSpatialRef(dataset) : GDALGetGCPSpatialRef(dataset);
    const OGRSpatialReference* crs = OGRSpatialReference::FromHandle(srs);
    if (crs == nullptr || crs->IsEmpty())
        Fail(path, i18n::Translate("earth", "没有坐标系定义（例如缺少 .prj 文件或投影信息）"));
    return crs;
}

struct GridRead {
    GridGeometry grid;
    std::vector<float> elevationsM;
};

GridGeometry GeometryFromGeoTransform(const std::array<double, 6>& gt, int columns, int rows)
{
    GridGeometry grid;
    grid.columns = columns;
    grid.rows = rows;
    grid.stepLonDeg = gt[1];
    grid.stepLatDeg = -gt[5];
    grid.westLonDeg = gt[0] + 0.5 * gt[1];
    grid.northLatDeg = gt[3] + 0.5 * gt[5];
    return grid;
}

// Sets to NaN the buffer samples taken from a part of the source that its file never wrote
// (see raster::UnwrittenParts). A decimated read takes the source cell under each buffer
// sample's centre; scale: buffer samples per source cell.
void VoidUnwritten(std::vector<float>& values, const raster::CellWindow& part, double scaleX, double scaleY,
                   int bufColumns, int bufRows)
{
    const auto first = [](double sourceCell, double scale, int limit) {
        return std::clamp(static_cast<int>(std::ceil(sourceCell * scale - 0.5)), 0, limit);
    };
    const int x0 = first(part.column, scaleX, bufColumns);
    const int x1 = first(part.column + part.columns, scaleX, bufColumns);
    const int y0 = first(part.row, scaleY, bufRows);
    const int y1 = first(part.row + part.rows, scaleY, bufRows);
    for (int y = y0; y < y1; ++y)
        std::fill(values.begin() + static_cast<std::ptrdiff_t>(y) * bufColumns + x0,
                  values.begin() + static_cast<std::ptrdiff_t>(y) * bufColumns + x1, NAN);
}

// True if the band has no no-data value and its file left blocks unwritten, which GDAL reads
// as 0 and a warp would take for heights.
bool HasUnwrittenBlocks(GDALRasterBandH band)
{
    int hasNoData = FALSE;
    GDALGetRasterNoDataValue(band, &hasNoData);
    return !hasNoData && (GDALGetDataCoverageStatus(band, 0, 0, GDALGetRasterBandXSize(band),
                                                    GDALGetRasterBandYSize(band), 0, nullptr) &
                          GDAL_DATA_COVERAGE_STATUS_EMPTY) != 0;
}

// Turns no-data values, masked samples and impossible values into NaN and applies the
// band's scale and offset. values holds the window of columns × rows samples of readBand
// (the band or one of its overviews) read into a buffer of bufColumns × bufRows (smaller
// when decimated); the mask is read the same way.
void MarkHoles(GDALRasterBandH band, GDALRasterBandH readBand, std::vector<float>& values, int columns,
               int rows, int bufColumns, int bufRows, const std::string& path)
{
    int hasNoData = FALSE;
    const double noData = GDALGetRasterNoDataValue(band, &hasNoData);
    const auto noDataF = static_cast<float>(noData);
    int hasScale = FALSE, hasOffset = FALSE;
    const double scale = GDALGetRasterScale(band, &hasScale);
    const double offset = GDALGetRasterOffset(band, &hasOffset);
    const bool rescale = (hasScale && scale != 1.0 && scale != 0.0) || (hasOffset && offset != 0.0);
    for (float& v : values) {
        if (!std::isfinite(v) || (hasNoData && v == noDataF))
            v = NAN;
        else if (rescale)
            v = static_cast<float>(v * (hasScale && scale != 0.0 ? scale : 1.0) + (hasOffset ? offset : 0.0));
        if (std::fabs(v) >= kImpossibleElevationM)
            v = NAN;
    }
    if (!hasNoData)
        for (const raster::CellWindow& part : raster::UnwrittenParts(readBand, {0, 0, columns, rows}))
            VoidUnwritten(values, part, double(bufColumns) / columns, double(bufRows) / rows, bufColumns,
                          bufRows);
    const int maskFlags = GDALGetMaskFlags(readBand);
    if ((maskFlags & (GMF_ALL_VALID | GMF_NODATA)) != 0)
        return;
    std::vector<unsigned char> mask(values.size());
    if (GDALRasterIO(GDALGetMaskBand(readBand), GF_Read, 0, 0, columns, rows, mask.data(), bufColumns,
                     bufRows, GDT_Byte, 0, 0) != CE_None)
        Fail(path, i18n::Translate("earth", "读取栅格掩膜失败") + GdalDetail());
    for (size_t k = 0; k < values.size(); ++k)
        if (mask[k] == 0)
            values[k] = NAN;
}

GridRead ReadBand1(GDALDatasetH dataset, const std::string& path)
{
    std::array<double, 6> gt{};
    GDALGetGeoTransform(dataset, gt.data());
    const int columns = GDALGetRasterXSize(dataset);
    const int rows = GDALGetRasterYSize(dataset);
    GridRead read{GeometryFromGeoTransform(gt, columns, rows), std::vector<float>()};
    read.elevationsM.resize(static_cast<size_t>(columns) * rows);
    GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
    if (GDALRasterIO(band, GF_Read, 0, 0, columns, rows, read.elevationsM.data(), columns, rows, GDT_Float32,
                     0, 0) != CE_None)
        Fail(path, i18n::Translate("earth", "读取高程数据失败") + GdalDetail());
    MarkHoles(band, band, read.elevationsM, columns, rows, columns, rows, path);
    return read;
}

// True for a north-up grid in WGS84 longitude and latitude, which needs no resampling.
bool IsNorthUpWgs84(GDALDatasetH dataset, const OGRSpatialReference& crs)
{
    std::array<double, 6> gt{};
    if (GDALGetGeoTransform(dataset, gt.data()) != CE_None)
        return false;
    const char* const sameOptions[] = {"IGNORE_DATA_AXIS_TO_SRS_AXIS_MAPPING=YES",
                                       "CRITERION=EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS", nullptr};
    const OGRSpatialReference wgs84 = Wgs84Geographic();
    return gt[2] == 0.0 && gt[4] == 0.0 && gt[1] > 0.0 && gt[5] < 0.0 && crs.IsSame(&wgs84, sameOptions);
}

// Size and extent of the source warped to EPSG:4326 at its own resolution, reduced to at
// most maxCells samples.
struct WarpTarget {
    std::array<double, 4> extent{};  // west, south, east, north (degrees)
    int columns = 0;
    int rows = 0;
};

WarpTarget PlanWarp(GDALDatasetH dataset, const std::string& wgs84Wkt, std::int64_t maxCells,
                    const std::string& path)
{
    CPLStringList transformerOptions;
    transformerOptions.SetNameValue("DST_SRS", wgs84Wkt.c_str());
    const std::unique_ptr<void, TransformerFree> transformer(
        GDALCreateGenImgProjTransformer2(dataset, nullptr, transformerOptions.List()));
    if (!transformer)
        Fail(path, i18n::Translate("earth", "无法把它的坐标系转换为 WGS84 经纬度") + GdalDetail());
    std::array<double, 6> gt{};
    WarpTarget target;
    if (GDALSuggestedWarpOutput2(dataset, GDALGenImgProjTransform, transformer.get(), gt.data(),
                                 &target.columns, &target.rows, target.extent.data(), 0) != CE_None)
        Fail(path, i18n::Translate("earth", "无法确定它在 WGS84 经纬度下的范围") + GdalDetail());
    // GDAL suggests cells square in degrees; away from the equator they are taller than
    // wide on the ground, which would average the source north–south. Make them square
    // on the ground at the middle latitude instead by shortening the longer side.
    const double midLatDeg = 0.5 * (target.extent[1] + target.extent[3]);
    const double lonToLat = MetresPerDegreeLon(midLatDeg) / MetresPerDegreeLat(midLatDeg);
    const double stepLonDeg = gt[1] * std::min(1.0, 1.0 / lonToLat);
    const double stepLatDeg = -gt[5] * std::min(1.0, lonToLat);
    target.columns = static_cast<int>(std::ceil((target.extent[2] - target.extent[0]) / stepLonDeg - 1e-6));
    target.rows = static_cast<int>(std::ceil((target.extent[3] - target.extent[1]) / stepLatDeg - 1e-6));
    const double cells = static_cast<double>(target.columns) * target.rows;
    if (cells > static_cast<double>(maxCells)) {
        const double shrink = std::sqrt(cells / static_cast<double>(maxCells));
        target.columns = static_cast<int>(target.columns / shrink);
        target.rows = static_cast<int>(target.rows / shrink);
    }
    target.columns = std::max(target.columns, 2);
    target.rows = std::max(target.rows, 2);
    return target;
}

GridRead ReadWarped(GDALDatasetH dataset, std::int64_t maxCells, const std::string& path)
{
    const OGRSpatialReference wgs84 = Wgs84Geographic();
    char* wktRaw = nullptr;
    wgs84.exportToWkt(&wktRaw);
    const std::unique_ptr<char, CplFree> wkt(wktRaw);
    const WarpTarget target = PlanWarp(dataset, wkt.get(), maxCells, path);

    // A virtual warped raster: samples are warped as they are read, straight into our grid.
    // The transformation may be approximated by at most 0.01 pixel (gdalwarp's default of
    // 0.125 pixel would move a 30 m grid by up to 4 m).
    CPLStringList args;
    for (const char* arg : {"-of", "VRT", "-t_srs", "EPSG:4326", "-r", "bilinear", "-ot", "Float32",
                            "-dstnodata", "nan", "-et", "0.01"})
        args.AddString(arg);
    args.AddString("-te");
    for (double bound : target.extent)
        args.AddString(CPLSPrintf("%.17g", bound));
    args.AddString("-ts");
    args.AddString(CPLSPrintf("%d", target.columns));
    args.AddString(CPLSPrintf("%d", target.rows));
    const std::unique_ptr<GDALWarpAppOptions, WarpOptionsFree> options(
        GDALWarpAppOptionsNew(args.List(), nullptr));
    GDALDatasetH sources[] = {dataset};
    int usageError = FALSE;
    const DatasetPtr warped(GDALWarp("", nullptr, 1, sources, options.get(), &usageError));
    if (!warped)
        Fail(path, i18n::Translate("earth", "无法把它重投影到 WGS84 经纬度") + GdalDetail());
    return ReadBand1(warped.get(), path);
}

// How a grid of a source is read: into outColumns × outRows samples (fewer than the
// source's where it is larger than maxCells), from the band or its best overview.
struct ReadPlan {
    int outColumns = 0;
    int outRows = 0;
    GDALRasterBandH readBand = nullptr;
};

ReadPlan PlanRead(GDALDatasetH dataset, std::int64_t maxCells)
{
    const int columns = GDALGetRasterXSize(dataset);
    const int rows = GDALGetRasterYSize(dataset);
    const double shrink =
        std::max(1.0, std::sqrt(static_cast<double>(columns) * rows / static_cast<double>(maxCells)));
    ReadPlan plan;
    plan.outColumns = shrink > 1.0 ? std::max(2, static_cast<int>(columns / shrink)) : columns;
    plan.outRows = shrink > 1.0 ? std::max(2, static_cast<int>(rows / shrink)) : rows;
    plan.readBand = BandForDecimatedRead(GDALGetRasterBand(dataset, 1), plan.outColumns, plan.outRows);
    return plan;
}

// Refuses a read that would decode more of the source's blocks than allowed: a large
// raster without overviews, whose every block a decimated read would touch.
void RequireAffordable(GDALDatasetH dataset, const ReadPlan& plan, std::uint64_t maxDecodedBytes,
                       const std::string& path)
{
    const std::uint64_t bytes = DecodedBytesOfRead(dataset, plan.readBand, plan.outColumns, plan.outRows);
    if (bytes <= maxDecodedBytes)
        return;
    const auto gigabytes = [](std::uint64_t value) {
        return std::string(CPLSPrintf("%.1f", static_cast<double>(value) / (1024.0 * 1024.0 * 1024.0)));
    };
    Fail(path, i18n::Format(i18n::Translate(
                                "earth", "它太大且没有合适的概览（金字塔）：显示它要解码约 %1 GB 的数据块，"
                                         "超过了 %2 GB 的上限。请先为它建立概览，例如："
                                         "gdaladdo -r average “%3” 2 4 8 16 32 64 128 256"),
                            {gigabytes(bytes), gigabytes(maxDecodedBytes), path}));
}

// A source copied into an in-memory raster of the same coordinate system, decimated as the
// plan says: GDAL takes the nearest sample for each coarse cell, from the plan's overview
// where the source has one. Its values are heights (scale and offset applied), its holes NaN.
// Only for sources with a geotransform.
DatasetPtr ReadDecimated(GDALDatasetH dataset, const ReadPlan& plan, const std::string& path)
{
    const int columns = GDALGetRasterXSize(dataset);
    const int rows = GDALGetRasterYSize(dataset);
    const int outColumns = plan.outColumns;
    const int outRows = plan.outRows;
    std::vector<float> values(static_cast<size_t>(outColumns) * outRows);
    GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
    const int readColumns = GDALGetRasterBandXSize(plan.readBand);
    const int readRows = GDALGetRasterBandYSize(plan.readBand);
    if (GDALRasterIO(plan.readBand, GF_Read, 0, 0, readColumns, readRows, values.data(), outColumns, outRows,
                     GDT_Float32, 0, 0) != CE_None)
        Fail(path, i18n::Translate("earth", "读取高程数据失败") + GdalDetail());
    MarkHoles(band, plan.readBand, values, readColumns, readRows, outColumns, outRows, path);

    DatasetPtr reduced(
        GDALCreate(GDALGetDriverByName("MEM"), "", outColumns, outRows, 1, GDT_Float32, nullptr));
    if (!reduced)
        Fail(path, i18n::Translate("earth", "内存不足，无法建立缩减的高程格网") + GdalDetail());
    std::array<double, 6> gt{};
    GDALGetGeoTransform(dataset, gt.data());
    const double sx = static_cast<double>(columns) / outColumns;
    const double sy = static_cast<double>(rows) / outRows;
    std::array<double, 6> reducedGt{gt[0], gt[1] * sx, gt[2] * sy, gt[3], gt[4] * sx, gt[5] * sy};
    GDALSetGeoTransform(reduced.get(), reducedGt.data());
    GDALSetSpatialRef(reduced.get(), GDALGetSpatialRef(dataset));
    GDALRasterBandH reducedBand = GDALGetRasterBand(reduced.get(), 1);
    GDALSetRasterNoDataValue(reducedBand, NAN);
    if (GDALRasterIO(reducedBand, GF_Write, 0, 0, outColumns, outRows, values.data(), outColumns, outRows,
                     GDT_Float32, 0, 0) != CE_None)
        Fail(path, i18n::Translate("earth", "无法建立缩减的高程格网") + GdalDetail());
    return reduced;
}

struct TranslateOptionsFree {
    void operator()(GDALTranslateOptions* options) const { GDALTranslateOptionsFree(options); }
};

// The part of the source under a WGS84 window, as a virtual raster (nothing is read yet):
// the window's outline carried into the source's pixels, widened by two cells, clipped to the
// raster. Only for sources with a geotransform.
DatasetPtr SourceUnder(GDALDatasetH dataset, const OGRSpatialReference& crs, const geodesy::GeoBox& window,
                       const std::string& path)
{
    const OGRSpatialReference wgs84 = Wgs84Geographic();
    OGRSpatialReference own(crs);
    own.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    const std::unique_ptr<OGRCoordinateTransformation> toOwn(OGRCreateCoordinateTransformation(&wgs84, &own));
    std::array<double, 6> gt{}, inverse{};
    GDALGetGeoTransform(dataset, gt.data());
    if (!toOwn || !GDALInvGeoTransform(gt.data(), inverse.data()))
        Fail(path, i18n::Translate("earth", "无法把它的坐标系转换为 WGS84 经纬度") + GdalDetail());
    // The outline, 16 points a side: a projected window's edges are curves in the source.
    constexpr int kPerSide = 16;
    std::vector<double> xs, ys;
    for (int k = 0; k <= kPerSide; ++k) {
        const double f = static_cast<double>(k) / kPerSide;
        const double lon = window.westDeg + f * (window.eastDeg - window.westDeg);
        const double lat = window.southDeg + f * (window.northDeg - window.southDeg);
        for (const auto& [x, y] : {std::pair{lon, window.southDeg}, std::pair{lon, window.northDeg},
                                   std::pair{window.westDeg, lat}, std::pair{window.eastDeg, lat}}) {
            xs.push_back(x);
            ys.push_back(y);
        }
    }
    std::vector<int> ok(xs.size());
    toOwn->Transform(xs.size(), xs.data(), ys.data(), nullptr, ok.data());
    double minPixel = HUGE_VAL, maxPixel = -HUGE_VAL, minLine = HUGE_VAL, maxLine = -HUGE_VAL;
    for (size_t k = 0; k < xs.size(); ++k) {
        if (!ok[k])
            continue;
        const double pixel = inverse[0] + inverse[1] * xs[k] + inverse[2] * ys[k];
        const double line = inverse[3] + inverse[4] * xs[k] + inverse[5] * ys[k];
        minPixel = std::min(minPixel, pixel);
        maxPixel = std::max(maxPixel, pixel);
        minLine = std::min(minLine, line);
        maxLine = std::max(maxLine, line);
    }
    const int columns = GDALGetRasterXSize(dataset);
    const int rows = GDALGetRasterYSize(dataset);
    const int x0 = static_cast<int>(std::clamp(std::floor(minPixel) - 2.0, 0.0, double(columns)));
    const int x1 = static_cast<int>(std::clamp(std::ceil(maxPixel) + 2.0, 0.0, double(columns)));
    const int y0 = static_cast<int>(std::clamp(std::floor(minLine) - 2.0, 0.0, double(rows)));
    const int y1 = static_cast<int>(std::clamp(std::ceil(maxLine) + 2.0, 0.0, double(rows)));
    if (x1 - x0 < 2 || y1 - y0 < 2)
        Fail(path, i18n::Translate("earth", "所要的范围不在该栅格之内"));
    CPLStringList args;
    for (const char* arg : {"-of", "VRT", "-srcwin"})
        args.AddString(arg);
    for (const int value : {x0, y0, x1 - x0, y1 - y0})
        args.AddString(CPLSPrintf("%d", value));
    const std::unique_ptr<GDALTranslateOptions, TranslateOptionsFree> options(
        GDALTranslateOptionsNew(args.List(), nullptr));
    int usageError = FALSE;
    DatasetPtr part(GDALTranslate("", dataset, options.get(), &usageError));
    if (!part)
        Fail(path, i18n::Translate("earth", "无法截取所要的范围") + GdalDetail());
    return part;
}

// The grid of an open source: decimated to maxCells where larger, then copied or warped to
// WGS84. keepOpen: a dataset the source refers to, closed after the source.
std::shared_ptr<const Terrain> ReadGrid(DatasetPtr dataset, const OGRSpatialReference* crs,
                                        const DemReadOptions& options, const std::string& path,
                                        DatasetPtr keepOpen)
{
    std::int64_t cells =
        static_cast<std::int64_t>(GDALGetRasterXSize(dataset.get())) * GDALGetRasterYSize(dataset.get());
    const ReadPlan plan = PlanRead(dataset.get(), options.maxCells);
    RequireAffordable(dataset.get(), plan, options.maxDecodedBytes, path);
    // Unwritten blocks become NaN only in the copy: a warp of the source would blend their 0s.
    if ((cells > options.maxCells || HasUnwrittenBlocks(GDALGetRasterBand(dataset.get(), 1))) &&
        HasGeoTransform(dataset.get())) {
        dataset = ReadDecimated(dataset.get(), plan, path);
        crs = OGRSpatialReference::FromHandle(GDALGetSpatialRef(dataset.get()));
        cells =
            static_cast<std::int64_t>(GDALGetRasterXSize(dataset.get())) * GDALGetRasterYSize(dataset.get());
    }
    GridRead read = IsNorthUpWgs84(dataset.get(), *crs) && cells <= options.maxCells
                        ? ReadBand1(dataset.get(), path)
                        : ReadWarped(dataset.get(), options.maxCells, path);
    dataset.reset();
    keepOpen.reset();
    return std::make_shared<const Terrain>(read.grid, std::move(read.elevationsM), path, false);
}

// The grids of a folder's mosaics in several coordinate systems as one grid over all of them, at
// the finest step among them (coarser where the whole would exceed maxCells): each sample from
// the first grid, the finest, that has a height there, as the heights are answered.
std::shared_ptr<const Terrain> CombineGrids(const std::vector<std::shared_ptr<const Terrain>>& parts,
                                            std::int64_t maxCells, const std::string& path)
{
    GridGeometry grid;
    double west = HUGE_VAL, east = -HUGE_VAL, south = HUGE_VAL, north = -HUGE_VAL;
    grid.stepLonDeg = grid.stepLatDeg = HUGE_VAL;
    for (const auto& part : parts) {
        west = std::min(west, part->WestLonDeg());
        east = std::max(east, part->EastLonDeg());
        south = std::min(south, part->SouthLatDeg());
        north = std::max(north, part->NorthLatDeg());
        grid.stepLonDeg = std::min(grid.stepLonDeg, part->Grid().stepLonDeg);
        grid.stepLatDeg = std::min(grid.stepLatDeg, part->Grid().stepLatDeg);
    }
    const auto size = [&] {
        grid.columns = std::max(2, static_cast<int>(std::ceil((east - west) / grid.stepLonDeg - 1e-6)) + 1);
        grid.rows = std::max(2, static_cast<int>(std::ceil((north - south) / grid.stepLatDeg - 1e-6)) + 1);
    };
    size();
    const double cells = static_cast<double>(grid.columns) * grid.rows;
    if (cells > static_cast<double>(maxCells)) {
        const double shrink = std::sqrt(cells / static_cast<double>(maxCells));
        grid.stepLonDeg *= shrink;
        grid.stepLatDeg *= shrink;
        size();
    }
    grid.westLonDeg = west;
    grid.northLatDeg = north;
    std::vector<float> elevationsM(static_cast<std::size_t>(grid.columns) * grid.rows, NAN);
    for (int row = 0; row < grid.rows; ++row) {
        const double latDeg = north - row * grid.stepLatDeg;
        for (int column = 0; column < grid.columns; ++column) {
            const double lonDeg = west + column * grid.stepLonDeg;
            for (const auto& part : parts)
                if (const std::optional<double> height = part->ElevationM(latDeg, lonDeg)) {
                    elevationsM[static_cast<std::size_t>(row) * grid.columns + column] =
                        static_cast<float>(*height);
                    break;
                }
        }
    }
    return std::make_shared<const Terrain>(grid, std::move(elevationsM), path, false);
}

// One source raster's grid, under the window where one is given.
std::shared_ptr<const Terrain> ReadSource(DatasetPtr dataset, const DemReadOptions& options,
                                          const std::string& path)
{
    const OGRSpatialReference* crs = RequireGeoreferencing(dataset.get(), path);
    if (options.window && HasGeoTransform(dataset.get())) {
        DatasetPtr part = SourceUnder(dataset.get(), *crs, *options.window, path);
        // The part refers to the whole source, which must stay open while it is read.
        DatasetPtr whole = std::move(dataset);
        dataset = std::move(part);
        crs = RequireGeoreferencing(dataset.get(), path);
        return ReadGrid(std::move(dataset), crs, options, path, std::move(whole));
    }
    return ReadGrid(std::move(dataset), crs, options, path, nullptr);
}

// The grids of several mosaics (tiles in several coordinate systems) as one. Under a window,
// the mosaics it misses are left out; missing all of them is the one refusal.
std::shared_ptr<const Terrain> ReadMosaics(std::vector<DatasetPtr> mosaics, const DemReadOptions& options,
                                           const std::string& path)
{
    DemReadOptions each = options;
    each.maxCells = std::max<std::int64_t>(4, options.maxCells / static_cast<std::int64_t>(mosaics.size()));
    std::vector<std::shared_ptr<const Terrain>> parts;
    std::optional<TerrainError> missed;
    for (DatasetPtr& mosaic : mosaics) {
        try {
            parts.push_back(ReadSource(std::move(mosaic), each, path));
        } catch (const TerrainError& error) {
            if (!options.window)
                throw;
            missed.emplace(error);
        }
    }
    if (parts.empty())
        throw *missed;
    return parts.size() == 1 ? parts.front() : CombineGrids(parts, options.maxCells, path);
}

}  // namespace

std::shared_ptr<const Terrain> ReadDemTerrain(const std::string& path, const DemReadOptions& options)
{
    EnsureGdalRegistered();
    const QuietGdalErrors quiet;
    if (path.empty())
        Fail(path, i18n::Translate("earth", "没有给出文件或文件夹"));
    if (raster::IsTileCollection(path))
        return ReadMosaics(BuildMosaics(path), options, path);
    return ReadSource(OpenRaster(path), options, path);
}

}  // namespace keldarn::earth
