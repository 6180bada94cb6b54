#pragma once

// Where the program's files lie. A build folder holds the executable with its user's guide
// and translations beside it, and the settings file there too. An installed copy has the
// executable in <prefix>/bin and its data in <prefix>/share/keldarn, and never writes
// under the prefix: its settings and journal go to $XDG_CONFIG_HOME/keldarn.

#include <filesystem>

namespace keldarn::settings {

// True when `executableDir` is <prefix>/bin of a copy whose <prefix>/share/keldarn exists.
bool IsInstalledCopy(const std::filesystem::path& executableDir);

// The folder of the user's guides (help.html, help_en.html) and of translations/.
std::filesystem::path DataDirectory(const std::filesystem::path& executableDir);

}  // namespace keldarn::settings
