#include "cad/dxf_text.h"

#include "cad/drawing_utf8.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <optional>
#include <vector>

namespace keldarn::cad {

namespace {

void AppendEscape(std::string& out, unsigned unit)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += "\\U+";
    for (int shift = 12; shift >= 0; shift -= 4)
        out.push_back(kHex[(unit >> shift) & 0xF]);
}

std::optional<unsigned> HexValue(std::string_view digits)
{
    unsigned value = 0;
    for (char c : digits) {
        const auto u = static_cast<unsigned char>(c);
        if (!std::isxdigit(u))
            return std::nullopt;
        value = value * 16 + static_cast<unsigned>(std::isdigit(u) ? u - '0' : std::toupper(u) - 'A' + 10);
    }
    return value;
}

// The UTF-16 unit of a \U+XXXX escape at `i`, if one stands there.
std::optional<unsigned> UnicodeEscapeAt(std::string_view text, std::size_t i)
{
    if (i + 7 > text.size() || text.substr(i, 3) != "\\U+")
        return std::nullopt;
    return HexValue(text.substr(i + 3, 4));
}

// The character of a \M+nXXXX escape at `i`, as UTF-8, if one stands there.
std::optional<std::string> MultiByteEscapeAt(std::string_view text, std::size_t i)
{
    static constexpr std::array<const char*, 5> kEncodings = {"CP932", "BIG5", "CP949", "JOHAB", "GB18030"};
    if (i + 8 > text.size() || text.substr(i, 3) != "\\M+")
        return std::nullopt;
    const char n = text[i + 3];
    const auto code = HexValue(text.substr(i + 4, 4));
    if (n < '1' || n > '5' || !code)
        return std::nullopt;
    const char bytes[2] = {static_cast<char>(*code >> 8), static_cast<char>(*code & 0xFF)};
    try {
        return encoding::Convert(std::string_view(bytes, 2), kEncodings[static_cast<std::size_t>(n - '1')],
                                 "UTF-8");
    } catch (const encoding::EncodingError&) {
        return std::nullopt;
    }
}

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string ReplaceInvalidBytes(std::string_view raw)
{
    std::string out;
    std::size_t i = 0;
    while (i < raw.size())
        AppendUtf8(out, NextCodePoint(raw, i));
    return out;
}

}  // namespace

namespace {

// How a value is written: ASCII only (every other character escaped), or GBK bytes for
// the characters GBK has under $DWGCODEPAGE ANSI_936.
enum class ValueForm { Ascii, Gbk };

// UTF-8 → GBK, one converter per thread, opened on first use; null when iconv lacks GBK.
encoding::StreamConverter* GbkConverter()
{
    thread_local const std::unique_ptr<encoding::StreamConverter> converter = [] {
        for (const char* name : {"CP936", "GBK"}) {
            try {
                return std::make_unique<encoding::StreamConverter>("UTF-8", name);
            } catch (const encoding::EncodingError&) {
            }
        }
        return std::unique_ptr<encoding::StreamConverter>();
    }();
    return converter.get();
}

// The two GBK bytes of a character outside ASCII, or nothing when GBK lacks it. Only
// double-byte codes count (lead byte 0x81-0xFE): code page 936's one single-byte
// addition, 0x80 for the euro sign, is read neither as GB18030 (this program) nor by
// Python's gbk codec (ezdxf), so the euro sign is escaped like characters beyond GBK
// (those GB18030 has in four bytes, such as CJK Extension B, and emoji).
std::optional<std::array<char, 2>> LookUpGbkBytes(char32_t cp)
{
    encoding::StreamConverter* converter = GbkConverter();
    if (!converter)
        return std::nullopt;
    std::string utf8;
    AppendUtf8(utf8, cp);
    std::string gbk;
    try {
        converter->ConvertAppend(utf8, gbk);
    } catch (const encoding::EncodingError&) {
        return std::nullopt;
    }
    const auto lead = static_cast<unsigned char>(gbk.empty() ? 0 : gbk[0]);
    if (gbk.size() != 2 || lead < 0x81 || lead > 0xFE)
        return std::nullopt;
    return std::array<char, 2>{gbk[0], gbk[1]};
}

// As LookUpGbkBytes, remembered per thread for the Basic Multilingual Plane (GBK has
// nothing beyond it): a code unit of 0 for not yet looked up, 1 for none.
std::optional<std::array<char, 2>> GbkBytesOf(char32_t cp)
{
    constexpr std::uint16_t kUnknown = 0, kNone = 1;
    if (cp < 0x80 || cp > 0xFFFF)
        return std::nullopt;
    thread_local std::vector<std::uint16_t> known;
    if (known.empty())
        known.assign(0x10000, kUnknown);
    std::uint16_t& code = known[cp];
    if (code == kUnknown) {
        const auto bytes = LookUpGbkBytes(cp);
        code = bytes ? static_cast<std::uint16_t>(static_cast<unsigned char>((*bytes)[0]) << 8 |
                                                  static_cast<unsigned char>((*bytes)[1]))
                     : kNone;
    }
    if (code == kNone)
        return std::nullopt;
    return std::array<char, 2>{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

// Appends the encoding of the characters of `utf8` while the result stays within
// `maxBytes`; false when a character had to be left out.
bool AppendEncoded(std::string_view utf8, ValueForm form, std::size_t maxBytes, std::string& out)
{
    std::size_t i = 0;
    while (i < utf8.size()) {
        // A backslash that would read back as the start of an escape is escaped itself.
        const bool escapeLike = UnicodeEscapeAt(utf8, i) || MultiByteEscapeAt(utf8, i);
        const char32_t cp = NextCodePoint(utf8, i);
        const bool printable = cp >= 0x20 && cp <= 0x7E && !escapeLike;
        const auto gbk = form == ValueForm::Gbk && !printable ? GbkBytesOf(cp) : std::nullopt;
        const std::size_t bytes = printable ? 1 : gbk ? 2 : cp > 0xFFFF ? 14 : 7;
        if (out.size() + bytes > maxBytes)
            return false;
        if (printable) {
            out.push_back(static_cast<char>(cp));
        } else if (gbk) {
            out.append(gbk->data(), 2);
        } else if (cp > 0xFFFF) {
            const char32_t v = cp - 0x10000;
            AppendEscape(out, 0xD800 + static_cast<unsigned>(v >> 10));
            AppendEscape(out, 0xDC00 + static_cast<unsigned>(v & 0x3FF));
        } else {
            AppendEscape(out, static_cast<unsigned>(cp));
        }
    }
    return true;
}

}  // namespace

std::string EncodeDxfText(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    AppendEncoded(utf8, ValueForm::Ascii, std::string::npos, out);
    return out;
}

std::string EncodeDxfGbkText(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    AppendEncoded(utf8, ValueForm::Gbk, std::string::npos, out);
    return out;
}

std::string EncodeDxfTextToFit(std::string_view utf8)
{
    std::string out;
    out.reserve(std::min(utf8.size(), kMaxDxfValueBytes));
    AppendEncoded(utf8, ValueForm::Gbk, kMaxDxfValueBytes, out);
    return out;
}

bool DxfTextFits(std::string_view utf8)
{
    // No byte of UTF-8 (or of a bad sequence) encodes to more than 7 bytes.
    if (utf8.size() * 7 <= kMaxDxfValueBytes)
        return true;
    std::string out;
    return AppendEncoded(utf8, ValueForm::Gbk, kMaxDxfValueBytes, out);
}

std::string EncodeDxfName(std::string_view utf8)
{
    return IsAscii(utf8) ? std::string(utf8) : EncodeDxfGbkText(utf8);
}

std::string DecodeDxfEscapes(std::string_view utf8)
{
    if (utf8.find('\\') == std::string_view::npos)
        return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        if (const auto unit = UnicodeEscapeAt(utf8, i)) {
            i += 7;
            char32_t cp = *unit;
            if (cp >= 0xD800 && cp <= 0xDBFF) {
                const auto low = UnicodeEscapeAt(utf8, i);
                if (low && *low >= 0xDC00 && *low <= 0xDFFF) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (*low - 0xDC00);
                    i += 7;
                }
            }
            AppendUtf8(out, cp);  // a lone surrogate becomes U+FFFD there
        } else if (const auto character = MultiByteEscapeAt(utf8, i)) {
            out += *character;
            i += 8;
        } else {
            out.push_back(utf8[i++]);
        }
    }
    return out;
}

std::string IconvNameOfCodePage(std::string_view dwgCodePage)
{
    std::string page(dwgCodePage);
    std::transform(page.begin(), page.end(), page.begin(),
                   [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    if (page == "ANSI_936" || page == "GB2312" || page == "GBK" || page == "GB18030")
        return "GB18030";  // GBK's superset: every GBK byte pair reads the same
    if (page == "ANSI_950" || page == "BIG5")
        return "BIG5";
    if (page == "ANSI_932" || page == "DOS932")
        return "CP932";
    if (page == "ANSI_949" || page == "KSC5601")
        return "CP949";
    if (page == "ANSI_1361" || page == "JOHAB")
        return "JOHAB";
    if (page == "UTF-8" || page == "UTF8")
        return "UTF-8";
    if (page.starts_with("ANSI_") && page.size() > 5)
        return "CP" + page.substr(5);
    if (page.starts_with("DOS") && page.size() > 3)
        return "CP" + page.substr(3);
    if (page.starts_with("ISO8859-"))
        return "ISO-8859-" + page.substr(8);
    if (page == "MACINTOSH")
        return "MACINTOSH";
    return {};  // "ASCII" and unknown pages: the bytes decide (UTF-8, else GB18030)
}

DxfTextDecoder::DxfTextDecoder() = default;
DxfTextDecoder::~DxfTextDecoder() = default;

void DxfTextDecoder::SetVersion(std::string_view acadVer)
{
    // AC1021 is R2007, the first release whose DXF files are always UTF-8.
    utf8File_ = acadVer.size() == 6 && acadVer.substr(0, 2) == "AC" && acadVer.substr(2) >= "1021";
    Reopen();
}

void DxfTextDecoder::SetCodePage(std::string_view dwgCodePage)
{
    codePageEncoding_ = IconvNameOfCodePage(dwgCodePage);
    Reopen();
}

void DxfTextDecoder::Reopen()
{
    converter_.reset();
    if (utf8File_ || codePageEncoding_.empty() || codePageEncoding_ == "UTF-8")
        return;
    try {
        converter_ = std::make_unique<encoding::StreamConverter>(codePageEncoding_.c_str(), "UTF-8");
    } catch (const encoding::EncodingError&) {
        codePageEncoding_.clear();  // a page iconv does not know: the bytes decide
    }
}

std::string DxfTextDecoder::ToUtf8(std::string_view raw)
{
    if (IsAscii(raw))
        return std::string(raw);
    if (converter_) {
        try {
            return converter_->Convert(raw);
        } catch (const encoding::EncodingError&) {
        }
    }
    if (encoding::IsValidUtf8(raw))
        return std::string(raw);
    if (!utf8File_) {
        try {
            return encoding::Gb18030ToUtf8(raw);
        } catch (const encoding::EncodingError&) {
        }
    }
    return ReplaceInvalidBytes(raw);
}

std::string DxfTextDecoder::Decode(std::string_view raw)
{
    return DecodeDxfEscapes(ToUtf8(raw));
}

std::string DisplayTextOf(std::string_view text)
{
    if (text.find("%%") == std::string_view::npos)
        return std::string(text);
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text.substr(i, 2) != "%%" || i + 2 >= text.size()) {
            out.push_back(text[i++]);
            continue;
        }
        const char code = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i + 2])));
        if (code == 'd') {
            out += "\u00B0";
        } else if (code == 'p') {
            out += "\u00B1";
        } else if (code == 'c') {
            out += "\u2300";
        } else if (code == '%') {
            out += "%";
        } else if (code == 'u' || code == 'o') {
        } else if (i + 5 <= text.size() && std::all_of(text.begin() + static_cast<std::ptrdiff_t>(i + 2),
                                                       text.begin() + static_cast<std::ptrdiff_t>(i + 5),
                                                       [](char c) { return c >= '0' && c <= '9'; })) {
            AppendUtf8(out, static_cast<char32_t>(std::stoi(std::string(text.substr(i + 2, 3)))));
            i += 5;
            continue;
        } else {
            out += "%%";
            i += 2;
            continue;
        }
        i += 3;
    }
    return out;
}

}  // namespace keldarn::cad
