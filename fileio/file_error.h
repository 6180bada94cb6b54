#pragma once

// Texts for failing file operations, shown to the user in message boxes.

#include <filesystem>
#include <stdexcept>
#include <string>

namespace keldarn::fileio {

// A file could not be written. what() is the user's message, naming the file and the
// reason: "无法写入文件 <path>：<reason>".
class FileWriteError : public std::runtime_error {
public:
    FileWriteError(const std::filesystem::path& file, const std::string& reason);
    // The reason alone, for callers that name the file in their own words.
    const std::string& reason() const { return reason_; }

private:
    std::string reason_;
};

// The reason for a failing system call (an errno value) in the user's language for the cases a user
// meets (no such folder, no permission, disk full, ...); the C library's text otherwise.
std::string DescribeSystemError(int errorNumber);

}  // namespace keldarn::fileio
