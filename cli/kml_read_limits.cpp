#include "cli/kml_read_limits.h"

#include "settings/settings.h"
#include "cli/survey_frame.h"

namespace keldarn::cli {

kml::KmlReadLimits KmlReadLimitsFromOptions(const ParsedOptions& options)
{
    const auto settingsPath = SettingsFileFromOptions(options);
    if (!settingsPath)
        return {};
    const settings::KmzEntryLimitSetting read = settings::ReadKmzEntryLimit(*settingsPath);
    if (!read.problem.empty())
        throw UsageError(read.problem);
    return {static_cast<std::uint64_t>(read.megabytes)};
}

}  // namespace keldarn::cli
