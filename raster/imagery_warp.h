#pragma once

// Georeferenced GDAL rasters of imagery as GeoImages: warped with GDALWarp into WGS84
// latitude/longitude and packed as ARGB.

#include "raster/imagery_source.h"
#include "raster/mosaic.h"

#include <optional>
#include <string>

namespace keldarn::raster {

// widthPx × heightPx transparent pixels over `window`.
GeoImage TransparentImage(const geodesy::GeoBox& window, int widthPx, int heightPx);

// Whether GDAL can place the dataset on the ground: a geotransform with a CRS, or GCPs with one.
bool IsGeoreferenced(void* dataset);

// A paletted band 1 expanded to red, green, blue and alpha (a virtual raster reading `dataset`,
// which must outlive it); nothing for any other raster, which GDALWarp takes as it is.
OwnedDataset ExpandedPalette(void* dataset);

// The coordinate system of an image placed by a world file alone (a geotransform without a CRS):
// the ESRI .prj beside the file, as GIS software writes it, or else WGS84 when the world file is
// in degrees (its corners within ±180° and ±90°). A virtual raster reading `dataset`, which must
// outlive it; nothing for a dataset that has a CRS or no geotransform, or when neither applies.
OwnedDataset WithWorldFileCrs(void* dataset, const std::string& path);

// `dataset` (a GDALDatasetH) over `window` at widthPx × heightPx, bilinear, from the overview that
// fits that resolution (GDAL's choice). Bands: 1 grey, 2 grey and alpha, 3 or more red, green,
// blue (and alpha); an alpha band, a no-data value or a mask makes pixels transparent, and so does
// anything outside the raster. Nothing if GDAL fails; GdalDetail() then tells why.
std::optional<GeoImage> WarpToGeoImage(void* dataset, const geodesy::GeoBox& window, int widthPx,
                                       int heightPx);

// The dataset's extent in WGS84 (edges densified, so a projected raster's curved edges are
// enclosed), or nothing if it cannot be carried into WGS84.
std::optional<geodesy::GeoBox> ExtentInWgs84(void* dataset);

}  // namespace keldarn::raster
