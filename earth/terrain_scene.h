#pragma once

// One terrain view without its widgets: the terrain, its renderer and the camera, with the
// picks and the navigation moves that the viewer widget and the automation interface use.

#include "earth/camera.h"
#include "earth/dem_reader.h"
#include "earth/imagery_drape.h"
#include "earth/map_layers.h"
#include "earth/ray_caster.h"
#include "earth/source_surface.h"
#include "earth/terrain.h"
#include "earth/terrain_renderer.h"
#include "earth/view_overlays.h"
#include "raster/elevation_source.h"

#include <QImage>
#include <QSize>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace keldarn::earth {

// The view of the demonstration terrain as Google Earth's defaults give it.
inline constexpr LookAt kDefaultLookAt{33.2677, 113.5538, 0.0, 3000.0, 0.0, 0.0};

// Where a view of a terrain starts: the default view on the demonstration terrain, else the
// middle of the grid with the grid's width across the view.
LookAt StartingLookAt(const Terrain& terrain);

class TerrainScene {
public:
    // heights: the DEM's own heights at full resolution, which every pick reports; without
    // it picks report the terrain grid's heights. renderer: one made for this terrain (on
    // another thread, say); without it the scene makes its own.
    explicit TerrainScene(std::shared_ptr<const Terrain> terrain,
                          std::shared_ptr<raster::ElevationSource> heights = nullptr,
                          std::shared_ptr<TerrainRenderer> renderer = nullptr);

    const Terrain& terrain() const { return *terrain_; }
    std::shared_ptr<const Terrain> SharedTerrain() const { return terrain_; }
    // The source of the reported heights, or nullptr when the grid is its own truth.
    const raster::ElevationSource* heights() const { return heights_.get(); }

    // Replaces the terrain and its heights. The camera stays where it is when its focus
    // lies on the new terrain, otherwise it moves to the new terrain's starting view.
    void SetTerrain(std::shared_ptr<const Terrain> terrain,
                    std::shared_ptr<raster::ElevationSource> heights = nullptr,
                    std::shared_ptr<TerrainRenderer> renderer = nullptr);
    // Replaces the grid with a finer one of the same source; the heights and the camera
    // stay (the camera only rises where the finer ground would reach it).
    void RefineTerrain(std::shared_ptr<const Terrain> terrain, std::shared_ptr<TerrainRenderer> renderer);

    // A finer grid of the ground around the view, read for the camera of DetailWanted: it is
    // drawn and picked instead of the whole grid while the frame's ground lies inside it.
    // Dropped when the source changes.
    void SetDetail(std::shared_ptr<const Terrain> terrain, std::shared_ptr<TerrainRenderer> renderer);
    struct DetailRequest {
        geodesy::GeoBox window;
        std::int64_t maxCells = 0;
    };
    // The ground worth reading in detail for the current camera and a view of the given
    // size: the frame's ground and half its span around it, at about 1/1500 of the span a
    // cell but never finer than the source's cells. Nothing without a source, when the grid
    // in use is fine enough, or when the frame reaches the sky.
    std::optional<DetailRequest> DetailWanted(QSize viewPx) const;
    // Whether the detail grid is drawn for a view of the given size now.
    bool ShowsDetail(QSize viewPx) const;
    // Ground size of one source cell (metres), or 0 without a source.
    double SourceCellM() const;

    const LookAt& lookAt() const { return lookAt_; }
    // Takes the look-at clamped (ClampLookAt, with the current one as fallback) and with
    // the tilt lowered where the camera would otherwise be less than 2 m above the ground.
    void SetLookAt(const LookAt& wanted);

    // Counts the changes of camera and terrain, so that a widget knows when its frame is stale.
    std::uint64_t Revision() const { return revision_; }

    // The camera for a view of the given size; the focus sits altitudeM above the terrain.
    Camera MakeCamera(QSize viewPx) const;

    // The terrain under the normalised view point (sx, sy) of a view of the given size.
    // The terrain grid finds where the ray meets the ground; when the scene has the DEM's
    // heights, that hit is refined to where the ray meets the DEM's own surface, and the
    // height is the DEM's there; where the DEM has none it is no hit. Throws TerrainError
    // naming the DEM when it cannot be read any more.
    RayCastResult Pick(double sx, double sy, QSize viewPx) const;
    // A copy for picks on another thread: the same camera, grids and detail, its heights read
    // through `heights` (the same DEM opened for that thread; nullptr for the demonstration
    // terrain). It shares nothing the viewer changes and draws nothing.
    TerrainScene ForPicks(std::shared_ptr<raster::ElevationSource> heights) const;
    // Where the ray through (sx, sy) meets the ellipsoid raised to the terrain's mean
    // elevation, or nothing when it passes above it (sky).
    std::optional<Geodetic> PickMeanLevel(double sx, double sy, QSize viewPx) const;

    // Imagery draped over the relief; nullptr for none.
    void SetDrape(std::shared_ptr<const ImageryDrape> drape);
    // The user's data drawn over the terrain, bottom to top.
    void SetMapLayers(std::vector<std::shared_ptr<const MapLayer>> layers);
    const std::vector<std::shared_ptr<const MapLayer>>& MapLayers() const { return mapLayers_; }

    // The ground a frame of the given size shows (on the level of the terrain's mean
    // height), or nothing when a corner of the frame sees the sky.
    std::optional<geodesy::GeoBox> ViewFootprint(QSize viewPx) const
    {
        return FrameFootprint(MakeCamera(viewPx));
    }

    // A frame of the view with the imagery and the map layers; the renderer keeps the
    // surface buffers of the last one.
    QImage Render(QSize viewPx);
    // Where the last frame's scale bar, north arrow and terrain label were drawn.
    const OverlayRects& Overlays() const { return overlays_; }
    // The renderer of the last frame.
    const TerrainRenderer& renderer() const { return *shownRenderer_; }

    // Navigation. A ground point for navigation is the terrain under the view point or,
    // where there is none, the point at the focus's height; nothing above the horizon.
    std::optional<Geodetic> GroundForNavigation(double sx, double sy, QSize viewPx) const;
    // Moves the focus so that `grabbed` appears at (sx, sy); returns false when it cannot.
    bool DragGroundTo(const Geodetic& grabbed, double sx, double sy, QSize viewPx);
    void ZoomBy(double rangeFactor);
    // Centres the view on the ground at (sx, sy) and halves the range.
    void ZoomInAt(double sx, double sy, QSize viewPx);
    void TurnAndTilt(double azimuthChangeDeg, double tiltChangeDeg);

private:
    SurfaceSearch SourceSearch(const Terrain& shown) const;
    // Pick's work on one grid.
    RayCastResult PickOn(const Terrain& grid, const Ray& ray) const;
    // The ground a frame shows on the level of the terrain's mean height, from its corner
    // rays; nothing when a corner sees the sky.
    std::optional<geodesy::GeoBox> FrameFootprint(const Camera& camera) const;
    // The grid drawn and picked for the camera last made: the detail where it covers the frame.
    const Terrain& ShownTerrain() const;

    std::shared_ptr<const Terrain> terrain_;
    // Queried by const picks; it reads blocks into its cache as they are asked for.
    std::shared_ptr<raster::ElevationSource> heights_;
    std::shared_ptr<TerrainRenderer> renderer_;
    std::shared_ptr<const Terrain> detail_;
    std::shared_ptr<TerrainRenderer> detailRenderer_;
    std::shared_ptr<TerrainRenderer> shownRenderer_;
    std::shared_ptr<const ImageryDrape> drape_;
    std::vector<std::shared_ptr<const MapLayer>> mapLayers_;
    OverlayRects overlays_;
    LookAt lookAt_;
    std::uint64_t revision_ = 0;
    // The last camera made, reused while revision and view size stay: picks come in
    // thousands per second during grid sampling.
    mutable std::optional<Camera> camera_;
    mutable std::uint64_t cameraRevision_ = 0;
    mutable bool cameraShowsDetail_ = false;
};

}  // namespace keldarn::earth
