#pragma once

// Heights on the survey grid inside a boundary: the grid points of a SamplePlan, row by
// row, with their heights from the DEM, handed over in batches so that a run of millions
// of points needs memory for one batch at a time.

#include "survey/height_query.h"
#include "survey/sample_plan.h"
#include "survey/task_progress.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace keldarn::survey {

// A sampled point of the survey grid, H = DEM height + dH.
using SampledPoint = geodesy::GridPoint;

struct BoundarySamplingCounts {
    std::int64_t taken = 0;    // points handed over
    std::int64_t skipped = 0;  // grid points inside the boundary without terrain (voids)
};

// About this many grid candidates are asked for heights at once.
inline constexpr std::int64_t kSampledBatchCandidates = 16384;

// Samples every grid point of the plan, north to south and west to east, and passes each
// batch (in order, never empty) to `deliver` on the calling thread. Sets progress by rows
// and stops with TaskCancelled when it is cancelled; batches delivered before stay
// delivered. H is the DEM's height with the plan's frame's height correction.
BoundarySamplingCounts SampleInsideBoundary(const SamplePlan& plan, const HeightQuery& heights,
                                            const std::function<void(std::vector<SampledPoint>&&)>& deliver,
                                            TaskProgress* progress = nullptr);

// Checks before a run, each throwing SurveyInputError with a message for the user: a boundary
// (rings of WGS84 points; the first is the outer boundary) of fewer than three distinct
// vertices or with edges that cross; a spacing that is not above zero; a grid of more than
// kMaxPlannedPoints candidates.
void CheckBoundary(const std::vector<geodesy::GeoRing>& rings);
void CheckSpacing(double spacingM);
void CheckPlanSize(const SamplePlan& plan);

// Whether any two edges of the closed ring (vertices without the repeated first one) cross
// or touch, other than neighbours at their shared vertex.
bool RingSelfIntersects(const geodesy::GeoRing& ring);

// Points along the rings' edges (about `perEdge` per edge, vertices included) whose heights
// tell whether the boundary lies on the DEM.
std::vector<geodesy::GeoPoint> BoundaryProbes(const std::vector<geodesy::GeoRing>& rings, int perEdge = 16);

}  // namespace keldarn::survey
