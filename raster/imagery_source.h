#pragma once

// Imagery for the terrain viewer to drape on the terrain: georeferenced image files, folders of
// them, and tile services on the web, all answered as images in WGS84 latitude/longitude.

#include "geodesy/coordinates.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace keldarn::raster {

// An imagery source cannot be used; what() is a message for the user that names the source.
class ImageryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// widthPx × heightPx pixels covering `bounds` (WGS84) edge to edge in plate carrée (lat/lon linear), north
// up, pixel (0,0) at the north-west corner, row by row; pixels 0xAARRGGBB, not premultiplied (the
// layout of Qt's QRgb), 0 (alpha 0) where the source has nothing.
struct GeoImage {
    geodesy::GeoBox bounds;
    int widthPx = 0;
    int heightPx = 0;
    std::vector<std::uint32_t> argb;
};

struct ImageryOptions {
    std::filesystem::path cacheFolder;                           // disk cache of service tiles; empty: none
    std::uint64_t diskCacheBoundBytes = std::uint64_t{1} << 30;  // bound of everything in cacheFolder
};

struct ImageryRead {
    GeoImage image;
    // A quiet notice for the user (it names the source), empty when all went well: e.g. the
    // service could not be reached and cached tiles are shown, or it answered something that is not
    // an image. One notice per read however many tiles failed, so the caller shows it once.
    std::string notice;
};

// Where the user names a source (UTF-8):
// - a georeferenced raster file: GeoTIFF/COG, JPEG or PNG with a world file and .prj, JPEG 2000,
//   MBTiles, anything GDAL reads as a raster with a geotransform and CRS, or with GCPs; also
//   any other http(s) address, read as a COG or VRT by range requests;
// - a local folder or zip archive of such files, read as their mosaic (see BuildFolderMosaic);
// - an XYZ tile template, "https://host/{z}/{x}/{y}.png"; "{-y}" or a "tms:" prefix numbers the
//   rows from the south (TMS); an optional "#maxzoom=N" suffix (0..22, default 19) caps the zoom
//   level asked for;
// - a WMTS capabilities document: "WMTS:url", or an http(s) address containing "WMTS" in any case;
// - a WMS service: "WMS:url", or an http(s) address with "service=WMS".
//   Of a service with several layers the first is shown; GDAL's "WMTS:url,layer=name" picks one.
// Files are read with GDAL; tiles of templates with our own fetcher and disk cache (see
// TileService); WMTS and WMS through GDAL's drivers, with their cache in cacheFolder/gdalwms.
//
// Thread-safety: every member is safe to call from several threads. File, WMTS and WMS reads are
// serialised (one GDAL dataset); template reads run in parallel.
class ImagerySource {
public:
    // Opens and checks the source. Throws ImageryError naming it if GDAL cannot read the file, the
    // raster has no georeferencing, a template lacks {z}, {x} or {y}, an http(s) address is neither a
    // template, WMTS, WMS nor a raster GDAL reads, or GDAL cannot open the WMTS/WMS service.
    ImagerySource(const std::string& source, ImageryOptions options);
    ~ImagerySource();
    ImagerySource(const ImagerySource&) = delete;
    ImagerySource& operator=(const ImagerySource&) = delete;

    // The source as the user gave it, for messages (never a /vsi... form).
    const std::string& Name() const;
    // The source's coverage in WGS84, or nothing for a world-wide service.
    std::optional<geodesy::GeoBox> Coverage() const;

    // The imagery over `window` at widthPx × heightPx (both ≥ 1), resampled bilinearly from the
    // overview or zoom level that fits that resolution. Tiles that fail stay transparent and are
    // told in `notice`. Throws ImageryError only when a file source cannot be read any more (file
    // gone or damaged).
    ImageryRead Read(const geodesy::GeoBox& window, int widthPx, int heightPx);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The user's cache folder for service tiles: $XDG_CACHE_HOME/keldarn/tiles, else
// ~/.cache/keldarn/tiles (XDG base directories; a relative XDG_CACHE_HOME is ignored).
std::filesystem::path DefaultImageryCacheFolder();

}  // namespace keldarn::raster
