#pragma once

// The four-parameter import file: one value per line in the order dx, dy, R, m, dH,
// lines ending in CR LF, LF or CR, in UTF-8 or (files of older tools) GB18030.

#include <array>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace keldarn::app {

class FileReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The first five lines of the file as UTF-8 texts, exactly as they stand (not trimmed,
// not checked); lines the file does not have are empty. Throws FileReadError naming
// the file and the reason when it cannot be opened or read.
std::array<std::string, 5> ReadParameterLines(const std::filesystem::path& path);

}  // namespace keldarn::app
