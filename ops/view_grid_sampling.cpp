#include "ops/view_grid_sampling.h"

#include "geodesy/number_text.h"

#include <chrono>
#include <utility>

namespace keldarn::ops {

namespace {

QString Metres(double value)
{
    return QString::fromStdString(geodesy::FormatGridCoordinate(value));
}

}  // namespace

ViewGridCounts SampleViewGrid(const ViewGridRequest& request,
                              const std::function<void(std::vector<points::RowCells>&&)>& deliver,
                              survey::TaskProgress& progress)
{
    using Clock = std::chrono::steady_clock;
    const double pointCount = static_cast<double>(request.rows) * static_cast<double>(request.columns);
    ViewGridCounts counts;
    std::vector<points::RowCells> batch;
    Clock::time_point lastDelivery = Clock::now();
    try {
        for (std::int64_t row = 0; row < request.rows; ++row) {
            for (std::int64_t column = 0; column < request.columns; ++column) {
                progress.ThrowIfCancelled();
                const std::optional<PickedGround> ground = request.pick(row, column);
                if (!ground) {
                    ++counts.skipped;
                    continue;
                }
                const geodesy::GridPoint g = request.frame.ToGrid(ground->place, ground->heightM);
                batch.push_back({QString(), QString(), Metres(g.x), Metres(g.y), Metres(g.h)});
                ++counts.taken;
                if (batch.size() >= kViewGridBatchRows ||
                    Clock::now() - lastDelivery >= std::chrono::milliseconds(kDeliverEveryMs)) {
                    deliver(std::exchange(batch, {}));
                    lastDelivery = Clock::now();
                }
            }
            progress.Set(static_cast<double>(row + 1) * static_cast<double>(request.columns) / pointCount);
        }
    } catch (const survey::TaskCancelled&) {
        throw;
    } catch (...) {
        // The points taken before a failure are kept.
        if (!batch.empty())
            deliver(std::move(batch));
        throw;
    }
    if (!batch.empty())
        deliver(std::move(batch));
    return counts;
}

}  // namespace keldarn::ops
