#include "settings/install_layout.h"

namespace keldarn::settings {
namespace {

std::filesystem::path SharedDataOf(const std::filesystem::path& executableDir)
{
    return executableDir.parent_path() / "share" / "keldarn";
}

}  // namespace

bool IsInstalledCopy(const std::filesystem::path& executableDir)
{
    std::error_code error;
    return executableDir.filename() == "bin" && std::filesystem::is_directory(SharedDataOf(executableDir), error);
}

std::filesystem::path DataDirectory(const std::filesystem::path& executableDir)
{
    return IsInstalledCopy(executableDir) ? SharedDataOf(executableDir) : executableDir;
}

}  // namespace keldarn::settings
