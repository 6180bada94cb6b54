#include "app/parameter_import.h"

#include "encoding/text_encoding.h"
#include "fileio/line_reader.h"
#include "i18n/interface_text.h"

#include <string_view>

namespace keldarn::app {

namespace {

// The first `count` lines of the file, with their line ends. A line here ends at LF, as the
// import has always read it: a CR alone ends none (a CR before LF is dropped when the lines
// are cut). A file of endless bytes (a device, a binary file) is refused at its first line
// beyond fileio::kMaxLineBytes, and so are `count` lines that hold more than `count` such
// lines' worth of bytes between them.
std::string ReadFirstLines(const std::filesystem::path& path, std::size_t count)
{
    try {
        fileio::LineReader reader(path);
        std::string bytes;
        std::string_view line;
        for (std::size_t lines = 0; lines < count && reader.Next(line);) {
            bytes += line;
            bytes += reader.End();
            if (reader.End().ends_with('\n'))
                ++lines;
            if (bytes.size() > count * fileio::kMaxLineBytes)
                throw FileReadError(i18n::Format(
                    i18n::Translate("fileio", "%1 第 %2 行：一行超过 1 MB，不是按行排列的数据（可能选错了文件）"),
                    {path.string(), std::to_string(lines + 1)}));
        }
        return bytes;
    } catch (const FileReadError&) {
        throw;
    } catch (const std::runtime_error& error) {  // fileio::FileReadError, fileio::LineTooLongError
        throw FileReadError(error.what());
    }
}

}  // namespace

std::array<std::string, 5> ReadParameterLines(const std::filesystem::path& path)
{
    std::string text;
    try {
        text = encoding::FileTextToUtf8(ReadFirstLines(path, 5));
    } catch (const encoding::EncodingError& error) {
        throw FileReadError(
            i18n::Format(i18n::Translate("app", "无法读取文件 %1：%2"), {path.string(), error.what()}));
    }
    std::array<std::string, 5> lines;
    std::size_t start = 0;
    for (std::string& line : lines) {
        if (start >= text.size())
            break;
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        start = end + 1;
    }
    return lines;
}

}  // namespace keldarn::app
