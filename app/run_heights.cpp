#include "app/run_heights.h"

#include "earth/terrain_application.h"

#include <memory>

namespace keldarn::app {

RunHeights HeightsForRun(const earth::TerrainApplication& viewer)
{
    RunHeights heights;
    heights.demPath = viewer.Source().path;
    std::shared_ptr<raster::ElevationSource> source = earth::OpenHeightSource(viewer.Source());
    if (source) {
        heights.query = [source](std::span<const geodesy::GeoPoint> points,
                                 std::span<std::optional<double>> found) { source->HeightsM(points, found); };
        return heights;
    }
    heights.demPath.clear();
    std::shared_ptr<const earth::Terrain> terrain = viewer.SharedTerrain();
    heights.query = [terrain](std::span<const geodesy::GeoPoint> points,
                              std::span<std::optional<double>> found) {
        for (std::size_t k = 0; k < points.size(); ++k)
            found[k] = terrain->ElevationM(points[k].latDeg, points[k].lonDeg);
    };
    return heights;
}

}  // namespace keldarn::app
