#pragma once

// The lines of a text file, read through a buffer of bounded size: memory follows the
// longest line allowed, never the file, so a binary file, a device such as /dev/zero or a
// file of one endless line is refused after reading at most kMaxLineBytes of it.

#include "fileio/file_descriptor.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace keldarn::fileio {

// The longest line (bytes, its line end not counted) of any text file the program reads.
// No line of points, coordinates or settings comes near it; a longer one means the file is
// no text of lines (a binary file given by mistake).
inline constexpr std::size_t kMaxLineBytes = std::size_t{1} << 20;

// The file could not be opened or read. what() is the user's message:
// "无法读取文件 <path>：<reason>".
class FileReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A line is longer than kMaxLineBytes. what() names the file and the line's number.
class LineTooLongError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class LineReader {
public:
    // Throws FileReadError when the file cannot be opened.
    explicit LineReader(std::filesystem::path path);

    // The next line without its end (CR LF, LF or CR), valid until the following call; false
    // after the last line. A last line without a line end is a line; an empty file has none.
    // The bytes are as in the file: CR and LF never occur inside a UTF-8 or GB18030
    // character, so a line is cut before it is decoded, and a byte-order mark stays on the
    // first line. Throws FileReadError when a read fails, LineTooLongError for a line longer
    // than kMaxLineBytes.
    bool Next(std::string_view& line);

    // The 1-based number of the line Next() returned last.
    std::int64_t Number() const { return number_; }
    // The end of that line as it was in the file: "\r\n", "\n", "\r", or empty for a last
    // line without one. The lines with their ends are every byte of the file.
    std::string_view End() const { return end_; }

    const std::filesystem::path& Path() const { return path_; }
    // Bytes taken from the file so far, for a reader's progress.
    std::uint64_t BytesRead() const { return bytesRead_; }

private:
    void Refill();
    [[noreturn]] void Fail(int errorNumber) const;

    std::filesystem::path path_;
    FileDescriptor fd_;
    std::string buffer_;
    std::size_t start_ = 0;    // first byte of the next line
    std::size_t filled_ = 0;   // end of the bytes read
    std::size_t scanned_ = 0;  // bytes after start_ known to hold no line end
    bool atEnd_ = false;
    std::int64_t number_ = 0;
    std::uint64_t bytesRead_ = 0;
    std::string_view end_;
};

}  // namespace keldarn::fileio
