#pragma once

// A folder of DEM tiles seen as rasters: every georeferenced raster directly inside the
// folder (or anywhere in a zip archive), mosaicked by GDAL into virtual rasters held in
// memory, one for each coordinate system among the tiles.

#include "i18n/interface_text.h"

#include <memory>
#include <string>
#include <vector>

namespace keldarn::raster {

// Closes a GDALDatasetH.
struct GdalDatasetCloser {
    void operator()(void* dataset) const;
};
using OwnedDataset = std::unique_ptr<void, GdalDatasetCloser>;

// The tiles in `folder` (UTF-8), grouped by coordinate system: one virtual raster per system
// (tiles in two UTM zones give two), each at the finest resolution of its tiles, the group of
// finer cells (in metres on the ground) first. Within a group the tiles are taken in file-name
// order. Band 1 holds the heights; an alpha band after the tiles' bands is 0 wherever no tile
// of the group has data (gaps between tiles, the corners of the bounding box), so band 1's
// mask marks those voids even when the tiles declare no no-data value.
// Red, green, blue tiles (imagery) give red, green, blue and that alpha band.
//
// Every raster of the folder is used or the folder is refused: side files (.ovr, .aux.xml,
// .msk, .prj, .tfw, .hdr, ...) belong to their rasters and files that no GDAL driver
// recognises (notes, checksums) are passed over, but a file that GDAL recognises and cannot
// open, a raster without a geotransform or coordinate system, and a tile that GDAL would leave
// out of its group's mosaic are refused by name.
//
// Each call builds rasters of its own whose tiles are opened for them alone, never through
// handles shared with another mosaic: a mosaic may be used on any thread, one thread at a time,
// beside the mosaics of other threads.
//
// A zip archive of tiles is read the same way, through GDAL's /vsizip/.
// Throws RasterError naming the folder (and the file at fault) if it cannot be listed, holds
// no usable raster, or the tiles cannot be mosaicked; `kind` names what the folder holds in
// that message ("高程栅格", "影像").
std::vector<OwnedDataset> BuildFolderMosaics(const std::string& folder,
                                             const std::string& kind = i18n::Translate("raster", "高程栅格"));

// BuildFolderMosaics for readers that need one raster in one coordinate system: throws
// RasterError naming the coordinate systems found when the tiles have several.
OwnedDataset BuildFolderMosaic(const std::string& folder,
                               const std::string& kind = i18n::Translate("raster", "高程栅格"));

// Whether a path (UTF-8) names a local zip archive of tiles.
bool IsTileArchive(const std::string& path);
// Whether a path names tiles to mosaic: a local folder or a zip archive.
bool IsTileCollection(const std::string& path);

}  // namespace keldarn::raster
