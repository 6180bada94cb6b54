#include "raster/elevation_source.h"

#include "i18n/interface_text.h"
#include "raster/gdal_handles.h"
#include "raster/gdal_support.h"
#include "raster/mosaic.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_vsi.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <mutex>
#include <vector>

namespace keldarn::raster {

namespace {

// Bilinear weights below this count as zero, so that a point on a cell centre's row or
// column does not depend on (or get voided by) the samples it does not touch.
constexpr double kNegligibleWeight = 1e-9;

[[noreturn]] void Fail(const std::string& path, const std::string& reason)
{
    throw RasterError(i18n::Format(i18n::Translate("raster", "无法读取高程栅格“%1”：%2"), {path, reason}));
}

// path: what the user chose, for messages; gdalPath: the name GDAL opens it by.
DatasetPtr OpenFile(const std::string& path, const std::string& gdalPath)
{
    DatasetPtr dataset(GDALDataset::FromHandle(
        GDALOpenEx(gdalPath.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr)));
    if (dataset) {
        if (const std::string raw = RawBandFromAddress(GDALDataset::ToHandle(dataset.get())); !raw.empty())
            Fail(path, i18n::Format(i18n::Translate("raster", "来自网址的 VRT 不能使用原始数据波段"
                                                              "（VRTRawRasterBand），它会读取文件“%1”"),
                                    {raw}));
        return dataset;
    }
    // Only now: GDAL also opens names that are no files ("NETCDF:dem.nc:z"). On a server this
    // costs no second wait: /vsicurl/ keeps the answer of the failed open.
    VSIStatBufL stat;
    if (VSIStatL(gdalPath.c_str(), &stat) != 0)
        Fail(path, IsRemoteSource(path)
                       ? i18n::Translate("raster",
                                         "服务器上没有这个文件，或服务器没有响应（请检查地址和网络连接）") +
                             GdalDetail()
                       : i18n::Translate("raster", "文件不存在或无法访问"));
    // GDAL 3.6 refuses a 0 × 0 raster here ("Invalid dataset dimensions").
    Fail(path,
         i18n::Translate("raster", "GDAL 无法把它作为栅格打开（不可读、不是可识别的栅格格式或内容无效）") +
             GdalDetail());
}

// GDAL decodes a whole block of the file to read any sample of it; with the bands interleaved
// by pixel, that block holds every band. A block beyond this is no elevation raster (a DEM's
// blocks are kilobytes to a few megabytes) and would exhaust memory before one height is read.
constexpr double kMaxDecodedBlockBytes = double(std::size_t{1} << 30);

// Bytes GDAL decodes for one block of the first band.
double DecodedBlockBytes(GDALDataset& dataset)
{
    GDALRasterBand* band = dataset.GetRasterBand(1);
    int blockWidth = 0, blockHeight = 0;
    band->GetBlockSize(&blockWidth, &blockHeight);
    const char* interleave = dataset.GetMetadataItem("INTERLEAVE", "IMAGE_STRUCTURE");
    const bool byPixel = interleave != nullptr && EQUAL(interleave, "PIXEL");
    return double(blockWidth) * blockHeight * GDALGetDataTypeSizeBytes(band->GetRasterDataType()) *
           (byPixel ? dataset.GetRasterCount() : 1);
}

// The rasters a source is read from: a folder or a zip archive of tiles opens as the mosaics of
// its tiles, one per coordinate system and the finest first; anything else as GDAL opens it.
std::vector<DatasetPtr> OpenDatasets(const std::string& path)
{
    std::vector<DatasetPtr> datasets;
    if (IsTileCollection(path)) {
        for (OwnedDataset& mosaic : BuildFolderMosaics(path))
            datasets.emplace_back(GDALDataset::FromHandle(mosaic.release()));
    } else {
        datasets.push_back(OpenFile(path, GdalPathOf(path)));
    }
    for (const DatasetPtr& dataset : datasets) {
        if (dataset->GetRasterCount() < 1)
            Fail(path, i18n::Translate("raster", "文件中没有栅格波段"));
        const int columns = dataset->GetRasterXSize();
        const int rows = dataset->GetRasterYSize();
        // Bilinear interpolation needs two samples in each direction.
        if (columns < 2 || rows < 2)
            Fail(path,
                 i18n::Format(
                     i18n::Translate("raster", "栅格只有 %1 × %2 个格网，至少需要 2 × 2 个格网才能插值高程"),
                     {std::to_string(columns), std::to_string(rows)}));
        if (const double blockBytes = DecodedBlockBytes(*dataset); blockBytes > kMaxDecodedBlockBytes)
            Fail(path, i18n::Format(i18n::Translate("raster", "一个数据块解码后有 %1 MB（%2 个波段），不是高程数据"),
                                    {std::to_string(static_cast<long long>(blockBytes / double(1 << 20))),
                                     std::to_string(dataset->GetRasterCount())}));
    }
    return datasets;
}

// The raster's CRS with longitude (easting) first, as geotransforms use it.
OGRSpatialReference RequireCrs(GDALDataset& dataset, const std::string& path)
{
    const OGRSpatialReference* crs = dataset.GetSpatialRef();
    if (crs == nullptr || crs->IsEmpty())
        Fail(path, i18n::Translate("raster", "没有坐标系定义（例如缺少 .prj 文件或投影信息）"));
    OGRSpatialReference copy(*crs);
    copy.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return copy;
}

TransformationPtr FromWgs84(const OGRSpatialReference& target, const std::string& path)
{
    OGRSpatialReference wgs84;
    wgs84.importFromEPSG(4326);
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);  // longitude first
    TransformationPtr ct(OGRCreateCoordinateTransformation(&wgs84, &target));
    if (!ct)
        Fail(path, i18n::Translate("raster", "无法从 WGS84 经纬度转换到该栅格的坐标系") + GdalDetail());
    return ct;
}

RasterDescription Describe(const std::string& path, const OGRSpatialReference& crs,
                           const std::array<double, 6>& gt, int columns, int rows)
{
    RasterDescription description;
    // The last component, also of a folder given with a trailing separator; of an address,
    // without its query ("dem.tif?token=...").
    const std::size_t scheme = IsRemoteSource(path) ? path.find("://") : std::string::npos;
    std::string trimmed =
        scheme == std::string::npos ? path : path.substr(0, path.find_first_of("?#", scheme));
    while (trimmed.size() > 1 && (trimmed.back() == '/' || trimmed.back() == '\\'))
        trimmed.pop_back();
    description.name = CPLGetFilename(trimmed.c_str());
    const char* crsName = crs.GetName();
    description.crsName = crsName != nullptr ? crsName : "";
    description.cellWidth = std::hypot(gt[1], gt[4]);
    description.cellHeight = std::hypot(gt[2], gt[5]);
    const char* unit = nullptr;
    if (crs.IsGeographic()) {
        crs.GetAngularUnits(&unit);
        description.metresPerUnit = 0.0;
    } else {
        description.metresPerUnit = crs.GetLinearUnits(&unit);
    }
    description.unitName = unit != nullptr ? unit : "";
    description.columns = columns;
    description.rows = rows;
    return description;
}

// One raster of a source in its own CRS: a file, or the mosaic of a folder's tiles in one CRS.
struct Layer {
    Layer(DatasetPtr opened, const std::string& path, std::size_t cacheBoundBytes);

    // Height at a point in the raster's CRS given as pixel/line (0, 0 is the top-left corner
    // of the top-left cell).
    std::optional<double> Sample(double pixel, double line);
    // NaN covers the voids of the band's mask too (see BlockCache).
    bool IsVoid(double raw) const { return std::isnan(raw) || (hasNoData && raw == noData); }

    DatasetPtr dataset;
    GDALRasterBand* band = nullptr;
    int columns = 0;
    int rows = 0;
    std::array<double, 6> inverseGt{};  // CRS x/y → pixel/line
    bool hasNoData = false;
    double noData = 0.0;
    double scale = 1.0;
    double offset = 0.0;
    TransformationPtr fromWgs84;
    std::optional<BlockCache> cache;
    RasterDescription description;
};

Layer::Layer(DatasetPtr opened, const std::string& path, std::size_t cacheBoundBytes)
    : dataset(std::move(opened))
{
    columns = dataset->GetRasterXSize();
    rows = dataset->GetRasterYSize();
    std::array<double, 6> gt{};
    if (dataset->GetGeoTransform(gt.data()) != CE_None)
        Fail(path, i18n::Translate("raster", "没有地理变换参数（格网在坐标系中的位置未知）"));
    const OGRSpatialReference crs = RequireCrs(*dataset, path);
    if (!GDALInvGeoTransform(gt.data(), inverseGt.data()))
        Fail(path, i18n::Translate("raster", "地理变换参数不可逆（格网大小为零）"));
    fromWgs84 = FromWgs84(crs, path);

    band = dataset->GetRasterBand(1);
    int flag = FALSE;
    noData = band->GetNoDataValue(&flag);
    hasNoData = flag != FALSE && !std::isnan(noData);  // NaN voids are caught by IsVoid anyway
    scale = band->GetScale(&flag);
    if (!flag || scale == 0.0)
        scale = 1.0;
    offset = band->GetOffset(&flag);
    if (!flag)
        offset = 0.0;
    cache.emplace(band, cacheBoundBytes, path);
    description = Describe(path, crs, gt, columns, rows);
}

std::optional<double> Layer::Sample(double pixel, double line)
{
    // (u, v): position in cell-centre units, the centre of cell (i, j) at (i, j).
    double u = pixel - 0.5;
    double v = line - 0.5;
    // The outer half cell extends the edge samples; beyond it (or NaN) there is nothing.
    if (!(u >= -0.5 && u <= columns - 0.5 && v >= -0.5 && v <= rows - 0.5))
        return std::nullopt;
    u = std::clamp(u, 0.0, columns - 1.0);
    v = std::clamp(v, 0.0, rows - 1.0);
    const int i0 = std::min(static_cast<int>(u), columns - 2);
    const int j0 = std::min(static_cast<int>(v), rows - 2);
    const double fu = u - i0;
    const double fv = v - j0;
    const std::array<double, 4> weights{(1 - fu) * (1 - fv), fu * (1 - fv), (1 - fu) * fv, fu * fv};
    double sum = 0.0;
    double weightSum = 0.0;
    for (int k = 0; k < 4; ++k) {
        if (weights[k] < kNegligibleWeight)
            continue;
        const double raw = cache->Value(i0 + (k & 1), j0 + (k >> 1));
        if (IsVoid(raw))
            continue;
        sum += weights[k] * raw;
        weightSum += weights[k];
    }
    if (weightSum == 0.0)
        return std::nullopt;
    return sum / weightSum * scale + offset;
}

}  // namespace

struct ElevationSource::Impl {
    Impl(const std::string& path, std::size_t cacheBoundBytes);

    // Heights of the points at `pending` (indices into points) from one layer; the points it
    // answers leave `pending`.
    void Answer(Layer& layer, std::span<const geodesy::GeoPoint> points,
                std::span<std::optional<double>> heightsM);

    // The finest first: a point goes to the first layer that has a height there.
    std::deque<Layer> layers;  // a deque: layers hold block caches that do not move
    RasterDescription description;
    std::mutex mutex;
    // Scratch for the batch transformation, kept to avoid allocations per call.
    std::vector<std::size_t> pending;
    std::vector<double> xs, ys;
    std::vector<int> transformed;
};

ElevationSource::Impl::Impl(const std::string& path, std::size_t cacheBoundBytes)
{
    EnsureGdalRegistered();
    const QuietGdalErrors quiet;
    std::vector<DatasetPtr> datasets = OpenDatasets(path);
    const std::size_t layerBoundBytes = cacheBoundBytes / datasets.size();
    for (DatasetPtr& dataset : datasets)
        layers.emplace_back(std::move(dataset), path, layerBoundBytes);
    // The finest layer describes the source; the name of every CRS among the layers.
    description = layers.front().description;
    for (std::size_t k = 1; k < layers.size(); ++k)
        description.crsName += " + " + layers[k].description.crsName;
}

void ElevationSource::Impl::Answer(Layer& layer, std::span<const geodesy::GeoPoint> points,
                                   std::span<std::optional<double>> heightsM)
{
    const std::size_t n = pending.size();
    xs.resize(n);
    ys.resize(n);
    transformed.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        xs[k] = points[pending[k]].lonDeg;  // traditional GIS order: x is the longitude
        ys[k] = points[pending[k]].latDeg;
    }
    {
        const QuietGdalErrors quiet;  // points outside the projection's domain only fail
        layer.fromWgs84->Transform(n, xs.data(), ys.data(), nullptr, transformed.data());
    }
    const std::array<double, 6>& inv = layer.inverseGt;
    std::size_t unanswered = 0;
    for (std::size_t k = 0; k < n; ++k) {
        std::optional<double>& height = heightsM[pending[k]];
        height.reset();
        if (transformed[k]) {
            const double pixel = inv[0] + inv[1] * xs[k] + inv[2] * ys[k];
            const double line = inv[3] + inv[4] * xs[k] + inv[5] * ys[k];
            height = layer.Sample(pixel, line);
        }
        if (!height)
            pending[unanswered++] = pending[k];
    }
    pending.resize(unanswered);
}

ElevationSource::ElevationSource(const std::string& path, std::size_t cacheBoundBytes)
    : impl_(std::make_unique<Impl>(path, cacheBoundBytes))
{
}

ElevationSource::~ElevationSource() = default;

std::optional<double> ElevationSource::HeightM(double latDeg, double lonDeg)
{
    const geodesy::GeoPoint point{.latDeg = latDeg, .lonDeg = lonDeg};
    std::optional<double> height;
    HeightsM(std::span(&point, 1), std::span(&height, 1));
    return height;
}

void ElevationSource::HeightsM(std::span<const geodesy::GeoPoint> points,
                               std::span<std::optional<double>> heightsM)
{
    const std::lock_guard lock(impl_->mutex);
    Impl& d = *impl_;
    const std::size_t n = std::min(points.size(), heightsM.size());
    d.pending.resize(n);
    for (std::size_t k = 0; k < n; ++k)
        d.pending[k] = k;
    for (Layer& layer : d.layers) {
        if (d.pending.empty())
            break;
        d.Answer(layer, points, heightsM);
    }
}

const RasterDescription& ElevationSource::Description() const
{
    return impl_->description;
}

std::optional<geodesy::GeoBox> ElevationSource::Wgs84Extent() const
{
    const std::lock_guard lock(impl_->mutex);
    constexpr int kPerEdge = 32;
    std::optional<geodesy::GeoBox> extent;
    for (const Layer& layer : impl_->layers) {
        std::array<double, 6> gt{};
        if (!GDALInvGeoTransform(const_cast<double*>(layer.inverseGt.data()), gt.data()))
            continue;
        const std::unique_ptr<OGRCoordinateTransformation> toWgs84(layer.fromWgs84->GetInverse());
        if (!toWgs84)
            continue;
        std::vector<double> xs, ys;
        for (int k = 0; k <= kPerEdge; ++k) {
            const double f = static_cast<double>(k) / kPerEdge;
            for (const auto& [pixel, line] :
                 {std::pair{f * layer.columns, 0.0}, std::pair{f * layer.columns, 1.0 * layer.rows},
                  std::pair{0.0, f * layer.rows}, std::pair{1.0 * layer.columns, f * layer.rows}}) {
                xs.push_back(gt[0] + pixel * gt[1] + line * gt[2]);
                ys.push_back(gt[3] + pixel * gt[4] + line * gt[5]);
            }
        }
        std::vector<int> ok(xs.size());
        toWgs84->Transform(xs.size(), xs.data(), ys.data(), nullptr, ok.data());
        for (std::size_t k = 0; k < xs.size(); ++k) {
            if (!ok[k] || !std::isfinite(xs[k]) || !std::isfinite(ys[k]))
                continue;
            if (!extent)
                extent =
                    geodesy::GeoBox{.southDeg = ys[k], .westDeg = xs[k], .northDeg = ys[k], .eastDeg = xs[k]};
            extent->southDeg = std::min(extent->southDeg, ys[k]);
            extent->northDeg = std::max(extent->northDeg, ys[k]);
            extent->westDeg = std::min(extent->westDeg, xs[k]);
            extent->eastDeg = std::max(extent->eastDeg, xs[k]);
        }
    }
    return extent;
}

std::size_t ElevationSource::CacheBytesHeld() const
{
    const std::lock_guard lock(impl_->mutex);
    std::size_t bytes = 0;
    for (const Layer& layer : impl_->layers)
        bytes += layer.cache->BytesHeld();
    return bytes;
}

std::size_t ElevationSource::CacheBoundBytes() const
{
    std::size_t bytes = 0;
    for (const Layer& layer : impl_->layers)
        bytes += layer.cache->BoundBytes();
    return bytes;
}

}  // namespace keldarn::raster
