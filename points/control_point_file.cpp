#include "points/control_point_file.h"

#include "fileio/atomic_file.h"
#include "geodesy/number_text.h"
#include "i18n/interface_text.h"
#include "points/bad_lines.h"
#include "points/point_file_reader.h"

#include <QCoreApplication>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>

namespace keldarn::points {

namespace {

namespace fs = std::filesystem;

// The bad lines a message names by number; the others are only counted.
constexpr std::string_view kSeparators = ",\t;";
constexpr std::string_view kPlaneKindComment = "# 源坐标：平面坐标";
constexpr std::string_view kGeographicKindComment = "# 源坐标：经纬度";

// The first seven fields of a line; the eighth is "used". Their titles name them in messages.
constexpr std::size_t kValueFields = 7;
const char* const kPlaneTitles[kValueFields] = {
    QT_TRANSLATE_NOOP("points", "点名"),  QT_TRANSLATE_NOOP("points", "源X"),
    QT_TRANSLATE_NOOP("points", "源Y"),   QT_TRANSLATE_NOOP("points", "源H"),
    QT_TRANSLATE_NOOP("points", "目标X"), QT_TRANSLATE_NOOP("points", "目标Y"),
    QT_TRANSLATE_NOOP("points", "目标H")};
const char* const kGeographicTitles[kValueFields] = {
    QT_TRANSLATE_NOOP("points", "点名"),  QT_TRANSLATE_NOOP("points", "纬度"),
    QT_TRANSLATE_NOOP("points", "经度"),  QT_TRANSLATE_NOOP("points", "源H"),
    QT_TRANSLATE_NOOP("points", "目标X"), QT_TRANSLATE_NOOP("points", "目标Y"),
    QT_TRANSLATE_NOOP("points", "目标H")};

// The kind a comment line names ("# 源坐标：经纬度", the colon full-width or not), if any.
std::optional<ControlSourceKind> KindOfComment(std::string_view comment)
{
    comment = geodesy::TrimBlanks(comment.substr(1));
    if (!comment.starts_with("源坐标"))
        return std::nullopt;
    comment.remove_prefix(std::string_view("源坐标").size());
    if (comment.starts_with("："))
        comment.remove_prefix(std::string_view("：").size());
    else if (comment.starts_with(":"))
        comment.remove_prefix(1);
    comment = geodesy::TrimBlanks(comment);
    if (comment == "平面坐标")
        return ControlSourceKind::Plane;
    if (comment == "经纬度")
        return ControlSourceKind::Geographic;
    return std::nullopt;
}

// The lines of a text without their ends (CR LF, LF or CR), numbered from 1.
template <typename Visit> void ForEachLine(std::string_view text, Visit visit)
{
    std::int64_t number = 1;
    for (std::size_t pos = 0; pos < text.size(); ++number) {
        const std::size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
        visit(text.substr(pos, end - pos), number);
        pos = end + 1;
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n')
            ++pos;
    }
}


class ControlTextReader {
public:
    ControlTextReader(std::string_view text, ControlSourceKind kind, const std::string& displayName)
        : text_(text), displayName_(displayName)
    {
        if (text_.starts_with("\xEF\xBB\xBF"))
            text_.remove_prefix(3);
        list_.kind = kind;
    }

    ControlPointList Read()
    {
        // The kind holds for the whole text, so the first kind comment is found before any row.
        std::optional<ControlSourceKind> said;
        ForEachLine(text_, [&](std::string_view line, std::int64_t) {
            line = geodesy::TrimBlanks(line);
            if (!said && line.starts_with('#'))
                said = KindOfComment(line);
        });
        if (said)
            list_.kind = *said;
        ForEachLine(text_, [&](std::string_view line, std::int64_t number) { ReadLine(line, number); });
        if (badLines_.Any())
            throw ControlPointFileError(BadLinesMessage());
        return std::move(list_);
    }

private:
    void ReadLine(std::string_view line, std::int64_t number)
    {
        line = geodesy::TrimBlanks(line);
        if (line.empty())
            return;
        if (line.starts_with('#')) {
            const std::optional<ControlSourceKind> said = KindOfComment(line);
            if (said && *said != list_.kind)
                Refuse(number, i18n::Translate("points", "源坐标类型与前面的注释行不同"));
            return;
        }
        std::vector<std::string_view> fields;
        for (std::size_t pos = 0;;) {
            const std::size_t found = line.find_first_of(kSeparators, pos);
            fields.push_back(geodesy::TrimBlanks(line.substr(pos, found - pos)));
            if (found == std::string_view::npos)
                break;
            pos = found + 1;
        }
        if (fields.size() != kValueFields && fields.size() != kValueFields + 1) {
            Refuse(number, i18n::Format(i18n::Translate("points", "应有 7 或 8 个字段，实有 %1 个"
                                                                  "（字段以逗号、制表符或分号分隔）"),
                                        {std::to_string(fields.size())}));
            return;
        }
        ControlPointRow row;
        if (ReadRow(fields, row, number) && !badLines_.Any())
            list_.rows.push_back(std::move(row));
    }

    bool ReadRow(const std::vector<std::string_view>& fields, ControlPointRow& row, std::int64_t number)
    {
        const bool geographic = list_.kind == ControlSourceKind::Geographic;
        const char* const* titles = geographic ? kGeographicTitles : kPlaneTitles;
        if (fields[0].empty())
            return Refuse(number, i18n::Translate("points", "点名为空"));
        row.name = std::string(fields[0]);
        double values[6];
        for (std::size_t i = 1; i < kValueFields; ++i) {
            try {
                values[i - 1] = geodesy::ParseNumber(fields[i]);
            } catch (const geodesy::InvalidNumberError&) {
                const std::string title = QCoreApplication::translate("points", titles[i]).toStdString();
                return Refuse(number, fields[i].empty()
                                          ? i18n::Format(i18n::Translate("points", "%1为空"), {title})
                                          : i18n::Format(i18n::Translate("points", "%1“%2”不是数值"),
                                                         {title, Excerpt(fields[i])}));
            }
        }
        if (geographic && std::abs(values[0]) > 90.0)
            return Refuse(number,
                          i18n::Format(i18n::Translate("points", "纬度 %1 超出 −90° 至 90°"), {fields[1]}));
        if (geographic && std::abs(values[1]) > 180.0)
            return Refuse(number,
                          i18n::Format(i18n::Translate("points", "经度 %1 超出 −180° 至 180°"), {fields[2]}));
        row.source = {values[0], values[1], values[2]};
        row.target = {values[3], values[4], values[5]};
        if (fields.size() > kValueFields) {
            const std::string_view used = fields[kValueFields];
            if (used == "0" || used == "N" || used == "n")
                row.used = false;
            else if (!used.empty() && used != "1" && used != "Y" && used != "y")
                return Refuse(
                    number, i18n::Format(i18n::Translate("points", "使用“%1”应为 1 或 0"), {Excerpt(used)}));
        }
        return true;
    }

    // Always false, so that a row check can return it.
    bool Refuse(std::int64_t number, const std::string& reason)
    {
        if (badLines_.Add(number, reason))
            std::vector<ControlPointRow>().swap(list_.rows);
        return false;
    }

    std::string BadLinesMessage() const
    {
        return i18n::Format(
            i18n::Translate("points", "无法读取控制点（%1）：%2无法读取，没有读入任何控制点。%3。"),
            {displayName_, badLines_.Numbers(), badLines_.FirstReason()});
    }

    std::string_view text_;
    const std::string& displayName_;
    ControlPointList list_;
    BadLines badLines_;
};

// The file as UTF-8 with every line end made LF, which keeps the lines and their numbers.
std::string ReadText(const fs::path& path)
{
    try {
        PointFileReader reader(path);
        std::string text;
        std::string_view line;
        while (reader.Next()) {
            if (!reader.Text(line))
                throw ControlPointFileError(i18n::Format(
                    i18n::Translate("points",
                                    "无法读取文件 %1：文件既不是 UTF-8 也不是 GB18030 编码的文字。"),
                    {path.string()}));
            text += line;
            text += '\n';
        }
        return text;
    } catch (const fileio::FileReadError& error) {
        throw ControlPointFileError(error.what());
    } catch (const fileio::LineTooLongError& error) {
        throw ControlPointFileError(error.what());
    }
}

// A name as one field that reads back: separators and line ends become spaces, and a leading
// '#', which would make the line a comment, becomes the full-width '＃'.
std::string FieldOfName(const std::string& name)
{
    std::string field = name;
    std::replace_if(
        field.begin(), field.end(),
        [](char c) { return kSeparators.find(c) != std::string_view::npos || c == '\r' || c == '\n'; }, ' ');
    field = std::string(geodesy::TrimBlanks(field));
    if (field.starts_with('#'))
        field.replace(0, 1, "＃");
    return field;
}

void AppendNumber(std::string& out, double value)
{
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

}  // namespace

ControlPointList ParseControlPoints(std::string_view utf8, ControlSourceKind kind,
                                    const std::string& displayName)
{
    return ControlTextReader(utf8, kind, displayName).Read();
}

ControlPointList ReadControlPointFile(const fs::path& path)
{
    return ParseControlPoints(ReadText(path), ControlSourceKind::Plane, path.string());
}

void WriteControlPointFile(const fs::path& path, const ControlPointList& list)
{
    const bool geographic = list.kind == ControlSourceKind::Geographic;
    std::string text(geographic ? kGeographicKindComment : kPlaneKindComment);
    text += geographic ? "\n# 点名,纬度,经度,源H,目标X,目标Y,目标H,使用\n"
                       : "\n# 点名,源X,源Y,源H,目标X,目标Y,目标H,使用\n";
    for (const ControlPointRow& row : list.rows) {
        text += FieldOfName(row.name);
        for (const std::array<double, 3>& triple : {row.source, row.target}) {
            for (const double value : triple) {
                if (!std::isfinite(value))
                    throw ControlPointFileError(i18n::Format(
                        i18n::Translate("points", "无法写入文件 %1：控制点 %2 的坐标不是有限数值。"),
                        {path.string(), row.name}));
                text += ',';
                AppendNumber(text, value);
            }
        }
        text += row.used ? ",1\n" : ",0\n";
    }
    try {
        fileio::WriteFileAtomically(path, text);
    } catch (const fileio::FileWriteError& error) {
        throw ControlPointFileError(error.what());
    }
}

}  // namespace keldarn::points
