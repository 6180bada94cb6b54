#pragma once

// The pixels of one service tile, decoded by GDAL from the bytes a server sent.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace keldarn::raster {

// Service tiles are kTilePx × kTilePx pixels; larger ones ("@2x", 512 px) are scaled down.
inline constexpr int kTilePx = 256;

// A tile's red, green, blue and alpha, each a plane of kTilePx × kTilePx samples, row by row.
using TilePixels = std::vector<std::uint8_t>;

// The tile in `bytes` (PNG, JPEG, WebP or GIF; paletted, grey, grey and alpha, RGB or RGBA), or
// nothing if GDAL cannot decode it: text, a web page, a truncated file. strict: also refuse a
// tile that GDAL decodes with a warning, as a JPEG cut short decodes ("Premature end of JPEG
// file"), for tiles read back from the disk cache. Calls from several threads are fine.
std::optional<TilePixels> DecodeTile(std::string& bytes, bool strict);

}  // namespace keldarn::raster
