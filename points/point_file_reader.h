#pragma once

// Reading a point file line by line: the files the export writes and the import reads back,
// control points, and the files keldarn-cli converts. Lines end with CR LF, LF or CR
// (fileio::LineReader, which also bounds a line's length). The text encoding is UTF-8, where a
// byte-order mark before the first line is no part of that line, or GB18030, as the export
// and older Chinese tools write it. Lines come out as UTF-8, with their numbers for messages.

#include "encoding/text_encoding.h"
#include "fileio/line_reader.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace keldarn::points {

class PointFileReader {
public:
    // Opens `path`, a file in `encoding`. Throws fileio::FileReadError.
    PointFileReader(std::filesystem::path path, encoding::TextEncoding encoding);

    // Moves to the next line; false after the last. Throws fileio::FileReadError, and
    // fileio::LineTooLongError for a line longer than fileio::kMaxLineBytes.
    bool Next();

    // The line without its end, as UTF-8, valid until the next call of Next(); false when its
    // bytes are not valid in the file's encoding. A line that is not decoded costs nothing, so
    // a caller may pass over lines (a title) it does not read.
    [[nodiscard]] bool Text(std::string_view& utf8);

    // The 1-based number of the line.
    std::int64_t Number() const { return lines_.Number(); }

    // Bytes taken from the file so far, for a reader's progress.
    std::uint64_t BytesRead() const { return lines_.BytesRead(); }

private:
    fileio::LineReader lines_;
    encoding::TextEncoding encoding_;
    std::string_view bytes_;  // the current line as in the file
    std::unique_ptr<encoding::StreamConverter> fromGb18030_;
    std::string decoded_;  // the current line, when it had to be converted
};

}  // namespace keldarn::points
