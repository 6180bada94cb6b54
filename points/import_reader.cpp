#include "points/import_reader.h"

#include "geodesy/number_text.h"
#include "i18n/interface_text.h"
#include "points/bad_lines.h"
#include "points/point_file_reader.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace keldarn::points {

namespace {

namespace fs = std::filesystem;

// Progress is told every so many lines: often enough for a bar, rarely enough to cost nothing.
constexpr std::int64_t kLinesPerProgress = 16384;

bool IsNumberColumn(int column)
{
    return column == kXColumn || column == kYColumn || column == kHColumn;
}

class PointRowsReader {
public:
    PointRowsReader(const fs::path& file, const ExportLayout& layout, const ImportProgress& progress)
        : file_(file), layout_(layout), progress_(progress), source_(file)
    {
        std::error_code unknown;
        fileBytes_ = fs::file_size(file, unknown);
        if (unknown)
            fileBytes_ = 0;
    }

    std::vector<std::string> Read()
    {
        std::string_view utf8;
        while (source_.Next()) {
            const std::int64_t number = source_.Number();
            if (progress_ && number % kLinesPerProgress == 0 && fileBytes_ > 0)
                progress_(static_cast<double>(source_.BytesRead()) / static_cast<double>(fileBytes_));
            // A file that is not UTF-8 throughout is GB18030, so only GB18030 lines fail here.
            if (!source_.Text(utf8))
                Refuse(number, i18n::Translate("points", "含有 GB18030 编码中无效的字节"));
            else if (!geodesy::TrimBlanks(utf8).empty())
                ReadCells(utf8, number);
        }
        if (badLines_.Any())
            throw ImportError(BadLinesMessage());
        return std::move(rows_);
    }

private:
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
        std::array<std::string_view, kColumnCount> cells;
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
            cells[static_cast<std::size_t>(column)] = field;
        }
        // After a bad line nothing is returned: the rest is only checked.
        if (!badLines_.Any())
            rows_.push_back(PackRow(cells));
    }

    void Refuse(std::int64_t number, const std::string& reason)
    {
        if (badLines_.Add(number, reason))
            std::vector<std::string>().swap(rows_);
    }

    std::string BadLinesMessage() const
    {
        return i18n::Format(i18n::Translate("points", "无法导入文件 %1：%2无法读取，没有导入任何点。%3。"),
                            {file_.string(), badLines_.Numbers(), badLines_.FirstReason()});
    }

    const fs::path& file_;
    const ExportLayout& layout_;
    const ImportProgress& progress_;
    std::uintmax_t fileBytes_ = 0;
    PointFileReader source_;
    std::vector<std::string_view> fields_;  // the current line's fields
    std::vector<std::string> rows_;         // packed
    BadLines badLines_;
};

}  // namespace

std::vector<std::string> ReadPointsFile(const fs::path& file, const ExportLayout& layout,
                                        const ImportProgress& progress)
{
    if (layout.columns.empty())
        throw ImportError(i18n::Format(
            i18n::Translate("points", "无法导入文件 %1：导出页的选择框中没有字段。"), {file.string()}));
    if (layout.separator.empty())
        throw ImportError(i18n::Format(
            i18n::Translate("points", "无法导入文件 %1：导出页的分隔符为空，各字段连在一起无法分开。"
                                      "请在导出页输入文件所用的分隔符，再导入。"),
            {file.string()}));
    try {
        return PointRowsReader(file, layout, progress).Read();
    } catch (const fileio::FileReadError& error) {
        throw ImportError(error.what());
    } catch (const fileio::LineTooLongError& error) {
        throw ImportError(error.what());
    }
}

}  // namespace keldarn::points
