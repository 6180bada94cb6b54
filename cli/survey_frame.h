#pragma once

// The road between the survey grid and latitude/longitude that every subcommand takes, read
// as the window reads its fields: the central meridian (--meridian) and the four parameters
// with the height correction (--dx --dy --rot --scale --dh), each option before the value
// of the settings file (--settings Keldarn.ini, section GEzbzh). The national system
// (ellipsoid, zone number in Y, datum shift) comes from the settings file's section
// Projection, as the window keeps it; without one, the program's own.

#include "cli/command_line.h"
#include "survey/survey_frame.h"

#include <cstddef>
#include <optional>
#include <string>

namespace keldarn::cli {

using survey::SurveyFrame;

// The settings file named by --settings, or nothing; throws UsageError when it is missing and
// InputError (naming the file and the reason) when it is no settings file that reads.
std::optional<std::string> SettingsFileFromOptions(const ParsedOptions& options);

// The terrain of a run: --terrain, else the settings file's [Terrain] source, with the
// block cache (bytes) the settings file grants. Throws UsageError when neither names one.
struct TerrainOption {
    std::string path;
    std::size_t cacheBytes = 0;
};
TerrainOption TerrainFromOptions(const ParsedOptions& options);

// Throws UsageError for a missing or wrong meridian, a parameter that is not a number, a
// scale change of −1 (which collapses the plane), a [Projection] value of the settings file
// that does not read, or a zone number in Y on a meridian that is no zone's.
SurveyFrame SurveyFrameFromOptions(const ParsedOptions& options);

}  // namespace keldarn::cli
