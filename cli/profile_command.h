#pragma once

#include <string>
#include <vector>

namespace keldarn::cli {

// keldarn-cli profile: the longitudinal profile of a route (a KML path or a file of survey
// grid points) written as the point table's export (.dat), CSV, or the chart (.svg, .png),
// as the window's profile makes them. arguments[0] is "profile". Returns the exit status.
int RunProfile(const std::vector<std::string>& arguments);

}  // namespace keldarn::cli
