#pragma once

#include <string>
#include <vector>

namespace keldarn::cli {

// keldarn-cli sample: heights on a grid of round survey coordinates inside an area,
// streamed into a .dat (the program's export) or a CSV file. arguments[0] is "sample".
// Returns the exit status; messages go to standard error.
int RunSample(const std::vector<std::string>& arguments);

// keldarn-cli merge: the shares of a run split with --part, joined into the file one run
// would have written (points renumbered). arguments[0] is "merge".
int RunMerge(const std::vector<std::string>& arguments);

}  // namespace keldarn::cli
