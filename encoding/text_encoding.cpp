#include "encoding/text_encoding.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>

namespace keldarn::encoding {

namespace {

int SequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

}  // namespace

class StreamConverter::Descriptor {
public:
    Descriptor(const char* from, const char* to) : cd_(iconv_open(to, from))
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw EncodingError(std::string("unknown text encoding conversion ") + from + " to " + to);
    }
    ~Descriptor() { iconv_close(cd_); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

StreamConverter::StreamConverter(const char* from, const char* to)
    : descriptor_(std::make_unique<Descriptor>(from, to)), from_(from)
{
}

StreamConverter::~StreamConverter() = default;

std::string StreamConverter::Convert(std::string_view bytes)
{
    std::string out;
    ConvertAppend(bytes, out);
    return out;
}

void StreamConverter::ConvertAppend(std::string_view bytes, std::string& out)
{
    const iconv_t cd = descriptor_->get();
    // A piece that failed earlier may have left the descriptor inside a shift sequence.
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::size_t written = out.size();
    // Twice the input holds every UTF-8 to GB18030 conversion; others grow below.
    out.resize(written + bytes.size() * 2 + 16);
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    for (;;) {
        char* outPtr = out.data() + written;
        std::size_t outLeft = out.size() - written;
        // Once the input is consumed, a null input writes the closing shift sequence, if any.
        const bool closing = inLeft == 0;
        const std::size_t result = closing ? iconv(cd, nullptr, nullptr, &outPtr, &outLeft)
                                           : iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        const int error = errno;
        written = out.size() - outLeft;
        if (result != static_cast<std::size_t>(-1)) {
            if (closing)
                break;
            continue;
        }
        if (error == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        out.resize(written);
        throw EncodingError(std::string("text is not valid ") + from_ + " at byte " +
                            std::to_string(bytes.size() - inLeft));
    }
    out.resize(written);
}

bool IsAscii(std::string_view bytes)
{
    // Eight bytes at a time: the high bit of any byte marks a non-ASCII character.
    std::uint64_t high = 0;
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        high |= word;
    }
    for (; i < bytes.size(); ++i)
        high |= static_cast<unsigned char>(bytes[i]);
    return (high & 0x8080808080808080ull) == 0;
}

bool IsValidUtf8(std::string_view bytes)
{
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const int length = SequenceLength(lead);
        if (length == 0 || i + static_cast<std::size_t>(length) > bytes.size())
            return false;
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80)
                return false;
        }
        const auto second = length > 1 ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        // Overlong forms, UTF-16 surrogates and code points beyond U+10FFFF.
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
            (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
            return false;
        i += static_cast<std::size_t>(length);
    }
    return true;
}

std::string Convert(std::string_view bytes, const char* from, const char* to)
{
    return StreamConverter(from, to).Convert(bytes);
}

std::string FileTextToUtf8(std::string_view bytes)
{
    if (IsValidUtf8(bytes)) {
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
            bytes.remove_prefix(3);
        return std::string(bytes);
    }
    return Gb18030ToUtf8(bytes);
}

}  // namespace keldarn::encoding
