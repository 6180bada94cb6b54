#include "earth/map_layers.h"

#include "earth/parallel.h"
#include "earth/rasterizer.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLineF>
#include <QPainter>
#include <QStaticText>

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <numeric>
#include <numbers>
#include <tuple>
#include <unordered_map>

namespace keldarn::earth {
namespace {

constexpr double kRad = std::numbers::pi / 180.0;
constexpr int kLabelPixelSize = 13;
constexpr int kMarkerRadiusPx = 4;
constexpr int kSelectedRadiusPx = 6;
constexpr double kLabelGapPx = 4.0;  // between a marker's ring and its label
const QColor kSelectedFill(255, 236, 0);
const QColor kPlate(255, 255, 255, 200);
const QColor kSelectedPlate(255, 244, 150, 230);
const QColor kLabelText(25, 25, 25);

// A point is hidden when it lies farther than the farthest surface drawn within a pixel of
// it by more than this share of that distance plus the margin: the rendered mesh departs
// from the ground that `ground` reports by less than a pixel, and the neighbourhood takes up
// the point's sub-pixel position, which matters where the ground is seen at a grazing angle.
constexpr double kHiddenShare = 0.01;
constexpr double kHiddenMarginM = 1.0;

// Draping: a segment longer than kDrapeStepPx on screen is cut into pieces about that long,
// at most kMaxPiecesPerSegment of them, with kDrapeBudget cut vertices per frame in all.
constexpr double kDrapeStepPx = 32.0;
constexpr int kMaxPiecesPerSegment = 64;
constexpr int kDrapeBudget = 20000;
// Bisections that find where a line goes behind the ground: to 1/32 of a segment.
constexpr int kHidingSteps = 5;
// A line whose whole extent on screen is below this (pixels) is drawn as a dot: a layer of
// many small lines seen from far is a cloud of them.
constexpr double kDotExtentPx = 1.5;

constexpr int kOccupancyCellPx = 4;
// Items visited in the order of the ground lie scattered in memory; their data is asked for
// this many items ahead.
constexpr size_t kPrefetchAhead = 8;
constexpr int kDepthSampleStepPx = 16;

// Ground length of a degree (metres), rough: enough to skip vertices closer than a pixel.
constexpr double kMetresPerDegree = 111200.0;

struct LatLonBox {
    double southDeg = std::numeric_limits<double>::infinity();
    double northDeg = -std::numeric_limits<double>::infinity();
    double westDeg = std::numeric_limits<double>::infinity();
    double eastDeg = -std::numeric_limits<double>::infinity();

    void Add(double latDeg, double lonDeg)
    {
        southDeg = std::min(southDeg, latDeg);
        northDeg = std::max(northDeg, latDeg);
        westDeg = std::min(westDeg, lonDeg);
        eastDeg = std::max(eastDeg, lonDeg);
    }
    bool Contains(double latDeg, double lonDeg) const
    {
        return latDeg >= southDeg && latDeg <= northDeg && lonDeg >= westDeg && lonDeg <= eastDeg;
    }
    bool Intersects(const LatLonBox& o) const
    {
        return o.southDeg <= northDeg && o.northDeg >= southDeg && o.westDeg <= eastDeg &&
               o.eastDeg >= westDeg;
    }
};

// The ECEF point of a geodetic one: (N + h) cos B cos L, (N + h) cos B sin L,
// (N (1 − e²) + h) sin B with the normal radius N = a / √(1 − e² sin² B). Direct, for the
// thousands of points a frame places; GeographicLib's Geocentric gives the same to 1e-9 m.
Vec3 Ecef(double latDeg, double lonDeg, double heightM)
{
    constexpr double e2 = kWgs84Flattening * (2.0 - kWgs84Flattening);
    const double sinB = std::sin(latDeg * kRad), cosB = std::cos(latDeg * kRad);
    const double sinL = std::sin(lonDeg * kRad), cosL = std::cos(lonDeg * kRad);
    const double n = kWgs84SemiMajorM / std::sqrt(1.0 - e2 * sinB * sinB);
    return {(n + heightM) * cosB * cosL, (n + heightM) * cosB * sinL, (n * (1.0 - e2) + heightM) * sinB};
}

// The camera's geometry for one frame, and what the frame's depth tells about the ground
// it shows.
class FrameView {
public:
    FrameView(const Camera& camera, const FrameDepth& depth) : camera_(camera)
    {
        if (depth.invDepth && depth.widthPx == camera.WidthPx() && depth.heightPx == camera.HeightPx() &&
            depth.invDepth->size() == static_cast<size_t>(depth.widthPx) * depth.heightPx)
            invDepth_ = depth.invDepth->data();
        ScanDepth();
    }

    Vec3 ToCamera(double latDeg, double lonDeg, double heightM) const
    {
        return camera_.ToCameraSpace(Ecef(latDeg, lonDeg, heightM));
    }

    // Image coordinates of a camera-space point with z > 0 (see map_layers.h).
    QPointF ToImage(const Vec3& c) const
    {
        return {0.5 * w_ * (1.0 + c.x / (c.z * camera_.TanHalfWidth())) + 0.5,
                0.5 * h_ * (1.0 - c.y / (c.z * camera_.TanHalfHeight())) + 0.5};
    }

    // Ground size (metres) of a pixel seen straight on at a forward distance of zM metres.
    double PixelM(double zM) const { return std::max(zM, 0.0) * 2.0 * camera_.TanHalfWidth() / w_; }

    bool OnFrame(const QPointF& p) const { return p.x() >= 0.0 && p.y() >= 0.0 && p.x() < w_ && p.y() < h_; }

    // Whether the surface drawn around image point p lies in front of the camera-space
    // point c; false off the frame and without depth.
    bool Hidden(const Vec3& c, const QPointF& p) const
    {
        if (!invDepth_ || !OnFrame(p))
            return false;
        const int x = static_cast<int>(p.x()), y = static_cast<int>(p.y());
        float farthest = std::numeric_limits<float>::infinity();
        for (int j = std::max(y - 1, 0); j <= std::min(y + 1, h_ - 1); ++j)
            for (int i = std::max(x - 1, 0); i <= std::min(x + 1, w_ - 1); ++i)
                farthest = std::min(farthest, invDepth_[static_cast<size_t>(j) * w_ + i]);
        if (!(farthest > 0.0f))
            return false;  // sky or ground without data next to it: nothing in front
        return c.z > (1.0 + kHiddenShare) / farthest + kHiddenMarginM;
    }

    // Whether a sphere around the camera-space point c with the radius r (metres) reaches
    // into the view's pyramid.
    bool SphereMayBeSeen(const Vec3& c, double r) const
    {
        const double tanW = camera_.TanHalfWidth(), tanH = camera_.TanHalfHeight();
        // Signed distances from the four side planes through the camera, positive inside.
        const double sideW = 1.0 / std::sqrt(1.0 + tanW * tanW), sideH = 1.0 / std::sqrt(1.0 + tanH * tanH);
        return c.z > -r && (tanW * c.z + c.x) * sideW > -r && (tanW * c.z - c.x) * sideW > -r &&
               (tanH * c.z + c.y) * sideH > -r && (tanH * c.z - c.y) * sideH > -r;
    }

    // The ground the frame can show, when every pixel of its border shows terrain.
    const std::optional<LatLonBox>& Visible() const { return visible_; }
    // Ground size of a pixel at the nearest surface drawn (metres), or a lower bound of it.
    double NearestPixelM() const { return nearestPixelM_; }
    int Width() const { return w_; }
    int Height() const { return h_; }

private:
    // Reads the depth on a grid of pixels: the ground points drawn there bound the
    // ground shown, padded by the largest step between neighbouring samples.
    void ScanDepth();

    const Camera& camera_;
    int w_ = camera_.WidthPx();
    int h_ = camera_.HeightPx();
    const float* invDepth_ = nullptr;
    std::optional<LatLonBox> visible_;
    double nearestPixelM_ = 0.0;
};

void FrameView::ScanDepth()
{
    // Without surface drawn: the nearest ground of a view, up to the steepest tilt, lies
    // more than a tenth as far as the focus.
    nearestPixelM_ = 0.1 * camera_.MetresPerPixelAtFocus();
    if (!invDepth_)
        return;
    std::vector<int> xs, ys;
    for (int x = 0; x < w_ - 1; x += kDepthSampleStepPx)
        xs.push_back(x);
    xs.push_back(w_ - 1);
    for (int y = 0; y < h_ - 1; y += kDepthSampleStepPx)
        ys.push_back(y);
    ys.push_back(h_ - 1);
    const double tanW = camera_.TanHalfWidth(), tanH = camera_.TanHalfHeight();
    LatLonBox box;
    bool borderOpen = false;
    float nearestInv = 0.0f;
    double padLatDeg = 0.0, padLonDeg = 0.0;
    std::vector<std::optional<Geodetic>> above(xs.size()), row(xs.size());
    for (size_t j = 0; j < ys.size(); ++j) {
        for (size_t i = 0; i < xs.size(); ++i) {
            row[i].reset();
            const float inv = invDepth_[static_cast<size_t>(ys[j]) * w_ + xs[i]];
            if (!(inv > 0.0f)) {
                borderOpen = borderOpen || i == 0 || j == 0 || i + 1 == xs.size() || j + 1 == ys.size();
                continue;
            }
            nearestInv = std::max(nearestInv, inv);
            const double sx = 2.0 * xs[i] / w_ - 1.0, sy = 1.0 - 2.0 * ys[j] / h_;
            const Vec3 direction =
                camera_.Forward() + camera_.Right() * (sx * tanW) + camera_.Up() * (sy * tanH);
            const Geodetic g = GeodeticNearSurface(camera_.Position() + direction * (1.0 / inv));
            box.Add(g.latDeg, g.lonDeg);
            for (const auto& neighbour : {i > 0 ? row[i - 1] : std::nullopt, above[i]}) {
                if (neighbour) {
                    padLatDeg = std::max(padLatDeg, std::fabs(g.latDeg - neighbour->latDeg));
                    padLonDeg = std::max(padLonDeg, std::fabs(g.lonDeg - neighbour->lonDeg));
                }
            }
            row[i] = g;
        }
        std::swap(above, row);
    }
    if (nearestInv > 0.0f)
        nearestPixelM_ = 2.0 * tanW / (w_ * nearestInv);
    if (borderOpen || !(box.southDeg <= box.northDeg) || box.eastDeg - box.westDeg > 180.0)
        return;
    box.southDeg -= padLatDeg;
    box.northDeg += padLatDeg;
    box.westDeg -= padLonDeg;
    box.eastDeg += padLonDeg;
    visible_ = box;
}

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

LineBounds BoundsOf(const MapPolyline& line)
{
    LineBounds b;
    for (const auto& [latDeg, lonDeg] : line.latLonDeg)
        b.box.Add(latDeg, lonDeg);
    if (line.latLonDeg.empty())
        return b;
    b.middleLatDeg = 0.5 * (b.box.southDeg + b.box.northDeg);
    b.middleLonDeg = 0.5 * (b.box.westDeg + b.box.eastDeg);
    const double northM = (b.box.northDeg - b.box.southDeg) * kMetresPerDegree;
    const double eastM = (b.box.eastDeg - b.box.westDeg) * kMetresPerDegree * std::cos(b.middleLatDeg * kRad);
    b.radiusM = std::hypot(northM, eastM) + kBoundsSlackM;
    return b;
}

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

template <typename BoxOf> GridIndex::GridIndex(size_t count, BoxOf&& boxOf)
{
    // About 16 items to a cell, at most 256 × 256 cells.
    constexpr double kItemsPerCell = 16.0;
    const int side = std::clamp(static_cast<int>(std::sqrt(count / kItemsPerCell)), 1, 256);
    LatLonBox all;
    std::vector<std::pair<double, double>> middles(count);
    for (size_t k = 0; k < count; ++k) {
        const LatLonBox b = boxOf(k);
        if (!(b.southDeg <= b.northDeg))
            continue;  // nothing to draw: in cell 0
        middles[k] = {0.5 * (b.southDeg + b.northDeg), 0.5 * (b.westDeg + b.eastDeg)};
        all.Add(middles[k].first, middles[k].second);
    }
    const auto cellOf = [&](size_t k) {
        if (!(all.southDeg < all.northDeg) || !(all.westDeg < all.eastDeg))
            return 0;
        const auto step = [side](double t) { return std::clamp(static_cast<int>(t * side), 0, side - 1); };
        return step((middles[k].first - all.southDeg) / (all.northDeg - all.southDeg)) * side +
               step((middles[k].second - all.westDeg) / (all.eastDeg - all.westDeg));
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

// How far (metres, on a local plane) each vertex of a line lies from the line simplified
// without it, by Douglas and Peucker (1973): vertex k is kept at a tolerance t when
// significance[k] >= t. A vertex never outranks the one that split its stretch, so that the
// vertices kept at a tolerance are those the recursive simplification keeps. The ends of a
// path (the first vertex of a ring) are always kept.
std::vector<float> SignificanceOf(const MapPolyline& line)
{
    const auto& v = line.latLonDeg;
    const size_t n = v.size();
    std::vector<float> significance(n, std::numeric_limits<float>::infinity());
    if (n < 3)
        return significance;
    const double east = std::cos(v[0].first * kRad) * kMetresPerDegree;
    const auto at = [&](size_t k) {
        return std::pair(v[k % n].second * east, v[k % n].first * kMetresPerDegree);
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
    LayerCache& For(const std::shared_ptr<const MapLayer>& layer)
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

    std::mutex mutex;

private:
    std::vector<std::unique_ptr<LayerCache>> caches_;
};

// Never destroyed: text layouts destroyed at exit, after the application and its fonts, could
// reach for what is gone.
LayerCaches& Caches()
{
    static auto* caches = new LayerCaches;
    return *caches;
}

struct LinePoint {
    Vec3 camera;
    QPointF image;  // when in front of the near plane
    bool front = false;
    bool hidden = false;
    double latDeg = 0.0;
    double lonDeg = 0.0;
};

// Lines of one frame, as screen segments.
class LineDrawer {
public:
    LineDrawer(const FrameView& view, const GroundHeight& ground, int drapeBudget)
        : view_(view), ground_(ground), drapeBudget_(drapeBudget)
    {
    }

    // Appends the screen segments of a line: nothing when its sphere, around its middle on
    // the ground, misses the view; a dot when the whole line is smaller than a pixel or two;
    // else the vertices that simplification keeps at half a pixel where the line lies.
    void Append(const MapPolyline& line, const LineBounds& b, const std::vector<float>& significance,
                std::vector<QLineF>& segments)
    {
        const auto& v = line.latLonDeg;
        const size_t n = v.size();
        if (n < 2)
            return;
        const std::optional<double> middleM = ground_ ? ground_(b.middleLatDeg, b.middleLonDeg) : 0.0;
        double toleranceM = 0.5 * view_.NearestPixelM();
        if (middleM) {
            const Vec3 middle = view_.ToCamera(b.middleLatDeg, b.middleLonDeg, *middleM);
            if (!view_.SphereMayBeSeen(middle, b.radiusM))
                return;
            // Pixels grow with the distance: at the line's nearest they are this large.
            const double pixelAtNearestM = view_.PixelM(middle.z - b.radiusM);
            toleranceM = std::max(toleranceM, 0.5 * pixelAtNearestM);
            if (middle.z >= kNearPlaneM && b.radiusM - kBoundsSlackM < kDotExtentPx * pixelAtNearestM) {
                LinePoint dot;
                dot.camera = middle;
                dot.front = true;
                dot.image = view_.ToImage(middle);
                dot.hidden = view_.Hidden(middle, dot.image);
                Emit(dot, dot, segments);
                return;
            }
        }
        const size_t end = line.closed ? n + 1 : n;
        LinePoint last = Place(v[0].first, v[0].second);
        for (size_t k = 1; k < end; ++k) {
            if (k < n && significance[k] < toleranceM)
                continue;
            const auto [latDeg, lonDeg] = v[k % n];
            const LinePoint next = Place(latDeg, lonDeg);
            Join(last, next, segments);
            last = next;
        }
    }

private:
    LinePoint Place(double latDeg, double lonDeg) const
    {
        LinePoint p;
        p.latDeg = latDeg;
        p.lonDeg = lonDeg;
        const std::optional<double> groundM = ground_ ? ground_(latDeg, lonDeg) : std::nullopt;
        p.camera = view_.ToCamera(latDeg, lonDeg, groundM.value_or(0.0));
        p.front = p.camera.z >= kNearPlaneM;
        if (p.front) {
            p.image = view_.ToImage(p.camera);
            p.hidden = view_.Hidden(p.camera, p.image);
        }
        return p;
    }

    // Cuts a long segment into pieces raised to the ground.
    void Join(const LinePoint& a, const LinePoint& b, std::vector<QLineF>& segments)
    {
        int pieces = 1;
        if (ground_ && a.front && b.front && drapeBudget_ > 0) {
            const double lengthPx = QLineF(a.image, b.image).length();
            pieces = std::min({static_cast<int>(std::ceil(lengthPx / kDrapeStepPx)), kMaxPiecesPerSegment,
                               drapeBudget_ + 1});
            pieces = std::max(pieces, 1);
            drapeBudget_ -= pieces - 1;
        }
        LinePoint from = a;
        for (int i = 1; i < pieces; ++i) {
            const double t = static_cast<double>(i) / pieces;
            const LinePoint to =
                Place(a.latDeg + t * (b.latDeg - a.latDeg), a.lonDeg + t * (b.lonDeg - a.lonDeg));
            Emit(from, to, segments);
            from = to;
        }
        Emit(from, b, segments);
    }

    // A segment with neither end hidden, cut at the near plane, unless it lies wholly to
    // one side of the frame. Where one end is hidden, the line goes behind the ground on
    // the way: it is drawn up to there, found by bisection on the ground.
    void Emit(const LinePoint& a, const LinePoint& b, std::vector<QLineF>& segments)
    {
        if (a.hidden != b.hidden && a.front && b.front && drapeBudget_ >= kHidingSteps) {
            drapeBudget_ -= kHidingSteps;
            LinePoint seen = a.hidden ? b : a, unseen = a.hidden ? a : b;
            for (int i = 0; i < kHidingSteps; ++i) {
                const LinePoint middle =
                    Place(0.5 * (seen.latDeg + unseen.latDeg), 0.5 * (seen.lonDeg + unseen.lonDeg));
                (middle.hidden || !middle.front ? unseen : seen) = middle;
            }
            const LinePoint& end = a.hidden ? b : a;
            if (seen.image != end.image)
                Emit(end, seen, segments);
            return;
        }
        if (a.hidden || b.hidden || (!a.front && !b.front))
            return;
        QPointF p = a.image, q = b.image;
        if (!a.front || !b.front) {
            const LinePoint& in = a.front ? a : b;
            const LinePoint& out = a.front ? b : a;
            const double t = (kNearPlaneM - in.camera.z) / (out.camera.z - in.camera.z);
            const Vec3 cut = in.camera + (out.camera - in.camera) * t;
            (a.front ? q : p) = view_.ToImage({cut.x, cut.y, kNearPlaneM});
        }
        const double w = view_.Width(), h = view_.Height();
        if ((p.x() < 0 && q.x() < 0) || (p.y() < 0 && q.y() < 0) || (p.x() > w && q.x() > w) ||
            (p.y() > h && q.y() > h))
            return;
        segments.emplace_back(p, q);
    }

    const FrameView& view_;
    const GroundHeight& ground_;
    int drapeBudget_;
};

// Which cells of the frame (kOccupancyCellPx square) labels have taken.
class Occupancy {
public:
    Occupancy(int widthPx, int heightPx)
        : widthPx_(widthPx), heightPx_(heightPx),
          columns_((widthPx + kOccupancyCellPx - 1) / kOccupancyCellPx),
          rows_((heightPx + kOccupancyCellPx - 1) / kOccupancyCellPx),
          taken_(static_cast<size_t>(columns_) * rows_)
    {
    }

    bool Inside(const QRectF& r) const
    {
        return r.left() >= 0.0 && r.top() >= 0.0 && r.right() <= widthPx_ && r.bottom() <= heightPx_;
    }

    // Takes the cells under r when r lies on the frame and they are all free.
    bool TryTake(const QRectF& r)
    {
        if (!Inside(r))
            return false;
        const Cells c = CellsOf(r);
        for (int j = c.top; j <= c.bottom; ++j)
            for (int i = c.left; i <= c.right; ++i)
                if (taken_[static_cast<size_t>(j) * columns_ + i])
                    return false;
        Take(r);
        return true;
    }

    void Take(const QRectF& r)
    {
        const Cells c = CellsOf(r);
        for (int j = c.top; j <= c.bottom; ++j)
            std::fill_n(taken_.begin() + static_cast<ptrdiff_t>(j) * columns_ + c.left, c.right - c.left + 1,
                        1);
    }

private:
    struct Cells {
        int left, top, right, bottom;
    };
    // Every cell that r reaches into, clamped to the frame.
    Cells CellsOf(const QRectF& r) const
    {
        const auto cell = [](double px, int count) {
            return std::clamp(static_cast<int>(std::floor(px / kOccupancyCellPx)), 0, count - 1);
        };
        return {cell(r.left(), columns_), cell(r.top(), rows_),
                cell(std::nextafter(r.right(), 0.0), columns_), cell(std::nextafter(r.bottom(), 0.0), rows_)};
    }

    int widthPx_, heightPx_, columns_, rows_;
    std::vector<std::uint8_t> taken_;
};

QImage MarkerSprite(const QColor& fill, const QColor& ring, int radiusPx)
{
    const int size = 2 * radiusPx + 3;  // odd: the middle pixel is the marker's pixel
    QImage sprite(size, size, QImage::Format_ARGB32_Premultiplied);
    sprite.fill(Qt::transparent);
    QPainter painter(&sprite);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(ring, 1.5));
    painter.setBrush(fill);
    painter.drawEllipse(QPointF(0.5 * size, 0.5 * size), radiusPx, radiusPx);
    return sprite;
}

struct ShownMarker {
    QPointF image;
    int layer = 0;
    int marker = 0;
    bool selected = false;
};

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

// The markers on the frame and not hidden, in layer and marker order.
std::vector<ShownMarker> PlaceMarkers(const FrameView& view, const GroundHeight& ground,
                                      const std::vector<std::shared_ptr<const MapLayer>>& layers,
                                      const std::vector<LayerCache*>& caches)
{
    // The markers that may be seen (layer, marker), neighbours on the ground together.
    std::vector<std::pair<int, int>> candidates;
    for (size_t l = 0; l < layers.size(); ++l) {
        caches[l]->markerIndex.ForEachMaybeVisible(view.Visible(), [&](int k) {
            const MapMarker& m = layers[l]->markers[k];
            if (!view.Visible() || view.Visible()->Contains(m.latDeg, m.lonDeg))
                candidates.emplace_back(static_cast<int>(l), k);
        });
    }
    const auto parts = InParts<std::vector<ShownMarker>>(
        candidates.size(), [&](size_t begin, size_t end, std::vector<ShownMarker>& shown) {
            for (size_t n = begin; n < end; ++n) {
                if (n + kPrefetchAhead < end)
                    __builtin_prefetch(&layers[candidates[n + kPrefetchAhead].first]
                                            ->markers[candidates[n + kPrefetchAhead].second]);
                const auto [l, k] = candidates[n];
                const MapMarker& m = layers[l]->markers[k];
                const std::optional<double> groundM = ground ? ground(m.latDeg, m.lonDeg) : std::nullopt;
                const Vec3 c = view.ToCamera(m.latDeg, m.lonDeg, groundM.value_or(0.0));
                if (c.z < kNearPlaneM)
                    continue;
                const QPointF p = view.ToImage(c);
                if (view.OnFrame(p) && !view.Hidden(c, p))
                    shown.push_back({p, l, k, m.selected});
            }
        });
    // Back into layer and marker order, which ranks the labels.
    std::vector<size_t> firstOfLayer{0};
    for (const auto& layer : layers)
        firstOfLayer.push_back(firstOfLayer.back() + layer->markers.size());
    std::vector<const ShownMarker*> byNumber(firstOfLayer.back(), nullptr);
    for (const auto& part : parts)
        for (const ShownMarker& m : part)
            byNumber[firstOfLayer[m.layer] + m.marker] = &m;
    std::vector<ShownMarker> shown;
    for (const ShownMarker* m : byNumber)
        if (m)
            shown.push_back(*m);
    return shown;
}

// Cuts the segment p–q to the box [x0, x1] × [y0, y1] (Liang and Barsky, 1984); false when
// nothing of it lies inside.
bool ClipToBox(QPointF& p, QPointF& q, double x0, double y0, double x1, double y1)
{
    const double dx = q.x() - p.x(), dy = q.y() - p.y();
    double enter = 0.0, leave = 1.0;
    // For each side: the segment's speed towards its outside and its distance inside at p.
    for (const auto& [towardsOut, inside] : {std::pair(-dx, p.x() - x0), std::pair(dx, x1 - p.x()),
                                             std::pair(-dy, p.y() - y0), std::pair(dy, y1 - p.y())}) {
        if (towardsOut == 0.0) {
            if (inside < 0.0)
                return false;
        } else if (towardsOut < 0.0) {
            enter = std::max(enter, inside / towardsOut);
        } else {
            leave = std::min(leave, inside / towardsOut);
        }
    }
    if (enter > leave)
        return false;
    const QPointF from = p;
    p = from + QPointF(dx, dy) * enter;
    q = from + QPointF(dx, dy) * leave;
    return true;
}

bool WritesPixelsDirectly(const QImage& frame)
{
    return frame.format() == QImage::Format_RGB32 || frame.format() == QImage::Format_ARGB32_Premultiplied;
}

// A line one pixel wide (KML's default width), antialiased by Wu's method (1991): along the
// major axis each pixel column (or row) shares full coverage between the two pixels nearest
// the line. Written straight into the pixels of a frame that WritesPixelsDirectly: the raster
// engine's cosmetic pen took most of the time of frames with large line layers.
void DrawThinLine(QImage& frame, const QLineF& line, const QColor& colour)
{
    // In pixel indices: pixel (x, y) is centred on (x, y).
    QPointF p = line.p1() - QPointF(0.5, 0.5), q = line.p2() - QPointF(0.5, 0.5);
    const int w = frame.width(), h = frame.height();
    if (!ClipToBox(p, q, -1.0, -1.0, w, h))
        return;
    const bool steep = std::fabs(q.y() - p.y()) > std::fabs(q.x() - p.x());
    if (steep) {
        p = p.transposed();
        q = q.transposed();
    }
    if (p.x() > q.x())
        std::swap(p, q);
    const double slope = q.x() > p.x() ? (q.y() - p.y()) / (q.x() - p.x()) : 0.0;
    auto* bits = reinterpret_cast<QRgb*>(frame.bits());
    const qsizetype stride = frame.bytesPerLine() / 4;
    const int red = colour.red(), green = colour.green(), blue = colour.blue(), alpha = colour.alpha();
    const auto blend = [&](int x, int y, int cover) {  // cover 0..256
        if (steep)
            std::swap(x, y);
        if (x < 0 || y < 0 || x >= w || y >= h)
            return;
        QRgb& d = bits[y * stride + x];
        const int a = cover * alpha / 255;
        d = qRgba(qRed(d) + (((red - qRed(d)) * a) >> 8), qGreen(d) + (((green - qGreen(d)) * a) >> 8),
                  qBlue(d) + (((blue - qBlue(d)) * a) >> 8), qAlpha(d) + (((255 - qAlpha(d)) * a) >> 8));
    };
    for (int x = static_cast<int>(std::lround(p.x())), last = static_cast<int>(std::lround(q.x())); x <= last;
         ++x) {
        const double y = p.y() + slope * (x - p.x());
        const int below = static_cast<int>(std::floor(y));
        const int share = static_cast<int>(256.0 * (y - below));
        blend(x, below, 256 - share);
        blend(x, below + 1, share);
    }
}

// Screen segments of lines and the layer of each.
struct LinePart {
    std::vector<QLineF> segments;
    std::vector<int> layers;
};

void DrawLines(QImage& frame, const FrameView& view, const GroundHeight& ground,
               const std::vector<std::shared_ptr<const MapLayer>>& layers,
               const std::vector<LayerCache*>& caches, MapLayersDrawn& drawn)
{
    // The lines that may be seen (layer, line), neighbours on the ground together.
    std::vector<std::pair<int, int>> candidates;
    for (size_t l = 0; l < layers.size(); ++l) {
        caches[l]->lineIndex.ForEachMaybeVisible(view.Visible(), [&](int k) {
            if (!view.Visible() || view.Visible()->Intersects(caches[l]->lineBounds[k].box))
                candidates.emplace_back(static_cast<int>(l), k);
        });
    }
    if (candidates.empty())
        return;
    const auto parts = InParts<LinePart>(candidates.size(), [&](size_t begin, size_t end, LinePart& part) {
        LineDrawer drawer(view, ground, kDrapeBudget / WorkerCount());
        for (size_t n = begin; n < end; ++n) {
            // The lines of neighbouring ground lie anywhere in memory: ask for the next ones
            // early, their records first, then their vertices.
            if (n + 2 * kPrefetchAhead < end) {
                const auto [fl, fk] = candidates[n + 2 * kPrefetchAhead];
                __builtin_prefetch(&layers[fl]->lines[fk]);
                __builtin_prefetch(&caches[fl]->significance[fk]);
                __builtin_prefetch(&caches[fl]->lineBounds[fk]);
            }
            if (n + kPrefetchAhead < end) {
                const auto [fl, fk] = candidates[n + kPrefetchAhead];
                __builtin_prefetch(layers[fl]->lines[fk].latLonDeg.data());
                __builtin_prefetch(caches[fl]->significance[fk].data());
            }
            const auto [l, k] = candidates[n];
            drawer.Append(layers[l]->lines[k], caches[l]->lineBounds[k], caches[l]->significance[k], part.segments);
            part.layers.resize(part.segments.size(), l);
        }
    });
    // Layer by layer, and within a layer band of rows by band, which keeps the frame's
    // pixels in the cache from one segment to the next.
    constexpr int kBandRows = 32;
    const int bands = frame.height() / kBandRows + 1;
    struct Drawn {
        int key;  // layer · bands + band
        const QLineF* line;
    };
    std::vector<Drawn> order;
    for (const LinePart& part : parts) {
        for (size_t n = 0; n < part.segments.size(); ++n) {
            const QLineF& line = part.segments[n];
            const double top = std::clamp(std::min(line.y1(), line.y2()), 0.0, double(frame.height()));
            order.push_back({part.layers[n] * bands + static_cast<int>(top) / kBandRows, &line});
        }
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const Drawn& a, const Drawn& b) { return a.key < b.key; });
    drawn.segments += static_cast<int>(order.size());
    if (WritesPixelsDirectly(frame)) {
        for (const Drawn& d : order)
            DrawThinLine(frame, *d.line, layers[d.key / bands]->colour);
        return;
    }
    QPainter painter(&frame);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const Drawn& d : order) {
        painter.setPen(QPen(layers[d.key / bands]->colour, 1.0));
        painter.drawLine(*d.line);
    }
}

void DrawMarkers(QImage& frame, const std::vector<ShownMarker>& shown,
                 const std::vector<std::shared_ptr<const MapLayer>>& layers)
{
    std::vector<QImage> sprites;
    for (const auto& layer : layers)
        sprites.push_back(MarkerSprite(layer->colour, Qt::white, kMarkerRadiusPx));
    const QImage selected = MarkerSprite(kSelectedFill, Qt::black, kSelectedRadiusPx);
    // Layer by layer, the selected ones last; within a layer row by row, which keeps the
    // frame's pixels in the cache from one marker to the next.
    std::vector<const ShownMarker*> order;
    order.reserve(shown.size());
    for (const ShownMarker& m : shown)
        order.push_back(&m);
    std::sort(order.begin(), order.end(), [](const ShownMarker* a, const ShownMarker* b) {
        return std::tuple(a->selected, a->layer, static_cast<int>(a->image.y()), a->image.x()) <
               std::tuple(b->selected, b->layer, static_cast<int>(b->image.y()), b->image.x());
    });
    // A sprite's middle pixel goes on the marker's pixel.
    QPainter painter(&frame);
    for (const ShownMarker* m : order) {
        const QImage& sprite = m->selected ? selected : sprites[m->layer];
        const int half = sprite.width() / 2;
        painter.drawImage(static_cast<int>(m->image.x()) - half, static_cast<int>(m->image.y()) - half,
                          sprite);
    }
}

// Labels of the selected markers first, then the rest in layer order, each where it takes no
// cell that another has taken: to the right of its marker, else to the left. A selected
// marker's label is drawn even when both places are taken.
void DrawLabels(QImage& frame, const std::vector<ShownMarker>& shown,
                const std::vector<std::shared_ptr<const MapLayer>>& layers,
                const std::vector<LayerCache*>& caches, MapLayersDrawn& drawn)
{
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(kLabelPixelSize);
    const QFontMetricsF metrics(font);
    const double plateHeight = metrics.height() + 2.0;
    Occupancy occupancy(frame.width(), frame.height());
    const auto place = [&](const ShownMarker& m) {
        const QString& name = layers[m.layer]->markers[m.marker].name;
        if (name.isEmpty())
            return;
        float& width = caches[m.layer]->labelWidthPx[m.marker];
        if (std::isnan(width))
            width = static_cast<float>(metrics.horizontalAdvance(name));
        const double offset = (m.selected ? kSelectedRadiusPx : kMarkerRadiusPx) + kLabelGapPx;
        const QSizeF plate(width + 6.0, plateHeight);
        const double top = m.image.y() - 0.5 * plate.height();
        const QRectF right(QPointF(m.image.x() + offset, top), plate);
        const QRectF left(QPointF(m.image.x() - offset - plate.width(), top), plate);
        if (occupancy.TryTake(right)) {
            drawn.labels.push_back({m.layer, m.marker, right});
        } else if (occupancy.TryTake(left)) {
            drawn.labels.push_back({m.layer, m.marker, left});
        } else if (m.selected) {
            const QRectF forced = occupancy.Inside(right) ? right : left;
            occupancy.Take(forced);
            drawn.labels.push_back({m.layer, m.marker, forced});
        }
    };
    for (const ShownMarker& m : shown)
        if (m.selected)
            place(m);
    // No label covers a selected marker.
    for (const ShownMarker& m : shown)
        if (m.selected)
            occupancy.Take(QRectF(m.image - QPointF(kSelectedRadiusPx + 1, kSelectedRadiusPx + 1),
                                  QSizeF(2 * kSelectedRadiusPx + 2, 2 * kSelectedRadiusPx + 2)));
    for (const ShownMarker& m : shown)
        if (!m.selected)
            place(m);

    QPainter painter(&frame);
    for (const DrawnLabel& label : drawn.labels)
        painter.fillRect(label.platePx,
                         layers[label.layer]->markers[label.marker].selected ? kSelectedPlate : kPlate);
    painter.setFont(font);
    painter.setPen(kLabelText);
    for (const DrawnLabel& label : drawn.labels) {
        auto& texts = caches[label.layer]->texts;
        auto it = texts.find(label.marker);
        if (it == texts.end()) {
            if (texts.size() > 20000)
                texts.clear();  // a huge layer seen at many places: start again
            QStaticText text(layers[label.layer]->markers[label.marker].name);
            text.setTextFormat(Qt::PlainText);
            text.prepare(QTransform(), font);
            it = texts.emplace(label.marker, std::move(text)).first;
        }
        painter.drawStaticText(label.platePx.topLeft() + QPointF(3.0, 1.0), it->second);
    }
}

}  // namespace

std::optional<QPointF> MarkerPixel(const Camera& camera, double latDeg, double lonDeg, double groundM)
{
    const FrameView view(camera, FrameDepth{});
    const Vec3 c = view.ToCamera(latDeg, lonDeg, groundM);
    if (c.z < kNearPlaneM)
        return std::nullopt;
    const QPointF p = view.ToImage(c);
    return view.OnFrame(p) ? std::optional(p) : std::nullopt;
}

MapLayersDrawn DrawMapLayers(QImage& frame, const Camera& camera, const FrameDepth& depth,
                             const GroundHeight& ground,
                             const std::vector<std::shared_ptr<const MapLayer>>& layers)
{
    MapLayersDrawn drawn;
    if (layers.empty() || frame.isNull())
        return drawn;
    // A missing layer draws nothing and keeps the indices of the others.
    static const auto kNoLayer = std::make_shared<const MapLayer>();
    std::vector<std::shared_ptr<const MapLayer>> present = layers;
    for (auto& layer : present)
        if (!layer)
            layer = kNoLayer;
    LayerCaches& all = Caches();
    const std::lock_guard lock(all.mutex);
    std::vector<LayerCache*> caches;
    for (const auto& layer : present)
        caches.push_back(&all.For(layer));
    const FrameView view(camera, depth);
    DrawLines(frame, view, ground, present, caches, drawn);
    const std::vector<ShownMarker> shown = PlaceMarkers(view, ground, present, caches);
    drawn.markers = static_cast<int>(shown.size());
    DrawMarkers(frame, shown, present);
    DrawLabels(frame, shown, present, caches, drawn);
    return drawn;
}

}  // namespace keldarn::earth
