#include "cli/point_output.h"

#include "i18n/interface_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace keldarn::cli {

namespace {

// The column titles of the point table, written into CSV files as they are.
constexpr const char* kColumnTitles[] = {"点名", "描述", "X坐标", "Y坐标", "高程H"};

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The number of characters of a UTF-8 text.
std::size_t CharacterCount(const std::string& utf8)
{
    return static_cast<std::size_t>(std::count_if(
        utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

}  // namespace

PointFormat FormatFromOptions(const ParsedOptions& options, const std::filesystem::path& target)
{
    PointFormat format;
    format.layout.columns = {0, 1, 3, 2, 4};
    format.layout.separator = ",";
    const std::string kind =
        options.Value("format").value_or(Lower(target.extension().string()) == ".csv" ? "csv" : "dat");
    if (kind != "dat" && kind != "csv")
        throw UsageError(
            i18n::Format(i18n::Translate("cli", "--format 只能是 dat 或 csv，不是“%1”"), {kind}));
    format.csv = kind == "csv";
    format.lineEnd = format.csv ? "\n" : "\r\n";
    if (const auto fields = options.Value("fields")) {
        format.layout.columns.clear();
        for (const char c : *fields) {
            if (c == ',' || c == ' ')
                continue;
            if (c < '0' || c > '4')
                throw UsageError(i18n::Format(
                    i18n::Translate("cli",
                                    "--fields 的值“%1”中有不是 0–4 的字段：0点名 1描述 2X坐标 3Y坐标 4高程H"),
                    {*fields}));
            format.layout.columns.push_back(c - '0');
        }
        if (format.layout.columns.empty())
            throw UsageError(i18n::Translate("cli", "--fields 至少要选一个字段"));
    }
    if (const auto separator = options.Value("separator")) {
        if (CharacterCount(*separator) > 1)
            throw UsageError(i18n::Format(i18n::Translate("cli", "--separator 只能是一个字符或空，不是“%1”"),
                                          {*separator}));
        if (format.csv && *separator != ",")
            throw UsageError(i18n::Translate("cli", "CSV 文件的分隔符总是逗号；其他分隔符请用 --format dat"));
        format.layout.separator = *separator;
    }
    return format;
}

std::string CsvTitle(const PointFormat& format)
{
    std::string line;
    for (std::size_t k = 0; k < format.layout.columns.size(); ++k) {
        if (k > 0)
            line += ',';
        line += kColumnTitles[format.layout.columns[k]];
    }
    return line + format.lineEnd;
}

void RecordFormat(const PointFormat& format, PartManifest& manifest)
{
    manifest.format = format.csv ? "csv" : "dat";
    manifest.fields.clear();
    for (const int column : format.layout.columns)
        manifest.fields += (manifest.fields.empty() ? "" : ",") + std::to_string(column);
    manifest.separator.clear();
    if (format.layout.separator.empty())
        return;
    // The one UTF-8 character's code point.
    const auto* bytes = reinterpret_cast<const unsigned char*>(format.layout.separator.data());
    const std::size_t length = format.layout.separator.size();
    char32_t code = length == 1 ? bytes[0] : bytes[0] & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k)
        code = (code << 6) | (bytes[k] & 0x3F);
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(code));
    manifest.separator = text;
}

}  // namespace keldarn::cli
