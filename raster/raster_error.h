#pragma once

#include <stdexcept>
#include <string>

namespace keldarn::raster {

// A raster that cannot be used; the message (for the user) names the file and the
// reason.
class RasterError : public std::runtime_error {
public:
    explicit RasterError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace keldarn::raster
