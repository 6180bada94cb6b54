#pragma once

// Heights for many WGS84 points at once, as the terrain products ask for them: from the DEM
// at full resolution (raster::ElevationSource::HeightsM), or in tests from a function.

#include "raster/elevation_source.h"

#include <functional>
#include <optional>
#include <span>

namespace keldarn::survey {

// Fills heightsM (metres, same size as points) with the height of each point, or nothing
// where there is no terrain (outside the DEM, over voids). May throw raster::RasterError.
using HeightQuery =
    std::function<void(std::span<const geodesy::GeoPoint> points, std::span<std::optional<double>> heightsM)>;

// The query of a DEM; the source must outlive the query.
inline HeightQuery HeightsOf(raster::ElevationSource& source)
{
    return [&source](std::span<const geodesy::GeoPoint> points, std::span<std::optional<double>> heightsM) {
        source.HeightsM(points, heightsM);
    };
}

}  // namespace keldarn::survey
