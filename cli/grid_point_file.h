#pragma once

// Text files of survey grid points, one "X,Y" a line (X the northing, Y the easting, metres;
// separated by a comma, semicolon, tab or blanks): the boundary of sample --boundary and the
// route of profile --route.

#include "geodesy/coordinates.h"

#include <string>
#include <vector>

namespace keldarn::cli {

// The points in file order; blank lines are skipped. Throws InputError naming the
// file, the line and its text for a line that is not two numbers; the line reader's errors
// (a file that cannot be read, a line beyond the bound) pass through.
std::vector<geodesy::PlanePoint> ReadGridPoints(const std::string& path);

}  // namespace keldarn::cli
