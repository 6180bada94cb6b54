#include "cli/part_manifest.h"

#include "cli/command_line.h"
#include "fileio/line_reader.h"
#include "i18n/interface_text.h"
#include "points/bad_lines.h"

#include <charconv>
#include <cstdio>
#include <map>

namespace keldarn::cli {

namespace {

// The first line, by which merge tells a side file from any other file of that name.
constexpr std::string_view kFirstLine = "# keldarn-cli sample --part";

template <typename Number> bool ParseWhole(const std::string& text, Number& value, int base = 10)
{
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    return error == std::errc() && stop == end && !text.empty();
}

fileio::LineReader OpenSideFile(const std::filesystem::path& share, const std::string& sideFile)
{
    try {
        return fileio::LineReader(sideFile);
    } catch (const fileio::FileReadError&) {
        throw InputError(i18n::Format(
            i18n::Translate("cli",
                            "%1：没有分份说明文件 %2，它不是 sample --part 写出的一份（或说明文件已丢失）"),
            {share.string(), sideFile}));
    }
}

}  // namespace

std::string Hex64(std::uint64_t value)
{
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

std::filesystem::path ManifestPath(const std::filesystem::path& share)
{
    std::filesystem::path path = share;
    path += ".part";
    return path;
}

std::string ManifestText(const PartManifest& m)
{
    std::string text(kFirstLine);
    text += "\npart=" + std::to_string(m.index) + "/" + std::to_string(m.count);
    text += "\nrun=" + m.run;
    text += "\nformat=" + m.format;
    text += "\nfields=" + m.fields;
    text += "\nseparator=" + m.separator;
    text += "\nrows=" + std::to_string(m.rows);
    text += "\nbytes=" + std::to_string(m.bytes);
    text += "\nfnv1a64=" + Hex64(m.checksum) + "\n";
    return text;
}

PartManifest ReadManifest(const std::filesystem::path& share)
{
    const std::string sideFile = ManifestPath(share).string();
    fileio::LineReader in = OpenSideFile(share, sideFile);
    std::string_view line;
    if (!in.Next(line) || line != kFirstLine)
        throw InputError(
            i18n::Format(i18n::Translate("cli", "%1 不是 sample --part 写出的分份说明文件"), {sideFile}));
    std::map<std::string, std::string> values;
    while (in.Next(line)) {
        const std::size_t equals = line.find('=');
        if (equals != std::string_view::npos)
            values[std::string(line.substr(0, equals))] = line.substr(equals + 1);
    }
    PartManifest m;
    const auto bad = [&](const std::string& key) {
        return InputError(i18n::Format(i18n::Translate("cli", "分份说明文件 %1 中 %2 的值“%3”读不出"),
                                       {sideFile, key, points::Excerpt(values[key])}));
    };
    const std::string& part = values["part"];
    const std::size_t slash = part.find('/');
    if (slash == std::string::npos || !ParseWhole(part.substr(0, slash), m.index) ||
        !ParseWhole(part.substr(slash + 1), m.count) || m.index < 1 || m.index > m.count)
        throw bad("part");
    m.run = values["run"];
    if (m.run.size() != 16)
        throw bad("run");
    m.format = values["format"];
    if (m.format != "dat" && m.format != "csv")
        throw bad("format");
    m.fields = values["fields"];
    if (m.fields.empty())
        throw bad("fields");
    m.separator = values["separator"];
    if (!ParseWhole(values["rows"], m.rows) || m.rows < 0)
        throw bad("rows");
    if (!ParseWhole(values["bytes"], m.bytes))
        throw bad("bytes");
    if (values["fnv1a64"].size() != 16 || !ParseWhole(values["fnv1a64"], m.checksum, 16))
        throw bad("fnv1a64");
    return m;
}

}  // namespace keldarn::cli
