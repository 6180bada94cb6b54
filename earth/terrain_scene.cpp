#include "earth/terrain_scene.h"

#include "earth/source_surface.h"
#include "earth/view_overlays.h"

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
      shownRenderer_(renderer_), lookAt_(StartingLookAt(*terrain_))
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
    shownRenderer_ = renderer_;
    detail_.reset();
    detailRenderer_.reset();
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
    shownRenderer_ = renderer_;
    lookAt_ = KeepCameraAboveGround(lookAt_, *terrain_);
    ++revision_;
}

void TerrainScene::SetDetail(std::shared_ptr<const Terrain> terrain,
                             std::shared_ptr<TerrainRenderer> renderer)
{
    detail_ = std::move(terrain);
    detailRenderer_ = std::move(renderer);
    ++revision_;
}

namespace {

bool Inside(const geodesy::GeoBox& inner, const Terrain& outer)
{
    return inner.southDeg >= outer.SouthLatDeg() && inner.northDeg <= outer.NorthLatDeg() &&
           inner.westDeg >= outer.WestLonDeg() && inner.eastDeg <= outer.EastLonDeg();
}

// Extent of a window on the ground (metres): the larger of its width and height.
double SpanM(const geodesy::GeoBox& window)
{
    const double midLatDeg = 0.5 * (window.southDeg + window.northDeg);
    return std::max((window.northDeg - window.southDeg) * MetresPerDegreeLat(midLatDeg),
                    (window.eastDeg - window.westDeg) * MetresPerDegreeLon(midLatDeg));
}

// Cells of a detail grid per frame span.
constexpr double kDetailCellsPerSpan = 1500.0;
// A detail grid covers the frame's ground and this share of its span on every side.
constexpr double kDetailMargin = 0.5;

}  // namespace

std::optional<geodesy::GeoBox> TerrainScene::FrameFootprint(const Camera& camera) const
{
    const double levelM = terrain_->MeanElevationM();
    // Empty until the corners widen it.
    geodesy::GeoBox window{.southDeg = 90.0, .westDeg = 180.0, .northDeg = -90.0, .eastDeg = -180.0};
    for (const double sx : {-1.0, 1.0})
        for (const double sy : {-1.0, 1.0}) {
            const Ray ray = camera.RayThrough(sx, sy);
            const auto span = RayInsideRaisedEllipsoid(ray, levelM);
            if (!span || span->nearM <= 0.0)
                return std::nullopt;
            const Geodetic ground = GeodeticFromEcef(ray.At(span->nearM));
            window.southDeg = std::min(window.southDeg, ground.latDeg);
            window.northDeg = std::max(window.northDeg, ground.latDeg);
            window.westDeg = std::min(window.westDeg, ground.lonDeg);
            window.eastDeg = std::max(window.eastDeg, ground.lonDeg);
        }
    return window;
}

const Terrain& TerrainScene::ShownTerrain() const
{
    return cameraShowsDetail_ && detail_ ? *detail_ : *terrain_;
}

bool TerrainScene::ShowsDetail(QSize viewPx) const
{
    MakeCamera(viewPx);
    return cameraShowsDetail_ && detail_;
}

double TerrainScene::SourceCellM() const
{
    if (!heights_)
        return 0.0;
    const double midLatDeg = 0.5 * (terrain_->SouthLatDeg() + terrain_->NorthLatDeg());
    const raster::RasterDescription& dem = heights_->Description();
    return dem.metresPerUnit == 0.0  // angular cells: degrees
               ? std::min(dem.cellWidth * MetresPerDegreeLon(midLatDeg),
                          dem.cellHeight * MetresPerDegreeLat(midLatDeg))
               : std::min(dem.cellWidth, dem.cellHeight) * dem.metresPerUnit;
}

std::optional<TerrainScene::DetailRequest> TerrainScene::DetailWanted(QSize viewPx) const
{
    if (!heights_)
        return std::nullopt;  // the demonstration terrain's grid is all there is
    const auto footprint = FrameFootprint(MakeCamera(viewPx));
    if (!footprint)
        return std::nullopt;
    const double spanM = SpanM(*footprint);
    const double wantedCellM = std::max(SourceCellM(), spanM / kDetailCellsPerSpan);
    const auto fineEnough = [&](const Terrain& grid) { return grid.CellSizeM() <= 1.5 * wantedCellM; };
    if (fineEnough(*terrain_) || (detail_ && Inside(*footprint, *detail_) && fineEnough(*detail_)))
        return std::nullopt;
    const double marginLatDeg = kDetailMargin * (footprint->northDeg - footprint->southDeg);
    const double marginLonDeg = kDetailMargin * (footprint->eastDeg - footprint->westDeg);
    DetailRequest request;
    request.window = {.southDeg = footprint->southDeg - marginLatDeg,
                      .westDeg = footprint->westDeg - marginLonDeg,
                      .northDeg = footprint->northDeg + marginLatDeg,
                      .eastDeg = footprint->eastDeg + marginLonDeg};
    const double cellsAcross = (1.0 + 2.0 * kDetailMargin) * spanM / wantedCellM;
    request.maxCells = static_cast<std::int64_t>(cellsAcross * cellsAcross);
    return request;
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
        // Which grid this camera sees is decided once per camera: picks come by thousands.
        const auto footprint = detail_ ? FrameFootprint(*camera_) : std::nullopt;
        cameraShowsDetail_ = footprint && Inside(*footprint, *detail_);
    }
    return *camera_;
}

TerrainScene TerrainScene::ForPicks(std::shared_ptr<raster::ElevationSource> heights) const
{
    TerrainScene copy = *this;
    copy.heights_ = std::move(heights);
    copy.drape_.reset();
    copy.mapLayers_.clear();
    return copy;
}

RayCastResult TerrainScene::Pick(double sx, double sy, QSize viewPx) const
{
    const Ray ray = MakeCamera(viewPx).RayThrough(sx, sy);
    const Terrain& shown = ShownTerrain();
    RayCastResult result = PickOn(shown, ray);
    // Ground just beyond the detail's edge (lower than the level the frame was measured on)
    // is still on the whole grid.
    if (!result.hit && &shown != terrain_.get())
        result = PickOn(*terrain_, ray);
    return result;
}

RayCastResult TerrainScene::PickOn(const Terrain& grid, const Ray& ray) const
{
    if (!heights_)
        return CastRay(grid, ray);
    const SurfaceSearch search = SourceSearch(grid);
    // The source may rise above the grid before the grid's hit, by up to the tolerance: its
    // surface is searched from where the ray comes within the tolerance above the grid, or
    // from the camera when it is that close. For a ray steeper than the grid's slopes that
    // point follows from the grid's hit; a flatter ray meets the grid raised by the tolerance.
    const Geodetic eye = GeodeticFromEcef(ray.origin);
    const auto groundUnderEyeM = grid.ElevationM(eye.latDeg, eye.lonDeg);
    const bool eyeNearGround = groundUnderEyeM && eye.heightM <= *groundUnderEyeM + search.heightToleranceM;
    const TerrainHit underEye{eye.latDeg, eye.lonDeg, eye.heightM, 0.0};
    const double gridSlope = grid.MaxSlope() * 1.02;
    const bool steep = SearchStartM(ray, underEye, search.heightToleranceM, gridSlope).has_value();
    RayCastResult result = CastRay(grid, ray, eyeNearGround || steep ? 0.0 : search.heightToleranceM);
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

SurfaceSearch TerrainScene::SourceSearch(const Terrain& shown) const
{
    // The grid's samples are the source's own or resampled from it; between them the
    // source may stray from the grid's surface by up to a cell's rise at the steepest slope.
    const double sourceCellM = SourceCellM();
    const double gridCellM = std::max(shown.CellSizeM(), sourceCellM);
    return SurfaceSearch{std::max(5.0, gridCellM * std::min(shown.MaxSlope(), 3.0)), sourceCellM};
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

void TerrainScene::SetDrape(std::shared_ptr<const ImageryDrape> drape)
{
    drape_ = std::move(drape);
    ++revision_;
}

void TerrainScene::SetMapLayers(std::vector<std::shared_ptr<const MapLayer>> layers)
{
    mapLayers_ = std::move(layers);
    ++revision_;
}

QImage TerrainScene::Render(QSize viewPx)
{
    const Camera camera = MakeCamera(viewPx);
    shownRenderer_ = cameraShowsDetail_ && detailRenderer_ ? detailRenderer_ : renderer_;
    QImage frame = shownRenderer_->Render(camera, drape_.get());
    if (!mapLayers_.empty()) {
        const SurfaceBuffers& buffers = shownRenderer_->Buffers();
        const Terrain& shown = ShownTerrain();
        DrawMapLayers(
            frame, camera, FrameDepth{buffers.widthPx, buffers.heightPx, &buffers.invDepth},
            [&shown](double latDeg, double lonDeg) { return shown.ElevationM(latDeg, lonDeg); }, mapLayers_);
    }
    // Scale bar, north arrow and the demonstration terrain's label stay readable on top.
    overlays_ = DrawOverlays(frame, camera, *terrain_);
    return frame;
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
