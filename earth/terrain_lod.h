#pragma once

// Levels of detail of the terrain mesh for the renderer: a quadtree of square tiles over the
// grid. A tile of level L has kTileCells × kTileCells cells whose corners are every 2^L-th
// sample; each tile knows how far its mesh strays from the full-resolution surface, so that a
// frame can draw far terrain coarsely without a visible error.

#include "earth/camera.h"
#include "earth/terrain.h"

#include <array>
#include <vector>

namespace keldarn::earth {

class TerrainLod {
public:
    static constexpr int kTileCells = 32;

    struct Node {
        int column0 = 0;  // first sample column and row of the tile
        int row0 = 0;
        int level = 0;      // the tile's vertices are 2^level samples apart
        float minM = 0.0f;  // elevation range of the samples with data (metres)
        float maxM = 0.0f;
        float errorM = 0.0f;  // largest height difference of the tile's mesh from the surface
        float skirtM = 0.0f;  // depth of the skirts that hide cracks to coarser neighbours
        int firstChild = -1;  // children are stored one after the other; -1 for a leaf
        int childCount = 0;
        std::array<Vec3, 8> corners;  // ECEF box around the tile's surface (curvature included)
        Vec3 centre;                  // ECEF; with radiusM a sphere around the box
        double radiusM = 0.0;
    };

    explicit TerrainLod(const Terrain& terrain);

    const std::vector<Node>& Nodes() const { return nodes_; }

    // The tiles to draw for a camera, nearest first: those in the view whose mesh error,
    // seen from the camera, stays below toleratedPx pixels, or leaves.
    void Select(const Camera& camera, double toleratedPx, std::vector<int>& selected) const;

    // The sample columns (rows) of a tile's vertices: every 2^level-th from the first, the
    // last one cut back to the grid's edge.
    void VertexColumns(const Node& node, std::vector<int>& columns) const;
    void VertexRows(const Node& node, std::vector<int>& rows) const;

    // Whether a side of the tile lies on the grid's boundary (no neighbour, so no skirt).
    bool OnWestEdge(const Node& node) const { return node.column0 == 0; }
    bool OnNorthEdge(const Node& node) const { return node.row0 == 0; }
    bool OnEastEdge(const Node& node) const;
    bool OnSouthEdge(const Node& node) const;

private:
    int Build(int index, int level, int column0, int row0);
    void MeasureLeaf(Node& node) const;
    float RefinementErrorM(const Node& node) const;
    void PlaceBox(Node& node) const;
    bool Culled(const Node& node, const Camera& camera) const;

    const Terrain& terrain_;
    std::vector<Node> nodes_;
    int root_ = -1;
};

}  // namespace keldarn::earth
