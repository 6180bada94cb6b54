#pragma once

// What every reader of GDAL rasters here needs: the drivers registered once, GDAL's own
// reports kept off stderr while a file is read, and the last report for a message.

#include <string>

namespace keldarn::raster {

// Registers GDAL's drivers, once per process; safe from any thread.
void EnsureGdalRegistered();

// While alive, GDAL's reports are collected instead of printed on stderr; the last one
// stays available to GdalDetail().
class QuietGdalErrors {
public:
    QuietGdalErrors();
    ~QuietGdalErrors();
    QuietGdalErrors(const QuietGdalErrors&) = delete;
    QuietGdalErrors& operator=(const QuietGdalErrors&) = delete;
};

// GDAL's last report as the tail of a Chinese message, "（GDAL：…）", or empty text.
std::string GdalDetail();

}  // namespace keldarn::raster
