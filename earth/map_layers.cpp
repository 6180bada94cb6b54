#include "earth/map_layers.h"

#include "earth/map_frame_view.h"
#include "earth/map_layer_index.h"
#include "earth/map_lines.h"
#include "earth/rasterizer.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QStaticText>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <optional>
#include <tuple>

namespace keldarn::earth {

using map_detail::Caches;
using map_detail::DrawLines;
using map_detail::FrameView;
using map_detail::InParts;
using map_detail::kPrefetchAhead;
using map_detail::LayerCache;
using map_detail::LayerCaches;

namespace {

constexpr int kLabelPixelSize = 13;
constexpr int kMarkerRadiusPx = 4;
constexpr int kSelectedRadiusPx = 6;
constexpr double kLabelGapPx = 4.0;  // between a marker's ring and its label
const QColor kSelectedFill(255, 236, 0);
const QColor kPlate(255, 255, 255, 200);
const QColor kSelectedPlate(255, 244, 150, 230);
const QColor kLabelText(25, 25, 25);

constexpr int kOccupancyCellPx = 4;

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

    // Takes the cells under `room` when r lies on the frame and they are all free.
    bool TryTake(const QRectF& r, const QRectF& room)
    {
        if (!Inside(r))
            return false;
        const Cells c = CellsOf(room);
        for (int j = c.top; j <= c.bottom; ++j)
            for (int i = c.left; i <= c.right; ++i)
                if (taken_[static_cast<size_t>(j) * columns_ + i])
                    return false;
        Take(room);
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
    // Two labels' rooms do not overlap: plates stay two plate heights apart side by side and
    // one above the other. A plate of five digits then takes at most 27 % of the frame.
    const QMarginsF clearance(plateHeight, 0.5 * plateHeight, plateHeight, 0.5 * plateHeight);
    Occupancy occupancy(frame.width(), frame.height());
    const auto place = [&](const ShownMarker& m) {
        const QString& name = layers[m.layer]->markers[m.marker].name;
        if (name.isEmpty() || (!m.selected && !layers[m.layer]->labelled))
            return;
        float& width = caches[m.layer]->labelWidthPx[m.marker];
        if (std::isnan(width))
            width = static_cast<float>(metrics.horizontalAdvance(name));
        const double offset = (m.selected ? kSelectedRadiusPx : kMarkerRadiusPx) + kLabelGapPx;
        const QSizeF plate(width + 6.0, plateHeight);
        const double top = m.image.y() - 0.5 * plate.height();
        const QRectF right(QPointF(m.image.x() + offset, top), plate);
        const QRectF left(QPointF(m.image.x() - offset - plate.width(), top), plate);
        if (occupancy.TryTake(right, right + clearance)) {
            drawn.labels.push_back({m.layer, m.marker, right});
        } else if (occupancy.TryTake(left, left + clearance)) {
            drawn.labels.push_back({m.layer, m.marker, left});
        } else if (m.selected) {
            const QRectF forced = occupancy.Inside(right) ? right : left;
            occupancy.Take(forced + clearance);
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
