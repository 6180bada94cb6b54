#include "app/sampled_batches.h"

#include <chrono>

namespace keldarn::app {

void SampledBatches::Push(std::vector<points::RowCells>&& batch, const survey::TaskProgress& progress)
{
    std::unique_lock lock(mutex_);
    // The cancel flag is not signalled through the condition: look at it every 50 ms.
    while (waiting_.size() >= kMaxWaiting) {
        progress.ThrowIfCancelled();
        space_.wait_for(lock, std::chrono::milliseconds(50));
    }
    progress.ThrowIfCancelled();
    waiting_.push_back(std::move(batch));
}

std::vector<std::vector<points::RowCells>> SampledBatches::TakeAll()
{
    std::vector<std::vector<points::RowCells>> taken;
    {
        std::lock_guard lock(mutex_);
        taken.assign(std::make_move_iterator(waiting_.begin()), std::make_move_iterator(waiting_.end()));
        waiting_.clear();
    }
    space_.notify_all();
    return taken;
}

}  // namespace keldarn::app
