#pragma once

// A folder of DEM tiles seen as one raster: every georeferenced raster directly inside the
// folder, mosaicked by GDAL into a virtual raster held in memory.

#include "i18n/interface_text.h"

#include <memory>
#include <string>

namespace keldarn::raster {

// Closes a GDALDatasetH.
struct GdalDatasetCloser {
    void operator()(void* dataset) const;
};
using OwnedDataset = std::unique_ptr<void, GdalDatasetCloser>;

// The tiles directly in `folder` (UTF-8), sorted by file name, as one virtual raster at the
// finest resolution among them. Band 1 holds the heights; an alpha band after the tiles'
// bands is 0 wherever no tile has data (gaps between tiles, the corners of the bounding
// box), so band 1's mask marks those voids even when the tiles declare no no-data value.
// Files that GDAL cannot open, rasters without a geotransform and side files (.ovr, .aux.xml,
// .msk, .prj, .tfw, .hdr) are skipped.
// Red, green, blue tiles (imagery) give red, green, blue and that alpha band.
// Throws RasterError naming the folder if it cannot be listed,
// holds no usable raster, or the tiles cannot be mosaicked; `kind` names what the folder holds
// in that message ("高程栅格", "影像").
// A zip archive of tiles is read the same way, through GDAL's /vsizip/, with the tiles in
// its folders too.
OwnedDataset BuildFolderMosaic(const std::string& folder,
                               const std::string& kind = i18n::Translate("raster", "高程栅格"));

// Whether a path (UTF-8) names a local zip archive of tiles.
bool IsTileArchive(const std::string& path);
// Whether a path names tiles to mosaic: a local folder or a zip archive.
bool IsTileCollection(const std::string& path);

}  // namespace keldarn::raster
