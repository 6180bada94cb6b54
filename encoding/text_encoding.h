#pragma once

// Conversions between UTF-8, the program's inner encoding, and the 8-bit encodings of
// files exchanged with Chinese desktop software. GB18030 is the superset of GBK: every
// GBK character keeps its GBK bytes, and characters outside GBK are still encoded, so
// nothing typed is ever lost.

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace keldarn::encoding {

class EncodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The two encodings of the text files exchanged with survey software: UTF-8, and GB18030 for
// Chinese desktop programs.
enum class TextEncoding { kUtf8, kGb18030 };

bool IsValidUtf8(std::string_view bytes);

// True when every byte is below 0x80: such text reads the same in UTF-8 and in GB18030, so it
// needs no conversion.
bool IsAscii(std::string_view bytes);

// Converts between two encodings known to iconv ("UTF-8", "GB18030", "GBK", ...).
// Throws EncodingError for an unknown encoding or bytes that are not valid in `from`.
std::string Convert(std::string_view bytes, const char* from, const char* to);

// One conversion used for many pieces of text, such as the chunks of a large file, so
// that the converter is opened once. Every piece must end on a character boundary.
class StreamConverter {
public:
    // Throws EncodingError for an encoding iconv does not know.
    StreamConverter(const char* from, const char* to);
    ~StreamConverter();
    StreamConverter(const StreamConverter&) = delete;
    StreamConverter& operator=(const StreamConverter&) = delete;

    std::string Convert(std::string_view bytes);
    // Appends the converted bytes to `out`, whose capacity is reused. Throws
    // EncodingError for bytes that are not valid in `from` or a piece cut inside a
    // character; `out` then holds an unspecified prefix of the result.
    void ConvertAppend(std::string_view bytes, std::string& out);

private:
    class Descriptor;
    std::unique_ptr<Descriptor> descriptor_;
    std::string from_;
};

inline std::string Utf8ToGb18030(std::string_view utf8) { return Convert(utf8, "UTF-8", "GB18030"); }
inline std::string Gb18030ToUtf8(std::string_view gb) { return Convert(gb, "GB18030", "UTF-8"); }

// Text of a file written by another program: valid UTF-8 is taken as it is (a UTF-8
// byte-order mark is dropped); anything else is read as GB18030, the encoding of older
// Chinese tools.
std::string FileTextToUtf8(std::string_view bytes);

}  // namespace keldarn::encoding
