#include "earth/terrain_scene.h"

#include "earth/source_surface.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace keldarn::earth {

namespace {

// Least height of the camera above the terrain under it (metres).
constexpr double kCameraClearanceM = 2.0;

// A camera behind a hill would sit inside it. As a globe viewer does, it is lifted instead:
// the tilt is lowered until the camera, range·cos(tilt) above the focus, clears the ground
// under it. A few rounds, since lifting moves the camera over other ground.
LookAt KeepCameraAboveGround(LookAt lookAt, const Terrain& terrain)
{
    constexpr double kRad = std::numbers::pi / 180.0;
    for (int round = 0; round < 4 && lookAt.tiltDeg > 0.0; ++round) {
        const Camera camera(lookAt, terrain.AnchorElevationM(lookAt.latDeg, lookAt.lonDeg), 1, 1);
        const Geodetic eye = GeodeticFromEcef(camera.Position());
        const auto groundM = terrain.ElevationM(eye.latDeg, eye.lonDeg);
        if (!groundM || eye.heightM >= *groundM + kCameraClearanceM)
            break;
        const double neededAboveFocusM =
            *groundM + kCameraClearanceM - GeodeticFromEcef(camera.Focus()).heightM + 0.01;
        const double tiltDeg = neededAboveFocusM >= lookAt.rangeM
                                   ? 0.0
                                   : std::acos(std::max(neededAboveFocusM, 0.0) / lookAt.rangeM) / kRad;
        lookAt.tiltDeg = std::min(lookAt.tiltDeg - 0.01, tiltDeg);
        lookAt.tiltDeg = std::max(lookAt.tiltDeg, 0.0);
    }
    return lookAt;
}

}  // namespace

LookAt StartingLookAt(const Terrain& terrain)
{
    if (terrain.IsSynthetic())
        return kDefaultLookAt;
    LookAt start;
    start.latDeg = 0.5 * (terrain.SouthLatDeg() + terrain.NorthLatDeg());
    start.lonDeg = terrain.WestLonDeg() + 0.5 * (terrain.EastLonDeg() - terrain.WestLonDeg());
    const double widthM = (terrain.EastLonDeg() - terrain.WestLonDeg()) * MetresPerDegreeLon(start.latDeg);
    const double tan30 = std::tan(kHalfFieldOfViewDeg * std::numbers::pi / 180.0);
    start.rangeM = std::clamp(0.5 * widthM / tan30, 500.0, 2.0e6);
    return ClampLookAt(start, kDefaultLookAt);
}

TerrainScene::TerrainScene(std::shared_ptr<const Terrain> terrain,
                           std::shared_ptr<raster::ElevationSource> heights,
                           std::shared_ptr<TerrainRenderer> renderer)
    : terrain_(std::move(terrain)), heights_(std::move(heights)),
      renderer_(renderer ? std::move(renderer) : std::make_shared<TerrainRenderer>(terrain_)),
      lookAt_(StartingLookAt(*terrain_))
{
}

void TerrainScene::SetTerrain(std::shared_ptr<const Terrain> terrain,
                              std::shared_ptr<raster::ElevationSource> heights,
                              std::shared_ptr<TerrainRenderer> renderer)
{
    if (!renderer)
        renderer = std::make_shared<TerrainRenderer>(terrain);
    terrain_ = std::move(terrain);
    heights_ = std::move(heights);
    renderer_ = std::move(renderer);
    if (!terrain_->ElevationM(lookAt_.latDeg, lookAt_.lonDeg))
        lookAt_ = StartingLookAt(*terrain_);
    lookAt_ = KeepCameraAboveGround(lookAt_, *terrain_);
    ++revision_;
}

void TerrainScene::RefineTerrain(std::shared_ptr<const Terrain> terrain,
                                 std::shared_ptr<TerrainRenderer> renderer)
{
    terrain_ = std::move(terrain);
    renderer_ = std::move(renderer);
    lookAt_ = KeepCameraAboveGround(lookAt_, *terrain_);
    ++revision_;
}

void TerrainScene::SetLookAt(const LookAt& wanted)
{
    lookAt_ = KeepCameraAboveGround(ClampLookAt(wanted, lookAt_), *terrain_);
    ++revision_;
}

Camera TerrainScene::MakeCamera(QSize viewPx) const
{
    if (!camera_ || cameraRevision_ != revision_ || camera_->WidthPx() != std::max(viewPx.width(), 1) ||
        camera_->HeightPx() != std::max(viewPx.height(), 1)) {
        camera_.emplace(lookAt_, terrain_->AnchorElevationM(lookAt_.latDeg, lookAt_.lonDeg), viewPx.width(),
                        viewPx.height());
        cameraRevision_ = revision_;
    }
    return *camera_;
}

RayCastResult TerrainScene::Pick(double sx, double sy, QSize viewPx) const
{
    const Ray ray = MakeCamera(viewPx).RayThrough(sx, sy);
    if (!heights_)
        return CastRay(*terrain_, ray);
    const SurfaceSearch search = SourceSearch();
    // The source may rise above the grid before the grid's hit, by up to the tolerance: its
    // surface is searched from where the ray comes within the tolerance above the grid, or
    // from the camera when it is that close. For a ray steeper than the grid's slopes that
    // point follows from the grid's hit; a flatter ray meets the grid raised by the tolerance.
    const Geodetic eye = GeodeticFromEcef(ray.origin);
    const auto groundUnderEyeM = terrain_->ElevationM(eye.latDeg, eye.lonDeg);
    const bool eyeNearGround = groundUnderEyeM && eye.heightM <= *groundUnderEyeM + search.heightToleranceM;
    const TerrainHit underEye{eye.latDeg, eye.lonDeg, eye.heightM, 0.0};
    const double gridSlope = terrain_->MaxSlope() * 1.02;
    const bool steep = SearchStartM(ray, underEye, search.heightToleranceM, gridSlope).has_value();
    RayCastResult result = CastRay(*terrain_, ray, eyeNearGround || steep ? 0.0 : search.heightToleranceM);
    if (!result.hit)
        return result;
    SourceStretch stretch{result.hit->distanceM, std::nullopt, *result.hit};
    if (eyeNearGround || steep) {
        stretch.gridHitM = result.hit->distanceM;
        stretch.beginM = eyeNearGround ? 0.0
                                       : SearchStartM(ray, *result.hit, search.heightToleranceM, gridSlope)
                                             .value_or(result.hit->distanceM - search.heightToleranceM);
    }
    try {
        result.hit = MeetSourceSurface(*heights_, ray, stretch, search);
    } catch (const raster::RasterError& failure) {
        throw TerrainError(failure.what());
    }
    if (!result.hit)
        result.miss = RayMiss::NoTerrain;
    return result;
}

SurfaceSearch TerrainScene::SourceSearch() const
{
    // The grid's samples are the source's own or resampled from it; between them the
    // source may stray from the grid's surface by up to a cell's rise at the steepest slope.
    const double midLatDeg = 0.5 * (terrain_->SouthLatDeg() + terrain_->NorthLatDeg());
    const raster::RasterDescription& dem = heights_->Description();
    const double sourceCellM = dem.metresPerUnit == 0.0  // angular cells: degrees
                                   ? std::min(dem.cellWidth * MetresPerDegreeLon(midLatDeg),
                                              dem.cellHeight * MetresPerDegreeLat(midLatDeg))
                                   : std::min(dem.cellWidth, dem.cellHeight) * dem.metresPerUnit;
    const double gridCellM = std::max(terrain_->CellSizeM(), sourceCellM);
    return SurfaceSearch{std::max(5.0, gridCellM * std::min(terrain_->MaxSlope(), 3.0)), sourceCellM};
}

std::optional<Geodetic> TerrainScene::PickMeanLevel(double sx, double sy, QSize viewPx) const
{
    const Ray ray = MakeCamera(viewPx).RayThrough(sx, sy);
    const double levelM = terrain_->MeanElevationM();
    const auto span = RayInsideRaisedEllipsoid(ray, levelM);
    if (!span || span->farM <= 0.0)
        return std::nullopt;
    // A camera below the level (under a deep valley's rim) sees it from inside.
    Geodetic ground = GeodeticFromEcef(ray.At(span->nearM > 0.0 ? span->nearM : span->farM));
    ground.heightM = levelM;
    return ground;
}

QImage TerrainScene::Render(QSize viewPx)
{
    return renderer_->Render(MakeCamera(viewPx));
}

std::optional<Geodetic> TerrainScene::GroundForNavigation(double sx, double sy, QSize viewPx) const
{
    const Camera camera = MakeCamera(viewPx);
    const Ray ray = camera.RayThrough(sx, sy);
    if (const RayCastResult result = CastRay(*terrain_, ray); result.hit)
        return Geodetic{result.hit->latDeg, result.hit->lonDeg, result.hit->elevationM};
    const double focusHeightM = GeodeticFromEcef(camera.Focus()).heightM;
    const auto level = RayInsideRaisedEllipsoid(ray, focusHeightM);
    if (!level || level->nearM <= 0.0)
        return std::nullopt;
    Geodetic ground = GeodeticFromEcef(ray.At(level->nearM));
    ground.heightM = focusHeightM;
    return ground;
}

bool TerrainScene::DragGroundTo(const Geodetic& grabbed, double sx, double sy, QSize viewPx)
{
    // Moving the focus by the offset between the grabbed point and the point now under the
    // mouse; a few rounds absorb the change of the focus's ground height and of perspective.
    bool moved = false;
    for (int round = 0; round < 4; ++round) {
        const auto under = GroundForNavigation(sx, sy, viewPx);
        if (!under)
            break;
        const double dLatDeg = grabbed.latDeg - under->latDeg;
        const double dLonDeg = std::remainder(grabbed.lonDeg - under->lonDeg, 360.0);
        if (std::fabs(dLatDeg) < 1e-10 && std::fabs(dLonDeg) < 1e-10)
            break;
        LookAt next = lookAt_;
        next.latDeg += dLatDeg;
        next.lonDeg += dLonDeg;
        SetLookAt(next);
        moved = true;
    }
    return moved;
}

void TerrainScene::ZoomBy(double rangeFactor)
{
    LookAt next = lookAt_;
    next.rangeM *= rangeFactor;
    SetLookAt(next);
}

void TerrainScene::ZoomInAt(double sx, double sy, QSize viewPx)
{
    LookAt next = lookAt_;
    if (const auto ground = GroundForNavigation(sx, sy, viewPx)) {
        next.latDeg = ground->latDeg;
        next.lonDeg = ground->lonDeg;
    }
    next.rangeM *= 0.5;
    SetLookAt(next);
}

void TerrainScene::TurnAndTilt(double azimuthChangeDeg, double tiltChangeDeg)
{
    LookAt next = lookAt_;
    next.azimuthDeg += azimuthChangeDeg;
    next.tiltDeg += tiltChangeDeg;
    SetLookAt(next);
}

}  // namespace keldarn::earth
