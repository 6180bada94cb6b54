#pragma once

// Service tiles fetched over HTTP(S), several at once, through GDAL's libcurl
// (CPLHTTPMultiFetch), with the timeouts EnsureGdalRegistered sets or the user's GDAL_HTTP_*
// settings.

#include <string>
#include <vector>

namespace keldarn::raster {

// How the fetch of one tile turned out. Missing: 404, 410, 204 or an empty body, which tile
// services answer where they have nothing.
enum class TileOutcome { Image, Missing, HttpError, Unreachable };

struct TileAnswer {
    TileOutcome outcome = TileOutcome::Missing;
    std::string bytes;   // of Image: the body, not yet decoded, so not yet known to be an image
    std::string detail;  // of HttpError: "HTTP 500"; of Unreachable: libcurl's message
};

// The answers to `urls`, in their order.
std::vector<TileAnswer> FetchTiles(const std::vector<std::string>& urls);

}  // namespace keldarn::raster
