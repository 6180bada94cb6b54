#pragma once

// A z-buffered triangle rasterizer for the terrain mesh. Instead of colours it writes, per
// pixel, the depth and the grid coordinates of the nearest surface point; shading reads them
// afterwards. Pixel (x, y) samples the view at the normalised point
// sx = 2x/w − 1, sy = 1 − 2y/h, the point a pick at that pixel asks the terrain for.

#include <cstdint>
#include <vector>

namespace keldarn::earth {

// Nearest distance in front of the camera that is drawn (metres).
inline constexpr float kNearPlaneM = 0.1f;

// A mesh vertex: camera-space position (metres; x right, y up, z forward), the grid
// coordinates it carries, and, in front of the near plane, its pixel position and 1/z.
struct MeshVertex {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float column = 0.0f;
    float row = 0.0f;
    float px = 0.0f;
    float py = 0.0f;
    float invZ = 0.0f;
};

// Triangles as index triples into the vertices.
struct MeshChunk {
    std::vector<MeshVertex> vertices;
    std::vector<std::uint32_t> indices;
};

// The pinhole projection of the view.
struct ViewProjection {
    int widthPx = 1;
    int heightPx = 1;
    double tanHalfWidth = 1.0;
    double tanHalfHeight = 1.0;

    // Sets px, py and invZ of a vertex in front of the near plane.
    void Project(MeshVertex& v) const
    {
        v.invZ = 1.0f / v.z;
        v.px = static_cast<float>(0.5 * widthPx * (1.0 + v.x * v.invZ / tanHalfWidth));
        v.py = static_cast<float>(0.5 * heightPx * (1.0 - v.y * v.invZ / tanHalfHeight));
    }
};

// Per pixel: 1/z of the nearest surface (0 = nothing drawn) and its grid coordinates.
struct SurfaceBuffers {
    int widthPx = 0;
    int heightPx = 0;
    std::vector<float> invDepth;
    std::vector<float> column;
    std::vector<float> row;

    void Reset(int width, int height);
};

// Draws the chunk's triangles into the pixel rows [rowBegin, rowEnd); triangles crossing
// the near plane are clipped. Threads may draw disjoint row ranges at the same time.
void RasterizeChunk(const MeshChunk& chunk, const ViewProjection& view, SurfaceBuffers& buffers, int rowBegin,
                    int rowEnd);

}  // namespace keldarn::earth
