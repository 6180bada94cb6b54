#pragma once

// Reading an elevation model with GDAL: one raster file in any format and coordinate system
// GDAL reads (GeoTIFF, SRTM .hgt, ASCII grid, VRT, ...), or a folder of tiles mosaicked
// into one virtual raster. The result is resampled into a WGS84 geographic grid in memory.

#include "earth/terrain.h"
#include "geodesy/coordinates.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace keldarn::earth {

struct DemReadOptions {
    // The largest grid held in memory (samples; 4 bytes each). A bigger source is first
    // decimated to fit (the nearest sample per coarse cell, from the source's overviews
    // where it has them), so reading it costs about as much as the grid it makes.
    std::int64_t maxCells = std::int64_t{64} << 20;
    // Only the part of the source under this window (and a few cells around it); the
    // whole source when absent. Throws TerrainError when the window misses the source.
    std::optional<geodesy::GeoBox> window;
    // The most a read may decode of the source's blocks (bytes). A source that would need
    // more, for want of overviews, is refused with a message that says how to make them.
    std::uint64_t maxDecodedBytes = std::uint64_t{4} << 30;
};

// Reads band 1 of the raster at `path` (UTF-8), or mosaics every georeferenced raster
// directly inside the folder at `path`. A source already in WGS84 geographic coordinates,
// north up, that fits is copied sample for sample; any other is warped bilinearly to
// EPSG:4326. Tiles of a folder in several coordinate systems are read as one mosaic per
// system and joined in one grid, the finer mosaic where they overlap. No-data values, masks and values beyond
// ±100 km become holes. Throws TerrainError naming the path and the reason: missing, not readable by GDAL,
// not georeferenced, no coordinate system, a folder without rasters, no data at all, or more blocks to decode
// than options.maxDecodedBytes allows.
std::shared_ptr<const Terrain> ReadDemTerrain(const std::string& path, const DemReadOptions& options = {});

}  // namespace keldarn::earth
