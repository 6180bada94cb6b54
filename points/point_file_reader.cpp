#include "points/point_file_reader.h"

#include <utility>

namespace keldarn::points {

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

PointFileReader::PointFileReader(std::filesystem::path path, std::optional<encoding::TextEncoding> encoding)
    : lines_(std::move(path)), encoding_(encoding)
{
}

bool PointFileReader::Next()
{
    if (!lines_.Next(bytes_)) {
        bytes_ = {};
        if (!encoding_)
            encoding_ = encoding::TextEncoding::kUtf8;  // every line was ASCII
        return false;
    }
    if (!encoding_ && !encoding::IsAscii(bytes_))
        Encoding();
    return true;
}

bool PointFileReader::Text(std::string_view& utf8)
{
    if (encoding::IsAscii(bytes_)) {
        utf8 = bytes_;
        return true;
    }
    if (Encoding() == encoding::TextEncoding::kUtf8) {
        if (!encoding::IsValidUtf8(bytes_))
            return false;
        utf8 = bytes_;
        if (Number() == 1 && utf8.starts_with(kUtf8ByteOrderMark))
            utf8.remove_prefix(kUtf8ByteOrderMark.size());
        return true;
    }
    decoded_.clear();
    try {
        fromGb18030_.ConvertAppend(bytes_, decoded_);
    } catch (const encoding::EncodingError&) {
        return false;
    }
    utf8 = decoded_;
    return true;
}

encoding::TextEncoding PointFileReader::Encoding()
{
    if (!encoding_)
        encoding_ = encoding::IsValidUtf8(bytes_) && RestIsValidUtf8() ? encoding::TextEncoding::kUtf8
                                                                       : encoding::TextEncoding::kGb18030;
    return *encoding_;
}

// Neither encoding has a CR or LF byte inside a character, so the file is valid UTF-8
// exactly when each of its lines is.
bool PointFileReader::RestIsValidUtf8() const
{
    fileio::LineReader rest(lines_.Path());
    std::string_view line;
    while (rest.Next(line)) {
        if (rest.Number() > lines_.Number() && !encoding::IsValidUtf8(line))
            return false;
    }
    return true;
}

}  // namespace keldarn::points
