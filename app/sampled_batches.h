#pragma once

// Rows of a sampling run on their way from the worker thread to the point table: the
// worker pushes formatted batches, the window takes them on a timer. At most a few
// batches wait, so a run of millions of points holds little beyond the table itself.

#include "points/point_table_model.h"
#include "survey/task_progress.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace keldarn::app {

class SampledBatches {
public:
    // Waits while the queue is full; throws TaskCancelled once the run is cancelled.
    void Push(std::vector<points::RowCells>&& batch, const survey::TaskProgress& progress);
    // Everything waiting, oldest first.
    std::vector<std::vector<points::RowCells>> TakeAll();

    static constexpr std::size_t kMaxWaiting = 8;

private:
    std::mutex mutex_;
    std::condition_variable space_;
    std::deque<std::vector<points::RowCells>> waiting_;
};

}  // namespace keldarn::app
