#include "earth/terrain_application.h"

#include "earth/dem_reader.h"
#include "earth/synthetic_terrain.h"

#include <cmath>

namespace keldarn::earth {

std::shared_ptr<const Terrain> LoadTerrain(const TerrainSource& source)
{
    return source.path.empty() ? MakeSyntheticTerrain() : ReadDemTerrain(source.path);
}

std::unique_ptr<raster::ElevationSource> OpenHeightSource(const TerrainSource& source)
{
    if (source.path.empty())
        return nullptr;
    try {
        return std::make_unique<raster::ElevationSource>(source.path);
    } catch (const raster::RasterError& failure) {
        throw TerrainError(failure.what());
    }
}

TerrainApplication::TerrainApplication(std::shared_ptr<const Terrain> terrain,
                                       std::unique_ptr<raster::ElevationSource> heights)
    : scene_(std::move(terrain), std::move(heights)), window_(new TerrainMainWindow(scene_)),
      render_(window_->RenderWidget())
{
}

TerrainApplication::~TerrainApplication()
{
    // The widgets refer to the scene, which goes with this object.
    delete window_.data();
}

QWidget* TerrainApplication::GetMainHwnd()
{
    if (!window_)
        throw EarthError("地形视图窗口已关闭");
    return window_;
}

QWidget* TerrainApplication::GetRenderHwnd()
{
    if (!render_)
        throw EarthError("地形视图窗口已关闭");
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

IPointOnTerrainGE TerrainApplication::GetPointOnTerrainFromScreenCoords(double sx, double sy)
{
    if (!std::isfinite(sx) || !std::isfinite(sy))
        throw EarthError("屏幕坐标无效：必须是有限的数");
    const RayCastResult result = scene_.Pick(sx, sy, ViewSize());
    if (!result.hit) {
        throw NoTerrainError(result.miss == RayMiss::Sky
                             ? "该屏幕位置没有地形数据：视线没有落到地面上（天空）"
                             : "该屏幕位置没有地形数据：视线落在地形数据范围之外或无数据区");
    }
    return {result.hit->latDeg, result.hit->lonDeg, result.hit->elevationM};
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
    std::shared_ptr<const Terrain> terrain = LoadTerrain(source);
    scene_.SetTerrain(std::move(terrain), OpenHeightSource(source));
    if (render_)
        render_->SceneChanged();
}

std::unique_ptr<TerrainApplication> CreateTerrainApplication(const TerrainSource& source)
{
    std::shared_ptr<const Terrain> terrain;
    std::unique_ptr<raster::ElevationSource> heights;
    try {
        terrain = LoadTerrain(source);
        heights = OpenHeightSource(source);
    } catch (const TerrainError& error) {
        throw EarthError(error.what());
    }
    return std::make_unique<TerrainApplication>(std::move(terrain), std::move(heights));
}

}  // namespace keldarn::earth
