#pragma once

// What drawing derives from a map layer and keeps while the layer lives: where its lines lie,
// its markers and lines sorted on a grid over the ground, how far each line vertex stands out
// (for simplification), its label widths and text layouts; and the cache of these, keyed by
// layer.

#include "earth/map_frame_view.h"
#include "earth/map_layers.h"
#include "earth/parallel.h"

#include <QStaticText>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

namespace keldarn::earth::map_detail {

// Items visited in the order of the ground lie scattered in memory; their data is asked for
// this many items ahead.
constexpr size_t kPrefetchAhead = 8;

constexpr double kBoundsSlackM = 10.0;

// Where a line lies: its box and a sphere around it. The sphere's centre is the box's middle
// on the ground; its radius is twice the box's half diagonal, which holds the line wherever
// the ground within the box climbs less than about 60° from the middle.
struct LineBounds {
    LatLonBox box;
    double middleLatDeg = 0.0;
    double middleLonDeg = 0.0;
    double radiusM = 0.0;
};

// A coarse grid over a layer's extent in latitude and longitude, with the layer's markers or
// lines sorted by the cell of their middle. A frame visits only the cells whose items reach
// into the ground it shows, and visits neighbouring items together, which keeps the
// terrain's and the frame depth's samples in the cache from one item to the next (a file
// lists its placemarks in any order).
class GridIndex {
public:
    GridIndex() = default;
    // boxOf(k) is the box of item k (a point for a marker); count items.
    template <typename BoxOf> GridIndex(size_t count, BoxOf&& boxOf);

    // Every item of the cells that reach into `visible` (all when there is none), cell by
    // cell; the caller still tests each item.
    template <typename Visit> void ForEachMaybeVisible(const std::optional<LatLonBox>& visible, Visit&& visit) const
    {
        for (size_t c = 0; c + 1 < cellStart_.size(); ++c) {
            if (cellStart_[c] == cellStart_[c + 1] || (visible && !visible->Intersects(cellBox_[c])))
                continue;
            for (int n = cellStart_[c]; n < cellStart_[c + 1]; ++n)
                visit(items_[n]);
        }
    }

private:
    std::vector<int> items_;      // item indices, cell by cell
    std::vector<int> cellStart_;  // the items of cell c are items_[cellStart_[c], cellStart_[c + 1])
    std::vector<LatLonBox> cellBox_;  // what the items of each cell cover
};

// What drawing derives from a layer, kept while the layer lives.
struct LayerCache {
    std::weak_ptr<const MapLayer> owner;
    const MapLayer* layer = nullptr;
    std::vector<LineBounds> lineBounds;
    std::vector<std::vector<float>> significance;  // of each line's vertices
    GridIndex lineIndex;
    GridIndex markerIndex;
    std::vector<float> labelWidthPx;  // NaN until measured
    std::unordered_map<int, QStaticText> texts;
};

class LayerCaches {
public:
    // Call with `mutex` held.
    LayerCache& For(const std::shared_ptr<const MapLayer>& layer);

    std::mutex mutex;

private:
    std::vector<std::unique_ptr<LayerCache>> caches_;
};

// The caches of every layer drawn, shared by all frames.
LayerCaches& Caches();

// Runs body(begin, end, part) over parts of [0, count), on several threads when there are
// at least kItemsPerThread items for each; the parts come back in order.
template <typename Part, typename Body> std::vector<Part> InParts(size_t count, Body&& body)
{
    constexpr size_t kItemsPerThread = 2000;
    const int threads = static_cast<int>(std::clamp<size_t>(count / kItemsPerThread, 1, WorkerCount()));
    std::vector<Part> parts(threads);
    ParallelFor(
        threads,
        [&](int first, int end) {
            for (int t = first; t < end; ++t)
                body(count * t / threads, count * (t + 1) / threads, parts[t]);
        },
        threads);
    return parts;
}

}  // namespace keldarn::earth::map_detail
