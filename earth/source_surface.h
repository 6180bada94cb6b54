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

// Where along the ray the source's surface is searched.
struct SourceStretch {
    double beginM = 0.0;             // the ray is above the source here (or at the camera)
    std::optional<double> gridHitM;  // where the ray meets the grid, if that is known
    TerrainHit near;                 // a point near the search, for the ray's steepness there
};

// The first point along the ray from stretch.beginM where it passes below the source's
// bilinear surface, to 0.05 m along the ray; its elevation is the source's height there.
// The march ends heightToleranceM below the grid's hit (or, without it, as far past the
// start as a ray falls through twice the tolerance), and is widened forwards a few times
// when the source surface is not met in it. Nothing when the source has no surface there
// (voids, or the ray passes over it). Throws raster::RasterError when the source cannot be
// read.
std::optional<TerrainHit> MeetSourceSurface(raster::ElevationSource& source, const Ray& ray,
                                            const SourceStretch& stretch, const SurfaceSearch& search);

// The sine of the angle at which the ray falls towards the ground near a point.
double RaySteepness(const Ray& ray, const TerrainHit& near);

// Where the ray is certainly heightToleranceM above a grid whose slope never exceeds
// gridMaxSlope, going back from the grid's hit: nothing for a ray too flat for the bound to
// help (then the grid raised by the tolerance must be cast).
std::optional<double> SearchStartM(const Ray& ray, const TerrainHit& gridHit, double heightToleranceM,
                                   double gridMaxSlope);

}  // namespace keldarn::earth
