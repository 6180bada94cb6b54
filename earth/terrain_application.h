#pragma once

// The viewer behind the automation interface: owns the terrain, the camera and the viewer
// windows, and answers the operations of IApplicationGE.

#include "earth/application_ge.h"
#include "earth/imagery_layer.h"
#include "earth/terrain_scene.h"
#include "earth/terrain_view.h"
#include "raster/elevation_source.h"

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QTimer>

#include <cstdint>
#include <functional>

#include <memory>
#include <optional>
#include <string>

namespace keldarn::earth {

// Where the terrain comes from: an elevation model file, a folder of tiles or an http(s)
// address of one (UTF-8), or, when empty, the built-in demonstration terrain.
struct TerrainSource {
    std::string path;
    // Memory bound of the decoded blocks of the DEM's full-resolution heights.
    std::size_t cacheBoundBytes = raster::BlockCache::kDefaultBoundBytes;
};

// The grids the viewer draws a source with (most samples each): a first one that is read
// quickly whatever the source's size, and a finer one that follows in the background. The
// heights reported never come from these grids but from the source at full resolution.
inline constexpr std::int64_t kFirstLevelCells = std::int64_t{1} << 20;
inline constexpr std::int64_t kFinestLevelCells = std::int64_t{1} << 24;

// Reads the terrain of a source; throws TerrainError naming the file and the reason.
std::shared_ptr<const Terrain> LoadTerrain(const TerrainSource& source);

// The heights of a DEM file or a folder of tiles at full resolution in its own coordinate
// system, or nothing for the demonstration terrain (its grid is its own truth). Throws
// TerrainError naming the file.
std::unique_ptr<raster::ElevationSource> OpenHeightSource(const TerrainSource& source);

// What a background load tells the window, on the GUI thread.
struct TerrainLoadCallbacks {
    std::function<void()> shown;                     // the new source's first grid is shown
    std::function<void(const std::string&)> failed;  // it cannot be read; the old one stays
};

class TerrainApplication final : public IApplicationGE {
public:
    // Creates the viewer windows (a QApplication must exist). The window is 800 × 600
    // pixels until it is resized.
    // heights: where the reported heights come from; without it, from the terrain's grid.
    explicit TerrainApplication(std::shared_ptr<const Terrain> terrain,
                                std::shared_ptr<raster::ElevationSource> heights = nullptr);
    ~TerrainApplication() override;
    TerrainApplication(const TerrainApplication&) = delete;
    TerrainApplication& operator=(const TerrainApplication&) = delete;

    QWidget* GetMainHwnd() override;
    QWidget* GetRenderHwnd() override;

    // The camera as last set or navigated to. The focus altitude is always relative to the
    // ground, whatever considerTerrain says.
    std::optional<ICameraInfoGE> GetCamera(bool considerTerrain) override;

    // Moves the view at once (speed is not used). Values out of range are clamped: latitude
    // to ±90°, tilt to 0..85°, range to 1 m..20 000 km, azimuth and longitude wrapped; a
    // value that is not a number keeps the current one. With AbsoluteAltitudeGE the
    // altitude is taken above the ellipsoid and converted to one above the ground.
    void SetCameraParams(double latDeg, double lonDeg, double altitudeM, AltitudeModeGE mode, double rangeM,
                         double tiltDeg, double azimuthDeg, double speed) override;

    // The terrain under (sx, sy) of the render window at its current size; a window never
    // shown counts with the main window's size (800 × 600 unless resized). The altitude is
    // the DEM's own height at the point's latitude and longitude (see TerrainScene::Pick).
    // Throws NoTerrainError when the ray meets no terrain or the DEM has no height there.
    IPointOnTerrainGE GetPointOnTerrainFromScreenCoords(double sx, double sy) override;
    IPointOnTerrainGE GetGroundFromScreenCoords(double sx, double sy) override;
    // The view's picks with a DEM opened anew for the worker. Throws TerrainError naming the
    // DEM when it cannot be opened again.
    ScreenPicks PicksForRun() override;

    // Shows another terrain at once, at its finest grid. Throws TerrainError, keeping the
    // current terrain, when the source cannot be read. Blocks while it reads.
    void SetTerrainSource(const TerrainSource& source);

    // Shows another terrain without blocking the window: its first grid, then the finer
    // one, are read by a worker thread. The current terrain stays until the first grid is
    // ready; a later call supersedes an earlier one still loading. The render window shows
    // a quiet note while grids load.
    void LoadTerrainSource(const TerrainSource& source, TerrainLoadCallbacks callbacks);
    // Reads the finer grid of the current source in the background (after a first grid
    // read in the foreground, as at start-up).
    void RefineInBackground(const TerrainSource& source);
    // Whether a grid is still being read.
    bool IsLoading() const { return loading_; }
    // Stops the load of a source (its first grid or the finer one): what is read is dropped
    // when it arrives (a read under way ends in the background) and the terrain shown
    // stays. False when nothing was loading.
    bool CancelLoad();
    // Hears IsLoading() each time it changes.
    void SetLoadingObserver(std::function<void(bool)> observer);

    // Shows an imagery layer over the relief (settings.source empty: none). Another source
    // is opened and read in the background; `failed` hears, once, when it cannot be used,
    // and the view goes on without it. Notices (a service out of reach) show in the note.
    void SetImagery(const ImageryLayerSettings& settings, std::function<void(const QString&)> failed = {});
    const ImageryLayer& Imagery() const { return *imagery_; }

    // The user's data over the terrain, bottom to top.
    void SetMapLayers(std::vector<std::shared_ptr<const MapLayer>> layers);
    const std::vector<std::shared_ptr<const MapLayer>>& MapLayers() const { return scene_.MapLayers(); }
    // The camera of the view at its current size.
    Camera ViewCamera() const { return scene_.MakeCamera(ViewSize()); }
    // The ground in view as a box of latitudes and longitudes, or nothing when the view's
    // edge looks at the sky.
    std::optional<geodesy::GeoBox> ViewFootprint() const { return scene_.ViewFootprint(ViewSize()); }
    // Moves the view's focus to a point, keeping range, tilt and azimuth.
    void LookAtPoint(double latDeg, double lonDeg);

    const Terrain& CurrentTerrain() const { return scene_.terrain(); }
    std::shared_ptr<const Terrain> SharedTerrain() const { return scene_.SharedTerrain(); }
    // The source shown, or being loaded.
    const TerrainSource& Source() const { return source_; }
    // The DEM whose heights the picks report, or nullptr for the demonstration terrain.
    const raster::RasterDescription* HeightSource() const
    {
        return scene_.heights() ? &scene_.heights()->Description() : nullptr;
    }

    // The view's size in pixels as the picks use it.
    QSize ViewSize() const;

private:
    void SetLoading(bool loading);
    void StartLevel(const TerrainSource& source, std::int64_t maxCells, bool first,
                    TerrainLoadCallbacks callbacks);
    // The terrain's note ("" for none); the imagery's notice is shown beside it.
    void SetNote(const QString& note);
    void ShowNotes();
    // Asks the imagery for the ground in view, a moment after the camera stops moving.
    void ScheduleImagery();
    // Reads a finer grid of the ground in view, a moment after the camera stops moving.
    void ScheduleDetail();
    void StartDetail();

    TerrainScene scene_;
    // Parent of the watchers of background reads; deleting it drops their results.
    std::unique_ptr<QObject> loads_;
    TerrainSource source_;  // the source shown (or being loaded)
    std::uint64_t loadGeneration_ = 0;
    bool loading_ = false;
    std::function<void(bool)> loadingObserver_;
    QTimer* detailTimer_ = nullptr;   // owned by loads_
    QTimer* imageryTimer_ = nullptr;  // owned by loads_
    std::unique_ptr<ImageryLayer> imagery_;
    std::function<void(const QString&)> imageryFailed_;
    QString terrainNote_;
    QString imageryNotice_;
    std::uint64_t detailGeneration_ = 0;
    bool detailLoading_ = false;
    // The main window may be taken over (and deleted) by the main program's widget tree.
    QPointer<TerrainMainWindow> window_;
    QPointer<TerrainRenderWidget> render_;
};

// The viewer for a terrain source: its first grid is read at once, the finer one in the
// background. startView: the view the viewer was closed on last, shown from the first
// frame on and kept while finer grids load (a value that is not a number keeps the
// viewer's own); without it the viewer starts on its own view, the default place on the
// demonstration terrain, else the whole grid. Throws EarthError with the reader's
// message when the source cannot be read.
std::unique_ptr<TerrainApplication>
CreateTerrainApplication(const TerrainSource& source, const std::optional<LookAt>& startView = std::nullopt);

}  // namespace keldarn::earth
