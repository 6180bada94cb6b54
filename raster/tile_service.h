#pragma once

// XYZ and TMS tile services: Web Mercator (EPSG:3857) tiles of 256 × 256 pixels, 2^z × 2^z of them
// at zoom level z over longitudes ±180° and latitudes ±85.0511°, fetched by our own fetcher
// through a disk cache (see TileDiskCache).

#include "raster/imagery_source.h"

#include <memory>
#include <string>

namespace keldarn::raster {

class TileDiskCache;

// A tile template such as "https://tile.example/{z}/{x}/{y}.png".
struct TileTemplate {
    std::string url;             // with {z}, {x} and {y} or {-y}, without "tms:" and "#maxzoom=N"
    bool rowsFromSouth = false;  // TMS: row 0 at the south edge; XYZ: at the north edge
    int maxZoom = 19;            // finest zoom level asked for
};

// Whether the user means the source as a tile template: a "tms:" prefix or any of {z}, {x}, {y},
// {-y} in it.
bool LooksLikeTileTemplate(const std::string& source);

// The template the source names. Throws ImageryError naming the source if {z}, {x} or {y} ({-y})
// is missing, it is not an http(s) address, or the "#maxzoom=N" suffix is not 0..22.
TileTemplate ParseTileTemplate(const std::string& source);

// The zoom level (0..maxZoom) whose tiles give at least the resolution of widthPx × heightPx
// over `window`, or within 2^0.25 (19 %) of it; then coarser while more than maxTiles tiles would
// cover the window.
int ChooseZoom(const geodesy::GeoBox& window, int widthPx, int heightPx, int maxZoom, int maxTiles);

class TileService {
public:
    // name: the source as the user gave it, for notices. No disk cache if options.cacheFolder is
    // empty.
    TileService(std::string name, TileTemplate tiles, const ImageryOptions& options);
    ~TileService();

    // The tiles over `window` at the zoom level ChooseZoom picks, fetched in parallel (cached ones
    // are not asked for), composited and warped into latitude/longitude. A missing tile (404, 204,
    // an empty answer) stays transparent without a notice; one that cannot be fetched, an HTTP
    // error or an answer that is not an image also stays transparent and is told in one notice.
    // A cached tile that no longer decodes is deleted and fetched again. Never throws.
    ImageryRead Read(const geodesy::GeoBox& window, int widthPx, int heightPx);

private:
    std::string name_;
    TileTemplate tiles_;
    std::string cacheKey_;  // folder of this template's tiles in the cache
    std::shared_ptr<TileDiskCache> cache_;
};

}  // namespace keldarn::raster
