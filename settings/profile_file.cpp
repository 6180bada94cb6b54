#include "settings/profile_file.h"

#include "fileio/atomic_file.h"
#include "i18n/interface_text.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace keldarn::settings {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Windows skips blanks and tabs around names and values.
std::string_view TrimBlanksAndTabs(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

char FoldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Only ASCII letters fold, so UTF-8 names compare byte for byte beyond that.
bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// "[name]" with blanks allowed around the name and the brackets; text after the first
// ']' is ignored. A '[' line without ']' is no header.
std::optional<std::string_view> ParseSectionName(std::string_view line)
{
    const std::string_view text = TrimBlanksAndTabs(line);
    if (!text.starts_with('[')) {
        return std::nullopt;
    }
    const auto close = text.find(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return TrimBlanksAndTabs(text.substr(1, close - 1));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;  // trimmed, quotes still on
};

// "key=value"; the value may itself hold '='. Comments and lines without a key are
// no key lines.
std::optional<KeyLine> ParseKeyLine(std::string_view line)
{
    const std::string_view text = TrimBlanksAndTabs(line);
    if (text.empty() || text.front() == ';' || text.front() == '#' || text.front() == '[') {
        return std::nullopt;
    }
    const auto equals = text.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view key = TrimBlanksAndTabs(text.substr(0, equals));
    if (key.empty()) {
        return std::nullopt;
    }
    return KeyLine{key, TrimBlanksAndTabs(text.substr(equals + 1))};
}

// Windows drops one pair of double quotes around a value, so that a value can keep
// blanks at its ends when it is written quoted by hand.
std::string_view Unquote(std::string_view value)
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

bool HasLineBreak(std::string_view text)
{
    return text.find_first_of("\r\n") != text.npos;
}

// Names that could not be found again after writing them are refused, as are texts
// that would split into further lines.
void CheckWritable(std::string_view section, std::string_view key, std::string_view value)
{
    const bool sectionOk =
        TrimBlanksAndTabs(section) == section && section.find(']') == section.npos && !HasLineBreak(section);
    const bool keyOk = !key.empty() && TrimBlanksAndTabs(key) == key && key.find('=') == key.npos &&
                       !HasLineBreak(key) && ParseKeyLine(std::string(key) + "=").has_value();
    if (!sectionOk || !keyOk || HasLineBreak(value)) {
        throw std::invalid_argument("profile entry [" + std::string(section) + "] " + std::string(key) +
                                    " cannot be written");
    }
}

std::string KeyLineText(std::string_view key, std::string_view value)
{
    return std::string(key) + '=' + std::string(value);
}

// Reads the whole file, or stops with false as soon as it holds more than `limit`
// bytes: a settings file is never that large, and a file that keeps growing (a device,
// a pipe) must not take the memory with it. Sets `error` (errno) when a read fails.
bool ReadAtMost(int fd, std::size_t limit, std::string& text, int& error)
{
    char buffer[8192];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count == 0) {
            return true;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = errno;
            return false;
        }
        text.append(buffer, static_cast<std::size_t>(count));
        if (text.size() > limit) {
            return false;
        }
    }
}

[[noreturn]] void ThrowReadError(const std::filesystem::path& path, const std::string& reason)
{
    throw ProfileReadError(
        i18n::Format(i18n::Translate("app", "无法读取设置文件 %1：%2"), {path.string(), reason}));
}

// Why `text`, read from a settings file, cannot be one; empty when it can. A binary
// file holds NUL bytes, which no text in UTF-8 does; any other file of text that has
// lines but no "[name]" among them (a drawing exchange file, a log, a point list) gives
// nothing the program reads, and must not have sections appended at the next save. A
// file of blank lines and comments alone is an empty profile.
std::string NotSettingsReason(const std::filesystem::path& path, std::string_view text)
{
    if (text.find('\0') != std::string_view::npos) {
        return i18n::Format(
            i18n::Translate("app", "设置文件 %1 含有 NUL 字节，是二进制文件，不是本程序的设置文件"),
            {path.string()});
    }
    if (text.starts_with(kByteOrderMark)) {
        text.remove_prefix(kByteOrderMark.size());
    }
    bool anyText = false;
    while (!text.empty()) {
        const auto lf = text.find('\n');
        const std::string_view line = TrimBlanksAndTabs(text.substr(0, lf));
        if (ParseSectionName(line)) {
            return {};
        }
        anyText = anyText || !(line.empty() || line == "\r" || line.front() == ';' || line.front() == '#');
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
    }
    if (!anyText) {
        return {};
    }
    return i18n::Format(i18n::Translate("app", "设置文件 %1 中没有一行是“[节名]”，不是本程序的设置文件"),
                        {path.string()});
}

}  // namespace

ProfileFile ProfileFile::FromText(std::string_view text)
{
    ProfileFile profile;
    if (text.starts_with(kByteOrderMark)) {
        profile.hasByteOrderMark_ = true;
        text.remove_prefix(kByteOrderMark.size());
    }
    bool styleKnown = false;
    while (!text.empty()) {
        const auto lf = text.find('\n');
        if (lf == std::string_view::npos) {
            profile.lines_.push_back({std::string(text), ""});
            break;
        }
        const bool crlf = lf > 0 && text[lf - 1] == '\r';
        Line line{std::string(text.substr(0, crlf ? lf - 1 : lf)), crlf ? "\r\n" : "\n"};
        if (!styleKnown) {
            profile.newline_ = line.ending;
            styleKnown = true;
        }
        profile.lines_.push_back(std::move(line));
        text.remove_prefix(lf + 1);
    }
    return profile;
}

ProfileFile ProfileFile::Load(const std::filesystem::path& path)
{
    const fileio::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno == ENOENT) {
            return {};
        }
        ThrowReadError(path, fileio::DescribeSystemError(errno));
    }
    std::string text;
    int error = 0;
    if (!ReadAtMost(fd.get(), kMaxFileBytes, text, error)) {
        if (error != 0) {
            ThrowReadError(path, fileio::DescribeSystemError(error));
        }
        throw ProfileTooLargeError(i18n::Format(
            i18n::Translate("app", "设置文件 %1 大于 1 MB，不是本程序的设置文件"), {path.string()}));
    }
    if (const std::string reason = NotSettingsReason(path, text); !reason.empty()) {
        throw ProfileReadError(reason);
    }
    return FromText(text);
}

std::optional<std::string> ProfileFile::Get(std::string_view section, std::string_view key) const
{
    const auto header = FindSection(section);
    if (!header) {
        return std::nullopt;
    }
    const auto index = FindKey(*header, key);
    if (!index) {
        return std::nullopt;
    }
    return std::string(Unquote(ParseKeyLine(lines_[*index].text)->value));
}

void ProfileFile::Set(std::string_view section, std::string_view key, std::string_view value)
{
    CheckWritable(section, key, value);
    const auto header = FindSection(section);
    if (!header) {
        if (!lines_.empty() && !TrimBlanksAndTabs(lines_.back().text).empty()) {
            InsertLine(lines_.size(), "");
        }
        InsertLine(lines_.size(), "[" + std::string(section) + "]");
        InsertLine(lines_.size(), KeyLineText(key, value));
        return;
    }
    if (const auto index = FindKey(*header, key)) {
        Line& line = lines_[*index];
        line.text = KeyLineText(ParseKeyLine(line.text)->key, value);
        return;
    }
    InsertLine(AfterLastKey(*header), KeyLineText(key, value));
}

std::string ProfileFile::Text() const
{
    std::string text = hasByteOrderMark_ ? std::string(kByteOrderMark) : std::string();
    for (const Line& line : lines_) {
        text += line.text;
        text += line.ending;
    }
    return text;
}

bool ProfileFile::Save(const std::filesystem::path& path) const
{
    try {
        fileio::WriteFileAtomically(path, Text());
    } catch (const fileio::FileWriteError&) {
        return false;
    }
    return true;
}

std::optional<std::size_t> ProfileFile::FindSection(std::string_view section) const
{
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = ParseSectionName(lines_[i].text);
        if (name && EqualsIgnoringCase(*name, section)) {
            return i;
        }
    }
    return std::nullopt;
}

std::size_t ProfileFile::SectionEnd(std::size_t header) const
{
    for (std::size_t i = header + 1; i < lines_.size(); ++i) {
        if (ParseSectionName(lines_[i].text)) {
            return i;
        }
    }
    return lines_.size();
}

std::optional<std::size_t> ProfileFile::FindKey(std::size_t header, std::string_view key) const
{
    const std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        const auto line = ParseKeyLine(lines_[i].text);
        if (line && EqualsIgnoringCase(line->key, key)) {
            return i;
        }
    }
    return std::nullopt;
}

// Where a new key of the section goes: after its last key line, so that blank lines
// and comments that close the section stay between it and the next one.
std::size_t ProfileFile::AfterLastKey(std::size_t header) const
{
    const std::size_t end = SectionEnd(header);
    std::size_t position = header + 1;
    for (std::size_t i = header + 1; i < end; ++i) {
        if (ParseKeyLine(lines_[i].text)) {
            position = i + 1;
        }
    }
    return position;
}

void ProfileFile::InsertLine(std::size_t index, std::string text)
{
    Line line{std::move(text), newline_};
    if (index == lines_.size() && !lines_.empty() && lines_.back().ending.empty()) {
        // The file had no final line end; it still has none, the new line being last.
        std::swap(line.ending, lines_.back().ending);
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index), std::move(line));
}

}  // namespace keldarn::settings
