#include "cad/drawing_geometry.h"

#include "cad/drawing_utf8.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

namespace keldarn::cad {

namespace {

constexpr double kMaxChordRad = 10.0 * std::numbers::pi / 180.0;

// East Asian wide and fullwidth characters (Unicode's East_Asian_Width W and F, in
// the blocks that occur in survey drawings).
bool IsWide(char32_t cp)
{
    return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
           (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
           (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
           (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
}

DrawingXY Rotated(DrawingXY local, double cosA, double sinA)
{
    return {local.x * cosA - local.y * sinA, local.x * sinA + local.y * cosA};
}

DrawingXY VertexAt(std::span<const double> xy, std::size_t i)
{
    return {xy[2 * i], xy[2 * i + 1]};
}

// Calls f(a, b) for every straight piece of a polyline, bulged segments as chords.
template <typename F>
void ForEachPiece(std::span<const double> xy, std::span<const double> bulges, bool closed, F&& f)
{
    const std::size_t n = xy.size() / 2;
    if (n == 1)
        f(VertexAt(xy, 0), VertexAt(xy, 0));
    if (bulges.empty()) {
        for (std::size_t i = 0; i + 1 < n; ++i)
            f(VertexAt(xy, i), VertexAt(xy, i + 1));
        if (closed && n > 2)
            f(VertexAt(xy, n - 1), VertexAt(xy, 0));
        return;
    }
    std::vector<DrawingXY> points;
    AppendPolylinePoints(xy, bulges, closed, points);
    for (std::size_t i = 0; i + 1 < points.size(); ++i)
        f(points[i], points[i + 1]);
}

// From a start to an end angle counter-clockwise (radians): the difference brought into
// (0, 2π] by whole turns. A file may hold any number as an angle: fmod is exact for every
// finite one (adding 2π at a time would never end for 1e127°); an infinite or undefined
// difference gives the full turn.
double ForwardSweep(double differenceRad)
{
    constexpr double kTurn = 2 * std::numbers::pi;
    if (!std::isfinite(differenceRad))
        return kTurn;
    const double sweep = std::fmod(differenceRad, kTurn);
    return sweep <= 0.0 ? sweep + kTurn : sweep;
}

}  // namespace

double EstimatedWidthEm(std::string_view utf8)
{
    double em = 0.0;
    std::size_t i = 0;
    while (i < utf8.size())
        em += IsWide(NextCodePoint(utf8, i)) ? 1.0 : 0.8;
    return em;
}

DrawingXY JustificationOffsetEm(const DrawingText& text)
{
    const double width = text.widthEm;
    DrawingXY offset;
    switch (text.hJust) {
    case 1:  // centre
        offset.x = -width / 2;
        break;
    case 2:  // right
        offset.x = -width;
        break;
    case 4:  // middle: centred both ways
        offset.x = -width / 2;
        offset.y = -0.5;
        return offset;
    default:  // left, and aligned and fit texts, which start at their insertion point
        break;
    }
    if (text.vJust == 2)
        offset.y = -0.5;
    else if (text.vJust == 3)
        offset.y = -1.0;
    return offset;
}

DrawingXY TextAnchor(const DrawingText& text)
{
    // Aligned and fit texts, like left/baseline ones, start at their insertion point.
    const bool atInsertion = text.hJust == 3 || text.hJust == 5 || (text.hJust == 0 && text.vJust == 0);
    return atInsertion ? DrawingXY{text.x, text.y} : DrawingXY{text.alignX, text.alignY};
}

std::array<DrawingXY, 4> TextCorners(const DrawingText& text)
{
    const DrawingXY anchor = TextAnchor(text);
    const DrawingXY offset = JustificationOffsetEm(text);
    const double h = text.heightM;
    const double left = offset.x * h;
    const double right = (offset.x + text.widthEm) * h;
    const double bottom = offset.y * h;
    const double top = (offset.y + 1.0) * h;
    std::array<DrawingXY, 4> corners = {DrawingXY{left, bottom}, DrawingXY{right, bottom},
                                        DrawingXY{right, top}, DrawingXY{left, top}};
    if (text.rotationRad != 0.0) {
        const double cosA = std::cos(text.rotationRad);
        const double sinA = std::sin(text.rotationRad);
        for (DrawingXY& c : corners)
            c = Rotated(c, cosA, sinA);
    }
    for (DrawingXY& c : corners)
        c = {anchor.x + c.x, anchor.y + c.y};
    return corners;
}

DrawingBox TextBox(const DrawingText& text)
{
    DrawingBox box;
    for (const DrawingXY& c : TextCorners(text))
        box.Add(c.x, c.y);
    return box;
}

void AppendArcPoints(double cx, double cy, double radius, double startRad, double sweepRad,
                     std::vector<DrawingXY>& out)
{
    const int pieces = std::max(1, static_cast<int>(std::ceil(std::abs(sweepRad) / kMaxChordRad)));
    for (int k = 0; k <= pieces; ++k) {
        const double a = startRad + sweepRad * k / pieces;
        out.push_back({cx + radius * std::cos(a), cy + radius * std::sin(a)});
    }
}

// A bulged segment from a to b: the arc's included angle is 4·atan(bulge); its centre lies
// off the chord's midpoint by (1 − bulge²) / (4·bulge) × chord length, to the left.
static void AppendBulgedSegment(DrawingXY a, DrawingXY b, double bulge, std::vector<DrawingXY>& out)
{
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double chord = std::hypot(dx, dy);
    if (chord == 0.0) {
        out.push_back(b);
        return;
    }
    const double sweep = 4.0 * std::atan(bulge);
    const double offset = (1.0 - bulge * bulge) / (4.0 * bulge);
    const double cx = (a.x + b.x) / 2 - offset * dy;
    const double cy = (a.y + b.y) / 2 + offset * dx;
    const double radius = std::hypot(a.x - cx, a.y - cy);
    const std::size_t before = out.size();
    AppendArcPoints(cx, cy, radius, std::atan2(a.y - cy, a.x - cx), sweep, out);
    out.erase(out.begin() + static_cast<std::ptrdiff_t>(before));  // a is already there
    out.back() = b;
}

void AppendPolylinePoints(std::span<const double> xy, std::span<const double> bulges, bool closed,
                          std::vector<DrawingXY>& out)
{
    const std::size_t n = xy.size() / 2;
    if (n == 0)
        return;
    out.push_back(VertexAt(xy, 0));
    const std::size_t segments = closed ? n : n - 1;
    for (std::size_t i = 0; i < segments; ++i) {
        const DrawingXY a = VertexAt(xy, i);
        const DrawingXY b = VertexAt(xy, (i + 1) % n);
        const double bulge = i < bulges.size() ? bulges[i] : 0.0;
        if (bulge == 0.0)
            out.push_back(b);
        else
            AppendBulgedSegment(a, b, bulge, out);
    }
}

void AppendOtherPoints(const DrawingModel& model, const DrawingOther& other, std::vector<DrawingXY>& out)
{
    const auto& p = other.p;
    switch (other.kind) {
    case OtherKind::Line:
        out.push_back({p[0], p[1]});
        out.push_back({p[3], p[4]});
        break;
    case OtherKind::Circle:
        AppendArcPoints(p[0], p[1], p[3], 0.0, 2 * std::numbers::pi, out);
        break;
    case OtherKind::Arc: {
        const double start = p[4] * std::numbers::pi / 180.0;
        AppendArcPoints(p[0], p[1], p[3], start, ForwardSweep((p[5] - p[4]) * std::numbers::pi / 180.0), out);
        break;
    }
    case OtherKind::Ellipse: {
        // Point at parameter t: centre + major·cos t + minor·sin t, minor = ratio × major
        // turned 90° counter-clockwise.
        const double mx = p[3], my = p[4], ratio = p[6];
        const double sweep = ForwardSweep(p[8] - p[7]);
        const int pieces = std::max(4, static_cast<int>(std::ceil(sweep / kMaxChordRad)));
        for (int k = 0; k <= pieces; ++k) {
            const double t = p[7] + sweep * k / pieces;
            out.push_back({p[0] + mx * std::cos(t) - ratio * my * std::sin(t),
                           p[1] + my * std::cos(t) + ratio * mx * std::sin(t)});
        }
        break;
    }
    case OtherKind::Polyline2d:
        AppendPolylinePoints(model.VerticesOf(other), model.BulgesOf(other), other.closed, out);
        break;
    }
}

DrawingBox EntityBox(const DrawingModel& model, EntityRef entity)
{
    DrawingBox box;
    switch (entity.kind) {
    case EntityKind::Point: {
        const DrawingPoint& point = model.Points()[entity.index];
        box.Add(point.x, point.y);
        break;
    }
    case EntityKind::Text:
        box = TextBox(model.Texts()[entity.index]);
        break;
    case EntityKind::Polyline: {
        const DrawingPolyline& polyline = model.Polylines()[entity.index];
        ForEachPiece(model.VerticesOf(polyline), model.BulgesOf(polyline), polyline.closed,
                     [&](DrawingXY a, DrawingXY b) {
                         box.Add(a.x, a.y);
                         box.Add(b.x, b.y);
                     });
        break;
    }
    case EntityKind::Other:
        box = model.Others()[entity.index].box;
        break;
    }
    return box;
}

double DistanceToSegment(DrawingXY p, DrawingXY a, DrawingXY b)
{
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double lengthSquared = dx * dx + dy * dy;
    double t = lengthSquared > 0.0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / lengthSquared : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// Liang–Barsky clipping of the segment a + t (b − a), t in [0, 1], against the box.
std::optional<SegmentSpan> ClipSegmentToBox(DrawingXY a, DrawingXY b, const DrawingBox& box)
{
    double t0 = 0.0;
    double t1 = 1.0;
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - box.minX, box.maxX - a.x, a.y - box.minY, box.maxY - a.y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return std::nullopt;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return std::nullopt;
    }
    return SegmentSpan{t0, t1};
}

bool SegmentIntersectsBox(DrawingXY a, DrawingXY b, const DrawingBox& box)
{
    return ClipSegmentToBox(a, b, box).has_value();
}

static bool InsideQuad(const std::array<DrawingXY, 4>& quad, DrawingXY p)
{
    // The corners run counter-clockwise, so p is inside when it is left of every edge.
    for (std::size_t i = 0; i < 4; ++i) {
        const DrawingXY a = quad[i];
        const DrawingXY b = quad[(i + 1) % 4];
        if ((b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x) < 0.0)
            return false;
    }
    return true;
}

double DistanceToEntity(const DrawingModel& model, EntityRef entity, DrawingXY p)
{
    double best = std::numeric_limits<double>::infinity();
    switch (entity.kind) {
    case EntityKind::Point: {
        const DrawingPoint& point = model.Points()[entity.index];
        return std::hypot(p.x - point.x, p.y - point.y);
    }
    case EntityKind::Text: {
        const auto corners = TextCorners(model.Texts()[entity.index]);
        if (InsideQuad(corners, p))
            return 0.0;
        for (std::size_t i = 0; i < 4; ++i)
            best = std::min(best, DistanceToSegment(p, corners[i], corners[(i + 1) % 4]));
        return best;
    }
    case EntityKind::Polyline: {
        const DrawingPolyline& polyline = model.Polylines()[entity.index];
        ForEachPiece(model.VerticesOf(polyline), model.BulgesOf(polyline), polyline.closed,
                     [&](DrawingXY a, DrawingXY b) { best = std::min(best, DistanceToSegment(p, a, b)); });
        return best;
    }
    case EntityKind::Other: {
        std::vector<DrawingXY> points;
        AppendOtherPoints(model, model.Others()[entity.index], points);
        for (std::size_t i = 0; i + 1 < points.size(); ++i)
            best = std::min(best, DistanceToSegment(p, points[i], points[i + 1]));
        return best;
    }
    }
    return best;
}

bool EntityInsideBox(const DrawingModel& model, EntityRef entity, const DrawingBox& box)
{
    return box.Contains(EntityBox(model, entity));
}

bool EntityCrossesBox(const DrawingModel& model, EntityRef entity, const DrawingBox& box)
{
    if (!box.Intersects(EntityBox(model, entity)))
        return false;
    switch (entity.kind) {
    case EntityKind::Point:
        return true;
    case EntityKind::Text: {
        const auto corners = TextCorners(model.Texts()[entity.index]);
        if (InsideQuad(corners, {box.minX, box.minY}))
            return true;  // the window lies inside the text
        for (std::size_t i = 0; i < 4; ++i) {
            if (SegmentIntersectsBox(corners[i], corners[(i + 1) % 4], box))
                return true;
        }
        return false;
    }
    case EntityKind::Polyline: {
        const DrawingPolyline& polyline = model.Polylines()[entity.index];
        bool crosses = false;
        ForEachPiece(model.VerticesOf(polyline), model.BulgesOf(polyline), polyline.closed,
                     [&](DrawingXY a, DrawingXY b) { crosses = crosses || SegmentIntersectsBox(a, b, box); });
        return crosses;
    }
    case EntityKind::Other:
        return true;
    }
    return false;
}

}  // namespace keldarn::cad
