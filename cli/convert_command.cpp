#include "cli/convert_command.h"

#include "settings/settings.h"
#include "cli/command_line.h"
#include "cli/progress.h"
#include "cli/survey_frame.h"
#include "encoding/text_encoding.h"
#include "geodesy/central_meridian.h"
#include "geodesy/number_text.h"
#include "geodesy/survey_conversion.h"
#include "i18n/interface_text.h"
#include "points/bad_lines.h"
#include "points/point_file_reader.h"
#include "points/point_file_writer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <utility>

namespace keldarn::cli {

namespace {

// The page of --help, in the interface language.
std::string ConvertHelp()
{
    return i18n::Translate(
        "cli",
        R"(用法：keldarn-cli convert [--to grid|geo] --meridian 中央子午线 --output 文件 [选项] 输入文件

把文本文件中的点在经纬度与测量坐标之间换算，算法与程序中相同：
  --to grid（缺省）  纬度、经度（度）、高程（米）→ X（北坐标）、Y（东坐标）、H（米）：
                     按中央子午线作高斯–克吕格投影，再作四参数转换，H = 高程 + dH
  --to geo           X、Y、H → 纬度、经度、高程：四参数反算后作高斯反算，高程 = H − dH
输出每行依次为点名（给了 --name-column 时）和换算后的三个值，以逗号分隔，CR LF 换行，
米保留 3 位小数，度保留 9 位小数。输入中的其他列不写入输出；空行跳过。

  --input 文件          输入文件（也可直接写在选项之后）
  --output 文件         输出文件（必填）
  --to grid|geo         换算方向（缺省 grid）
  --meridian 度         中央子午线经度（必填）
  --settings 文件       Keldarn.ini：从 [GEzbzh] 读取四参数，选项优先
  --dx 米 --dy 米 --rot 秒 --scale 比例 --dh 米
                        四参数与高程改正，覆盖 --settings 中的值（缺省都为 0）
  --columns 1,2,3       三个输入值所在的列（从 1 数起）：纬度,经度,高程 或 X,Y,H
  --name-column n       点名所在的列（从 1 数起），原样写在输出的第一列
  --separator 分隔符    输入的分隔符：auto（缺省，按文件在逗号、分号、制表符、空白中判断）、
                        tab、space（连续的空格与制表符）或任意一个字符
  --skip-lines n        跳过开头的 n 行（缺省 0）；其后第一行的数值列若不是数，当作标题跳过
  --encoding 编码       输入的编码：auto（缺省：整个文件是有效的 UTF-8 就按 UTF-8，否则按
                        GB18030）、utf-8 或 gb18030
  --output-encoding 编码
                        输出的编码：utf-8 或 gb18030（缺省与输入相同）
  --quiet               不显示进度
  --help                显示本说明

纬度、经度为十进制度，北纬、东经为正。
退出状态：0 成功，1 输入有误（指明文件与行号），2 读写失败；出错时不改动输出文件。
)");
}

const std::vector<OptionRule> kConvertOptions = {
    {"input"},        {"output"},     {"to"},       {"meridian"},
    {"settings"},     {"dx"},         {"dy"},       {"rot"},
    {"scale"},        {"dh"},         {"columns"},  {"name-column"},
    {"separator"},    {"skip-lines"}, {"encoding"}, {"output-encoding"},
    {"quiet", false}, {"help", false}};

enum class Direction { ToGrid, ToGeo };
using encoding::TextEncoding;

// How the fields of a line are separated: by a text of one character, or by runs of
// spaces and tabs (leading and trailing ones ignored).
struct Separator {
    bool blanks = false;
    std::string text;
};

struct ConvertJob {
    std::string input;
    std::string output;
    Direction direction = Direction::ToGrid;
    SurveyFrame frame;
    std::array<std::size_t, 3> valueColumns{0, 1, 2};  // 0-based
    std::optional<std::size_t> nameColumn;             // 0-based
    std::optional<Separator> separator;                // none: detected from the file
    std::int64_t skipLines = 0;
    std::optional<TextEncoding> inputEncoding;   // none: detected from the file
    std::optional<TextEncoding> outputEncoding;  // none: the input's
    bool quiet = false;
};

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// A whole number from `minimum` up, as the option's value.
std::int64_t WholeNumber(std::string_view text, const std::string& option, std::int64_t minimum)
{
    const std::string_view trimmed = geodesy::TrimBlanks(text);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
    if (error != std::errc() || end != trimmed.data() + trimmed.size() || trimmed.empty() || value < minimum)
        throw UsageError(i18n::Format(i18n::Translate("cli", "--%1 的值应为不小于 %2 的整数，不是“%3”"),
                                      {option, std::to_string(minimum), text}));
    return value;
}

std::array<std::size_t, 3> ValueColumnsFromOption(const std::optional<std::string>& text)
{
    if (!text)
        return {0, 1, 2};
    std::array<std::size_t, 3> columns{};
    std::size_t count = 0, start = 0;
    for (;;) {
        const std::size_t comma = text->find(',', start);
        const std::string_view field = std::string_view(*text).substr(start, comma - start);
        if (count == 3)
            throw UsageError(i18n::Format(
                i18n::Translate("cli", "--columns 需要三个以逗号分隔的列号，不是“%1”"), {*text}));
        columns[count] = static_cast<std::size_t>(WholeNumber(field, "columns", 1) - 1);
        if (std::find(columns.begin(), columns.begin() + static_cast<std::ptrdiff_t>(count),
                      columns[count]) != columns.begin() + static_cast<std::ptrdiff_t>(count))
            throw UsageError(
                i18n::Format(i18n::Translate("cli", "--columns 中的列号不能重复：“%1”"), {*text}));
        ++count;
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (count != 3)
        throw UsageError(
            i18n::Format(i18n::Translate("cli", "--columns 需要三个以逗号分隔的列号，不是“%1”"), {*text}));
    return columns;
}

std::optional<Separator> SeparatorFromOption(const std::optional<std::string>& text)
{
    if (!text || Lower(*text) == "auto")
        return std::nullopt;
    if (Lower(*text) == "tab")
        return Separator{false, "\t"};
    if (Lower(*text) == "space" || *text == " ")
        return Separator{true, {}};
    const auto characters = std::count_if(
        text->begin(), text->end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
    if (characters != 1)
        throw UsageError(i18n::Format(
            i18n::Translate("cli", "--separator 应为 auto、tab、space 或一个字符，不是“%1”"), {*text}));
    return Separator{false, *text};
}

std::optional<TextEncoding> EncodingFromOption(const ParsedOptions& options, const std::string& option,
                                               bool allowAuto)
{
    const auto text = options.Value(option);
    if (!text)
        return std::nullopt;
    const std::string name = Lower(*text);
    if (name == "utf-8" || name == "utf8")
        return TextEncoding::kUtf8;
    if (name == "gb18030" || name == "gbk")
        return TextEncoding::kGb18030;
    if (allowAuto && name == "auto")
        return std::nullopt;
    throw UsageError(i18n::Format(allowAuto
                                      ? i18n::Translate("cli", "--%1 应为 auto、utf-8 或 gb18030，不是“%2”")
                                      : i18n::Translate("cli", "--%1 应为 utf-8 或 gb18030，不是“%2”"),
                                  {option, *text}));
}

ConvertJob JobFromOptions(const ParsedOptions& options)
{
    ConvertJob job;
    const auto& positional = options.Positional();
    if (positional.size() + (options.Has("input") ? 1 : 0) > 1)
        throw UsageError(i18n::Translate("cli", "只能给出一个输入文件"));
    job.input = options.Value("input").value_or(positional.empty() ? std::string() : positional.front());
    job.output = options.Value("output").value_or("");
    if (job.input.empty())
        throw UsageError(i18n::Translate("cli", "缺少输入文件（--input 或直接写出文件名）"));
    if (job.output.empty())
        throw UsageError(i18n::Translate("cli", "缺少 --output（输出文件）"));
    const std::string to = options.Value("to").value_or("grid");
    if (to != "grid" && to != "geo")
        throw UsageError(i18n::Format(
            i18n::Translate("cli", "--to 只能是 grid（经纬度→测量坐标）或 geo（测量坐标→经纬度），不是“%1”"),
            {to}));
    job.direction = to == "grid" ? Direction::ToGrid : Direction::ToGeo;
    job.frame = SurveyFrameFromOptions(options);
    job.valueColumns = ValueColumnsFromOption(options.Value("columns"));
    if (const auto name = options.Value("name-column")) {
        job.nameColumn = static_cast<std::size_t>(WholeNumber(*name, "name-column", 1) - 1);
        if (std::find(job.valueColumns.begin(), job.valueColumns.end(), *job.nameColumn) !=
            job.valueColumns.end())
            throw UsageError(i18n::Translate("cli", "--name-column 不能是 --columns 中的列"));
    }
    job.separator = SeparatorFromOption(options.Value("separator"));
    if (const auto skip = options.Value("skip-lines"))
        job.skipLines = WholeNumber(*skip, "skip-lines", 0);
    job.inputEncoding = EncodingFromOption(options, "encoding", true);
    job.outputEncoding = EncodingFromOption(options, "output-encoding", false);
    job.quiet = options.Has("quiet");
    return job;
}

// The message for line `number` of the input, whose bytes are not valid in `textEncoding`.
// A file detected as UTF-8 has no such line, so UTF-8 was chosen by --encoding.
std::string UndecodableLine(const ConvertJob& job, TextEncoding textEncoding, std::int64_t number)
{
    const std::string pattern =
        textEncoding == TextEncoding::kUtf8
            ? i18n::Translate("cli", "%1 第 %2 行：不是有效的 UTF-8 文本；"
                                     "GB18030（GBK）编码的文件请用 --encoding gb18030 或 auto")
        : job.inputEncoding
            ? i18n::Translate("cli", "%1 第 %2 行：不是有效的 GB18030 文本")
            : i18n::Translate("cli", "%1 第 %2 行：既不是有效的 UTF-8 也不是有效的 GB18030 文本");
    return points::LineMessage(pattern, job.input, number);
}

Separator DetectSeparator(std::string_view line)
{
    for (const char* candidate : {",", ";", "\t"}) {
        if (line.find(candidate) != std::string_view::npos)
            return {false, candidate};
    }
    return {true, {}};
}

// Fields around a one-character separator are trimmed of blanks, and empty ones count.
void SplitFields(std::string_view line, const Separator& separator, std::vector<std::string_view>& fields)
{
    fields.clear();
    if (separator.blanks) {
        for (std::size_t start = line.find_first_not_of(" \t"); start != std::string_view::npos;) {
            const std::size_t end = std::min(line.find_first_of(" \t", start), line.size());
            fields.push_back(line.substr(start, end - start));
            start = line.find_first_not_of(" \t", end);
        }
        return;
    }
    for (std::size_t start = 0;;) {
        const std::size_t end = line.find(separator.text, start);
        fields.push_back(geodesy::TrimBlanks(line.substr(start, end - start)));
        if (end == std::string_view::npos)
            return;
        start = end + separator.text.size();
    }
}

// The three values of a line, or why there are none.
std::optional<std::array<double, 3>> ReadValues(const std::vector<std::string_view>& fields,
                                                const std::array<std::size_t, 3>& columns,
                                                std::string& problem)
{
    std::array<double, 3> values{};
    for (std::size_t k = 0; k < columns.size(); ++k) {
        if (columns[k] >= fields.size()) {
            problem = i18n::Format(i18n::Translate("cli", "只有 %1 列，没有第 %2 列"),
                                   {std::to_string(fields.size()), std::to_string(columns[k] + 1)});
            return std::nullopt;
        }
        try {
            values[k] = geodesy::ParseNumber(fields[columns[k]]);
        } catch (const geodesy::InvalidNumberError&) {
            problem = i18n::Format(i18n::Translate("cli", "第 %1 列“%2”不是数"),
                                   {std::to_string(columns[k] + 1), points::Excerpt(fields[columns[k]])});
            return std::nullopt;
        }
    }
    return values;
}

// One point converted as the window converts it, appended without a line end: X, Y, H in
// metres to 3 decimals towards the grid; latitude and longitude in degrees to 9 decimals
// (about 0.1 mm) and the height in metres towards the ellipsoid. Returns false when the
// result is not finite (a point far outside any zone).
bool AppendConverted(const ConvertJob& job, const std::array<double, 3>& in, std::string& out)
{
    std::array<double, 3> result{};
    int decimals = geodesy::kGridCoordinateDecimals;  // of the first two values
    if (job.direction == Direction::ToGrid) {
        const geodesy::GridPoint grid = job.frame.ToGrid({.latDeg = in[0], .lonDeg = in[1]}, in[2]);
        result = {grid.x, grid.y, grid.h};
    } else {
        const geodesy::GridPoint grid{.x = in[0], .y = in[1], .h = in[2]};
        const geodesy::GeoPoint geo = job.frame.ToGeographic(grid);
        result = {geo.latDeg, geo.lonDeg, job.frame.ElevationM(grid.h)};
        decimals = 9;
    }
    if (!std::all_of(result.begin(), result.end(), [](double v) { return std::isfinite(v); }))
        return false;
    out += geodesy::FormatFixed(result[0], decimals);
    out += ',';
    out += geodesy::FormatFixed(result[1], decimals);
    out += ',';
    out += geodesy::FormatGridCoordinate(result[2]);
    return true;
}

int Convert(const ParsedOptions& options)
{
    const ConvertJob job = JobFromOptions(options);
    points::PointFileReader reader(job.input, job.inputEncoding);
    points::PointFileWriter output(job.output, job.outputEncoding ? *job.outputEncoding : reader.Encoding());
    Progress progress(i18n::Translate("cli", "转换"), 0, Progress::ModeFor(job.quiet));

    // Without --separator, the first line of points fixes the separator of the file; a title
    // before it may be separated otherwise.
    std::optional<Separator> separator = job.separator;
    bool firstLine = true;
    std::int64_t points = 0;
    std::string converted, problem, title;
    std::string_view line;
    std::vector<std::string_view> fields;
    while (reader.Next()) {
        const std::int64_t number = reader.Number();
        progress.Update(number);
        if (number <= job.skipLines)
            continue;
        if (!reader.Text(line))
            throw InputError(UndecodableLine(job, reader.Encoding(), number));
        if (geodesy::TrimBlanks(line).empty())
            continue;
        const Separator used = separator.value_or(DetectSeparator(line));
        SplitFields(line, used, fields);
        const auto values = ReadValues(fields, job.valueColumns, problem);
        const bool mayBeTitle = std::exchange(firstLine, false);
        if (!values && mayBeTitle) {
            title = i18n::Format(i18n::Translate("cli", "第 %1 行当作标题跳过了：%2"),
                                 {std::to_string(number), problem});
            continue;
        }
        if (!values)
            throw InputError(points::LineMessage(i18n::Translate("cli", "%1 第 %2 行：%3：%4"), job.input,
                                                 number, problem, points::Quoted(line)));
        separator = used;
        if (job.direction == Direction::ToGrid && !(std::abs((*values)[0]) <= 90.0))
            throw InputError(points::LineMessage(
                i18n::Translate("cli", "%1 第 %2 行：纬度不在 −90 到 90 度之间（列的顺序是否有误？）：%3"),
                job.input, number, points::Quoted(line)));
        converted.clear();
        if (job.nameColumn) {
            if (*job.nameColumn >= fields.size())
                throw InputError(points::LineMessage(
                    i18n::Translate("cli", "%1 第 %2 行：没有点名所在的第 %3 列：%4"), job.input, number,
                    std::to_string(*job.nameColumn + 1), points::Quoted(line)));
            const std::string_view name = fields[*job.nameColumn];
            if (name.find(',') != std::string_view::npos)
                throw InputError(points::LineMessage(
                    i18n::Translate("cli", "%1 第 %2 行：点名中有逗号，而输出以逗号分隔：%3"), job.input,
                    number, points::Quoted(line)));
            converted += name;
            converted += ',';
        }
        if (!AppendConverted(job, *values, converted))
            throw InputError(
                points::LineMessage(i18n::Translate("cli", "%1 第 %2 行：坐标超出可换算的范围：%3"),
                                    job.input, number, points::Quoted(line)));
        converted += "\r\n";
        output.Write(converted);
        ++points;
    }
    progress.Finish(reader.Number());
    if (points == 0)
        throw InputError(
            title.empty()
                ? i18n::Format(i18n::Translate("cli", "%1：没有可换算的点，没有写出文件"), {job.input})
                : i18n::Format(i18n::Translate("cli", "%1：没有可换算的点，没有写出文件（%2）"),
                               {job.input, title}));
    output.Commit();
    if (!job.quiet)
        PrintLine(i18n::Format(i18n::Translate("cli", "已换算 %1 个点，写入 %2"),
                               {std::to_string(points), job.output}));
    return kExitOk;
}

}  // namespace

int RunConvert(const std::vector<std::string>& arguments)
{
    return RunSubcommand(arguments, kConvertOptions, ConvertHelp(), Convert);
}

}  // namespace keldarn::cli
