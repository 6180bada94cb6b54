#pragma once

// What every reader of GDAL rasters here needs: the drivers registered once, GDAL's own
// reports kept off stderr while a file is read, the last report for a message, and the
// names by which GDAL reads rasters on a web server.

#include <string>

namespace keldarn::raster {

// Registers GDAL's drivers, once per process; safe from any thread. Also sets how rasters on
// web servers are read (timeouts, no folder listing), each setting only where the user has not
// set it in the environment.
void EnsureGdalRegistered();

// The name GDAL opens a source by. An http:// or https:// address (scheme in any case) becomes
// a /vsicurl/ path, which GDAL reads with range requests: a Cloud-Optimized GeoTIFF or a VRT
// costs a few small requests per block instead of a download of the whole file. Anything
// else (local paths, /vsizip/..., /vsicurl/... already) is returned unchanged.
std::string GdalPathOf(const std::string& source);

// True if the source is read over the network: an http(s) address, or a GDAL path through
// one of its network file systems (/vsicurl/, /vsis3/, ...), also inside an archive path such
// as /vsizip//vsicurl/....
bool IsRemoteSource(const std::string& source);

// While alive, GDAL's reports are collected instead of printed on stderr; the last one
// stays available to GdalDetail().
class QuietGdalErrors {
public:
    QuietGdalErrors();
    ~QuietGdalErrors();
    QuietGdalErrors(const QuietGdalErrors&) = delete;
    QuietGdalErrors& operator=(const QuietGdalErrors&) = delete;
};

// GDAL's last report as the tail of a message for the user, "（GDAL：…）", or empty text.
std::string GdalDetail();

}  // namespace keldarn::raster
