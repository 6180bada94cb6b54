#pragma once

#include <string>
#include <vector>

namespace keldarn::cli {

// keldarn-cli convert: the points of a delimited text file converted between latitude,
// longitude and height and the survey grid (X, Y, H), by the window's arithmetic, streamed
// line by line into a new file. arguments[0] is "convert". Returns the exit status;
// messages go to standard error.
int RunConvert(const std::vector<std::string>& arguments);

}  // namespace keldarn::cli
