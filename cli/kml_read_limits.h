#pragma once

// KML as keldarn-cli reads it: under the bounds of the settings file named by --settings
// ([KML] KmzEntryMB), as the window reads them from its own, the defaults without one; and
// the route or area a terrain command takes from it.

#include "cli/command_line.h"
#include "kml/kml_input.h"
#include "kml/kml_shapes.h"

#include <string>

namespace keldarn::cli {

// Throws as SettingsFileFromOptions does, and UsageError, naming the file, the key and the
// value, for a value that does not read: the run stops rather than go on under a bound the
// user did not set, as for [Projection].
kml::KmlReadLimits KmlReadLimitsFromOptions(const ParsedOptions& options);

struct ChosenKmlShape {
    kml::KmlShape shape;
    std::string name;  // as ops::ShapeName gives it
};

// The route (area false) or the area of the file named by --kml that a terrain command
// starts from: the one named by --name, else the first. Throws RunError for a file that is
// not there, InputError for one that does not read, holds none or none of that name.
ChosenKmlShape KmlShapeFromOptions(const ParsedOptions& options, bool area);

}  // namespace keldarn::cli
