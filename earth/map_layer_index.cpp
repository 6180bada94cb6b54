#include "earth/map_layer_index.h"

#include <limits>
#include <numeric>

namespace keldarn::earth::map_detail {
namespace {

// Ground length of a degree (metres), rough: enough to skip vertices closer than a pixel.
constexpr double kMetresPerDegree = 111200.0;

LineBounds BoundsOf(const MapPolyline& line)
{
    LineBounds b;
    for (const geodesy::GeoPoint& vertex : line.vertices)
        b.box.Add(vertex.latDeg, vertex.lonDeg);
    if (line.vertices.empty())
        return b;
    b.middleLatDeg = 0.5 * (b.box.southDeg + b.box.northDeg);
    b.middleLonDeg = 0.5 * (b.box.westDeg + b.box.eastDeg);
    const double northM = (b.box.northDeg - b.box.southDeg) * kMetresPerDegree;
    const double eastM = (b.box.eastDeg - b.box.westDeg) * kMetresPerDegree * std::cos(b.middleLatDeg * kRad);
    b.radiusM = std::hypot(northM, eastM) + kBoundsSlackM;
    return b;
}

// How far (metres, on a local plane) each vertex of a line lies from the line simplified
// without it, by Douglas and Peucker (1973): vertex k is kept at a tolerance t when
// significance[k] >= t. A vertex never outranks the one that split its stretch, so that the
// vertices kept at a tolerance are those the recursive simplification keeps. The ends of a
// path (the first vertex of a ring) are always kept.
std::vector<float> SignificanceOf(const MapPolyline& line)
{
    const geodesy::GeoRing& v = line.vertices;
    const size_t n = v.size();
    std::vector<float> significance(n, std::numeric_limits<float>::infinity());
    if (n < 3)
        return significance;
    const double east = std::cos(v[0].latDeg * kRad) * kMetresPerDegree;
    // Metres east and north on a plane tangent near the first vertex.
    const auto at = [&](size_t k) {
        return std::pair(v[k % n].lonDeg * east, v[k % n].latDeg * kMetresPerDegree);
    };
    // A ring runs back to its first vertex, which ends it.
    const size_t last = line.closed ? n : n - 1;
    struct Stretch {
        size_t from, to;
        double bound;
    };
    std::vector<Stretch> todo{{0, last, std::numeric_limits<double>::infinity()}};
    while (!todo.empty()) {
        const Stretch s = todo.back();
        todo.pop_back();
        if (s.to - s.from < 2)
            continue;
        const auto [ax, ay] = at(s.from);
        const auto [bx, by] = at(s.to);
        const double dx = bx - ax, dy = by - ay, length2 = dx * dx + dy * dy;
        double farthest = -1.0;
        size_t split = s.from + 1;
        for (size_t k = s.from + 1; k < s.to; ++k) {
            const auto [px, py] = at(k);
            // Distance to the chord, or to its end when the chord has none (a ring's start).
            const double t = length2 > 0.0 ? std::clamp(((px - ax) * dx + (py - ay) * dy) / length2, 0.0, 1.0) : 0.0;
            const double d = std::hypot(px - ax - t * dx, py - ay - t * dy);
            if (d > farthest) {
                farthest = d;
                split = k;
            }
        }
        const double bound = std::min(farthest, s.bound);
        significance[split] = static_cast<float>(bound);
        todo.push_back({s.from, split, bound});
        todo.push_back({split, s.to, bound});
    }
    return significance;
}

}  // namespace

template <typename BoxOf> GridIndex::GridIndex(size_t count, BoxOf&& boxOf)
{
    // About 16 items to a cell, at most 256 × 256 cells.
    constexpr double kItemsPerCell = 16.0;
    const int side = std::clamp(static_cast<int>(std::sqrt(count / kItemsPerCell)), 1, 256);
    LatLonBox all;
    std::vector<geodesy::GeoPoint> middles(count);
    for (size_t k = 0; k < count; ++k) {
        const LatLonBox b = boxOf(k);
        if (!(b.southDeg <= b.northDeg))
            continue;  // nothing to draw: in cell 0
        middles[k] = {.latDeg = 0.5 * (b.southDeg + b.northDeg), .lonDeg = 0.5 * (b.westDeg + b.eastDeg)};
        all.Add(middles[k].latDeg, middles[k].lonDeg);
    }
    const auto cellOf = [&](size_t k) {
        if (!(all.southDeg < all.northDeg) || !(all.westDeg < all.eastDeg))
            return 0;
        const auto step = [side](double t) { return std::clamp(static_cast<int>(t * side), 0, side - 1); };
        return step((middles[k].latDeg - all.southDeg) / (all.northDeg - all.southDeg)) * side +
               step((middles[k].lonDeg - all.westDeg) / (all.eastDeg - all.westDeg));
    };
    std::vector<int> cells(count);
    cellStart_.assign(static_cast<size_t>(side) * side + 1, 0);
    for (size_t k = 0; k < count; ++k)
        ++cellStart_[(cells[k] = cellOf(k)) + 1];
    std::partial_sum(cellStart_.begin(), cellStart_.end(), cellStart_.begin());
    items_.resize(count);
    cellBox_.resize(static_cast<size_t>(side) * side);
    std::vector<int> next(cellStart_.begin(), cellStart_.end() - 1);
    for (size_t k = 0; k < count; ++k) {
        items_[next[cells[k]]++] = static_cast<int>(k);
        const LatLonBox b = boxOf(k);
        if (b.southDeg <= b.northDeg) {
            cellBox_[cells[k]].Add(b.southDeg, b.westDeg);
            cellBox_[cells[k]].Add(b.northDeg, b.eastDeg);
        }
    }
}

LayerCache& LayerCaches::For(const std::shared_ptr<const MapLayer>& layer)
{
    std::erase_if(caches_, [](const auto& cache) { return cache->owner.expired(); });
    for (auto& cache : caches_)
        if (cache->layer == layer.get() && cache->owner.lock() == layer)
            return *cache;
    auto cache = std::make_unique<LayerCache>();
    cache->owner = layer;
    cache->layer = layer.get();
    const auto& lines = layer->lines;
    cache->lineBounds.resize(lines.size());
    cache->significance.resize(lines.size());
    ParallelFor(static_cast<int>(lines.size()), [&](int begin, int end) {
        for (int k = begin; k < end; ++k) {
            cache->lineBounds[k] = BoundsOf(lines[k]);
            cache->significance[k] = SignificanceOf(lines[k]);
        }
    });
    cache->lineIndex = GridIndex(lines.size(), [&](size_t k) { return cache->lineBounds[k].box; });
    cache->markerIndex = GridIndex(layer->markers.size(), [&](size_t k) {
        LatLonBox b;
        b.Add(layer->markers[k].latDeg, layer->markers[k].lonDeg);
        return b;
    });
    cache->labelWidthPx.assign(layer->markers.size(), std::numeric_limits<float>::quiet_NaN());
    caches_.push_back(std::move(cache));
    return *caches_.back();
}

// Never destroyed: text layouts destroyed at exit, after the application and its fonts, could
// reach for what is gone.
LayerCaches& Caches()
{
    static auto* caches = new LayerCaches;
    return *caches;
}

}  // namespace keldarn::earth::map_detail
