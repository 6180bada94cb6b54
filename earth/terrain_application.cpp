#include "earth/terrain_application.h"

#include "earth/dem_reader.h"
#include "earth/parallel.h"
#include "earth/synthetic_terrain.h"

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <cmath>

namespace keldarn::earth {

std::shared_ptr<const Terrain> LoadTerrain(const TerrainSource& source)
{
    return source.path.empty() ? MakeSyntheticTerrain() : ReadDemTerrain(source.path);
}

namespace {

// How long the camera rests before the ground in view is read in detail (milliseconds).
constexpr int kDetailDelayMs = 250;
constexpr int kImageryDelayMs = 200;

geodesy::GeoBox ExtentOf(const Terrain& terrain)
{
    return {.southDeg = terrain.SouthLatDeg(),
            .westDeg = terrain.WestLonDeg(),
            .northDeg = terrain.NorthLatDeg(),
            .eastDeg = terrain.EastLonDeg()};
}

// One grid of a source, read and prepared for drawing away from the GUI thread.
struct LoadedLevel {
    std::shared_ptr<const Terrain> terrain;
    std::shared_ptr<TerrainRenderer> renderer;
    std::shared_ptr<raster::ElevationSource> heights;  // with the first grid only
    bool finest = true;                                // no finer grid to follow
    std::string error;                                 // the reader's message when it failed
};

std::shared_ptr<const Terrain> ReadGrid(const TerrainSource& source, std::int64_t maxCells)
{
    return source.path.empty()
               ? MakeSyntheticTerrain()
               : ReadDemTerrain(source.path, DemReadOptions{.maxCells = maxCells, .window = {}});
}

// The threads that read terrain in the background, at a lower priority than the window's.
QThreadPool& LoadPool()
{
    static QThreadPool pool;
    pool.setMaxThreadCount(2);  // a superseded read still running does not hold up the next
    return pool;
}

LoadedLevel ReadLevel(const TerrainSource& source, std::int64_t maxCells, bool first)
{
    LowerCurrentThreadPriority();
    LoadedLevel level;
    try {
        level.terrain = ReadGrid(source, maxCells);
        if (first)
            level.heights = OpenHeightSource(source);
        level.renderer = std::make_shared<TerrainRenderer>(level.terrain);
        if (level.heights) {
            const raster::RasterDescription& dem = level.heights->Description();
            level.finest = maxCells >= kFinestLevelCells || std::int64_t{dem.columns} * dem.rows <= maxCells;
        }
    } catch (const std::exception& failure) {
        level.error = failure.what();
    }
    return level;
}

// A grid of the ground under a window at up to maxCells samples.
LoadedLevel ReadDetail(const TerrainSource& source, const geodesy::GeoBox& window, std::int64_t maxCells)
{
    LowerCurrentThreadPriority();
    LoadedLevel level;
    try {
        DemReadOptions options;
        options.maxCells = maxCells;
        options.window = window;
        level.terrain = ReadDemTerrain(source.path, options);
        level.renderer = std::make_shared<TerrainRenderer>(level.terrain);
    } catch (const std::exception& failure) {
        level.error = failure.what();
    }
    return level;
}

}  // namespace

std::unique_ptr<raster::ElevationSource> OpenHeightSource(const TerrainSource& source)
{
    if (source.path.empty())
        return nullptr;
    try {
        return std::make_unique<raster::ElevationSource>(source.path, source.cacheBoundBytes);
    } catch (const raster::RasterError& failure) {
        throw TerrainError(failure.what());
    }
}

TerrainApplication::TerrainApplication(std::shared_ptr<const Terrain> terrain,
                                       std::shared_ptr<raster::ElevationSource> heights)
    : scene_(std::move(terrain), std::move(heights)), loads_(std::make_unique<QObject>()),
      window_(new TerrainMainWindow(scene_)), render_(window_->RenderWidget())
{
    detailTimer_ = new QTimer(loads_.get());
    detailTimer_->setSingleShot(true);
    detailTimer_->setInterval(kDetailDelayMs);
    QObject::connect(detailTimer_, &QTimer::timeout, loads_.get(), [this] { StartDetail(); });
    QObject::connect(render_, &TerrainRenderWidget::cameraChanged, loads_.get(), [this] {
        ScheduleDetail();
        ScheduleImagery();
    });
    imageryTimer_ = new QTimer(loads_.get());
    imageryTimer_->setSingleShot(true);
    imageryTimer_->setInterval(kImageryDelayMs);
    QObject::connect(imageryTimer_, &QTimer::timeout, loads_.get(), [this] {
        const QSize viewPx = ViewSize();
        const auto footprint = scene_.ViewFootprint(viewPx);
        imagery_->ViewChanged(footprint, viewPx);
    });
    ImageryLayer::Callbacks imageryCallbacks;
    imageryCallbacks.changed = [this] {
        scene_.SetDrape(imagery_->Drape());
        if (render_)
            render_->SceneChanged();
    };
    imageryCallbacks.notice = [this](const QString& notice) {
        imageryNotice_ = notice;
        ShowNotes();
    };
    imageryCallbacks.failed = [this](const QString& message) {
        if (imageryFailed_)
            imageryFailed_(message);
    };
    imagery_ = std::make_unique<ImageryLayer>(std::move(imageryCallbacks));
}

TerrainApplication::~TerrainApplication()
{
    // Reads still running finish on their worker threads; their results go nowhere.
    imagery_.reset();
    loads_.reset();
    // The widgets refer to the scene, which goes with this object.
    delete window_.data();
}

QWidget* TerrainApplication::GetMainHwnd()
{
    if (!window_)
        throw EarthError(QCoreApplication::translate("earth", "地形视图窗口已关闭").toStdString());
    return window_;
}

QWidget* TerrainApplication::GetRenderHwnd()
{
    if (!render_)
        throw EarthError(QCoreApplication::translate("earth", "地形视图窗口已关闭").toStdString());
    return render_;
}

std::optional<ICameraInfoGE> TerrainApplication::GetCamera(bool)
{
    const LookAt& l = scene_.lookAt();
    return ICameraInfoGE{l.latDeg, l.lonDeg, l.altitudeM, l.rangeM, l.tiltDeg, l.azimuthDeg};
}

void TerrainApplication::SetCameraParams(double latDeg, double lonDeg, double altitudeM, AltitudeModeGE mode,
                                         double rangeM, double tiltDeg, double azimuthDeg, double)
{
    LookAt wanted{latDeg, lonDeg, altitudeM, rangeM, tiltDeg, azimuthDeg};
    if (mode == AltitudeModeGE::AbsoluteAltitudeGE) {
        const LookAt place = ClampLookAt(wanted, scene_.lookAt());
        wanted.altitudeM = altitudeM - scene_.terrain().AnchorElevationM(place.latDeg, place.lonDeg);
    }
    scene_.SetLookAt(wanted);
    if (render_)
        render_->SceneChanged();
    ScheduleDetail();
    ScheduleImagery();
}

void TerrainApplication::SetImagery(const ImageryLayerSettings& settings,
                                    std::function<void(const QString&)> failed)
{
    imageryFailed_ = std::move(failed);
    imagery_->Apply(settings, ExtentOf(scene_.terrain()));
    ScheduleImagery();
}

void TerrainApplication::SetMapLayers(std::vector<std::shared_ptr<const MapLayer>> layers)
{
    scene_.SetMapLayers(std::move(layers));
    if (render_)
        render_->SceneChanged();
}

void TerrainApplication::LookAtPoint(double latDeg, double lonDeg)
{
    LookAt wanted = scene_.lookAt();
    wanted.latDeg = latDeg;
    wanted.lonDeg = lonDeg;
    wanted.altitudeM = 0.0;
    scene_.SetLookAt(wanted);
    if (render_)
        render_->SceneChanged();
    ScheduleDetail();
    ScheduleImagery();
}

void TerrainApplication::ScheduleImagery()
{
    if (!imagery_->Settings().source.empty())
        imageryTimer_->start();
}

QSize TerrainApplication::ViewSize() const
{
    // The render widget fills the main window; until the window has been shown its layout
    // has not run, and the main window's own size is the view's.
    if (render_ && render_->isVisible())
        return render_->size();
    if (window_)
        return window_->size();
    return QSize(800, 600);
}

namespace {

// The scene's pick under (sx, sy) as the automation interface reports it.
IPointOnTerrainGE PointOnTerrain(const TerrainScene& scene, double sx, double sy, QSize viewPx)
{
    if (!std::isfinite(sx) || !std::isfinite(sy))
        throw EarthError(QCoreApplication::translate("earth", "屏幕坐标无效：必须是有限的数").toStdString());
    const RayCastResult result = scene.Pick(sx, sy, viewPx);
    if (!result.hit) {
        throw NoTerrainError(
            (result.miss == RayMiss::Sky
                 ? QCoreApplication::translate("earth", "该屏幕位置没有地形数据：视线没有落到地面上（天空）")
                 : QCoreApplication::translate("earth",
                                               "该屏幕位置没有地形数据：视线落在地形数据范围之外或无数据区"))
                .toStdString());
    }
    return {result.hit->latDeg, result.hit->lonDeg, result.hit->elevationM};
}

// The picks of a view as it was when they were taken: the camera, the grids and the DEM
// are its own, so the viewer may move or change its terrain meanwhile. One thread at a time.
class ViewPicks {
public:
    ViewPicks(TerrainScene scene, QSize viewPx) : scene_(std::move(scene)), viewPx_(viewPx) {}
    std::optional<IPointOnTerrainGE> At(double sx, double sy) const
    {
        try {
            return PointOnTerrain(scene_, sx, sy, viewPx_);
        } catch (const NoTerrainError&) {
            return std::nullopt;
        }
    }

private:
    TerrainScene scene_;
    QSize viewPx_;
};

}  // namespace

IPointOnTerrainGE TerrainApplication::GetPointOnTerrainFromScreenCoords(double sx, double sy)
{
    return PointOnTerrain(scene_, sx, sy, ViewSize());
}

IApplicationGE::ScreenPicks TerrainApplication::PicksForRun()
{
    std::shared_ptr<raster::ElevationSource> heights;
    if (scene_.heights() != nullptr)
        heights = OpenHeightSource(source_);
    auto picks = std::make_shared<const ViewPicks>(scene_.ForPicks(std::move(heights)), ViewSize());
    return [picks](double sx, double sy) { return picks->At(sx, sy); };
}

IPointOnTerrainGE TerrainApplication::GetGroundFromScreenCoords(double sx, double sy)
{
    try {
        return GetPointOnTerrainFromScreenCoords(sx, sy);
    } catch (const NoTerrainError&) {
        const auto ground = scene_.PickMeanLevel(sx, sy, ViewSize());
        if (!ground)
            throw;
        return {ground->latDeg, ground->lonDeg, ground->heightM};
    }
}

void TerrainApplication::SetTerrainSource(const TerrainSource& source)
{
    // Both are read before either replaces the current one.
    std::shared_ptr<const Terrain> terrain = ReadGrid(source, kFinestLevelCells);
    std::shared_ptr<raster::ElevationSource> heights = OpenHeightSource(source);
    ++loadGeneration_;  // a background load still running is superseded
    SetLoading(false);
    source_ = source;
    SetNote({});
    scene_.SetTerrain(std::move(terrain), std::move(heights));
    if (render_)
        render_->SceneChanged();
}

void TerrainApplication::LoadTerrainSource(const TerrainSource& source, TerrainLoadCallbacks callbacks)
{
    SetNote(QCoreApplication::translate("earth", "正在读取地形数据..."));
    StartLevel(source, kFirstLevelCells, true, std::move(callbacks));
}

void TerrainApplication::RefineInBackground(const TerrainSource& source)
{
    // The source is the one shown from now on, whether or not a finer grid follows.
    source_ = source;
    const raster::ElevationSource* dem = scene_.heights();
    if (dem == nullptr ||
        std::int64_t{dem->Description().columns} * dem->Description().rows <= kFirstLevelCells)
        return;
    SetNote(QCoreApplication::translate("earth", "正在细化地形..."));
    StartLevel(source, kFinestLevelCells, false, {});
}

void TerrainApplication::StartLevel(const TerrainSource& source, std::int64_t maxCells, bool first,
                                    TerrainLoadCallbacks callbacks)
{
    const std::uint64_t generation = first ? ++loadGeneration_ : loadGeneration_;
    SetLoading(true);
    auto* watcher = new QFutureWatcher<LoadedLevel>(loads_.get());
    QObject::connect(watcher, &QFutureWatcherBase::finished, loads_.get(), [=, this]() {
        const LoadedLevel level = watcher->result();
        watcher->deleteLater();
        if (generation != loadGeneration_)
            return;  // a newer source was asked for meanwhile
        if (!level.error.empty()) {
            SetLoading(false);
            SetNote({});
            // A finer grid that cannot be read leaves the first one in place; the heights
            // come from the source anyway.
            if (first && callbacks.failed)
                callbacks.failed(level.error);
            return;
        }
        if (first) {
            scene_.SetTerrain(level.terrain, level.heights, level.renderer);
            source_ = source;
        } else {
            scene_.RefineTerrain(level.terrain, level.renderer);
        }
        ScheduleDetail();
        ScheduleImagery();
        if (render_)
            render_->SceneChanged();
        if (first && callbacks.shown)
            callbacks.shown();
        if (generation != loadGeneration_)
            return;  // the callback asked for another source
        if (level.finest) {
            SetLoading(false);
            SetNote({});
        } else {
            SetNote(QCoreApplication::translate("earth", "正在细化地形..."));
            StartLevel(source, kFinestLevelCells, false, {});
        }
    });
    watcher->setFuture(QtConcurrent::run(
        &LoadPool(), [source, maxCells, first] { return ReadLevel(source, maxCells, first); }));
}

bool TerrainApplication::CancelLoad()
{
    if (!loading_)
        return false;
    ++loadGeneration_;  // the grids under way are dropped when they arrive
    SetLoading(false);
    SetNote({});
    return true;
}

void TerrainApplication::SetLoadingObserver(std::function<void(bool)> observer)
{
    loadingObserver_ = std::move(observer);
}

void TerrainApplication::SetLoading(bool loading)
{
    if (loading == loading_)
        return;
    loading_ = loading;
    if (loadingObserver_)
        loadingObserver_(loading_);
}

void TerrainApplication::SetNote(const QString& note)
{
    terrainNote_ =
        note.isEmpty() && detailLoading_ ? QCoreApplication::translate("earth", "正在细化地形...") : note;
    ShowNotes();
}

void TerrainApplication::ShowNotes()
{
    if (!render_)
        return;
    if (terrainNote_.isEmpty() || imageryNotice_.isEmpty())
        render_->SetNote(terrainNote_ + imageryNotice_);
    else
        render_->SetNote(terrainNote_ + QStringLiteral("  ·  ") + imageryNotice_);
}

void TerrainApplication::ScheduleDetail()
{
    if (scene_.heights() != nullptr)
        detailTimer_->start();
}

void TerrainApplication::StartDetail()
{
    // The whole grids come first; one detail read at a time, the newest camera's next.
    if (loading_ || detailLoading_)
        return;
    const auto request = scene_.DetailWanted(ViewSize());
    if (!request)
        return;
    const std::uint64_t generation = ++detailGeneration_;
    const std::uint64_t sourceGeneration = loadGeneration_;
    detailLoading_ = true;
    SetNote({});
    auto* watcher = new QFutureWatcher<LoadedLevel>(loads_.get());
    QObject::connect(watcher, &QFutureWatcherBase::finished, loads_.get(), [=, this]() {
        const LoadedLevel level = watcher->result();
        watcher->deleteLater();
        detailLoading_ = false;
        SetNote(loading_ ? QCoreApplication::translate("earth", "正在细化地形...") : QString());
        // A failed detail read leaves the whole grid in view; the heights come from the
        // source anyway. One for another source is dropped.
        if (generation == detailGeneration_ && sourceGeneration == loadGeneration_ && level.error.empty()) {
            scene_.SetDetail(level.terrain, level.renderer);
            if (render_)
                render_->SceneChanged();
        }
        ScheduleDetail();  // the camera may have moved on meanwhile
    });
    watcher->setFuture(QtConcurrent::run(&LoadPool(), [source = source_, request = *request] {
        return ReadDetail(source, request.window, request.maxCells);
    }));
}

std::unique_ptr<TerrainApplication> CreateTerrainApplication(const TerrainSource& source,
                                                             const std::optional<LookAt>& startView)
{
    std::shared_ptr<const Terrain> terrain;
    std::shared_ptr<raster::ElevationSource> heights;
    try {
        terrain = ReadGrid(source, kFirstLevelCells);
        heights = OpenHeightSource(source);
    } catch (const TerrainError& error) {
        throw EarthError(error.what());
    }
    auto application = std::make_unique<TerrainApplication>(std::move(terrain), std::move(heights));
    if (startView)
        application->SetCameraParams(startView->latDeg, startView->lonDeg, startView->altitudeM,
                                     AltitudeModeGE::RelativeToGroundAltitudeGE, startView->rangeM,
                                     startView->tiltDeg, startView->azimuthDeg, 1.0);
    application->RefineInBackground(source);
    return application;
}

}  // namespace keldarn::earth
