#include "earth/terrain_renderer.h"

#include "earth/parallel.h"
#include "earth/tile_mesh.h"
#include "earth/vector_state.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace keldarn::earth {

namespace {

// Tiles are refined until their mesh error looks smaller than this on screen (pixels).
constexpr double kToleratedErrorPx = 0.75;
// Distance through air at sea level at which haze hides about 63 % of the ground's colour,
// and the height over which the air thins by a factor e (metres).
constexpr double kHazeDistanceM = 60000.0;
constexpr double kAirScaleHeightM = 8000.0;
// Slopes are shaded as if twice as steep, as shaded relief maps do, so that gentle
// terrain still shows its form.
constexpr double kReliefExaggeration = 2.0;
const QRgb kHazeColour = qRgb(196, 212, 228);
const QRgb kNoDataColour = qRgb(92, 98, 106);

struct ColourStop {
    double t;
    int r, g, b;
};

// Hypsometric tints from the lowest to the highest elevation of the terrain: green
// lowlands, yellow and brown hills, pale brown-grey summits.
std::array<QRgb, 256> MakeTints()
{
    static constexpr ColourStop kStops[] = {{0.00, 70, 124, 76},   {0.20, 126, 164, 92},
                                            {0.42, 196, 188, 126}, {0.62, 182, 146, 100},
                                            {0.84, 150, 118, 92},  {1.00, 212, 200, 186}};
    std::array<QRgb, 256> tints{};
    for (int k = 0; k < 256; ++k) {
        const double t = k / 255.0;
        int s = 0;
        while (s + 2 < static_cast<int>(std::size(kStops)) && t > kStops[s + 1].t)
            ++s;
        const ColourStop& p = kStops[s];
        const ColourStop& q = kStops[s + 1];
        const double f = std::clamp((t - p.t) / (q.t - p.t), 0.0, 1.0);
        tints[k] = qRgb(static_cast<int>(p.r + f * (q.r - p.r)), static_cast<int>(p.g + f * (q.g - p.g)),
                        static_cast<int>(p.b + f * (q.b - p.b)));
    }
    return tints;
}

QRgb Mix(QRgb a, QRgb b, double f)
{
    return qRgb(static_cast<int>(qRed(a) + f * (qRed(b) - qRed(a))),
                static_cast<int>(qGreen(a) + f * (qGreen(b) - qGreen(a))),
                static_cast<int>(qBlue(a) + f * (qBlue(b) - qBlue(a))));
}

// Optical depth per metre of sight line (in units of kHazeDistanceM) from a camera at
// cameraM to ground at groundM, for air that thins exponentially with height: the mean
// density along the line, (H/Δh)(1 − e^(−Δh/H)) · e^(−h/H) in sea-level units.
double HazeDepthPerM(double groundM, double cameraM)
{
    const double riseM = std::max(cameraM - groundM, 0.0);
    const double meanDensity =
        riseM > 1.0 ? kAirScaleHeightM / riseM * (1.0 - std::exp(-riseM / kAirScaleHeightM)) : 1.0;
    return meanDensity * std::exp(-std::max(groundM, 0.0) / kAirScaleHeightM) / kHazeDistanceM;
}

// The share of haze, 1 − e^(−depth), with e^depth taken from its Taylor polynomial of
// degree 4: within 0.012 of the exact value, plenty for a colour, and no exp per pixel.
double HazeShare(double depth)
{
    const double growth = 1.0 + depth * (1.0 + depth * (0.5 + depth * (1.0 / 6.0 + depth * (1.0 / 24.0))));
    return 1.0 - 1.0 / growth;
}

QRgb Lit(QRgb tint, double light)
{
    const auto channel = [light](int c) { return std::min(255, static_cast<int>(c * light)); };
    return qRgb(channel(qRed(tint)), channel(qGreen(tint)), channel(qBlue(tint)));
}

}  // namespace

namespace {

// How much a sample faces the sun (azimuth 315°, altitude 45°): the cosine of the angle
// between the surface normal and the sun, from Horn's (1981) weighted differences over the
// 3 × 3 neighbourhood, with slopes exaggerated. Neighbours outside the grid or without
// data count as the centre; a sample without data counts as flat.
double SunFacing(const Terrain& terrain, int c, int r, double columnStepM, double rowStepM)
{
    constexpr double kSunEast = -0.5, kSunNorth = 0.5, kSunUp = std::numbers::sqrt2 / 2.0;
    const GridGeometry& grid = terrain.Grid();
    const float centre = terrain.SampleM(c, r);
    if (!std::isfinite(centre))
        return kSunUp;
    const auto z = [&](int dc, int dr) {
        const float h =
            terrain.SampleM(std::clamp(c + dc, 0, grid.columns - 1), std::clamp(r + dr, 0, grid.rows - 1));
        return std::isfinite(h) ? double(h) : double(centre);
    };
    const double dzEast = kReliefExaggeration *
                          ((z(1, -1) + 2 * z(1, 0) + z(1, 1)) - (z(-1, -1) + 2 * z(-1, 0) + z(-1, 1))) /
                          (8.0 * columnStepM);
    const double dzNorth = kReliefExaggeration *
                           ((z(-1, -1) + 2 * z(0, -1) + z(1, -1)) - (z(-1, 1) + 2 * z(0, 1) + z(1, 1))) /
                           (8.0 * rowStepM);
    // The normal is (−∂z/∂E, −∂z/∂N, 1) normalised.
    return (-dzEast * kSunEast - dzNorth * kSunNorth + kSunUp) /
           std::sqrt(dzEast * dzEast + dzNorth * dzNorth + 1.0);
}

}  // namespace

std::vector<std::uint8_t> ComputeHillshade(const Terrain& terrain)
{
    const GridGeometry& grid = terrain.Grid();
    std::vector<std::uint8_t> shade(static_cast<size_t>(grid.columns) * grid.rows);
    const double rowStepM =
        grid.stepLatDeg * MetresPerDegreeLat(terrain.LatitudeOfRowDeg(0.5 * (grid.rows - 1)));
    ParallelFor(grid.rows, [&](int rowBegin, int rowEnd) {
        for (int r = rowBegin; r < rowEnd; ++r) {
            const double columnStepM =
                std::max(grid.stepLonDeg * MetresPerDegreeLon(terrain.LatitudeOfRowDeg(r)), 1e-3);
            for (int c = 0; c < grid.columns; ++c) {
                const double light = SunFacing(terrain, c, r, columnStepM, rowStepM);
                shade[static_cast<size_t>(r) * grid.columns + c] =
                    static_cast<std::uint8_t>(255.0 * std::clamp(light, 0.0, 1.0) + 0.5);
            }
        }
    });
    return shade;
}

TerrainRenderer::TerrainRenderer(std::shared_ptr<const Terrain> terrain)
    : terrain_(std::move(terrain)), lod_(*terrain_), hillshade_(ComputeHillshade(*terrain_)),
      tints_(MakeTints()), threads_(WorkerCount())
{
    const double spanM = terrain_->MaxElevationM() - terrain_->MinElevationM();
    tintScale_ = spanM > 0.0 ? 255.0 / spanM : 0.0;
}

size_t TerrainRenderer::LastTriangleCount() const
{
    size_t count = 0;
    for (const MeshChunk& chunk : chunks_)
        count += chunk.indices.size() / 3;
    return count;
}

QImage TerrainRenderer::Render(const Camera& camera, const ImageryDrape* drape)
{
    ClearUpperVectorState();
    const int w = camera.WidthPx(), h = camera.HeightPx();
    BuildMeshes(camera);
    buffers_.Reset(w, h);
    const ViewProjection view{w, h, camera.TanHalfWidth(), camera.TanHalfHeight()};
    ParallelFor(
        h,
        [&](int rowBegin, int rowEnd) {
            for (const MeshChunk& chunk : chunks_)
                RasterizeChunk(chunk, view, buffers_, rowBegin, rowEnd);
        },
        threads_);
    // Haze depends on the ground's height through the air's density; per tint step is
    // fine enough.
    const double cameraHeightM = GeodeticFromEcef(camera.Position()).heightM;
    for (int k = 0; k < 256; ++k)
        hazeDepthPerM_[k] =
            HazeDepthPerM(terrain_->MinElevationM() + k / std::max(tintScale_, 1e-9), cameraHeightM);
    if (drape)
        drape_.emplace(*drape, terrain_->Grid());
    else
        drape_.reset();
    QImage image(w, h, QImage::Format_RGB32);
    ParallelFor(
        h, [&](int rowBegin, int rowEnd) { ShadeRows(camera, image, rowBegin, rowEnd); }, threads_);
    drape_.reset();  // it points into the drape's images, which the caller owns
    return image;
}

std::optional<CellPosition> TerrainRenderer::DrawnCellPosition(int x, int y) const
{
    if (x < 0 || y < 0 || x >= buffers_.widthPx || y >= buffers_.heightPx)
        return std::nullopt;
    const size_t i = static_cast<size_t>(y) * buffers_.widthPx + x;
    if (buffers_.invDepth[i] <= 0.0f)
        return std::nullopt;
    return CellPosition{.column = buffers_.column[i], .row = buffers_.row[i]};
}

void TerrainRenderer::BuildMeshes(const Camera& camera)
{
    lod_.Select(camera, kToleratedErrorPx, selected_);
    chunks_.resize(threads_);
    // Tiles dealt out in turn, so that each thread gets near and far ones alike.
    ParallelFor(
        threads_,
        [&](int first, int end) {
            TileMeshBuilder builder(*terrain_, lod_, camera);
            for (int t = first; t < end; ++t) {
                chunks_[t].vertices.clear();
                chunks_[t].indices.clear();
                for (size_t k = t; k < selected_.size(); k += threads_)
                    builder.Append(lod_.Nodes()[selected_[k]], chunks_[t]);
            }
        },
        threads_);
}

void TerrainRenderer::ShadeRows(const Camera& camera, QImage& image, int rowBegin, int rowEnd) const
{
    const int w = buffers_.widthPx;
    for (int y = rowBegin; y < rowEnd; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const size_t rowStart = static_cast<size_t>(y) * w;
        for (int x = 0; x < w; ++x) {
            const size_t i = rowStart + x;
            const float invDepth = buffers_.invDepth[i];
            line[x] = invDepth > 0.0f ? SurfaceColour(buffers_.column[i], buffers_.row[i], invDepth)
                                      : BackgroundColour(camera, x, y);
        }
    }
}

// Tint by the bilinear elevation, lit by the bilinear hillshade, under the imagery, hazed by
// distance.
QRgb TerrainRenderer::SurfaceColour(float column, float row, float invDepth) const
{
    const GridGeometry& grid = terrain_->Grid();
    const float c = std::clamp(column, 0.0f, grid.columns - 1.0f);
    const float r = std::clamp(row, 0.0f, grid.rows - 1.0f);
    const int i = std::min(static_cast<int>(c), grid.columns - 2);
    const int j = std::min(static_cast<int>(r), grid.rows - 2);
    const float fx = c - i, fy = r - j;
    const float w[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
    const size_t k[4] = {
        static_cast<size_t>(j) * grid.columns + i, static_cast<size_t>(j) * grid.columns + i + 1,
        static_cast<size_t>(j + 1) * grid.columns + i, static_cast<size_t>(j + 1) * grid.columns + i + 1};
    const std::vector<float>& samples = terrain_->Samples();
    // Samples without data (at the edge of a hole) are left out of the blend.
    float heightSum = 0.0f, weightSum = 0.0f, shadeSum = 0.0f;
    for (int n = 0; n < 4; ++n) {
        const float h = samples[k[n]];
        if (!std::isfinite(h))
            continue;
        heightSum += w[n] * h;
        shadeSum += w[n] * hillshade_[k[n]];
        weightSum += w[n];
    }
    if (weightSum <= 0.0f)
        return kNoDataColour;
    const double heightM = heightSum / weightSum;
    const double shade = shadeSum / (255.0f * weightSum);
    const int tint = std::clamp(static_cast<int>((heightM - terrain_->MinElevationM()) * tintScale_), 0, 255);
    // Flat ground keeps its tint; slopes facing the sun brighten only a little, so that
    // they do not bleach to white.
    QRgb lit = Lit(tints_[tint], std::min(0.32 + 0.95 * shade, 1.12));
    if (drape_)
        lit = drape_->Over(lit, column, row);
    return Mix(lit, kHazeColour, HazeShare(hazeDepthPerM_[tint] / invDepth));
}

// Sky above the horizon, graded by the ray's angle above the camera's horizontal; the
// ground where the terrain has no data below it.
QRgb TerrainRenderer::BackgroundColour(const Camera& camera, int x, int y) const
{
    const double sx = 2.0 * x / camera.WidthPx() - 1.0;
    const double sy = 1.0 - 2.0 * y / camera.HeightPx();
    const Ray ray = camera.RayThrough(sx, sy);
    if (const auto ground = RayInsideRaisedEllipsoid(ray, terrain_->MinElevationM());
        ground && ground->farM > 0.0) {
        const double distanceM = std::max(ground->nearM, 0.0);
        return Mix(kNoDataColour, kHazeColour, HazeShare(hazeDepthPerM_[0] * distanceM));
    }
    const double elevation = ray.direction.Dot(ApproximateUp(ray.origin, 0.0));
    const double f = std::clamp(elevation / 0.5, 0.0, 1.0);
    return Mix(qRgb(206, 224, 242), qRgb(76, 128, 204), std::sqrt(f));
}

}  // namespace keldarn::earth
