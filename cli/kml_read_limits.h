#pragma once

// The bounds under which keldarn-cli reads KML and KMZ files: those of the settings file named
// by --settings ([KML] KmzEntryMB), as the window reads them from its own; the defaults
// without one.

#include "cli/command_line.h"
#include "kml/kml_input.h"

namespace keldarn::cli {

// Throws as SettingsFileFromOptions does, and UsageError, naming the file, the key and the
// value, for a value that does not read: the run stops rather than go on under a bound the
// user did not set, as for [Projection].
kml::KmlReadLimits KmlReadLimitsFromOptions(const ParsedOptions& options);

}  // namespace keldarn::cli
