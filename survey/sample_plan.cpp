#include "survey/sample_plan.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace keldarn::survey {

namespace {

// Points along each edge of a ring of longitudes and latitudes whose survey grid
// coordinates bound the grid: the edges are curves on the survey grid.
constexpr int kPointsPerEdge = 64;

// The plane coordinates (u, v) the even–odd rule takes of a vertex: longitude and latitude of
// a WGS84 point, X and Y of a survey grid point.
double U(const geodesy::GeoPoint& p)
{
    return p.lonDeg;
}
double V(const geodesy::GeoPoint& p)
{
    return p.latDeg;
}
double U(const geodesy::PlanePoint& p)
{
    return p.x;
}
double V(const geodesy::PlanePoint& p)
{
    return p.y;
}

// Even–odd rule over rings of vertices: whether (u, v) lies inside.
template <typename Vertex> bool InsideRings(const std::vector<std::vector<Vertex>>& rings, double u, double v)
{
    bool inside = false;
    for (const auto& ring : rings)
        for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
            const double ui = U(ring[i]), vi = V(ring[i]);
            const double uj = U(ring[j]), vj = V(ring[j]);
            if ((vi > v) != (vj > v) && u < (uj - ui) * (v - vi) / (vj - vi) + ui)
                inside = !inside;
        }
    return inside;
}

}  // namespace

SamplePlan::SamplePlan(double spacingM, const SurveyFrame& frame, double minX, double maxX, double minY,
                       double maxY)
    : spacingM_(spacingM), frame_(frame)
{
    topIndex_ = static_cast<std::int64_t>(std::floor(maxX / spacingM));
    const auto bottomIndex = static_cast<std::int64_t>(std::ceil(minX / spacingM));
    leftIndex_ = static_cast<std::int64_t>(std::ceil(minY / spacingM));
    const auto rightIndex = static_cast<std::int64_t>(std::floor(maxY / spacingM));
    rows_ = std::max<std::int64_t>(0, topIndex_ - bottomIndex + 1);
    columns_ = std::max<std::int64_t>(0, rightIndex - leftIndex_ + 1);
}

SamplePlan SamplePlan::ForGeoBox(const geodesy::GeoBox& box, double spacingM, const SurveyFrame& frame)
{
    // A ring along the box's parallels and meridians: the even–odd rule over it is the box.
    return ForGeoRings({{{.latDeg = box.southDeg, .lonDeg = box.westDeg},
                         {.latDeg = box.southDeg, .lonDeg = box.eastDeg},
                         {.latDeg = box.northDeg, .lonDeg = box.eastDeg},
                         {.latDeg = box.northDeg, .lonDeg = box.westDeg}}},
                       spacingM, frame);
}

SamplePlan SamplePlan::ForGeoRings(std::vector<geodesy::GeoRing> rings, double spacingM,
                                   const SurveyFrame& frame)
{
    double minX = std::numeric_limits<double>::infinity(), maxX = -minX, minY = minX, maxY = -minX;
    for (const geodesy::GeoRing& ring : rings)
        for (std::size_t i = 0; i < ring.size(); ++i) {
            const geodesy::GeoPoint& from = ring[i];
            const geodesy::GeoPoint& to = ring[(i + 1) % ring.size()];
            for (int k = 0; k < kPointsPerEdge; ++k) {
                const double f = static_cast<double>(k) / kPointsPerEdge;
                // The bounds need no height: centimetres against the spacing's metres.
                const geodesy::GridPoint grid =
                    frame.ToGrid({.latDeg = from.latDeg + f * (to.latDeg - from.latDeg),
                                  .lonDeg = from.lonDeg + f * (to.lonDeg - from.lonDeg)},
                                 0.0);
                minX = std::min(minX, grid.x);
                maxX = std::max(maxX, grid.x);
                minY = std::min(minY, grid.y);
                maxY = std::max(maxY, grid.y);
            }
        }
    SamplePlan plan(spacingM, frame, minX, maxX, minY, maxY);
    plan.geoRings_ = std::move(rings);
    return plan;
}

SamplePlan SamplePlan::ForBoundary(std::vector<geodesy::PlanePoint> boundary, double spacingM,
                                   const SurveyFrame& frame)
{
    double minX = std::numeric_limits<double>::infinity(), maxX = -minX, minY = minX, maxY = -minX;
    for (const geodesy::PlanePoint& p : boundary) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    SamplePlan plan(spacingM, frame, minX, maxX, minY, maxY);
    plan.boundary_ = {std::move(boundary)};
    return plan;
}

std::pair<std::int64_t, std::int64_t> SamplePlan::PartRows(int part, int parts) const
{
    return {rows_ * part / parts, rows_ * (part + 1) / parts};
}

bool SamplePlan::Inside(const PlannedPoint& point) const
{
    // Even–odd rule; a point on an edge may fall either way.
    if (!geoRings_.empty())
        return InsideRings(geoRings_, point.lonDeg, point.latDeg);
    return InsideRings(boundary_, point.x, point.y);
}

void SamplePlan::RowPoints(std::int64_t row, std::vector<PlannedPoint>& points) const
{
    const double x = static_cast<double>(topIndex_ - row) * spacingM_;
    for (std::int64_t column = 0; column < columns_; ++column) {
        PlannedPoint point;
        point.x = x;
        point.y = static_cast<double>(leftIndex_ + column) * spacingM_;
        const geodesy::GeoPoint geo = frame_.ToGeographic(geodesy::PlanePoint{.x = point.x, .y = point.y});
        point.latDeg = geo.latDeg;
        point.lonDeg = geo.lonDeg;
        if (Inside(point))
            points.push_back(point);
    }
}

void SamplePlan::QueryHeights(std::vector<PlannedPoint>& points, const HeightQuery& heights,
                              std::vector<std::optional<double>>& heightsM) const
{
    heightsM.assign(points.size(), std::nullopt);
    if (points.empty())
        return;
    std::vector<geodesy::GeoPoint> where(points.size());
    for (std::size_t k = 0; k < points.size(); ++k)
        where[k] = {.latDeg = points[k].latDeg, .lonDeg = points[k].lonDeg};
    heights(where, heightsM);
    if (!frame_.Projection().DependsOnHeight())
        return;
    // The height read at the moved place differs by the slope times centimetres, which
    // moves the place again by less than a micrometre: one more reading is enough.
    for (std::size_t k = 0; k < points.size(); ++k) {
        if (!heightsM[k])
            continue;
        const geodesy::GeoPoint geo =
            frame_.ToGeographic(geodesy::PlanePoint{.x = points[k].x, .y = points[k].y}, *heightsM[k]);
        points[k].latDeg = geo.latDeg;
        points[k].lonDeg = geo.lonDeg;
        where[k] = geo;
    }
    std::vector<std::optional<double>> moved(points.size());
    heights(where, moved);
    for (std::size_t k = 0; k < points.size(); ++k)
        if (heightsM[k])
            heightsM[k] = moved[k];
}

}  // namespace keldarn::survey
