#pragma once

// Imagery draped on the terrain: images in plate carrée (latitude and longitude linear),
// a coarse one of the whole layer and finer ones of the ground in view as they arrive. At a
// ground point the finest image wins; where it is transparent or ends, the coarser ones
// show through. The renderer mixes the result over the shaded relief with the layer's
// opacity.

#include "earth/terrain.h"
#include "raster/imagery_source.h"

#include <QRgb>

#include <memory>
#include <vector>

namespace keldarn::earth {

class ImageryDrape {
public:
    // coarseToFine: images with at least one pixel each; opacity 0..1.
    ImageryDrape(std::vector<std::shared_ptr<const raster::GeoImage>> coarseToFine, double opacity);

    const std::vector<std::shared_ptr<const raster::GeoImage>>& Images() const { return images_; }
    double Opacity() const { return opacity_; }
    // Bytes of the images held.
    std::size_t Bytes() const;

private:
    std::vector<std::shared_ptr<const raster::GeoImage>> images_;
    double opacity_;
};

// A drape's images seen from one terrain grid: image pixel coordinates are linear in the
// grid's column and row, so a frame maps them once instead of once per pixel.
class DrapeSampler {
public:
    DrapeSampler(const ImageryDrape& drape, const GridGeometry& grid);

    // Mixes the imagery at grid point (column, row) over `ground`: each image's bilinear
    // colour weighted by its alpha, finer images over coarser ones, then the whole by the
    // layer's opacity. Ground without imagery keeps its colour.
    QRgb Over(QRgb ground, float column, float row) const;

private:
    // Image pixel x = xPerColumn·column + x0, y = yPerRow·row + y0, pixel centres at
    // integers, from the finest image to the coarsest.
    struct Mapping {
        const raster::GeoImage* image;
        double xPerColumn, x0, yPerRow, y0;
    };
    std::vector<Mapping> fineToCoarse_;
    float opacity_;
};

}  // namespace keldarn::earth
