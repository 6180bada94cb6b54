#include "earth/screen_coords.h"

namespace keldarn::earth {

ScreenPoint NormalizedFromPixel(double xr, double yr, double widthPx, double heightPx)
{
    return {2.0 * xr / widthPx - 1.0, 2.0 * (heightPx - yr) / heightPx - 1.0};
}

}  // namespace keldarn::earth
