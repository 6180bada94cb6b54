// The four-parameter import: any bytes as the file ReadParameterLines reads.
//
// Findings: a crash or sanitizer report; an exception other than FileReadError; a
// message that does not name the file or is not UTF-8; a line that is not UTF-8 or holds
// a line break; for a file of valid UTF-8, lines other than the file's first five.

#include "app/parameter_import.h"
#include "fuzz/fuzz_support.h"

#include <string_view>

using namespace keldarn;
using fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::MemoryFile file("parameters.txt");
    file.Replace(data, size);
    std::array<std::string, 5> lines;
    try {
        lines = app::ReadParameterLines(file.path());
    } catch (const app::FileReadError& error) {
        fuzz::CheckMessage(error.what(), file.path());
        return 0;
    }
    for (const std::string& line : lines) {
        Require(encoding::IsValidUtf8(line), "a line that is not UTF-8");
        Require(line.find('\n') == std::string::npos, "a line with a line break");
    }
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!encoding::IsValidUtf8(text))
        return 0;
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    for (const std::string& line : lines) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view expected = text.substr(0, end);
        if (expected.ends_with('\r'))
            expected.remove_suffix(1);
        Require(line == expected, "line '" + line + "' is not the file's '" + std::string(expected) + "'");
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return 0;
}
