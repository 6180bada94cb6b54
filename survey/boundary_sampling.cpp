#include "survey/boundary_sampling.h"

#include "i18n/interface_text.h"
#include "survey/survey_error.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>
#include <string>

namespace keldarn::survey {

namespace {

using geodesy::GeoPoint;
using geodesy::GeoRing;

// The geometry of rings is plane geometry in longitude (u, east) and latitude (v, north).
double Cross(const GeoPoint& o, const GeoPoint& a, const GeoPoint& b)
{
    return (a.lonDeg - o.lonDeg) * (b.latDeg - o.latDeg) - (a.latDeg - o.latDeg) * (b.lonDeg - o.lonDeg);
}

bool OnSegment(const GeoPoint& p, const GeoPoint& a, const GeoPoint& b)
{
    return std::min(a.lonDeg, b.lonDeg) <= p.lonDeg && p.lonDeg <= std::max(a.lonDeg, b.lonDeg) &&
           std::min(a.latDeg, b.latDeg) <= p.latDeg && p.latDeg <= std::max(a.latDeg, b.latDeg);
}

// Whether segments ab and cd share a point (touching counts).
bool SegmentsMeet(const GeoPoint& a, const GeoPoint& b, const GeoPoint& c, const GeoPoint& d)
{
    const double d1 = Cross(c, d, a), d2 = Cross(c, d, b), d3 = Cross(a, b, c), d4 = Cross(a, b, d);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0)))
        return true;
    return (d1 == 0 && OnSegment(a, c, d)) || (d2 == 0 && OnSegment(b, c, d)) ||
           (d3 == 0 && OnSegment(c, a, b)) || (d4 == 0 && OnSegment(d, a, b));
}

std::size_t DistinctVertices(const GeoRing& ring)
{
    GeoRing sorted = ring;
    std::sort(sorted.begin(), sorted.end(), [](const GeoPoint& a, const GeoPoint& b) {
        return a.lonDeg < b.lonDeg || (a.lonDeg == b.lonDeg && a.latDeg < b.latDeg);
    });
    return static_cast<std::size_t>(std::unique(sorted.begin(), sorted.end()) - sorted.begin());
}

}  // namespace

bool RingSelfIntersects(const GeoRing& ring)
{
    const std::size_t n = ring.size();
    if (n < 4)
        return false;  // three edges of a triangle meet only at their shared vertices
    // Edges by their west end; an edge is compared with those starting before its east
    // end, so a ring of thousands of vertices is checked in about n·log n steps.
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    const auto west = [&](std::size_t i) { return std::min(ring[i].lonDeg, ring[(i + 1) % n].lonDeg); };
    const auto east = [&](std::size_t i) { return std::max(ring[i].lonDeg, ring[(i + 1) % n].lonDeg); };
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return west(a) < west(b); });
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t i = order[k];
        for (std::size_t m = k + 1; m < n && west(order[m]) <= east(i); ++m) {
            const std::size_t j = order[m];
            const bool neighbours = (i + 1) % n == j || (j + 1) % n == i;
            if (neighbours)
                continue;
            if (SegmentsMeet(ring[i], ring[(i + 1) % n], ring[j], ring[(j + 1) % n]))
                return true;
        }
    }
    return false;
}

void CheckBoundary(const std::vector<GeoRing>& rings)
{
    if (rings.empty() || DistinctVertices(rings.front()) < 3)
        throw SurveyInputError(i18n::Translate("survey", "区域边界至少要有三个不同的顶点。"));
    for (std::size_t r = 0; r < rings.size(); ++r)
        if (RingSelfIntersects(rings[r]))
            throw SurveyInputError(
                r == 0 ? i18n::Translate("survey", "区域边界自相交（边与边交叉），请修改边界后再采点。")
                       : i18n::Format(
                             i18n::Translate("survey", "区域中的第%1个洞的边界自相交，请修改边界后再采点。"),
                             {std::to_string(r)}));
}

void CheckSpacing(double spacingM)
{
    if (!(spacingM > 0.0) || !std::isfinite(spacingM))
        throw SurveyInputError(i18n::Translate("survey", "采样间距必须大于0。"));
}

void CheckPlanSize(const SamplePlan& plan)
{
    if (plan.CandidateCount() > kMaxPlannedPoints)
        throw SurveyInputError(i18n::Format(
            i18n::Translate("survey", "区域内约有%1个格网点，超过5000万个。请加大采样间距或缩小区域。"),
            {std::to_string(plan.CandidateCount())}));
}

std::vector<GeoPoint> BoundaryProbes(const std::vector<GeoRing>& rings, int perEdge)
{
    std::vector<GeoPoint> probes;
    for (const GeoRing& ring : rings)
        for (std::size_t i = 0; i < ring.size(); ++i) {
            const GeoPoint& from = ring[i];
            const GeoPoint& to = ring[(i + 1) % ring.size()];
            for (int k = 0; k < perEdge; ++k) {
                const double f = static_cast<double>(k) / perEdge;
                probes.push_back({.latDeg = from.latDeg + f * (to.latDeg - from.latDeg),
                                  .lonDeg = from.lonDeg + f * (to.lonDeg - from.lonDeg)});
            }
        }
    return probes;
}

BoundarySamplingCounts SampleInsideBoundary(const SamplePlan& plan, const HeightQuery& heights,
                                            const std::function<void(std::vector<SampledPoint>&&)>& deliver,
                                            TaskProgress* progress)
{
    BoundarySamplingCounts counts;
    const std::int64_t rows = plan.RowCount();
    const std::int64_t rowsPerBatch =
        std::max<std::int64_t>(1, kSampledBatchCandidates / std::max<std::int64_t>(1, plan.ColumnCount()));
    std::vector<PlannedPoint> planned;
    std::vector<std::optional<double>> found;
    for (std::int64_t first = 0; first < rows; first += rowsPerBatch) {
        if (progress)
            progress->ThrowIfCancelled();
        planned.clear();
        for (std::int64_t row = first; row < std::min(rows, first + rowsPerBatch); ++row)
            plan.RowPoints(row, planned);
        plan.QueryHeights(planned, heights, found);
        std::vector<SampledPoint> batch;
        batch.reserve(planned.size());
        for (std::size_t k = 0; k < planned.size(); ++k) {
            if (found[k])
                batch.push_back({planned[k].x, planned[k].y, plan.Frame().GridHeightM(*found[k])});
            else
                ++counts.skipped;
        }
        counts.taken += static_cast<std::int64_t>(batch.size());
        if (!batch.empty())
            deliver(std::move(batch));
        if (progress)
            progress->Set(static_cast<double>(std::min(rows, first + rowsPerBatch)) /
                          static_cast<double>(rows));
    }
    return counts;
}

}  // namespace keldarn::survey
