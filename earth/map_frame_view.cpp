#include "earth/map_frame_view.h"

#include "earth/geocentric.h"

#include <vector>

namespace keldarn::earth::map_detail {

constexpr int kDepthSampleStepPx = 16;

void FrameView::ScanDepth()
{
    // Without surface drawn: the nearest ground of a view, up to the steepest tilt, lies
    // more than a tenth as far as the focus.
    nearestPixelM_ = 0.1 * camera_.MetresPerPixelAtFocus();
    if (!invDepth_)
        return;
    std::vector<int> xs, ys;
    for (int x = 0; x < w_ - 1; x += kDepthSampleStepPx)
        xs.push_back(x);
    xs.push_back(w_ - 1);
    for (int y = 0; y < h_ - 1; y += kDepthSampleStepPx)
        ys.push_back(y);
    ys.push_back(h_ - 1);
    const double tanW = camera_.TanHalfWidth(), tanH = camera_.TanHalfHeight();
    LatLonBox box;
    bool borderOpen = false;
    float nearestInv = 0.0f;
    double padLatDeg = 0.0, padLonDeg = 0.0;
    std::vector<std::optional<Geodetic>> above(xs.size()), row(xs.size());
    for (size_t j = 0; j < ys.size(); ++j) {
        for (size_t i = 0; i < xs.size(); ++i) {
            row[i].reset();
            const float inv = invDepth_[static_cast<size_t>(ys[j]) * w_ + xs[i]];
            if (!(inv > 0.0f)) {
                borderOpen = borderOpen || i == 0 || j == 0 || i + 1 == xs.size() || j + 1 == ys.size();
                continue;
            }
            nearestInv = std::max(nearestInv, inv);
            const double sx = 2.0 * xs[i] / w_ - 1.0, sy = 1.0 - 2.0 * ys[j] / h_;
            const Vec3 direction =
                camera_.Forward() + camera_.Right() * (sx * tanW) + camera_.Up() * (sy * tanH);
            const Geodetic g = GeodeticNearSurface(camera_.Position() + direction * (1.0 / inv));
            box.Add(g.latDeg, g.lonDeg);
            for (const auto& neighbour : {i > 0 ? row[i - 1] : std::nullopt, above[i]}) {
                if (neighbour) {
                    padLatDeg = std::max(padLatDeg, std::fabs(g.latDeg - neighbour->latDeg));
                    padLonDeg = std::max(padLonDeg, std::fabs(g.lonDeg - neighbour->lonDeg));
                }
            }
            row[i] = g;
        }
        std::swap(above, row);
    }
    if (nearestInv > 0.0f)
        nearestPixelM_ = 2.0 * tanW / (w_ * nearestInv);
    if (borderOpen || !(box.southDeg <= box.northDeg) || box.eastDeg - box.westDeg > 180.0)
        return;
    box.southDeg -= padLatDeg;
    box.northDeg += padLatDeg;
    box.westDeg -= padLonDeg;
    box.eastDeg += padLonDeg;
    visible_ = box;
}

}  // namespace keldarn::earth::map_detail
