#pragma once

// What every reader of GDAL rasters here needs: the drivers registered once, GDAL's own
// reports kept off stderr while a file is read, the last report for a message, and the
// names by which GDAL reads rasters on a web server.

#include <gdal.h>

#include <string>
#include <vector>

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

// A rectangle of a band's cells: the first column and row (0-based from the top-left cell) and
// its size in cells.
struct CellWindow {
    int column = 0;
    int row = 0;
    int columns = 0;
    int rows = 0;
};

// The parts of the window that the band's file never wrote: the blocks a sparse tiled GeoTIFF
// left out, the area of a VRT that no source covers (or whose source is gone). GDAL reads them
// as the no-data value where the band has one and as 0 otherwise, which is no height. Asked of
// GDAL once for the window and, where it is partly written, once per block of the band or per
// group of blocks, so at most about maxQueries times; a partly written group is kept whole.
// Empty where the driver cannot tell.
std::vector<CellWindow> UnwrittenParts(GDALRasterBandH band, const CellWindow& window, int maxQueries = 4096);

// The file a raw band (VRTRawRasterBand) reads in a VRT from an address: the VRT itself or a VRT
// it names as a source, at any depth, also a local VRT named from an address; empty if there
// is none. A raw band reads any file by byte offsets, so a VRT on a server could pass off the
// bytes of a local file (/etc/passwd, /dev/zero) as heights. A VRT on the local disk is the
// user's own and keeps its raw bands. GDAL 3.6 has no switch to refuse them
// (GDAL_VRT_ENABLE_RAWRASTERBAND came later), so the VRT documents are read here.
std::string RawBandFromAddress(GDALDatasetH dataset);

// For a failed read of a VRT: the first source file under the window that cannot be reached,
// in UTF-8 for a message (bytes of the name that are none shown as U+FFFD), empty if none or
// not a VRT. A missing source on a server leaves GDAL to say only
// "HTTP response code: 404".
std::string MissingVrtSource(GDALRasterBandH band, const CellWindow& window);

// GDAL's last report as the tail of a message for the user, "（GDAL：…）", or empty text.
std::string GdalDetail();

}  // namespace keldarn::raster
