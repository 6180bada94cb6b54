#include "kml/kml_decoder.h"

#include "i18n/interface_text.h"
#include "kml/kml_error.h"

#include <algorithm>
#include <array>
#include <strings.h>

namespace keldarn::kml {
namespace {

constexpr std::size_t kReadBytes = 256 * 1024;
// Text looked at after the first non-ASCII byte of an undeclared file.
constexpr std::size_t kSniffBytes = 64 * 1024;
// Text held back while no place to cut between characters has come (a very long run of
// Chinese characters without a blank or mark); beyond this the file is not KML text.
constexpr std::size_t kMaxCarryBytes = 16 * 1024 * 1024;
// The XML declaration is short; a longer one is not looked into.
constexpr std::size_t kMaxDeclarationBytes = 1024;

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool IsOneOf(std::string_view name, std::initializer_list<std::string_view> names)
{
    return std::any_of(names.begin(), names.end(),
                       [name](std::string_view candidate) { return EqualsIgnoringCase(name, candidate); });
}

bool ParserReadsItself(std::string_view encodingName)
{
    return IsOneOf(encodingName, {"UTF-8", "UTF-16", "UTF-16BE", "UTF-16LE", "ISO-8859-1", "US-ASCII"});
}

bool IsGbFamily(std::string_view encodingName)
{
    return IsOneOf(encodingName,
                   {"GB2312", "GBK", "GB18030", "CP936", "MS936", "WINDOWS-936", "EUC-CN", "X-GBK"});
}

// The value of encoding="…" in the XML declaration at the start of `head`; empty when
// there is no declaration or it names no encoding.
std::string DeclaredEncoding(std::string_view head)
{
    if (!head.starts_with("<?xml"))
        return {};
    const std::string_view declaration = head.substr(0, std::min(head.find("?>"), kMaxDeclarationBytes));
    std::size_t i = declaration.find("encoding");
    if (i == std::string_view::npos)
        return {};
    i += 8;
    const auto skipBlanks = [&] {
        while (i < declaration.size() && (declaration[i] == ' ' || declaration[i] == '\t' ||
                                          declaration[i] == '\r' || declaration[i] == '\n'))
            ++i;
    };
    skipBlanks();
    if (i >= declaration.size() || declaration[i] != '=')
        return {};
    ++i;
    skipBlanks();
    if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\''))
        return {};
    const std::size_t end = declaration.find(declaration[i], i + 1);
    if (end == std::string_view::npos)
        return {};
    return std::string(declaration.substr(i + 1, end - i - 1));
}

// UTF-16 with or without a byte-order mark, and UTF-8 with one: the parser's own business.
bool StartsWithByteOrderMarkOrUtf16(std::string_view head)
{
    if (head.starts_with("\xEF\xBB\xBF") || head.starts_with("\xFE\xFF") || head.starts_with("\xFF\xFE"))
        return true;
    return head.size() >= 2 && (head[0] == '\0' || head[1] == '\0');
}

// Length of `text` without a UTF-8 sequence cut off at its end.
std::size_t CompleteUtf8Length(std::string_view text)
{
    for (std::size_t back = 1; back <= std::min<std::size_t>(3, text.size()); ++back) {
        const auto byte = static_cast<unsigned char>(text[text.size() - back]);
        if ((byte & 0xC0) == 0xC0)  // a lead byte: is its sequence complete?
            return back < (byte >= 0xF0 ? 4u : byte >= 0xE0 ? 3u : 2u) ? text.size() - back : text.size();
        if ((byte & 0x80) == 0)
            return text.size();
    }
    return text.size();
}

// Length of the longest prefix of `bytes` that ends between two characters, for the
// ASCII-compatible multi-byte encodings (GB18030, GBK, Big5, Shift_JIS, EUC-*): no
// byte below 0x40 other than a digit ever continues a character in them. 0 when there
// is no such place.
std::size_t CharacterBoundary(std::string_view bytes)
{
    for (std::size_t i = bytes.size(); i > 0; --i) {
        const auto byte = static_cast<unsigned char>(bytes[i - 1]);
        if (byte < 0x40 && !(byte >= '0' && byte <= '9'))
            return i;
    }
    return 0;
}

// An encoding name as a message shows it: a declaration is bytes of an unknown encoding,
// so only printable ASCII is kept (encoding names are ASCII) and the rest becomes '?'.
std::string ShownEncodingName(std::string_view name)
{
    std::string shown(name.substr(0, 40));
    for (char& ch : shown) {
        if (static_cast<unsigned char>(ch) < 0x20 || static_cast<unsigned char>(ch) >= 0x7F)
            ch = '?';
    }
    return name.size() > 40 ? shown + "…" : shown;
}

}  // namespace

KmlDecoder::KmlDecoder(KmlByteSource& source, std::string displayName)
    : source_(source), displayName_(std::move(displayName))
{
    Detect();
}

void KmlDecoder::Detect()
{
    ReadMore();
    if (StartsWithByteOrderMarkOrUtf16(raw_)) {
        mode_ = Mode::PassThrough;
        parserEncoding_ = nullptr;
        return;
    }
    const std::string declared = DeclaredEncoding(raw_);
    if (declared.empty())
        return;  // undecided until the first non-ASCII byte
    if (ParserReadsItself(declared)) {
        mode_ = Mode::PassThrough;
        parserEncoding_ = nullptr;
        return;
    }
    encodingName_ = declared;
    ChooseConverter(IsGbFamily(declared) ? "GB18030" : declared.c_str());
}

void KmlDecoder::ChooseConverter(const char* encodingName)
{
    try {
        converter_ = std::make_unique<encoding::StreamConverter>(encodingName, "UTF-8");
    } catch (const encoding::EncodingError&) {
        throw KmlReadError(displayName_, 1,
                           i18n::Format(i18n::Translate("kml", "不支持文件声明的文本编码“%1”"),
                                        {ShownEncodingName(encodingName_)}));
    }
    mode_ = Mode::Convert;
}

bool KmlDecoder::ReadMore()
{
    if (atEnd_)
        return false;
    const std::size_t start = raw_.size();
    raw_.resize(start + kReadBytes);
    std::size_t filled = 0;
    while (filled < kReadBytes) {
        const std::size_t count = source_.Read(raw_.data() + start + filled, kReadBytes - filled);
        if (count == 0) {
            atEnd_ = true;
            break;
        }
        filled += count;
    }
    raw_.resize(start + filled);
    return filled > 0;
}

std::string_view KmlDecoder::Next()
{
    if (raw_.empty() && !ReadMore())
        return {};
    switch (mode_) {
    case Mode::PassThrough:
        return PassOn(raw_.size());
    case Mode::Undecided:
        return NextUndecided();
    case Mode::Convert:
        break;
    }
    return NextConverted();
}

std::string_view KmlDecoder::PassOn(std::size_t length)
{
    if (length == raw_.size()) {
        out_.swap(raw_);
        raw_.clear();
    } else {
        out_.assign(raw_, 0, length);
        raw_.erase(0, length);
    }
    if (mode_ != Mode::PassThrough)
        lineEnds_ += static_cast<std::size_t>(std::count(out_.begin(), out_.end(), '\n'));
    return out_;
}

std::string_view KmlDecoder::NextUndecided()
{
    const auto firstNonAscii = std::find_if(raw_.begin(), raw_.end(),
                                            [](char ch) { return static_cast<unsigned char>(ch) >= 0x80; });
    if (firstNonAscii != raw_.begin())
        return PassOn(static_cast<std::size_t>(firstNonAscii - raw_.begin()));
    while (raw_.size() < kSniffBytes && ReadMore()) {
    }
    const std::string_view window(raw_.data(), atEnd_ ? raw_.size() : CompleteUtf8Length(raw_));
    if (encoding::IsValidUtf8(window)) {
        mode_ = Mode::PassThrough;
        return PassOn(raw_.size());
    }
    encodingName_ = "GB18030";
    ChooseConverter("GB18030");
    return NextConverted();
}

std::string_view KmlDecoder::NextConverted()
{
    if (raw_.size() < kReadBytes / 2)
        ReadMore();
    std::size_t cut = atEnd_ ? raw_.size() : CharacterBoundary(raw_);
    while (cut == 0) {
        if (raw_.size() > kMaxCarryBytes)
            throw KmlReadError(displayName_, lineEnds_ + 1,
                               i18n::Translate("kml", "一段文字超过16 MB，其中没有空白或标点，不是KML文本"));
        ReadMore();
        cut = atEnd_ ? raw_.size() : CharacterBoundary(raw_);
    }
    const std::string_view piece(raw_.data(), cut);
    out_.clear();
    try {
        converter_->ConvertAppend(piece, out_);
    } catch (const encoding::EncodingError&) {
        ThrowUndecodable(piece);
    }
    lineEnds_ += static_cast<std::size_t>(std::count(out_.begin(), out_.end(), '\n'));
    raw_.erase(0, cut);
    // Only the shift sequences of a stateful encoding convert to nothing.
    return out_.empty() ? Next() : std::string_view(out_);
}

void KmlDecoder::ThrowUndecodable(std::string_view piece)
{
    // Line by line to find the line at fault; a line end never lies inside a character.
    std::size_t line = lineEnds_ + 1;
    std::string scratch;
    while (!piece.empty()) {
        const std::size_t end = std::min(piece.find('\n'), piece.size() - 1) + 1;
        try {
            scratch.clear();
            converter_->ConvertAppend(piece.substr(0, end), scratch);
        } catch (const encoding::EncodingError&) {
            break;
        }
        piece.remove_prefix(end);
        ++line;
    }
    throw KmlReadError(
        displayName_, line,
        i18n::Format(i18n::Translate("kml", "文字不是有效的%1编码"), {ShownEncodingName(encodingName_)}));
}

}  // namespace keldarn::kml
