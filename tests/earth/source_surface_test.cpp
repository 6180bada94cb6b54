// Picks on a coarse picture of a rugged projected DEM land on the DEM's own surface.

#include "earth/dem_reader.h"
#include "earth/terrain_scene.h"
#include "terrain_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace keldarn::earth {
namespace {

using testing::ScratchDir;

// 400 × 400 cells of 30 m in UTM zone 49 around 30 N, 111 E, with ridges a few cells wide.
std::string WriteRuggedUtmDem(const ScratchDir& dir)
{
    constexpr int kSize = 400;
    std::vector<float> values(kSize * kSize);
    for (int r = 0; r < kSize; ++r)
        for (int c = 0; c < kSize; ++c)
            values[r * kSize + c] = static_cast<float>(800 + 150 * std::sin(c / 9.0) * std::cos(r / 6.0) +
                                                       60 * std::sin((c + 2 * r) / 2.1));
    const std::string path = dir.File("rugged.tif");
    testing::WriteGeoTiff(path, {495000.0, 30.0, 0.0, 3325000.0, 0.0, -30.0}, kSize, kSize, values,
                          "EPSG:32649");
    return path;
}

// Where the ray first passes below the source's surface, found by marching in 0.5 m steps
// from the camera and bisecting to 1 mm: an independent answer for the pick to meet.
std::optional<Vec3> FirstCrossing(raster::ElevationSource& source, const Ray& ray, double maxM)
{
    std::vector<geodesy::GeoPoint> points;
    std::vector<double> rayHeights;
    for (double t = 0.0; t <= maxM; t += 0.5) {
        const Geodetic g = GeodeticFromEcef(ray.At(t));
        points.push_back({.latDeg = g.latDeg, .lonDeg = g.lonDeg});
        rayHeights.push_back(g.heightM);
    }
    std::vector<std::optional<double>> heights(points.size());
    source.HeightsM(points, heights);
    const auto below = [&](double t) {
        const Geodetic g = GeodeticFromEcef(ray.At(t));
        const auto h = source.HeightM(g.latDeg, g.lonDeg);
        return h && g.heightM <= *h;
    };
    for (size_t k = 1; k < points.size(); ++k) {
        if (heights[k] && rayHeights[k] <= *heights[k]) {
            double above = 0.5 * (k - 1), under = 0.5 * k;
            while (under - above > 1e-3)
                (below(0.5 * (above + under)) ? under : above) = 0.5 * (above + under);
            return ray.At(under);
        }
    }
    return std::nullopt;
}

TEST(SourceSurfacePick, MeetsTheDemsOwnSurfaceWithin10cmAtAnyTilt)
{
    const ScratchDir dir;
    const std::string dem = WriteRuggedUtmDem(dir);
    // A grid of about a tenth of the source's cells: its surface is metres off the DEM's.
    auto coarse = ReadDemTerrain(dem, DemReadOptions{.maxCells = 40 * 40, .window = {}});
    TerrainScene scene(coarse, std::make_unique<raster::ElevationSource>(dem));
    raster::ElevationSource truth(dem);
    const QSize view(640, 480);
    int hits = 0;
    for (const double tiltDeg : {0.0, 45.0, 70.0}) {
        scene.SetLookAt(LookAt{30.0019, 111.0104, 0.0, 5000.0, tiltDeg, 30.0});
        for (const double sx : {-0.6, -0.1, 0.3, 0.7})
            for (const double sy : {-0.7, 0.0, 0.4}) {
                const RayCastResult pick = scene.Pick(sx, sy, view);
                const Ray ray = scene.MakeCamera(view).RayThrough(sx, sy);
                const auto crossing = FirstCrossing(truth, ray, 40000.0);
                ASSERT_EQ(pick.hit.has_value(), crossing.has_value()) << tiltDeg << " " << sx << " " << sy;
                if (!crossing)
                    continue;
                const TerrainHit& hit = *pick.hit;
                const Vec3 reported = EcefFromGeodetic({hit.latDeg, hit.lonDeg, hit.elevationM});
                EXPECT_LT((reported - *crossing).Length(), 0.1) << tiltDeg << " " << sx << " " << sy;
                EXPECT_DOUBLE_EQ(hit.elevationM, *truth.HeightM(hit.latDeg, hit.lonDeg));
                ++hits;
            }
    }
    EXPECT_GE(hits, 30);
}

TEST(SourceSurfacePick, ZoomedInViewsDrawAFinerGridOfTheGroundInView)
{
    const ScratchDir dir;
    const std::string dem = WriteRuggedUtmDem(dir);
    TerrainScene scene(ReadDemTerrain(dem, DemReadOptions{.maxCells = 40 * 40, .window = {}}),
                       std::make_shared<raster::ElevationSource>(dem));
    raster::ElevationSource truth(dem);
    const QSize view(640, 480);
    scene.SetLookAt(LookAt{30.0019, 111.0104, 0.0, 1500.0, 20.0, 0.0});
    const auto request = scene.DetailWanted(view);
    ASSERT_TRUE(request);
    DemReadOptions options{request->maxCells, request->window};
    auto detail = ReadDemTerrain(dem, options);
    EXPECT_LT(detail->CellSizeM(), 45.0);  // the source's own 30 m cells, near enough
    scene.SetDetail(detail, std::make_shared<TerrainRenderer>(detail));
    EXPECT_TRUE(scene.ShowsDetail(view));
    EXPECT_FALSE(scene.DetailWanted(view));
    scene.Render(view);
    EXPECT_EQ(&scene.renderer().terrain(), detail.get());
    // Picks on the detail still meet the DEM's own surface.
    for (const double sx : {-0.8, 0.0, 0.8}) {
        const RayCastResult pick = scene.Pick(sx, 0.5, view);
        const auto crossing = FirstCrossing(truth, scene.MakeCamera(view).RayThrough(sx, 0.5), 10000.0);
        ASSERT_TRUE(pick.hit && crossing);
        EXPECT_LT((EcefFromGeodetic({pick.hit->latDeg, pick.hit->lonDeg, pick.hit->elevationM}) - *crossing)
                      .Length(),
                  0.1);
    }
    // Moving away leaves the detail: the whole grid is drawn again.
    scene.SetLookAt(LookAt{30.0019, 111.0104, 0.0, 20000.0, 0.0, 0.0});
    EXPECT_FALSE(scene.ShowsDetail(view));
}

}  // namespace
}  // namespace keldarn::earth
