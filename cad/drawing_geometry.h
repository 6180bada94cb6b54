#pragma once

// Geometry of drawing entities: estimated text boxes, arcs of bulged polyline segments
// and circles as point lists, entity extents, and the tests of picking (distance to an
// entity, an entity inside a window or crossing it). Drawing units throughout.

#include "cad/drawing_model.h"

#include <array>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace keldarn::cad {

// Width of a single-line text in units of its height, as the drawing estimates it
// without a font: 1.0 per wide (East Asian) character, 0.8 per other character.
double EstimatedWidthEm(std::string_view utf8);

// Offset of the text's box from its anchor, in units of the height, along the text's own
// axes: where the left end and the baseline lie for its justification.
DrawingXY JustificationOffsetEm(const DrawingText& text);
// The point the text is justified to: (x, y), or the alignment point of a justified text.
DrawingXY TextAnchor(const DrawingText& text);
// Lower-left, lower-right, upper-right, upper-left corner of the estimated box
// (EstimatedWidthEm × height, from the baseline up), rotation applied.
std::array<DrawingXY, 4> TextCorners(const DrawingText& text);
DrawingBox TextBox(const DrawingText& text);

// Appends the points of a polyline; a segment with bulge b (tan of a quarter of its
// arc's angle, positive counter-clockwise) becomes chords of at most 10° of arc. A
// closed polyline ends with its first point again.
void AppendPolylinePoints(std::span<const double> xy, std::span<const double> bulges, bool closed,
                          std::vector<DrawingXY>& out);
// Appends an arc from startRad sweeping sweepRad (negative: clockwise) as chords of at
// most 10°, both ends included.
void AppendArcPoints(double cx, double cy, double radius, double startRad, double sweepRad,
                     std::vector<DrawingXY>& out);
// The outline of an entity of a loaded file as one point list.
void AppendOtherPoints(const DrawingModel& model, const DrawingOther& other, std::vector<DrawingXY>& out);

DrawingBox EntityBox(const DrawingModel& model, EntityRef entity);

double DistanceToSegment(DrawingXY p, DrawingXY a, DrawingXY b);
// The part of the segment a + t (b − a) inside the box, as t from t0 to t1 (0 ≤ t0 ≤ t1 ≤ 1).
struct SegmentSpan {
    double t0 = 0.0;
    double t1 = 1.0;
};
std::optional<SegmentSpan> ClipSegmentToBox(DrawingXY a, DrawingXY b, const DrawingBox& box);
bool SegmentIntersectsBox(DrawingXY a, DrawingXY b, const DrawingBox& box);

// Distance from p to the entity: to a text's box (0 inside it), to a polyline's path.
double DistanceToEntity(const DrawingModel& model, EntityRef entity, DrawingXY p);
// The whole entity lies inside the box (a window drawn left to right).
bool EntityInsideBox(const DrawingModel& model, EntityRef entity, const DrawingBox& box);
// Some part of the entity lies inside the box or crosses its edge (a window drawn right
// to left).
bool EntityCrossesBox(const DrawingModel& model, EntityRef entity, const DrawingBox& box);

}  // namespace keldarn::cad
