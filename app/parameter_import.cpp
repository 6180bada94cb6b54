#include "app/parameter_import.h"

#include "encoding/text_encoding.h"

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
        throw FileReadError("无法读取文件 " + path.string() + "：这是一个文件夹");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw FileReadError("无法打开文件 " + path.string() + "：" + std::strerror(errno));
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw FileReadError("读取文件 " + path.string() + " 时出错");
    return bytes;
}

}  // namespace

std::array<std::string, 5> ReadParameterLines(const std::filesystem::path& path)
{
    std::string text;
    try {
        text = encoding::FileTextToUtf8(ReadWholeFile(path));
    } catch (const encoding::EncodingError& error) {
        throw FileReadError("无法读取文件 " + path.string() + "：" + error.what());
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
