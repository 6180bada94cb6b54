#include "raster/imagery_source.h"

#include "i18n/interface_text.h"
#include "raster/gdal_support.h"
#include "raster/imagery_warp.h"
#include "raster/mosaic.h"
#include "raster/raster_error.h"
#include "raster/tile_service.h"

#include <cpl_conv.h>
#include <cpl_vsi.h>
#include <gdal.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <mutex>

namespace keldarn::raster {

namespace {

namespace fs = std::filesystem;

// A service whose extent spans this much longitude is world-wide (Web Mercator's ±180°).
constexpr double kWorldWideLonDeg = 359.0;

enum class Kind { File, Collection, Template, Wmts, Wms };

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

Kind KindOf(const std::string& source)
{
    const std::string lower = Lower(source);
    if (LooksLikeTileTemplate(source))
        return Kind::Template;
    if (lower.starts_with("wmts:"))
        return Kind::Wmts;
    if (lower.starts_with("wms:"))
        return Kind::Wms;
    if (lower.starts_with("http://") || lower.starts_with("https://")) {
        if (lower.find("wmts") != std::string::npos)
            return Kind::Wmts;
        if (lower.find("service=wms") != std::string::npos)
            return Kind::Wms;
        return Kind::File;  // a COG or VRT read by range requests, or nothing usable
    }
    return IsTileCollection(source) ? Kind::Collection : Kind::File;
}

// Sets a GDAL option for this thread only while alive, as GDAL reads some at open.
class ThreadOption {
public:
    ThreadOption(const char* key, const std::string& value) : key_(key)
    {
        if (const char* previous = CPLGetThreadLocalConfigOption(key, nullptr))
            previous_ = previous;
        CPLSetThreadLocalConfigOption(key, value.c_str());
    }
    ~ThreadOption() { CPLSetThreadLocalConfigOption(key_, previous_ ? previous_->c_str() : nullptr); }
    ThreadOption(const ThreadOption&) = delete;
    ThreadOption& operator=(const ThreadOption&) = delete;

private:
    const char* key_;
    std::optional<std::string> previous_;
};

OwnedDataset OpenFile(const std::string& source)
{
    const std::string path = GdalPathOf(source);
    OwnedDataset dataset(
        GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    if (dataset)
        return dataset;
    if (IsRemoteSource(source))
        throw ImageryError(
            i18n::Format(
                i18n::Translate("raster",
                                "地址“%1”不是可识别的影像服务或影像文件：请给出含 {z}、{x}、{y} 的瓦片地址、"
                                "WMTS 能力文档地址（含 WMTS）、WMS 地址（含 service=WMS），"
                                "或云优化 GeoTIFF 的地址"),
                {source}) +
            GdalDetail());
    VSIStatBufL stat;
    if (VSIStatL(path.c_str(), &stat) != 0)
        throw ImageryError(i18n::Format(i18n::Translate("raster", "影像文件“%1”不存在或无法访问"), {source}));
    throw ImageryError(
        i18n::Format(i18n::Translate("raster",
                                     "GDAL 无法把“%1”作为影像打开（不可读、不是可识别的栅格格式或内容无效）"),
                     {source}) +
        GdalDetail());
}

// GDAL's WMTS and WMS drivers keep their tiles in GDAL_DEFAULT_WMS_CACHE_PATH, read when the
// service is opened; no cache folder, no cache.
OwnedDataset OpenService(const std::string& source, Kind kind, const ImageryOptions& options)
{
    const std::string prefix = kind == Kind::Wmts ? "WMTS:" : "WMS:";
    const std::string name = Lower(source).starts_with(Lower(prefix)) ? source : prefix + source;
    const bool cached = !options.cacheFolder.empty();
    const ThreadOption cachePath("GDAL_DEFAULT_WMS_CACHE_PATH",
                                 cached ? (options.cacheFolder / "gdalwms").string() : std::string());
    const ThreadOption cacheEnabled("GDAL_ENABLE_WMS_CACHE", cached ? "YES" : "NO");
    OwnedDataset dataset(
        GDALOpenEx(name.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    // A service with several layers opens as their list (subdatasets): the first is shown;
    // GDAL's "WMTS:url,layer=name" picks another.
    const char* firstLayer =
        dataset ? GDALGetMetadataItem(dataset.get(), "SUBDATASET_1_NAME", "SUBDATASETS") : nullptr;
    if (firstLayer != nullptr && GDALGetRasterCount(dataset.get()) == 0) {
        const std::string layer = firstLayer;
        dataset.reset(
            GDALOpenEx(layer.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    }
    if (!dataset)
        throw ImageryError(
            i18n::Format(i18n::Translate("raster", "无法打开影像服务“%1”（请检查地址和网络连接）"),
                         {source}) +
            GdalDetail());
    return dataset;
}

}  // namespace

struct ImagerySource::Impl {
    std::string name;
    std::unique_ptr<TileService> tiles;
    OwnedDataset placed;     // an image placed by a world file, which `dataset` gives a CRS
    OwnedDataset dataset;    // a file, folder mosaic, WMTS or WMS
    OwnedDataset expanded;   // its palette expanded, reading `dataset` (so declared after it)
    bool isService = false;  // WMTS or WMS: failed reads are notices, not errors
    std::optional<geodesy::GeoBox> coverage;
    std::mutex mutex;  // GDAL datasets are for one thread at a time

    ImageryRead ReadDataset(const geodesy::GeoBox& window, int widthPx, int heightPx);
};

ImagerySource::ImagerySource(const std::string& source, ImageryOptions options)
    : impl_(std::make_unique<Impl>())
{
    impl_->name = source;
    const Kind kind = KindOf(source);
    if (kind == Kind::Template) {
        impl_->tiles = std::make_unique<TileService>(source, ParseTileTemplate(source), options);
        return;
    }
    EnsureGdalRegistered();
    const QuietGdalErrors quiet;
    impl_->isService = kind == Kind::Wmts || kind == Kind::Wms;
    if (kind == Kind::Collection) {
        try {
            impl_->dataset = BuildFolderMosaic(source, i18n::Translate("raster", "影像"));
        } catch (const RasterError& error) {
            throw ImageryError(error.what());
        }
    } else {
        impl_->dataset = impl_->isService ? OpenService(source, kind, options) : OpenFile(source);
    }
    if (kind == Kind::File && !IsRemoteSource(source)) {
        if (OwnedDataset located = WithWorldFileCrs(impl_->dataset.get(), source)) {
            impl_->placed = std::move(impl_->dataset);
            impl_->dataset = std::move(located);
        }
    }
    if (GDALGetRasterCount(impl_->dataset.get()) < 1)
        throw ImageryError(i18n::Format(i18n::Translate("raster", "影像“%1”中没有栅格波段"), {source}));
    if (!IsGeoreferenced(impl_->dataset.get()))
        throw ImageryError(i18n::Format(
            i18n::Translate("raster", "影像“%1”没有地理参考，无法叠加到地形上（需要坐标系和地理变换，"
                                      "例如 GeoTIFF，或带 .jgw/.pgw 世界文件的图片；"
                                      "世界文件不是经纬度时还需要 .prj）"),
            {source}));
    impl_->expanded = ExpandedPalette(impl_->dataset.get());
    impl_->coverage = ExtentInWgs84(impl_->dataset.get());
    if (!impl_->coverage)
        throw ImageryError(
            i18n::Format(i18n::Translate("raster", "无法把影像“%1”的坐标系转换到 WGS84 经纬度"), {source}) +
            GdalDetail());
    if (impl_->isService && impl_->coverage->eastDeg - impl_->coverage->westDeg >= kWorldWideLonDeg)
        impl_->coverage.reset();
}

ImagerySource::~ImagerySource() = default;

const std::string& ImagerySource::Name() const
{
    return impl_->name;
}

std::optional<geodesy::GeoBox> ImagerySource::Coverage() const
{
    return impl_->coverage;
}

ImageryRead ImagerySource::Read(const geodesy::GeoBox& window, int widthPx, int heightPx)
{
    widthPx = std::max(widthPx, 0);
    heightPx = std::max(heightPx, 0);
    const bool empty = widthPx == 0 || heightPx == 0 || !(window.eastDeg > window.westDeg) ||
                       !(window.northDeg > window.southDeg);
    const std::optional<geodesy::GeoBox>& c = impl_->coverage;
    const bool outside = c && (window.eastDeg <= c->westDeg || window.westDeg >= c->eastDeg ||
                               window.northDeg <= c->southDeg || window.southDeg >= c->northDeg);
    if (empty || outside)
        return {TransparentImage(window, widthPx, heightPx), {}};
    return impl_->tiles ? impl_->tiles->Read(window, widthPx, heightPx)
                        : impl_->ReadDataset(window, widthPx, heightPx);
}

ImageryRead ImagerySource::Impl::ReadDataset(const geodesy::GeoBox& window, int widthPx, int heightPx)
{
    const std::lock_guard lock(mutex);
    const QuietGdalErrors quiet;
    if (std::optional<GeoImage> image =
            WarpToGeoImage(expanded ? expanded.get() : dataset.get(), window, widthPx, heightPx))
        return {std::move(*image), {}};
    if (!isService)
        throw ImageryError(
            i18n::Format(i18n::Translate("raster", "无法读取影像“%1”（文件可能已被移动、删除或损坏）"),
                         {name}) +
            GdalDetail());
    return {TransparentImage(window, widthPx, heightPx),
            i18n::Format(i18n::Translate("raster", "无法从影像服务“%1”读取这一片影像，暂时留空"), {name}) +
                GdalDetail()};
}

std::filesystem::path DefaultImageryCacheFolder()
{
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    fs::path base;
    if (xdg != nullptr && fs::path(xdg).is_absolute())
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        base = fs::path(home) / ".cache";
    else
        base = fs::temp_directory_path();
    return base / "keldarn" / "tiles";
}

}  // namespace keldarn::raster
