#include "points/import_reader.h"

#include "encoding/text_encoding.h"
#include "fileio/file_descriptor.h"
#include "fileio/file_error.h"
#include "geodesy/number_text.h"
#include "i18n/interface_text.h"
#include "points/bad_lines.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace keldarn::points {

namespace {

namespace fs = std::filesystem;

// The file is read in blocks of this size, so that memory follows the rows read and not
// the file; a line longer than a block grows the buffer.
constexpr std::size_t kBlockBytes = 1 << 20;
// The bad lines a message names by number; the others are only counted.
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

bool IsAscii(std::string_view bytes)
{
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}


bool IsNumberColumn(int column)
{
    return column == kXColumn || column == kYColumn || column == kHColumn;
}

// The lines of a file without their ends (CR LF, LF or CR). CR and LF never occur inside
// a UTF-8 or GB18030 character, so lines are cut before the text is decoded.
class LineSource {
public:
    explicit LineSource(const fs::path& file) : file_(file), fd_(::open(file.c_str(), O_RDONLY | O_CLOEXEC))
    {
        if (!fd_.valid())
            Fail(errno);
        buffer_.resize(kBlockBytes);
    }

    // The next line, valid until the following call; false after the last line.
    bool Next(std::string_view& line)
    {
        for (;;) {
            const char* data = buffer_.data();
            const char* end = data + filled_;
            const char* lineEnd =
                std::find_if(data + start_ + scanned_, end, [](char c) { return c == '\n' || c == '\r'; });
            if (lineEnd == end) {
                if (atEnd_) {
                    // The last line, when the file does not end with a line end.
                    if (start_ == filled_)
                        return false;
                    line = std::string_view(data + start_, filled_ - start_);
                    start_ = filled_;
                    return true;
                }
                scanned_ = filled_ - start_;
                Refill();
                continue;
            }
            // A CR at the end of the block may be the first half of a CR LF.
            if (*lineEnd == '\r' && lineEnd + 1 == end && !atEnd_) {
                scanned_ = static_cast<std::size_t>(lineEnd - data) - start_;
                Refill();
                continue;
            }
            line = std::string_view(data + start_, static_cast<std::size_t>(lineEnd - (data + start_)));
            std::size_t next = static_cast<std::size_t>(lineEnd - data) + 1;
            if (*lineEnd == '\r' && next < filled_ && data[next] == '\n')
                ++next;
            start_ = next;
            scanned_ = 0;
            return true;
        }
    }

    void Rewind()
    {
        if (::lseek(fd_.get(), 0, SEEK_SET) < 0)
            Fail(errno);
        start_ = filled_ = scanned_ = 0;
        atEnd_ = false;
    }

private:
    // Moves the unfinished line to the front and reads behind it.
    void Refill()
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
            Fail(errno);
        filled_ += static_cast<std::size_t>(count);
        atEnd_ = count == 0;
    }

    [[noreturn]] void Fail(int errorNumber) const
    {
        throw ImportError(i18n::Format(i18n::Translate("points", "无法读取文件 %1：%2"),
                                       {file_.string(), fileio::DescribeSystemError(errorNumber)}));
    }

    const fs::path& file_;
    fileio::FileDescriptor fd_;
    std::string buffer_;
    std::size_t start_ = 0;    // first byte of the next line
    std::size_t filled_ = 0;   // end of the bytes read
    std::size_t scanned_ = 0;  // bytes after start_ known to hold no line end
    bool atEnd_ = false;
};

class PointFileReader {
public:
    PointFileReader(const fs::path& file, const ExportLayout& layout)
        : file_(file), layout_(layout), source_(file), converter_("GB18030", "UTF-8")
    {
    }

    std::vector<RowCells> Read()
    {
        if (!ReadAs(Encoding::kUtf8)) {
            source_.Rewind();
            ReadAs(Encoding::kGb18030);
        }
        if (badLines_.Any())
            throw ImportError(BadLinesMessage());
        return std::move(rows_);
    }

private:
    enum class Encoding { kUtf8, kGb18030 };

    // Reads the whole file. The encoding is a property of the whole file, known for
    // certain only at its end: a UTF-8 reading switches to GB18030 at the first line that
    // is not UTF-8, which is exact while every line before was ASCII (the same bytes in
    // both); otherwise it returns false and the file must be read again as GB18030.
    bool ReadAs(Encoding encoding)
    {
        rows_.clear();
        badLines_.Clear();
        bool sawNonAscii = false;
        std::string_view bytes;
        for (std::int64_t number = 1; source_.Next(bytes); ++number) {
            if (number == 1 && encoding == Encoding::kUtf8 && bytes.starts_with(kUtf8ByteOrderMark)) {
                bytes.remove_prefix(kUtf8ByteOrderMark.size());
                sawNonAscii = true;
            }
            std::string_view utf8 = bytes;
            if (!IsAscii(bytes)) {
                if (encoding == Encoding::kUtf8 && encoding::IsValidUtf8(bytes)) {
                    sawNonAscii = true;
                } else {
                    if (encoding == Encoding::kUtf8) {
                        if (sawNonAscii)
                            return false;
                        encoding = Encoding::kGb18030;
                    }
                    try {
                        decoded_.clear();
                        converter_.ConvertAppend(bytes, decoded_);
                    } catch (const encoding::EncodingError&) {
                        Refuse(number, i18n::Translate("points", "含有 GB18030 编码中无效的字节"));
                        continue;
                    }
                    utf8 = decoded_;
                }
            }
            if (!geodesy::TrimBlanks(utf8).empty())
                ReadCells(utf8, number);
        }
        return true;
    }

    void ReadCells(std::string_view line, std::int64_t number)
    {
        const std::string& separator = layout_.separator;
        fields_.clear();
        for (std::size_t pos = 0;;) {
            const std::size_t found = line.find(separator, pos);
            fields_.push_back(line.substr(pos, found - pos));
            if (found == std::string_view::npos)
                break;
            pos = found + separator.size();
        }
        if (fields_.size() != layout_.columns.size()) {
            Refuse(number,
                   i18n::Format(
                       i18n::Translate("points", "应有 %1 个字段，实有 %2 个（分隔符为“%3”）"),
                       {std::to_string(layout_.columns.size()), std::to_string(fields_.size()), separator}));
            return;
        }
        RowCells cells;
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            const int column = layout_.columns[i];
            if (column < 0 || column >= kColumnCount)
                continue;
            const std::string_view field = geodesy::TrimBlanks(fields_[i]);
            if (IsNumberColumn(column)) {
                try {
                    geodesy::ParseNumber(field);
                } catch (const geodesy::InvalidNumberError&) {
                    const std::string title = PointTableModel::Title(column).toStdString();
                    Refuse(number, field.empty() ? i18n::Format(i18n::Translate("points", "%1为空"), {title})
                                                 : i18n::Format(i18n::Translate("points", "%1“%2”不是数值"),
                                                                {title, Excerpt(field)}));
                    return;
                }
            }
            // After a bad line nothing is returned: the rest is only checked.
            if (!badLines_.Any())
                cells[static_cast<std::size_t>(column)] =
                    QString::fromUtf8(field.data(), static_cast<qsizetype>(field.size()));
        }
        if (!badLines_.Any())
            rows_.push_back(std::move(cells));
    }

    void Refuse(std::int64_t number, const std::string& reason)
    {
        if (badLines_.Add(number, reason))
            std::vector<RowCells>().swap(rows_);
    }

    std::string BadLinesMessage() const
    {
        return i18n::Format(i18n::Translate("points", "无法导入文件 %1：%2无法读取，没有导入任何点。%3。"),
                            {file_.string(), badLines_.Numbers(), badLines_.FirstReason()});
    }

    const fs::path& file_;
    const ExportLayout& layout_;
    LineSource source_;
    encoding::StreamConverter converter_;
    std::string decoded_;                   // the current GB18030 line in UTF-8
    std::vector<std::string_view> fields_;  // the current line's fields
    std::vector<RowCells> rows_;
    BadLines badLines_;
};

}  // namespace

std::vector<RowCells> ReadPointsFile(const fs::path& file, const ExportLayout& layout)
{
    if (layout.columns.empty())
        throw ImportError(i18n::Format(
            i18n::Translate("points", "无法导入文件 %1：导出页的选择框中没有字段。"), {file.string()}));
    if (layout.separator.empty())
        throw ImportError(i18n::Format(
            i18n::Translate("points", "无法导入文件 %1：导出页的分隔符为空，各字段连在一起无法分开。"
                                      "请在导出页输入文件所用的分隔符，再导入。"),
            {file.string()}));
    return PointFileReader(file, layout).Read();
}

}  // namespace keldarn::points
