#include "earth/terrain_lod.h"

#include <algorithm>
#include <cmath>

namespace keldarn::earth {

namespace {

constexpr double kMeanEarthRadiusM = 6371000.0;

// How far a straight chord of the given length dips below the curved earth (metres): L²/8R.
double SagittaM(double chordM)
{
    return chordM * chordM / (8.0 * kMeanEarthRadiusM);
}

}  // namespace

TerrainLod::TerrainLod(const Terrain& terrain) : terrain_(terrain)
{
    const GridGeometry& grid = terrain.Grid();
    const int cells = std::max(grid.columns, grid.rows) - 1;
    int level = 0;
    while ((kTileCells << level) < cells)
        ++level;
    nodes_.emplace_back();
    root_ = 0;
    Build(root_, level, 0, 0);
    for (Node& node : nodes_)
        PlaceBox(node);
}

// Fills nodes_[index] and, recursively, its children. Indices rather than references:
// nodes_ grows while the tree is built.
int TerrainLod::Build(int index, int level, int column0, int row0)
{
    nodes_[index].column0 = column0;
    nodes_[index].row0 = row0;
    nodes_[index].level = level;
    if (level == 0) {
        MeasureLeaf(nodes_[index]);
        nodes_[index].skirtM = 2.0f * nodes_[index].errorM + 1.0f;
        return index;
    }
    const GridGeometry& grid = terrain_.Grid();
    const int half = (kTileCells << level) / 2;
    std::vector<std::pair<int, int>> origins;
    for (int dr : {0, half})
        for (int dc : {0, half})
            if (column0 + dc < grid.columns - 1 && row0 + dr < grid.rows - 1)
                origins.emplace_back(column0 + dc, row0 + dr);
    const int first = static_cast<int>(nodes_.size());
    nodes_.resize(nodes_.size() + origins.size());
    nodes_[index].firstChild = first;
    nodes_[index].childCount = static_cast<int>(origins.size());
    float lowM = INFINITY, highM = -INFINITY, childErrorM = 0.0f;
    for (size_t k = 0; k < origins.size(); ++k) {
        const Node& child =
            nodes_[Build(first + static_cast<int>(k), level - 1, origins[k].first, origins[k].second)];
        if (std::isfinite(child.minM)) {
            lowM = std::min(lowM, child.minM);
            highM = std::max(highM, child.maxM);
        }
        childErrorM = std::max(childErrorM, child.errorM);
    }
    Node& node = nodes_[index];
    node.minM = std::isfinite(lowM) ? lowM : NAN;
    node.maxM = std::isfinite(highM) ? highM : NAN;
    // The surface differs from the children's meshes by at most their error, and those
    // meshes from this one by the refinement error.
    node.errorM = childErrorM + RefinementErrorM(node);
    node.skirtM = 2.0f * node.errorM + 1.0f;
    for (int k = 0; k < node.childCount; ++k) {
        Node& child = nodes_[node.firstChild + k];
        child.skirtM = std::max(child.skirtM, child.errorM + node.errorM + 1.0f);
    }
    return index;
}

// A leaf's mesh has a vertex at every sample; within a cell it differs from the bilinear
// surface by at most a quarter of the cell's twist h00 − h10 − h01 + h11.
void TerrainLod::MeasureLeaf(Node& node) const
{
    std::vector<int> columns, rows;
    VertexColumns(node, columns);
    VertexRows(node, rows);
    float lowM = INFINITY, highM = -INFINITY, twistM = 0.0f;
    for (size_t j = 0; j < rows.size(); ++j) {
        for (size_t i = 0; i < columns.size(); ++i) {
            const float h = terrain_.SampleM(columns[i], rows[j]);
            if (!std::isfinite(h))
                continue;
            lowM = std::min(lowM, h);
            highM = std::max(highM, h);
            if (i + 1 < columns.size() && j + 1 < rows.size()) {
                const float twist = h - terrain_.SampleM(columns[i + 1], rows[j]) -
                                    terrain_.SampleM(columns[i], rows[j + 1]) +
                                    terrain_.SampleM(columns[i + 1], rows[j + 1]);
                if (std::isfinite(twist))
                    twistM = std::max(twistM, 0.25f * std::fabs(twist));
            }
        }
    }
    node.minM = std::isfinite(lowM) ? lowM : NAN;
    node.maxM = std::isfinite(highM) ? highM : NAN;
    node.errorM = twistM;
}

// The largest height difference at the children's vertices between the children's level
// and this tile's mesh, whose cells are split along the diagonal from the north-west to
// the south-east corner (as the renderer splits them).
float TerrainLod::RefinementErrorM(const Node& node) const
{
    const int stride = 1 << node.level;
    const int lastColumn = terrain_.Grid().columns - 1;
    const int lastRow = terrain_.Grid().rows - 1;
    float errorM = 0.0f;
    for (int k = 0; k <= 2 * kTileCells; ++k) {
        const int rf = std::min(node.row0 + k * stride / 2, lastRow);
        const int ra = node.row0 + (rf - node.row0) / stride * stride;
        const int rb = std::min(ra + stride, lastRow);
        const double fy = rb > ra ? static_cast<double>(rf - ra) / (rb - ra) : 0.0;
        for (int m = 0; m <= 2 * kTileCells; ++m) {
            const int cf = std::min(node.column0 + m * stride / 2, lastColumn);
            const int ca = node.column0 + (cf - node.column0) / stride * stride;
            const int cb = std::min(ca + stride, lastColumn);
            const double fx = cb > ca ? static_cast<double>(cf - ca) / (cb - ca) : 0.0;
            const double h00 = terrain_.SampleM(ca, ra), h10 = terrain_.SampleM(cb, ra);
            const double h01 = terrain_.SampleM(ca, rb), h11 = terrain_.SampleM(cb, rb);
            const double coarseM = fx >= fy ? h00 + fx * (h10 - h00) + fy * (h11 - h10)
                                            : h00 + fy * (h01 - h00) + fx * (h11 - h01);
            const double differenceM = std::fabs(terrain_.SampleM(cf, rf) - coarseM);
            if (std::isfinite(differenceM))
                errorM = std::max(errorM, static_cast<float>(differenceM));
            if (cf == lastColumn)
                break;
        }
        if (rf == lastRow)
            break;
    }
    return errorM;
}

void TerrainLod::PlaceBox(Node& node) const
{
    std::vector<int> columns, rows;
    VertexColumns(node, columns);
    VertexRows(node, rows);
    const double northDeg = terrain_.LatitudeOfRowDeg(rows.front());
    const double southDeg = terrain_.LatitudeOfRowDeg(rows.back());
    const double westDeg = terrain_.LongitudeOfColumnDeg(columns.front());
    const double eastDeg = terrain_.LongitudeOfColumnDeg(columns.back());
    const double midLatDeg = 0.5 * (northDeg + southDeg);
    const double diagonalM = std::hypot(
        (northDeg - southDeg) * MetresPerDegreeLat(midLatDeg),
        (eastDeg - westDeg) * MetresPerDegreeLon(std::min(std::fabs(northDeg), std::fabs(southDeg))));
    const double bulgeM = SagittaM(diagonalM) + 1.0;
    const double lowM = std::isfinite(node.minM) ? node.minM - node.skirtM - 1.0 : 0.0;
    const double highM = std::isfinite(node.maxM) ? node.maxM + bulgeM : 0.0;
    int k = 0;
    for (double latDeg : {northDeg, southDeg})
        for (double lonDeg : {westDeg, eastDeg})
            for (double heightM : {lowM, highM})
                node.corners[k++] = EcefFromGeodetic({latDeg, lonDeg, heightM});
    node.centre = EcefFromGeodetic({midLatDeg, 0.5 * (westDeg + eastDeg), 0.5 * (lowM + highM)});
    node.radiusM = 0.0;
    for (const Vec3& corner : node.corners)
        node.radiusM = std::max(node.radiusM, (corner - node.centre).Length());
    node.radiusM += bulgeM;
}

void TerrainLod::VertexColumns(const Node& node, std::vector<int>& columns) const
{
    columns.clear();
    const int last = terrain_.Grid().columns - 1;
    for (int k = 0; k <= kTileCells; ++k) {
        columns.push_back(std::min(node.column0 + (k << node.level), last));
        if (columns.back() == last)
            break;
    }
}

void TerrainLod::VertexRows(const Node& node, std::vector<int>& rows) const
{
    rows.clear();
    const int last = terrain_.Grid().rows - 1;
    for (int k = 0; k <= kTileCells; ++k) {
        rows.push_back(std::min(node.row0 + (k << node.level), last));
        if (rows.back() == last)
            break;
    }
}

bool TerrainLod::OnEastEdge(const Node& node) const
{
    return node.column0 + (kTileCells << node.level) >= terrain_.Grid().columns - 1;
}

bool TerrainLod::OnSouthEdge(const Node& node) const
{
    return node.row0 + (kTileCells << node.level) >= terrain_.Grid().rows - 1;
}

// True when the tile's box lies wholly outside one side of the view pyramid.
bool TerrainLod::Culled(const Node& node, const Camera& camera) const
{
    const double tw = camera.TanHalfWidth() * 1.02;
    const double th = camera.TanHalfHeight() * 1.02;
    bool allBehind = true, allLeft = true, allRight = true, allBelow = true, allAbove = true;
    for (const Vec3& corner : node.corners) {
        const Vec3 c = camera.ToCameraSpace(corner);
        allBehind = allBehind && c.z <= 0.0;
        allLeft = allLeft && c.x < -c.z * tw;
        allRight = allRight && c.x > c.z * tw;
        allBelow = allBelow && c.y < -c.z * th;
        allAbove = allAbove && c.y > c.z * th;
    }
    return allBehind || allLeft || allRight || allBelow || allAbove;
}

void TerrainLod::Select(const Camera& camera, double toleratedPx, std::vector<int>& selected) const
{
    selected.clear();
    const double focalPx = 0.5 * camera.WidthPx() / camera.TanHalfWidth();
    const double cellM = terrain_.CellSizeM();
    std::vector<int> stack{root_};
    while (!stack.empty()) {
        const int index = stack.back();
        stack.pop_back();
        const Node& node = nodes_[index];
        if (!std::isfinite(node.minM) || Culled(node, camera))
            continue;
        const double distanceM = std::max((node.centre - camera.Position()).Length() - node.radiusM, 1.0);
        // Each triangle is a flat chord of the curved ground, too.
        const double triangleSagM = SagittaM(1.5 * (1 << node.level) * cellM);
        if (node.firstChild < 0 || (node.errorM + triangleSagM) * focalPx / distanceM <= toleratedPx) {
            selected.push_back(index);
            continue;
        }
        for (int k = 0; k < node.childCount; ++k)
            stack.push_back(node.firstChild + k);
    }
    // Near tiles first, so that the depth test rejects most of the far ones' pixels early.
    const Vec3 eye = camera.Position();
    std::sort(selected.begin(), selected.end(), [&](int a, int b) {
        return (nodes_[a].centre - eye).Length() < (nodes_[b].centre - eye).Length();
    });
}

}  // namespace keldarn::earth
