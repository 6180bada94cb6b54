#pragma once

// Where a ray meets the DEM's own surface. The viewer's grid is a coarser picture of the
// DEM; a hit on it is only a first guess, refined here against the full-resolution heights
// of the source raster.

#include "earth/geocentric.h"
#include "earth/ray_caster.h"
#include "raster/elevation_source.h"

#include <optional>

namespace keldarn::earth {

// How far the grid's surface may stray from the source's, which bounds the search.
struct SurfaceSearch {
    double heightToleranceM = 0.0;  // the largest height difference grid − source (metres)
    double sourceCellM = 0.0;       // ground size of one source cell (metres), the march step
};

// The first point along the ray where it passes below the source's bilinear surface, to
// 0.05 m along the ray; its elevation is the source's height there. The search starts
// where the ray comes within heightToleranceM above the grid's surface (gridAbove, the hit
// on the grid raised by that much) and reaches heightToleranceM below the grid's hit; it
// is widened forwards when the source surface is not met in it. Nothing when the source
// has no surface there (voids, or the ray passes over it). Throws raster::RasterError when
// the source cannot be read.
std::optional<TerrainHit> MeetSourceSurface(raster::ElevationSource& source, const Ray& ray,
                                            const TerrainHit& gridAbove, const TerrainHit& gridHit,
                                            const SurfaceSearch& search);

}  // namespace keldarn::earth
