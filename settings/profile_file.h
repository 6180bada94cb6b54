#pragma once

// An INI file read and written with the semantics of the Windows profile functions
// (GetPrivateProfileString, WritePrivateProfileString), so that a settings file moves
// between the Windows and Linux builds unchanged:
// - "[name]" opens a section; "key=value" lines belong to the section above them.
//   Blanks and tabs around names and values are ignored; section and key names match
//   without regard to ASCII case; a value in matching double quotes loses the quotes.
// - Duplicate sections or keys: the first one counts, the rest are never seen.
// - Keys above the first section, comments (';' or '#'), blank lines and any other
//   text are kept byte for byte but never found.
// - Writing a key rewrites that one line and leaves every other byte alone, including
//   a UTF-8 byte-order mark, CR LF or LF line ends and a missing final line end.
// Texts are bytes (the file is UTF-8); nothing is converted.

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace keldarn::settings {

// An existing file that could not be read (no permission, a folder, an I/O error, more
// than ProfileFile::kMaxFileBytes), or that is no settings file at all (binary, or text
// without a "[name]" line). what() is the user's message, naming the file and the reason.
class ProfileReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file larger than ProfileFile::kMaxFileBytes: not read, and never to be replaced.
class ProfileTooLargeError : public ProfileReadError {
public:
    using ProfileReadError::ProfileReadError;
};

class ProfileFile {
public:
    // An empty profile; the lines it gets are ended with LF.
    ProfileFile() = default;

    static ProfileFile FromText(std::string_view text);

    // Settings files hold a few hundred bytes (the profile functions of old Windows
    // stopped at 64 KB). A larger file is someone else's file, or damaged, and is not
    // taken into memory at all: every line costs the profile some 70 bytes besides its
    // text, so this also bounds the memory of a file of nothing but line ends.
    static constexpr std::size_t kMaxFileBytes = 1 << 20;

    // A missing file gives an empty profile; a file that exists but cannot be read, is
    // larger than kMaxFileBytes, holds a NUL byte, or has text but no "[name]" line throws
    // ProfileReadError rather than pass for empty, so that a later Save never replaces
    // content it did not see, nor someone else's file.
    static ProfileFile Load(const std::filesystem::path& path);

    // nullopt when the section or key is missing; "" when the key has an empty value.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;

    // Replaces the key's line in the first matching section, keeping the key's own
    // spelling. A missing key goes right after the last key line of that section; a
    // missing section is appended at the end, after a blank line unless the file is
    // empty or already ends with one. Names are used as given: they must be free of
    // surrounding blanks, the key of '=' and the section of ']'; no text may hold a
    // line break. Breaking these rules throws std::invalid_argument.
    void Set(std::string_view section, std::string_view key, std::string_view value);

    // The whole file, byte-order mark included.
    std::string Text() const;

    // Replaces the file atomically: a temporary file beside it is written, flushed to
    // disk and renamed over the target, which keeps its permission bits. On failure
    // the old file is left as it was, no temporary file remains, and false is returned.
    [[nodiscard]] bool Save(const std::filesystem::path& path) const;

private:
    // One line without its end; `ending` is "\r\n", "\n", or "" for a last line that
    // has none. Lines keep their own endings, so a file that mixes them survives.
    struct Line {
        std::string text;
        std::string ending;
    };

    std::optional<std::size_t> FindSection(std::string_view section) const;
    std::size_t SectionEnd(std::size_t header) const;
    std::optional<std::size_t> FindKey(std::size_t header, std::string_view key) const;
    std::size_t AfterLastKey(std::size_t header) const;
    void InsertLine(std::size_t index, std::string text);

    bool hasByteOrderMark_ = false;
    std::string newline_ = "\n";  // for added lines: the style of the file's first line end
    std::vector<Line> lines_;
};

}  // namespace keldarn::settings
