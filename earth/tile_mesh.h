#pragma once

// The triangles of one level-of-detail tile in camera space, ready for the rasterizer.

#include "earth/camera.h"
#include "earth/rasterizer.h"
#include "earth/terrain.h"
#include "earth/terrain_lod.h"

#include <vector>

namespace keldarn::earth {

// Builds tile meshes for one camera. Each cell becomes two triangles split from the
// north-west to the south-east corner (as TerrainLod measures the error); cells with a
// sample without data are left out. Sides shared with other tiles get skirts, walls that
// hang skirtM down so that no crack opens to a neighbour drawn at another level.
// One builder per thread.
class TileMeshBuilder {
public:
    TileMeshBuilder(const Terrain& terrain, const TerrainLod& lod, const Camera& camera);

    void Append(const TerrainLod::Node& node, MeshChunk& chunk);

private:
    void AddVertices(MeshChunk& chunk);
    void AddCells(MeshChunk& chunk) const;
    // A skirt under `count` vertices starting at `first`, `step` apart in the tile's grid.
    void AddSkirt(size_t first, size_t step, size_t count, float depthM, MeshChunk& chunk) const;
    MeshVertex ToCamera(const Vec3& ecef, float column, float row) const;

    const Terrain& terrain_;
    const TerrainLod& lod_;
    Vec3 eye_, right_, up_, forward_;
    ViewProjection view_;
    // The tile being built: its vertex columns and rows, and per vertex whether it has
    // data and its ellipsoid normal (ECEF).
    std::vector<int> columns_, rows_;
    std::vector<bool> valid_;
    std::vector<Vec3> normals_;
    std::uint32_t base_ = 0;  // index of the tile's first vertex in the chunk
};

}  // namespace keldarn::earth
