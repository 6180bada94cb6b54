#include "cad/drawing_render.h"

#include "cad/drawing_geometry.h"
#include "cad/dxf_text.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace keldarn::cad {

namespace {

constexpr double kCrossHalfPx = 3.0;
// Texts below this height on screen cannot be read and are drawn as a stroke.
constexpr double kGlyphMinPx = 4.0;
// Beyond this many readable texts in one view they overlap anyway; the rest are strokes.
constexpr int kMaxGlyphTexts = 4000;
constexpr double kMaxGlyphPx = 4000.0;

const QColor kOtherColor(128, 128, 128);

// Cuts the segment to the box; false when nothing of it lies inside.
bool ClipToBox(QLineF& segment, const DrawingBox& box)
{
    const auto span = ClipSegmentToBox({segment.x1(), segment.y1()}, {segment.x2(), segment.y2()}, box);
    if (!span)
        return false;
    const QPointF start = segment.p1();
    const QPointF delta(segment.dx(), segment.dy());
    segment = QLineF(start + delta * span->t0, start + delta * span->t1);
    return true;
}
const QColor kHighlightColor(64, 160, 255);

QColor StyleColor(const DrawingModel& model, const EntityStyle& style)
{
    if (style.color24 >= 0)
        return QColor::fromRgb(static_cast<QRgb>(style.color24) | 0xFF000000u);
    int index = style.color;
    if (index == 256) {
        const auto& layers = model.Layers();
        const auto layer = std::find_if(layers.begin(), layers.end(),
                                        [&](const LayerRecord& l) { return l.name == style.layer; });
        if (layer == layers.end())
            return ColorOfIndex(7);
        if (layer->color24 >= 0)
            return QColor::fromRgb(static_cast<QRgb>(layer->color24) | 0xFF000000u);
        index = std::abs(layer->color);
    }
    return ColorOfIndex(index);
}

}  // namespace

QColor ColorOfIndex(int colorIndex)
{
    static const QColor kBasic[] = {QColor(255, 255, 255), QColor(255, 0, 0),     QColor(255, 255, 0),
                                    QColor(0, 255, 0),     QColor(0, 255, 255),   QColor(0, 0, 255),
                                    QColor(255, 0, 255),   QColor(255, 255, 255), QColor(128, 128, 128),
                                    QColor(192, 192, 192)};
    if (colorIndex >= 0 && colorIndex <= 9)
        return kBasic[colorIndex];
    if (colorIndex >= 250 && colorIndex <= 255) {
        static const int kGrey[] = {51, 80, 105, 130, 190, 255};
        return QColor(kGrey[colorIndex - 250], kGrey[colorIndex - 250], kGrey[colorIndex - 250]);
    }
    if (colorIndex < 10 || colorIndex > 249)
        return kBasic[7];
    // Indices 10..249 run round the hue circle in steps of 15°; within each ten, even
    // indices are saturated and odd ones pale, and the value falls every two.
    const int step = colorIndex % 10;
    const double hue = ((colorIndex / 10) - 1) * 15.0 / 360.0;
    static const double kValue[] = {1.0, 0.8, 0.6, 0.5, 0.3};
    return QColor::fromHsvF(static_cast<float>(hue), step % 2 == 0 ? 1.0f : 0.5f,
                            static_cast<float>(kValue[step / 2]));
}

DrawingRenderer::DrawingRenderer() : font_(QStringLiteral("WenQuanYi Micro Hei"))
{
    // A text's height in a drawing is the height of its capitals, and CAD fonts draw
    // Chinese characters about one height tall and wide. One font cannot do both: its em
    // is set halfway, capitals a little short and Chinese a little large.
    font_.setPixelSize(100);
    const double capHeight = QFontMetricsF(font_).capHeight();
    if (capHeight > 10.0)
        emPerTextHeight_ = (100.0 / capHeight + 1.0) / 2;
}

void DrawingRenderer::Reset()
{
    polylineBoxes_.clear();
}

void DrawingRenderer::Paint(QPainter& painter, const DrawingModel& model, const DrawingView& view,
                            std::span<const EntityRef> highlighted)
{
    counts_ = {};
    painter.fillRect(QRectF(0, 0, view.WidthPx(), view.HeightPx()), BackgroundColor());
    painter.setRenderHint(QPainter::Antialiasing, false);
    PreparePens(model);
    UpdatePolylineBoxes(model);
    CollectOthers(model, view);
    CollectPolylines(model, view);
    CollectPoints(model, view);
    CollectTexts(model, view);
    DrawLines(painter);
    DrawGlyphTexts(painter, model, view);
    DrawHighlights(painter, model, view, highlighted);
}

void DrawingRenderer::PreparePens(const DrawingModel& model)
{
    const auto& styles = model.Styles();
    styleColors_.resize(styles.size());
    for (std::size_t i = 0; i < styles.size(); ++i)
        styleColors_[i] = StyleColor(model, styles[i]);
    linesByStyle_.resize(styles.size());
    for (auto& lines : linesByStyle_)
        lines.clear();
    otherLines_.clear();
    glyphTexts_.clear();
}

// Entities are only ever appended, so the boxes of polylines already seen stay valid.
void DrawingRenderer::UpdatePolylineBoxes(const DrawingModel& model)
{
    const auto& polylines = model.Polylines();
    if (polylineBoxes_.size() > polylines.size())
        polylineBoxes_.clear();
    for (std::size_t i = polylineBoxes_.size(); i < polylines.size(); ++i)
        polylineBoxes_.push_back(EntityBox(model, {EntityKind::Polyline, static_cast<std::uint32_t>(i)}));
}

void DrawingRenderer::CollectPoints(const DrawingModel& model, const DrawingView& view)
{
    const int width = view.WidthPx();
    const int height = view.HeightPx();
    occupied_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    const DrawingBox visible = view.VisibleBox();
    const double marginM = kCrossHalfPx / view.PixelsPerMetre();
    for (const DrawingPoint& point : model.Points()) {
        if (point.x < visible.minX - marginM || point.x > visible.maxX + marginM ||
            point.y < visible.minY - marginM || point.y > visible.maxY + marginM)
            continue;
        const QPointF s = view.ToScreen(point.x, point.y);
        const int ix = std::clamp(static_cast<int>(s.x()), 0, width - 1);
        const int iy = std::clamp(static_cast<int>(s.y()), 0, height - 1);
        std::uint8_t& cell = occupied_[static_cast<std::size_t>(iy) * static_cast<std::size_t>(width) +
                                       static_cast<std::size_t>(ix)];
        if (cell)
            continue;  // a cross is already drawn on this pixel
        cell = 1;
        auto& lines = linesByStyle_[point.style];
        lines.emplace_back(s.x() - kCrossHalfPx, s.y(), s.x() + kCrossHalfPx, s.y());
        lines.emplace_back(s.x(), s.y() - kCrossHalfPx, s.x(), s.y() + kCrossHalfPx);
        ++counts_.points;
    }
}

// Appends the screen segments of the path in scratch_, dropping those shorter than a
// pixel and cutting those that reach far beyond the canvas (deep zooms put vertices
// millions of pixels away, where QPainter's rasteriser loses precision).
void DrawingRenderer::AddPath(std::vector<QLineF>& lines, const DrawingView& view)
{
    if (scratch_.empty())
        return;
    constexpr double kMarginPx = 16.0;
    DrawingBox canvas;
    canvas.Add(-kMarginPx, -kMarginPx);
    canvas.Add(view.WidthPx() + kMarginPx, view.HeightPx() + kMarginPx);
    QPointF last = view.ToScreen(scratch_[0].x, scratch_[0].y);
    for (std::size_t i = 1; i < scratch_.size(); ++i) {
        const QPointF next = view.ToScreen(scratch_[i].x, scratch_[i].y);
        if (std::abs(next.x() - last.x()) < 1.0 && std::abs(next.y() - last.y()) < 1.0 &&
            i + 1 < scratch_.size())
            continue;
        QLineF segment(last, next);
        if (ClipToBox(segment, canvas))
            lines.push_back(segment);
        last = next;
    }
}

void DrawingRenderer::CollectPolylines(const DrawingModel& model, const DrawingView& view)
{
    const DrawingBox visible = view.VisibleBox();
    const auto& polylines = model.Polylines();
    for (std::size_t i = 0; i < polylines.size(); ++i) {
        if (!visible.Intersects(polylineBoxes_[i]))
            continue;
        const DrawingPolyline& polyline = polylines[i];
        scratch_.clear();
        AppendPolylinePoints(model.VerticesOf(polyline), model.BulgesOf(polyline), polyline.closed, scratch_);
        AddPath(linesByStyle_[polyline.style], view);
        ++counts_.polylines;
    }
}

void DrawingRenderer::CollectOthers(const DrawingModel& model, const DrawingView& view)
{
    const DrawingBox visible = view.VisibleBox();
    for (const DrawingOther& other : model.Others()) {
        if (!visible.Intersects(other.box))
            continue;
        scratch_.clear();
        AppendOtherPoints(model, other, scratch_);
        AddPath(otherLines_, view);
        ++counts_.others;
    }
}

void DrawingRenderer::CollectTexts(const DrawingModel& model, const DrawingView& view)
{
    const DrawingBox visible = view.VisibleBox();
    const double scale = view.PixelsPerMetre();
    const auto& texts = model.Texts();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const DrawingText& text = texts[i];
        const double heightPx = text.heightM * scale;
        if (heightPx < 1.0)
            continue;
        // A circle round the anchor holds the text at any rotation and justification.
        const DrawingXY anchor = TextAnchor(text);
        const double reachM = (text.widthEm + 1.0) * text.heightM;
        if (anchor.x + reachM < visible.minX || anchor.x - reachM > visible.maxX ||
            anchor.y + reachM < visible.minY || anchor.y - reachM > visible.maxY)
            continue;
        if (heightPx >= kGlyphMinPx && counts_.glyphTexts < kMaxGlyphTexts) {
            glyphTexts_.push_back(static_cast<std::uint32_t>(i));
            ++counts_.glyphTexts;
            continue;
        }
        // The stroke runs through the middle of the text's box.
        const auto corners = TextCorners(text);
        const QPointF left =
            view.ToScreen((corners[0].x + corners[3].x) / 2, (corners[0].y + corners[3].y) / 2);
        const QPointF right =
            view.ToScreen((corners[1].x + corners[2].x) / 2, (corners[1].y + corners[2].y) / 2);
        linesByStyle_[text.style].emplace_back(left, right);
        ++counts_.strokeTexts;
    }
}

void DrawingRenderer::DrawLines(QPainter& painter)
{
    QPen pen(kOtherColor, 0);
    painter.setPen(pen);
    if (!otherLines_.empty())
        painter.drawLines(otherLines_.data(), static_cast<int>(otherLines_.size()));
    for (std::size_t style = 0; style < linesByStyle_.size(); ++style) {
        const auto& lines = linesByStyle_[style];
        if (lines.empty())
            continue;
        pen.setColor(styleColors_[style]);
        painter.setPen(pen);
        painter.drawLines(lines.data(), static_cast<int>(lines.size()));
    }
}

void DrawingRenderer::DrawGlyphTexts(QPainter& painter, const DrawingModel& model, const DrawingView& view)
{
    if (glyphTexts_.empty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    std::uint32_t style = std::numeric_limits<std::uint32_t>::max();
    for (const std::uint32_t index : glyphTexts_) {
        const DrawingText& text = model.Texts()[index];
        if (text.style != style) {
            style = text.style;
            painter.setPen(styleColors_[style]);
        }
        DrawGlyphText(painter, model, view, text);
    }
    painter.restore();
}

// One text with the font, placed and turned as the drawing says; the pen is set.
void DrawingRenderer::DrawGlyphText(QPainter& painter, const DrawingModel& model, const DrawingView& view,
                                    const DrawingText& text)
{
    const double heightPx = std::min(text.heightM * view.PixelsPerMetre(), kMaxGlyphPx);
    const int fontPx = std::max(1, static_cast<int>(std::lround(heightPx * emPerTextHeight_)));
    if (font_.pixelSize() != fontPx || painter.font() != font_) {
        font_.setPixelSize(fontPx);
        painter.setFont(font_);
    }
    const QString shown = QString::fromStdString(DisplayTextOf(model.TextOf(text)));
    const DrawingXY anchor = TextAnchor(text);
    const DrawingXY offsetEm = JustificationOffsetEm(text);
    // Centred and right-aligned texts are placed by the font's own width.
    double offsetX = 0.0;
    if (text.hJust == 1 || text.hJust == 2 || text.hJust == 4) {
        const double advance = QFontMetricsF(font_).horizontalAdvance(shown) * text.widthFactor;
        offsetX = text.hJust == 2 ? -advance : -advance / 2;
    }
    const QPointF at = view.ToScreen(anchor.x, anchor.y);
    QTransform transform;
    transform.translate(at.x(), at.y());
    transform.rotateRadians(-text.rotationRad);
    if (text.widthFactor != 1.0)
        transform.scale(text.widthFactor, 1.0);
    painter.setTransform(transform);
    painter.drawText(QPointF(offsetX / text.widthFactor, -offsetEm.y * heightPx), shown);
}

// Highlighted texts are drawn again in the highlight colour, in a thin dashed box well
// clear of their glyphs; polylines are drawn dashed and wider.
void DrawingRenderer::DrawHighlights(QPainter& painter, const DrawingModel& model, const DrawingView& view,
                                     std::span<const EntityRef> highlighted)
{
    if (highlighted.empty())
        return;
    std::vector<QLineF> boxes;
    std::vector<QLineF> paths;
    std::vector<const DrawingText*> texts;
    for (const EntityRef& entity : highlighted) {
        scratch_.clear();
        if (entity.kind == EntityKind::Text && entity.index < model.Texts().size()) {
            const DrawingText& text = model.Texts()[entity.index];
            AppendHighlightBox(text, 0.4);
            AddPath(boxes, view);
            if (text.heightM * view.PixelsPerMetre() >= kGlyphMinPx)
                texts.push_back(&text);
        } else if (entity.kind == EntityKind::Polyline && entity.index < model.Polylines().size()) {
            const DrawingPolyline& polyline = model.Polylines()[entity.index];
            AppendPolylinePoints(model.VerticesOf(polyline), model.BulgesOf(polyline), polyline.closed,
                                 scratch_);
            AddPath(paths, view);
        }
    }
    QPen pen(kHighlightColor, 1.0, Qt::DashLine);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.drawLines(boxes.data(), static_cast<int>(boxes.size()));
    pen.setWidthF(2.0);
    painter.setPen(pen);
    painter.drawLines(paths.data(), static_cast<int>(paths.size()));
    painter.save();
    painter.setPen(kHighlightColor);
    for (const DrawingText* text : texts)
        DrawGlyphText(painter, model, view, *text);
    painter.restore();
}

// The text's estimated box grown by marginEm of its height on every side, into scratch_.
void DrawingRenderer::AppendHighlightBox(const DrawingText& text, double marginEm)
{
    const auto corners = TextCorners(text);
    const double cosA = std::cos(text.rotationRad) * marginEm * text.heightM;
    const double sinA = std::sin(text.rotationRad) * marginEm * text.heightM;
    // Along the text (cos, sin) and across it (−sin, cos), outwards from each corner.
    const double along[4] = {-1, 1, 1, -1};
    const double across[4] = {-1, -1, 1, 1};
    for (int i = 0; i < 4; ++i) {
        scratch_.push_back({corners[i].x + along[i] * cosA - across[i] * sinA,
                            corners[i].y + along[i] * sinA + across[i] * cosA});
    }
    scratch_.push_back(scratch_.front());
}

}  // namespace keldarn::cad
