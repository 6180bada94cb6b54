#pragma once

#include <string>
#include <vector>

namespace keldarn::cli {

// keldarn-cli points2dxf: the points of a point file (the program's export, read as its
// import reads it) drawn into a new drawing as elevation points, as the window's
// 高程点到CAD图形 draws the table's rows, saved as DXF. arguments[0] is "points2dxf".
// Returns the exit status.
int RunPoints2Dxf(const std::vector<std::string>& arguments);

}  // namespace keldarn::cli
