#pragma once

// Messages about the lines of a text file that could not be read: one line named with its
// file, or many gathered for one message (the numbers of the first 20, how many there were,
// and the reason for the first), and the values they quote.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace keldarn::points {

class BadLines {
public:
    // Notes line `number` (1-based) as unreadable for `reason`; true for the first one.
    bool Add(std::int64_t number, const std::string& reason);
    bool Any() const { return count_ > 0; }

    // "第 3、7、12 行", or "第 1、…、20 行等 25 行" beyond the listed numbers.
    std::string Numbers() const;
    // "第 3 行：reason" of the first bad line.
    const std::string& FirstReason() const { return firstReason_; }

    static constexpr std::size_t kListed = 20;

private:
    std::vector<std::int64_t> listed_;
    std::int64_t count_ = 0;
    std::string firstReason_;
};

// The start of a field for a message, at most 40 bytes cut before a UTF-8 character and
// marked "…", so that a long line does not fill the message box.
std::string Excerpt(std::string_view field);

// A value quoted in a message: “value”, its Excerpt only.
std::string Quoted(std::string_view value);

// The message about one line of a file, in the shape every reader of lines words it:
// "<file> 第 <n> 行：<reason>". `pattern` is that sentence, translated, with %1 for the file,
// %2 for the line number (1-based) and %3, %4 for the values given.
std::string LineMessage(const std::string& pattern, const std::filesystem::path& file,
                        std::int64_t lineNumber, std::string_view value1 = {}, std::string_view value2 = {});

}  // namespace keldarn::points
