#pragma once

// The files batch runs write points into: the program's export (.dat: the chosen fields in
// the chosen order joined by the separator, CR LF, GB18030) or CSV (the same fields with a
// title line, comma-separated, LF, UTF-8). Written through the shared atomic writer, so a
// run that fails leaves the target as it was.

#include "cli/command_line.h"
#include "cli/part_manifest.h"
#include "encoding/text_encoding.h"
#include "fileio/atomic_file.h"
#include "points/export_writer.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace keldarn::cli {

// In a line produced by a worker, the place of the point's name, numbered by the writer.
inline constexpr char kNameMark = '\x01';

struct PointFormat {
    points::ExportLayout layout;  // the program's defaults: 0点名 1描述 3Y坐标 2X坐标 4高程H, ","
    bool csv = false;
    std::string lineEnd = "\r\n";
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

class PointFileWriter {
public:
    // Throws RunError when the target's folder cannot be written. withChecksum: keep the
    // checksum of the bytes written (a share's side file states it); it costs a pass over
    // every byte, so a whole run goes without.
    PointFileWriter(const std::filesystem::path& target, const PointFormat& format,
                    bool withChecksum = false);
    // Appends whole UTF-8 lines. Throws RunError.
    void Write(std::string_view utf8);
    // Puts the file in the target's place. Throws RunError.
    void Commit();

    // What has been written to the file so far, in its encoding.
    std::uint64_t bytes() const { return bytes_; }
    // Fnv1a64 of those bytes; only with withChecksum.
    std::uint64_t checksum() const { return checksum_ ? checksum_->value() : 0; }

private:
    void WriteBytes(std::string_view bytes);

    std::filesystem::path target_;
    std::unique_ptr<fileio::AtomicFile> file_;
    std::unique_ptr<encoding::StreamConverter> toGb18030_;  // .dat only
    std::string encoded_;
    std::uint64_t bytes_ = 0;
    std::optional<Fnv1a64> checksum_;
};

}  // namespace keldarn::cli
