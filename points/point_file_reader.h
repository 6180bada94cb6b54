#pragma once

// Reading a point file line by line: the files the export writes and the import reads back,
// control points, and the files keldarn-cli converts. Lines end with CR LF, LF or CR
// (fileio::LineReader, which also bounds a line's length). The text encoding is given by the
// caller or detected: a file that is valid UTF-8 throughout is UTF-8, and a byte-order mark
// before its first line is no part of that line; any other file is GB18030, as the export
// and older Chinese tools write it. Lines come out as UTF-8, with their numbers for messages.

#include "encoding/text_encoding.h"
#include "fileio/line_reader.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace keldarn::points {

class PointFileReader {
public:
    // Opens `path`; `encoding` is the file's, or none to detect it. Throws
    // fileio::FileReadError.
    explicit PointFileReader(std::filesystem::path path,
                             std::optional<encoding::TextEncoding> encoding = std::nullopt);

    // Moves to the next line; false after the last. Throws fileio::FileReadError, and
    // fileio::LineTooLongError for a line longer than fileio::kMaxLineBytes.
    bool Next();

    // The line without its end, as UTF-8, valid until the next call of Next(); false when its
    // bytes are not valid in the file's encoding. A line that is not decoded costs nothing, so
    // a caller may pass over lines (a title) it does not read.
    [[nodiscard]] bool Text(std::string_view& utf8);

    // The 1-based number of the line.
    std::int64_t Number() const { return lines_.Number(); }

    // The file's encoding. Detection reads ahead only where it must: lines of ASCII read the
    // same in both encodings and decide nothing; the first line that is not ASCII decides
    // GB18030 when it is no UTF-8, and otherwise the rest of the file is checked once (from the
    // current line, when a caller asks before any such line). Throws as Next().
    encoding::TextEncoding Encoding();

    // Bytes taken from the file so far, for a reader's progress.
    std::uint64_t BytesRead() const { return lines_.BytesRead(); }

private:
    bool RestIsValidUtf8() const;

    fileio::LineReader lines_;
    std::optional<encoding::TextEncoding> encoding_;
    std::string_view bytes_;  // the current line as in the file
    encoding::StreamConverter fromGb18030_{"GB18030", "UTF-8"};
    std::string decoded_;  // the current line, when it had to be converted
};

}  // namespace keldarn::points
