#include "fileio/line_reader.h"

#include "fileio/file_error.h"
#include "i18n/interface_text.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace keldarn::fileio {

namespace {

// The size of a read. The buffer doubles once when a line of about kMaxLineBytes does not
// fit behind the lines before it, so it never holds more than twice that.
constexpr std::size_t kFirstBufferBytes = kMaxLineBytes;

}  // namespace

LineReader::LineReader(std::filesystem::path path)
    : path_(std::move(path)), fd_(::open(path_.c_str(), O_RDONLY | O_CLOEXEC)),
      buffer_(kFirstBufferBytes, '\0')
{
    if (!fd_.valid())
        Fail(errno);
}

bool LineReader::Next(std::string_view& line)
{
    const auto tooLong = [this] {
        return LineTooLongError(i18n::Format(
            i18n::Translate("fileio", "%1 第 %2 行：一行超过 1 MB，不是按行排列的数据（可能选错了文件）"),
            {path_.string(), std::to_string(number_ + 1)}));
    };
    for (;;) {
        const char* data = buffer_.data();
        const char* end = data + filled_;
        const char* lineEnd =
            std::find_if(data + start_ + scanned_, end, [](char c) { return c == '\n' || c == '\r'; });
        const auto length = static_cast<std::size_t>(lineEnd - (data + start_));
        if (length > kMaxLineBytes)
            throw tooLong();
        if (lineEnd == end) {
            if (atEnd_) {
                // The last line, when the file does not end with a line end.
                if (start_ == filled_)
                    return false;
                line = std::string_view(data + start_, length);
                end_ = {};
                start_ = filled_;
                ++number_;
                return true;
            }
            scanned_ = length;
            Refill();
            continue;
        }
        // A CR at the end of the bytes read may be the first half of a CR LF.
        if (*lineEnd == '\r' && lineEnd + 1 == end && !atEnd_) {
            scanned_ = length;
            Refill();
            continue;
        }
        line = std::string_view(data + start_, length);
        std::size_t next = static_cast<std::size_t>(lineEnd - data) + 1;
        if (*lineEnd == '\r' && next < filled_ && data[next] == '\n')
            ++next;
        end_ = std::string_view(lineEnd, data + next - lineEnd);
        start_ = next;
        scanned_ = 0;
        ++number_;
        return true;
    }
}

// Moves the unfinished line to the front and reads behind it.
void LineReader::Refill()
{
    const std::size_t kept = filled_ - start_;
    std::memmove(buffer_.data(), buffer_.data() + start_, kept);
    start_ = 0;
    filled_ = kept;
    if (filled_ == buffer_.size())
        buffer_.resize(buffer_.size() * 2);
    ssize_t count;
    do
        count = ::read(fd_.get(), buffer_.data() + filled_, buffer_.size() - filled_);
    while (count < 0 && errno == EINTR);
    if (count < 0)
        Fail(errno);  // a folder fails here, with EISDIR
    filled_ += static_cast<std::size_t>(count);
    bytesRead_ += static_cast<std::uint64_t>(count);
    atEnd_ = count == 0;
}

void LineReader::Fail(int errorNumber) const
{
    throw FileReadError(i18n::Format(i18n::Translate("fileio", "无法读取文件 %1：%2"),
                                     {path_.string(), DescribeSystemError(errorNumber)}));
}

}  // namespace keldarn::fileio
