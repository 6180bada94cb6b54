#pragma once

// Sampling the terrain on a regular grid over the view: every grid point's pick carried into
// the survey grid and handed on in batches of table rows, on a worker thread.

#include "points/point_table_model.h"
#include "survey/survey_frame.h"
#include "survey/task_progress.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace keldarn::ops {

// The ground under a grid point: its WGS84 place and the DEM's height there (metres).
struct PickedGround {
    geodesy::GeoPoint place;
    double heightM = 0.0;
};

struct ViewGridRequest {
    std::int64_t rows = 0;     // grid points from the bottom edge of the view to the top
    std::int64_t columns = 0;  // grid points from the left edge to the right
    // The ground under point (row, column), or nothing where the view shows none (sky, beyond
    // the data, a void). Called on the worker thread, row by row from the bottom.
    std::function<std::optional<PickedGround>(std::int64_t row, std::int64_t column)> pick;
    survey::SurveyFrame frame;
};

struct ViewGridCounts {
    std::int64_t taken = 0;
    std::int64_t skipped = 0;  // grid points without ground
};

// Rows of up to this many points go to `deliver` at once, and at least every
// kDeliverEveryMs, so that the table fills while the run lasts.
inline constexpr std::size_t kViewGridBatchRows = 8192;
inline constexpr std::int64_t kDeliverEveryMs = 100;

// Picks every grid point in order and delivers rows {name empty, description empty, X, Y, H}
// (metres, three decimals) of the points with ground. The progress is the share of grid
// points done; a cancel throws survey::TaskCancelled (rows delivered before stay delivered),
// and so does `deliver` when it sees one.
ViewGridCounts SampleViewGrid(const ViewGridRequest& request,
                              const std::function<void(std::vector<points::RowCells>&&)>& deliver,
                              survey::TaskProgress& progress);

}  // namespace keldarn::ops
