#pragma once

// Owning handles of GDAL objects: a dataset closed and a coordinate transformation destroyed
// when the handle goes. For code that links GDAL itself.

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <memory>

namespace keldarn::raster {

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(GDALDataset::ToHandle(dataset)); }
};
using DatasetPtr = std::unique_ptr<GDALDataset, DatasetCloser>;

struct TransformationDestroyer {
    void operator()(OGRCoordinateTransformation* ct) const { OGRCoordinateTransformation::DestroyCT(ct); }
};
using TransformationPtr = std::unique_ptr<OGRCoordinateTransformation, TransformationDestroyer>;

}  // namespace keldarn::raster
