#pragma once

// The heights terrain work asks for, taken from the terrain the viewer shows: the DEM at
// full resolution, opened anew so that a worker thread has a GDAL dataset of its own, or
// the demonstration terrain's grid. The query owns what it reads, so it may outlive a change
// of terrain in the viewer.

#include "survey/height_query.h"

#include <string>

namespace keldarn::earth {
class TerrainApplication;
}

namespace keldarn::app {

struct RunHeights {
    survey::HeightQuery query;
    std::string demPath;  // UTF-8; empty for the demonstration terrain
};

// Throws TerrainError (naming the file) when the DEM cannot be opened again.
RunHeights HeightsForRun(const earth::TerrainApplication& viewer);

}  // namespace keldarn::app
