#pragma once

#include <string>
#include <vector>

namespace keldarn::cli {

// keldarn-cli contours: contour lines of the terrain inside an area (a box or a KML polygon),
// drawn into a new drawing as the window's 等高线到CAD图形 draws them, saved as DXF.
// arguments[0] is "contours". Returns the exit status.
int RunContours(const std::vector<std::string>& arguments);

}  // namespace keldarn::cli
