#pragma once

#include "geodesy/coordinates.h"
#include "raster/block_cache.h"
#include "raster/raster_error.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace keldarn::raster {

// What the viewer shows about an elevation raster.
struct RasterDescription {
    std::string name;            // file or folder name without parent folders, e.g. "N30E110.hgt";
                                 // of an address, its last path component without the query
    std::string crsName;         // e.g. "WGS 84 / UTM zone 49N"
    double cellWidth = 0.0;      // size of a cell along a row, in unitName (rotations included)
    double cellHeight = 0.0;     // size of a cell along a column, in unitName
    std::string unitName;        // unit of the cell size: "metre", "degree", "US survey foot", ...
    double metresPerUnit = 1.0;  // length of unitName in metres; 0 for angular units
    int columns = 0;             // size in cells
    int rows = 0;
};

// Heights from band 1 of a DEM at full resolution, in the raster's own CRS: the WGS84 point is
// carried into that CRS, then to pixel/line through the inverse geotransform (rotations
// allowed), and interpolated bilinearly between the four surrounding cell centres.
//
// Conventions:
// - Cell centres are at pixel + 0.5, also for AREA_OR_POINT=Point rasters: GDAL already moves
//   the geotransform of such files (SRTM .hgt, GeoTIFF PixelIsPoint) by half a cell so that it
//   always describes cell corners, and the samples are the cell centres.
// - Void samples drop out and the weights of the others are renormalised; weights below 1e-9
//   count as zero. Nothing is answered only when every sample of non-zero weight is void.
//   Void are the band's no-data value, NaN, and samples that the band's mask sets to 0: the
//   alpha band of a folder mosaic (gaps between tiles), a GeoTIFF's internal mask, a .msk.
// - Within the outer half cell (between the outermost centres and the raster's edge) the edge
//   samples extend outwards; beyond the edge nothing is answered.
// - Integer rasters are read as double (never rounded); the band's scale and offset apply.
//
// Thread-safety: every member is safe to call from several threads (one mutex serialises
// them). For parallel sampling give each thread a source of its own, which also gives each
// its own GDAL dataset.
class ElevationSource {
public:
    // path (UTF-8): anything GDAL opens as a raster (file, VRT, /vsizip/..., /vsicurl/...), a
    // folder or zip archive of tiles, read as their mosaics, one per coordinate system (see
    // BuildFolderMosaics): a point is answered by the finest mosaic that has a height there,
    // each in its own CRS, so tiles in two UTM zones are used alike; or the http(s) address of
    // a Cloud-Optimized GeoTIFF or a VRT on a web server, read block by block with range
    // requests (see GdalPathOf); only the blocks sampled are downloaded. A remote raster is
    // opened without looking for side files, so its georeferencing must be inside it.
    // cacheBoundBytes: memory bound of the decoded blocks.
    // Throws RasterError (message names the file or address as given, and the reason) if the
    // file cannot be read, has no geotransform or no CRS, the CRS cannot be reached from WGS84,
    // or the raster is smaller than 2 × 2 cells; for a folder, also if it holds no georeferenced
    // raster; for an address, also if the server does not answer (within about 15 s).
    explicit ElevationSource(const std::string& path,
                             std::size_t cacheBoundBytes = BlockCache::kDefaultBoundBytes);
    ~ElevationSource();
    ElevationSource(const ElevationSource&) = delete;
    ElevationSource& operator=(const ElevationSource&) = delete;

    // Height (metres, in the raster's vertical datum) at a WGS84 point, or nothing outside the
    // raster or over voids. Throws RasterError only if GDAL fails to read the file, e.g. a
    // tile that a VRT names is missing or the server of an address has gone: one error per
    // call, naming the raster and GDAL's report on the first file that failed. Blocks read
    // before stay in the cache and keep answering.
    std::optional<double> HeightM(double latDeg, double lonDeg);

    // HeightM for many points, with one coordinate transformation for all of them (much
    // faster than point by point). heightsM.size() must equal points.size().
    void HeightsM(std::span<const geodesy::GeoPoint> points, std::span<std::optional<double>> heightsM);

    const RasterDescription& Description() const;

    // The ground the source covers, in WGS84 degrees: the box around the outlines of its
    // rasters (each edge carried from the raster's CRS at 32 points), of every mosaic of a
    // folder. Nothing when no outline can be carried to WGS84.
    std::optional<geodesy::GeoBox> Wgs84Extent() const;

    // Bytes held by the block cache now, and its bound.
    std::size_t CacheBytesHeld() const;
    std::size_t CacheBoundBytes() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace keldarn::raster
