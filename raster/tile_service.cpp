#include "raster/tile_service.h"

#include "i18n/interface_text.h"
#include "raster/gdal_support.h"
#include "raster/imagery_warp.h"
#include "raster/mosaic.h"
#include "raster/tile_disk_cache.h"
#include "raster/tile_fetch.h"
#include "raster/tile_pixels.h"

#include <cpl_conv.h>
#include <cpl_string.h>
#include <gdal.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

namespace keldarn::raster {

namespace {

namespace fs = std::filesystem;

// Web Mercator maps the WGS84 longitude and latitude on a sphere of the ellipsoid's semi-major
// axis: x = R·λ, y = R·asinh(tan φ). The square world ends where y = ±πR, at φ = ±85.0511°.
constexpr double kEarthRadiusM = 6378137.0;
constexpr double kHalfWorldM = std::numbers::pi * kEarthRadiusM;
constexpr double kMaxLatDeg = 85.051128779806592;
constexpr int kMaxZoomLimit = 22;
// A level coarser than the resolution asked for is taken while within 2^kZoomSlack of it.
constexpr double kZoomSlack = 0.25;
constexpr int kMaxTilesPerRead = 256;

struct TileRange {
    int zoom = 0;
    int x0 = 0, y0 = 0, x1 = -1, y1 = -1;  // inclusive; y as XYZ rows, 0 at the north edge
    int Count() const { return std::max(0, x1 - x0 + 1) * std::max(0, y1 - y0 + 1); }
};

// Pixel position in the whole world's image at `zoom`: x eastwards from 180° W, y southwards
// from 85.0511° N.
double WorldPx(int zoom)
{
    return std::ldexp(kTilePx, zoom);
}
double PixelX(double lonDeg, int zoom)
{
    return (lonDeg + 180.0) / 360.0 * WorldPx(zoom);
}
double PixelY(double latDeg, int zoom)
{
    const double phi = std::clamp(latDeg, -kMaxLatDeg, kMaxLatDeg) * std::numbers::pi / 180.0;
    return (1.0 - std::asinh(std::tan(phi)) / std::numbers::pi) / 2.0 * WorldPx(zoom);
}

// The tiles under `window`, with one pixel more on every side for the bilinear resampling at
// its edges.
TileRange RangeAt(const geodesy::GeoBox& window, int zoom)
{
    const int last = (1 << zoom) - 1;
    const auto tile = [last](double px) {
        return std::clamp(static_cast<int>(std::floor(px / kTilePx)), 0, last);
    };
    return {zoom, tile(PixelX(window.westDeg, zoom) - 1), tile(PixelY(window.northDeg, zoom) - 1),
            tile(PixelX(window.eastDeg, zoom) + 1), tile(PixelY(window.southDeg, zoom) + 1)};
}

bool StartsWithIgnoringCase(const std::string& text, std::string_view lowerPrefix)
{
    return text.size() >= lowerPrefix.size() &&
           std::equal(lowerPrefix.begin(), lowerPrefix.end(), text.begin(),
                      [](char p, char t) { return p == std::tolower(static_cast<unsigned char>(t)); });
}

void ReplaceAll(std::string& text, std::string_view placeholder, const std::string& value)
{
    for (std::size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + value.size()))
        text.replace(at, placeholder.size(), value);
}

// FNV-1a, 64 bits: stable across builds and runs, unlike std::hash, so a template keeps its cache.
std::string HashHex(std::string_view text)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : text)
        hash = (hash ^ c) * 1099511628211ull;
    return CPLSPrintf("%016llx", static_cast<unsigned long long>(hash));
}

// The tiles of a range side by side in one red, green, blue, alpha raster in EPSG:3857; tiles
// never put stay transparent (MEM rasters start zeroed).
struct TileCanvas {
    explicit TileCanvas(const TileRange& tiles);
    void Put(int x, int y, const TilePixels& pixels);

    TileRange range;
    OwnedDataset composite;
    int placed = 0;
};

TileCanvas::TileCanvas(const TileRange& tiles) : range(tiles)
{
    const int columns = (range.x1 - range.x0 + 1) * kTilePx;
    const int rows = (range.y1 - range.y0 + 1) * kTilePx;
    composite.reset(GDALCreate(GDALGetDriverByName("MEM"), "", columns, rows, 4, GDT_Byte, nullptr));
    if (!composite)
        return;
    const double tileM = 2 * kHalfWorldM / (1 << range.zoom);
    std::array<double, 6> gt{-kHalfWorldM + range.x0 * tileM,
                             tileM / kTilePx,
                             0,
                             kHalfWorldM - range.y0 * tileM,
                             0,
                             -tileM / kTilePx};
    GDALSetGeoTransform(composite.get(), gt.data());
    const OGRSpatialReferenceH mercator = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(mercator, 3857);
    GDALSetSpatialRef(composite.get(), mercator);
    OSRDestroySpatialReference(mercator);
    int band = 1;
    for (const GDALColorInterp meaning : {GCI_RedBand, GCI_GreenBand, GCI_BlueBand, GCI_AlphaBand})
        GDALSetRasterColorInterpretation(GDALGetRasterBand(composite.get(), band++), meaning);
}

void TileCanvas::Put(int x, int y, const TilePixels& pixels)
{
    if (GDALDatasetRasterIO(composite.get(), GF_Write, (x - range.x0) * kTilePx, (y - range.y0) * kTilePx,
                            kTilePx, kTilePx, const_cast<std::uint8_t*>(pixels.data()), kTilePx, kTilePx,
                            GDT_Byte, 4, nullptr, 0, 0, 0) == CE_None)
        ++placed;
}

// A tile of a read: its column and XYZ row, and its file relative to the cache folder.
struct WantedTile {
    int x = 0, y = 0;
    fs::path cached;
};

std::string TileUrl(const TileTemplate& tiles, int zoom, int x, int y)
{
    const int lastRow = (1 << zoom) - 1;
    std::string url = tiles.url;
    ReplaceAll(url, "{z}", std::to_string(zoom));
    ReplaceAll(url, "{x}", std::to_string(x));
    ReplaceAll(url, "{y}", std::to_string(tiles.rowsFromSouth ? lastRow - y : y));
    ReplaceAll(url, "{-y}", std::to_string(lastRow - y));
    return url;
}

// What went wrong in one read, told in one notice: the most telling kind only.
struct Problems {
    int unreachable = 0, httpErrors = 0, notImages = 0;
    std::string unreachableDetail, httpDetail;

    void Count(const TileAnswer& answer)
    {
        if (answer.outcome == TileOutcome::Unreachable && unreachable++ == 0)
            unreachableDetail = answer.detail;
        if (answer.outcome == TileOutcome::HttpError && httpErrors++ == 0)
            httpDetail = answer.detail;
    }

    std::string Notice(const std::string& name, int tilesFromCache) const
    {
        if (unreachable > 0)
            return tilesFromCache > 0
                       ? i18n::Format(i18n::Translate("raster", "无法连接影像服务“%1”，显示已缓存的影像"
                                                                "（%2 个瓦片未能下载：%3）"),
                                      {name, std::to_string(unreachable), unreachableDetail})
                       : i18n::Format(i18n::Translate("raster", "无法连接影像服务“%1”，此处暂无影像（%2）"),
                                      {name, unreachableDetail});
        if (httpErrors > 0)
            return i18n::Format(
                i18n::Translate("raster", "影像服务“%1”拒绝了 %2 个瓦片请求（%3），这些位置留空"),
                {name, std::to_string(httpErrors), httpDetail});
        if (notImages > 0)
            return i18n::Format(
                i18n::Translate("raster", "影像服务“%1”返回的 %2 个瓦片不是图像（可能是网页或错误信息），"
                                          "这些位置留空；请检查瓦片地址"),
                {name, std::to_string(notImages)});
        return {};
    }
};

// Puts the canvas's tiles that the cache holds; answers the others, also cached ones that no
// longer decode, which are deleted to be fetched again.
std::vector<WantedTile> PutCachedTiles(TileCanvas& canvas, TileDiskCache* cache, const std::string& cacheKey)
{
    const TileRange& range = canvas.range;
    std::vector<WantedTile> uncached;
    for (int y = range.y0; y <= range.y1; ++y)
        for (int x = range.x0; x <= range.x1; ++x) {
            WantedTile tile{x, y,
                            fs::path(cacheKey) / std::to_string(range.zoom) / std::to_string(x) /
                                std::to_string(y)};
            if (std::optional<std::string> bytes = cache ? cache->Load(tile.cached) : std::nullopt) {
                if (const std::optional<TilePixels> pixels = DecodeTile(*bytes, true)) {
                    canvas.Put(x, y, *pixels);
                    continue;
                }
                cache->Discard(tile.cached);
            }
            uncached.push_back(std::move(tile));
        }
    return uncached;
}

// Fetches the tiles, puts those that decode and caches them.
Problems FetchAndPut(TileCanvas& canvas, const std::vector<WantedTile>& wanted, const TileTemplate& tiles,
                     TileDiskCache* cache)
{
    std::vector<std::string> urls;
    for (const WantedTile& tile : wanted)
        urls.push_back(TileUrl(tiles, canvas.range.zoom, tile.x, tile.y));
    std::vector<TileAnswer> answers = FetchTiles(urls);
    Problems problems;
    for (std::size_t k = 0; k < answers.size(); ++k) {
        problems.Count(answers[k]);
        if (answers[k].outcome != TileOutcome::Image)
            continue;
        if (const std::optional<TilePixels> pixels = DecodeTile(answers[k].bytes, false)) {
            canvas.Put(wanted[k].x, wanted[k].y, *pixels);
            if (cache)
                cache->Store(wanted[k].cached, answers[k].bytes);
        } else {
            ++problems.notImages;
        }
    }
    return problems;
}

}  // namespace

bool LooksLikeTileTemplate(const std::string& source)
{
    if (StartsWithIgnoringCase(source, "tms:"))
        return true;
    for (const char* placeholder : {"{z}", "{x}", "{y}", "{-y}"})
        if (source.find(placeholder) != std::string::npos)
            return true;
    return false;
}

TileTemplate ParseTileTemplate(const std::string& source)
{
    TileTemplate tiles;
    tiles.url = source;
    if (StartsWithIgnoringCase(tiles.url, "tms:")) {
        tiles.rowsFromSouth = true;
        tiles.url.erase(0, 4);
    }
    if (const std::size_t at = tiles.url.rfind("#maxzoom="); at != std::string::npos) {
        const std::string digits = tiles.url.substr(at + 9);
        if (digits.empty() || digits.size() > 2 ||
            !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }) ||
            std::stoi(digits) > kMaxZoomLimit)
            throw ImageryError(i18n::Format(
                i18n::Translate("raster", "瓦片地址“%1”的 #maxzoom= 后应为 0 到 22 的整数"), {source}));
        tiles.maxZoom = std::stoi(digits);
        tiles.url.erase(at);
    }
    if (tiles.url.find("{-y}") != std::string::npos)
        tiles.rowsFromSouth = true;
    const bool hasRow =
        tiles.url.find("{y}") != std::string::npos || tiles.url.find("{-y}") != std::string::npos;
    for (const auto& [present, placeholder] :
         {std::pair(tiles.url.find("{z}") != std::string::npos, "{z}"),
          std::pair(tiles.url.find("{x}") != std::string::npos, "{x}"), std::pair(hasRow, "{y}")})
        if (!present)
            throw ImageryError(
                i18n::Format(i18n::Translate("raster", "瓦片地址“%1”缺少 %2：XYZ 瓦片地址须同时含有 "
                                                       "{z}、{x} 和 {y}（TMS 行号用 {-y}）"),
                             {source, placeholder}));
    if (!StartsWithIgnoringCase(tiles.url, "http://") && !StartsWithIgnoringCase(tiles.url, "https://"))
        throw ImageryError(
            i18n::Format(i18n::Translate("raster", "瓦片地址“%1”不是 http:// 或 https:// 地址"), {source}));
    return tiles;
}

int ChooseZoom(const geodesy::GeoBox& window, int widthPx, int heightPx, int maxZoom, int maxTiles)
{
    // Degrees of longitude map linearly to Mercator x; a degree of latitude is stretched by
    // sec φ, least at the latitude nearest the equator, which therefore sets the level.
    const double nearestEquatorDeg = window.southDeg <= 0 && window.northDeg >= 0
                                         ? 0.0
                                         : std::min(std::abs(window.southDeg), std::abs(window.northDeg));
    const double lonPxPerDeg = widthPx / (window.eastDeg - window.westDeg);
    const double latPxPerDeg = heightPx / (window.northDeg - window.southDeg) *
                               std::cos(std::min(nearestEquatorDeg, kMaxLatDeg) * std::numbers::pi / 180.0);
    const double worldPx = std::max(lonPxPerDeg, latPxPerDeg) * 360.0;
    int zoom = static_cast<int>(std::ceil(std::log2(worldPx / kTilePx) - kZoomSlack));
    zoom = std::clamp(zoom, 0, std::clamp(maxZoom, 0, kMaxZoomLimit));
    while (zoom > 0 && RangeAt(window, zoom).Count() > maxTiles)
        --zoom;
    return zoom;
}

TileService::TileService(std::string name, TileTemplate tiles, const ImageryOptions& options)
    : name_(std::move(name)), tiles_(std::move(tiles)),
      cacheKey_(HashHex((tiles_.rowsFromSouth ? "tms:" : "") + tiles_.url))
{
    if (!options.cacheFolder.empty())
        cache_ = TileDiskCache::ForFolder(options.cacheFolder, options.diskCacheBoundBytes);
}

TileService::~TileService() = default;

ImageryRead TileService::Read(const geodesy::GeoBox& window, int widthPx, int heightPx)
{
    EnsureGdalRegistered();
    const QuietGdalErrors quiet;
    ImageryRead read{TransparentImage(window, widthPx, heightPx), {}};
    const geodesy::GeoBox world{.southDeg = std::max(window.southDeg, -kMaxLatDeg),
                                .westDeg = std::max(window.westDeg, -180.0),
                                .northDeg = std::min(window.northDeg, kMaxLatDeg),
                                .eastDeg = std::min(window.eastDeg, 180.0)};
    if (!(world.eastDeg > world.westDeg && world.northDeg > world.southDeg))
        return read;
    TileCanvas canvas(RangeAt(world, ChooseZoom(world, widthPx, heightPx, tiles_.maxZoom, kMaxTilesPerRead)));
    if (!canvas.composite)
        return read;
    const std::vector<WantedTile> uncached = PutCachedTiles(canvas, cache_.get(), cacheKey_);
    const int fromCache = canvas.placed;
    const Problems problems = FetchAndPut(canvas, uncached, tiles_, cache_.get());
    read.notice = problems.Notice(name_, fromCache);
    if (canvas.placed == 0)
        return read;
    if (std::optional<GeoImage> image = WarpToGeoImage(canvas.composite.get(), window, widthPx, heightPx))
        read.image = std::move(*image);
    return read;
}

}  // namespace keldarn::raster
