#include "earth/tile_mesh.h"

#include <cmath>
#include <numbers>

namespace keldarn::earth {

namespace {

constexpr double kWgs84E2 = 6.69437999014e-3;

}  // namespace

TileMeshBuilder::TileMeshBuilder(const Terrain& terrain, const TerrainLod& lod, const Camera& camera)
    : terrain_(terrain), lod_(lod), eye_(camera.Position()), right_(camera.Right()), up_(camera.Up()),
      forward_(camera.Forward()), view_{camera.WidthPx(), camera.HeightPx(), camera.TanHalfWidth(),
                                        camera.TanHalfHeight()}
{
}

void TileMeshBuilder::Append(const TerrainLod::Node& node, MeshChunk& chunk)
{
    lod_.VertexColumns(node, columns_);
    lod_.VertexRows(node, rows_);
    base_ = static_cast<std::uint32_t>(chunk.vertices.size());
    AddVertices(chunk);
    AddCells(chunk);
    const size_t nc = columns_.size(), nr = rows_.size();
    if (!lod_.OnNorthEdge(node))
        AddSkirt(0, 1, nc, node.skirtM, chunk);
    if (!lod_.OnSouthEdge(node))
        AddSkirt((nr - 1) * nc, 1, nc, node.skirtM, chunk);
    if (!lod_.OnWestEdge(node))
        AddSkirt(0, nc, nr, node.skirtM, chunk);
    if (!lod_.OnEastEdge(node))
        AddSkirt(nc - 1, nc, nr, node.skirtM, chunk);
}

MeshVertex TileMeshBuilder::ToCamera(const Vec3& ecef, float column, float row) const
{
    // Relative to the camera in double precision first: ECEF coordinates are millions of
    // metres, too large for float.
    const Vec3 d = ecef - eye_;
    MeshVertex v{static_cast<float>(d.Dot(right_)), static_cast<float>(d.Dot(up_)),
                 static_cast<float>(d.Dot(forward_)), column, row};
    if (v.z >= kNearPlaneM)
        view_.Project(v);
    return v;
}

// Vertices on the ellipsoid raised by each sample's elevation:
// X = (N + h) cos B cos L, Y = (N + h) cos B sin L, Z = (N (1 − e²) + h) sin B.
void TileMeshBuilder::AddVertices(MeshChunk& chunk)
{
    constexpr double kRad = std::numbers::pi / 180.0;
    const size_t nc = columns_.size(), nr = rows_.size();
    valid_.assign(nc * nr, false);
    normals_.resize(nc * nr);
    thread_local std::vector<double> sinL, cosL;
    sinL.resize(nc);
    cosL.resize(nc);
    for (size_t i = 0; i < nc; ++i) {
        const double L = terrain_.LongitudeOfColumnDeg(columns_[i]) * kRad;
        sinL[i] = std::sin(L);
        cosL[i] = std::cos(L);
    }
    for (size_t j = 0; j < nr; ++j) {
        const double B = terrain_.LatitudeOfRowDeg(rows_[j]) * kRad;
        const double sinB = std::sin(B), cosB = std::cos(B);
        const double N = kWgs84SemiMajorM / std::sqrt(1.0 - kWgs84E2 * sinB * sinB);  // prime vertical radius
        for (size_t i = 0; i < nc; ++i) {
            const size_t k = j * nc + i;
            const float h = terrain_.SampleM(columns_[i], rows_[j]);
            valid_[k] = std::isfinite(h);
            const double hM = valid_[k] ? h : 0.0;
            normals_[k] = Vec3{cosB * cosL[i], cosB * sinL[i], sinB};
            const Vec3 p{(N + hM) * cosB * cosL[i], (N + hM) * cosB * sinL[i],
                         (N * (1.0 - kWgs84E2) + hM) * sinB};
            chunk.vertices.push_back(
                ToCamera(p, static_cast<float>(columns_[i]), static_cast<float>(rows_[j])));
        }
    }
}

void TileMeshBuilder::AddCells(MeshChunk& chunk) const
{
    const size_t nc = columns_.size(), nr = rows_.size();
    for (size_t j = 0; j + 1 < nr; ++j) {
        for (size_t i = 0; i + 1 < nc; ++i) {
            const size_t k = j * nc + i;
            if (!valid_[k] || !valid_[k + 1] || !valid_[k + nc] || !valid_[k + nc + 1])
                continue;
            const std::uint32_t v00 = base_ + static_cast<std::uint32_t>(k), v10 = v00 + 1;
            const std::uint32_t v01 = v00 + static_cast<std::uint32_t>(nc), v11 = v01 + 1;
            chunk.indices.insert(chunk.indices.end(), {v00, v10, v11, v00, v11, v01});
        }
    }
}

void TileMeshBuilder::AddSkirt(size_t first, size_t step, size_t count, float depthM, MeshChunk& chunk) const
{
    for (size_t s = 0; s + 1 < count; ++s) {
        const size_t ka = first + s * step, kb = ka + step;
        if (!valid_[ka] || !valid_[kb])
            continue;
        const std::uint32_t a = base_ + static_cast<std::uint32_t>(ka),
                            b = base_ + static_cast<std::uint32_t>(kb);
        const std::uint32_t aLow = static_cast<std::uint32_t>(chunk.vertices.size()), bLow = aLow + 1;
        for (size_t k : {ka, kb}) {
            // The skirt's lower edge keeps the grid coordinates, so it shows the side's colours.
            const MeshVertex top = chunk.vertices[base_ + k];
            const Vec3 drop = normals_[k] * -static_cast<double>(depthM);
            MeshVertex low{top.x + static_cast<float>(drop.Dot(right_)),
                           top.y + static_cast<float>(drop.Dot(up_)),
                           top.z + static_cast<float>(drop.Dot(forward_)), top.column, top.row};
            if (low.z >= kNearPlaneM)
                view_.Project(low);
            chunk.vertices.push_back(low);
        }
        chunk.indices.insert(chunk.indices.end(), {a, b, bLow, a, bLow, aLow});
    }
}

}  // namespace keldarn::earth
