#pragma once

// The executable's version values, compiled in from the build. The About window reads
// them through a VersionInfoSource so that tests can present missing values.

#include <QString>

#include <functional>
#include <optional>

namespace keldarn::app {

// Each value is missing when the build did not define it.
struct VersionInfo {
    std::optional<QString> productName;
    std::optional<QString> legalCopyright;
    std::optional<QString> fileVersion;
    std::optional<QString> companyName;
};

// Nothing at all when the executable carries no version information.
using VersionInfoSource = std::function<std::optional<VersionInfo>()>;

std::optional<VersionInfo> CompiledVersionInfo();

}  // namespace keldarn::app
