#pragma once

// Normalised view coordinates: (sx, sy) from −1 to +1 over the render window, (−1, −1)
// at the bottom-left corner, (+1, +1) at the top-right corner, sx growing to the right
// and sy upwards.

namespace keldarn::earth {

struct ScreenPoint {
    double sx = 0.0;
    double sy = 0.0;

    bool operator==(const ScreenPoint&) const = default;
};

// A pixel (xr, yr) of a render window of w × h pixels (outer size), yr growing
// downwards: sx = 2·xr/w − 1, sy = 2·(h − yr)/h − 1. The top-left pixel gives (−1, +1);
// the outer bottom and right edges (xr = w, yr = h) give +1 and −1.
ScreenPoint NormalizedFromPixel(double xr, double yr, double widthPx, double heightPx);

}  // namespace keldarn::earth
