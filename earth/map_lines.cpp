#include "earth/map_lines.h"

#include "earth/rasterizer.h"

#include <QLineF>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <utility>

namespace keldarn::earth::map_detail {
namespace {

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
        const geodesy::GeoRing& v = line.vertices;
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
        LinePoint last = Place(v[0].latDeg, v[0].lonDeg);
        for (size_t k = 1; k < end; ++k) {
            if (k < n && significance[k] < toleranceM)
                continue;
            const LinePoint next = Place(v[k % n].latDeg, v[k % n].lonDeg);
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

}  // namespace

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
                __builtin_prefetch(layers[fl]->lines[fk].vertices.data());
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

}  // namespace keldarn::earth::map_detail
