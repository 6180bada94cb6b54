#pragma once

// Draws the terrain as a camera sees it: shaded relief with elevation tints under the
// draped imagery, haze with distance, and sky above the horizon. The scene draws the map
// layers and the overlays (scale bar, north arrow) over it.
//
// The surface is rasterized from the level-of-detail mesh of TerrainLod; each pixel keeps
// the grid coordinates of the nearest surface point, and its colour is taken from the full
// resolution grid there. Pixel (x, y) samples the normalised view point (2x/w − 1,
// 1 − 2y/h), the point that a pick at that pixel sends to the ray caster, so what a pixel
// shows is the terrain point the pick returns (within the mesh error of under a pixel).

#include "earth/camera.h"
#include "earth/imagery_drape.h"
#include "earth/rasterizer.h"
#include "earth/terrain.h"
#include "earth/terrain_lod.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace keldarn::earth {

class TerrainRenderer {
public:
    explicit TerrainRenderer(std::shared_ptr<const Terrain> terrain);

    // A frame of camera.WidthPx() × camera.HeightPx() pixels, with the imagery draped over
    // the shaded relief when there is some.
    QImage Render(const Camera& camera, const ImageryDrape* drape = nullptr);

    // Per pixel of the last frame: the depth and grid point of the surface drawn there.
    const SurfaceBuffers& Buffers() const { return buffers_; }

    // The place of the elevation grid drawn at a pixel of the last frame; nothing for sky or
    // ground without data.
    std::optional<CellPosition> DrawnCellPosition(int x, int y) const;

    // Threads used for a frame (default: the machine's cores).
    void SetThreadCount(int threads) { threads_ = std::max(threads, 1); }

    // Tiles and triangles of the last frame, for benchmarks.
    int LastTileCount() const { return static_cast<int>(selected_.size()); }
    size_t LastTriangleCount() const;

    const Terrain& terrain() const { return *terrain_; }

private:
    void BuildMeshes(const Camera& camera);
    void ShadeRows(const Camera& camera, QImage& image, int rowBegin, int rowEnd) const;
    QRgb SurfaceColour(float column, float row, float invDepth) const;
    QRgb BackgroundColour(const Camera& camera, int x, int y) const;

    std::shared_ptr<const Terrain> terrain_;
    TerrainLod lod_;
    std::vector<std::uint8_t> hillshade_;      // per sample, 0 = in shadow .. 255 = facing the sun
    std::array<QRgb, 256> tints_{};            // from the lowest to the highest elevation
    double tintScale_ = 0.0;                   // tint index per metre above the lowest elevation
    std::array<double, 256> hazeDepthPerM_{};  // per tint step, for the current frame
    int threads_;
    std::vector<int> selected_;
    std::vector<MeshChunk> chunks_;  // one per thread
    SurfaceBuffers buffers_;
    std::optional<DrapeSampler> drape_;  // for the frame being drawn
};

// The hillshade of a grid (Horn's 3 × 3 gradient, sun from the north-west 45° high) as
// 0..255 per sample; samples without data, and neighbours without data, count as flat.
std::vector<std::uint8_t> ComputeHillshade(const Terrain& terrain);

}  // namespace keldarn::earth
