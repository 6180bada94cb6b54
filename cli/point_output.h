#pragma once

// The files batch runs write points into: the program's export (.dat: the chosen fields in
// the chosen order joined by the separator, CR LF, GB18030) or CSV (the same fields with a
// title line, comma-separated, LF, UTF-8). Written through points::PointFileWriter, so a run
// that fails leaves the target as it was.

#include "cli/command_line.h"
#include "cli/part_manifest.h"
#include "encoding/text_encoding.h"
#include "points/export_writer.h"

#include <filesystem>
#include <string>

namespace keldarn::cli {

// In a line produced by a worker, the place of the point's name, numbered by the writer.
inline constexpr char kNameMark = '\x01';

struct PointFormat {
    points::ExportLayout layout;  // the program's defaults: 0点名 1描述 3Y坐标 2X坐标 4高程H, ","
    bool csv = false;
    std::string lineEnd = "\r\n";

    // The encoding a points::PointFileWriter writes the format in.
    encoding::TextEncoding Encoding() const
    {
        return csv ? encoding::TextEncoding::kUtf8 : encoding::TextEncoding::kGb18030;
    }
};

// The format asked for by --fields (digits of the table's columns, e.g. "0,1,3,2,4"),
// --separator and --format (dat or csv; by default from the target's extension).
// Throws UsageError for a field that is no column or a separator of more than one
// character.
PointFormat FormatFromOptions(const ParsedOptions& options, const std::filesystem::path& target);

// The CSV title line, with its line end.
std::string CsvTitle(const PointFormat& format);

// Sets the manifest's format, fields and separator ("U+002C"; empty for none) to `format`'s,
// so that two formats compare equal exactly when their records do.
void RecordFormat(const PointFormat& format, PartManifest& manifest);

}  // namespace keldarn::cli
