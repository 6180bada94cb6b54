#include "app/parameter_import.h"

#include "encoding/text_encoding.h"
#include "i18n/interface_text.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace keldarn::app {

namespace {

std::string ReadWholeFile(const std::filesystem::path& path)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        throw FileReadError(
            i18n::Format(i18n::Translate("app", "无法读取文件 %1：这是一个文件夹"), {path.string()}));
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        const std::string reason = std::strerror(errno);  // before anything else can change errno
        throw FileReadError(
            i18n::Format(i18n::Translate("app", "无法打开文件 %1：%2"), {path.string(), reason}));
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw FileReadError(i18n::Format(i18n::Translate("app", "读取文件 %1 时出错"), {path.string()}));
    return bytes;
}

}  // namespace

std::array<std::string, 5> ReadParameterLines(const std::filesystem::path& path)
{
    std::string text;
    try {
        text = encoding::FileTextToUtf8(ReadWholeFile(path));
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
