#pragma once

// Replacing a file in one step, so that a failure never leaves a half-written file and
// never destroys the file that was there.

#include "fileio/file_error.h"

#include <filesystem>
#include <string_view>

namespace keldarn::fileio {

// Writes `bytes` to a new temporary file in the target's folder, flushes it to the disk
// and renames it over `target`. A target that already exists keeps its permission bits
// (a new one gets 0666 less the umask); a symbolic link is followed and the file it
// points to is replaced. On any failure the temporary file is removed, the target is
// left as it was, and FileWriteError names the target and the reason.
void WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes);

}  // namespace keldarn::fileio
