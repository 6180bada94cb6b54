#include "points/export_writer.h"

#include "encoding/text_encoding.h"
#include "fileio/atomic_file.h"
#include "geodesy/number_text.h"
#include "i18n/interface_text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace keldarn::points {

namespace {

namespace fs = std::filesystem;

// Lines are gathered into chunks of about this many bytes (whole lines only) before
// they are encoded and written: large enough that the system calls and the converter
// cost nothing per line, small enough that the export's memory is independent of the
// table's size.
constexpr std::size_t kChunkBytes = 1 << 20;

bool IsAscii(std::string_view bytes)
{
    // Eight bytes at a time: the high bit of any byte marks a non-ASCII character.
    std::uint64_t high = 0;
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        high |= word;
    }
    for (; i < bytes.size(); ++i)
        high |= static_cast<unsigned char>(bytes[i]);
    return (high & 0x8080808080808080ull) == 0;
}

// Encodes the UTF-8 lines of one chunk as GB18030 and writes them. ASCII bytes are the
// same in both encodings, so a chunk of digits and Latin names skips the converter.
class ChunkWriter {
public:
    ChunkWriter(fileio::AtomicFile& file, const fs::path& target)
        : file_(file), target_(target), converter_("UTF-8", "GB18030")
    {
    }

    void Write(std::string_view utf8)
    {
        if (IsAscii(utf8)) {
            file_.Write(utf8);
            return;
        }
        encoded_.clear();
        try {
            converter_.ConvertAppend(utf8, encoded_);
        } catch (const encoding::EncodingError& error) {
            throw ExportError(i18n::Format(i18n::Translate("points", "无法写入文件 %1：%2"),
                                           {target_.string(), error.what()}));
        }
        file_.Write(encoded_);
    }

private:
    fileio::AtomicFile& file_;
    const fs::path& target_;
    encoding::StreamConverter converter_;
    std::string encoded_;  // reused between chunks
};

void AppendExportLine(std::string& out, const PointTableModel& table, int gridRow, const ExportLayout& layout)
{
    const std::array<std::string_view, kColumnCount> cells = table.CellViews(gridRow);
    bool first = true;
    for (const int column : layout.columns) {
        if (!first)
            out += layout.separator;
        first = false;
        if (column >= 0 && column < kColumnCount)
            out += geodesy::TrimBlanks(cells[static_cast<std::size_t>(column)]);
    }
}

// Reports trunc(r × 100 / n) after line r when it exceeds the last value reported, so
// the display only moves forward and is called at most 100 times after the start.
class ProgressSteps {
public:
    ProgressSteps(const ExportProgress& progress, int rowCount) : progress_(progress), rowCount_(rowCount)
    {
        Report(1);
    }
    void RowDone(int row)
    {
        const auto percent = static_cast<int>(static_cast<std::int64_t>(row) * 100 / rowCount_);
        if (percent > last_)
            Report(percent);
    }

private:
    void Report(int percent)
    {
        last_ = percent;
        if (progress_)
            progress_(percent);
    }

    const ExportProgress& progress_;
    int rowCount_;
    int last_ = 0;
};

void WriteLines(fileio::AtomicFile& file, const PointTableModel& table, const ExportLayout& layout,
                const fs::path& target, const ExportProgress& progress)
{
    const int rowCount = table.DataRowCount();
    ProgressSteps steps(progress, rowCount);
    ChunkWriter writer(file, target);
    std::string chunk;
    chunk.reserve(kChunkBytes + 4096);
    for (int row = 1; row <= rowCount; ++row) {
        AppendExportLine(chunk, table, row, layout);
        chunk += "\r\n";
        if (chunk.size() >= kChunkBytes) {
            writer.Write(chunk);
            chunk.clear();
        }
        steps.RowDone(row);
    }
    writer.Write(chunk);
}

}  // namespace

int ColumnOfFieldItem(std::string_view itemText)
{
    if (itemText.empty() || itemText.front() < '0' || itemText.front() >= '0' + kColumnCount)
        return -1;
    return itemText.front() - '0';
}

std::string ExportLine(const PointTableModel& table, int gridRow, const ExportLayout& layout)
{
    std::string line;
    AppendExportLine(line, table, gridRow, layout);
    return line;
}

std::vector<SeparatorClash> FindSeparatorClashes(const PointTableModel& table, const ExportLayout& layout)
{
    std::vector<SeparatorClash> clashes;
    for (int row = 1; row <= table.DataRowCount(); ++row) {
        const std::array<std::string_view, kColumnCount> cells = table.CellViews(row);
        SeparatorClash clash{row, {}};
        for (int column = 0; column < kColumnCount; ++column) {
            if (std::find(layout.columns.begin(), layout.columns.end(), column) == layout.columns.end())
                continue;
            const std::string_view core = geodesy::TrimBlanks(cells[static_cast<std::size_t>(column)]);
            if (core.find_first_of("\r\n") != std::string_view::npos ||
                (!layout.separator.empty() && core.find(layout.separator) != std::string_view::npos))
                clash.columns.push_back(column);
        }
        if (!clash.columns.empty())
            clashes.push_back(std::move(clash));
    }
    return clashes;
}

bool IsSeparatorReplacement(std::string_view replacement, std::string_view separator)
{
    // One character: one byte that is not a UTF-8 continuation byte (10xxxxxx).
    const auto leadBytes = std::count_if(replacement.begin(), replacement.end(), [](char byte) {
        return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    });
    return leadBytes == 1 && static_cast<unsigned char>(replacement.front()) >= 32 &&
           replacement != separator;
}

std::string ReplaceSeparatorClashes(std::string_view cell, std::string_view separator,
                                    std::string_view replacement)
{
    const std::string_view core = geodesy::TrimBlanks(cell);
    if (core.empty())
        return std::string(cell);
    const auto begin = static_cast<std::size_t>(core.data() - cell.data());
    std::string out(cell.substr(0, begin));
    for (std::size_t i = 0; i < core.size();) {
        if (core.compare(i, 2, "\r\n") == 0) {
            out += replacement;
            i += 2;
        } else if (core[i] == '\r' || core[i] == '\n') {
            out += replacement;
            ++i;
        } else if (!separator.empty() && core.compare(i, separator.size(), separator) == 0) {
            out += replacement;
            i += separator.size();
        } else {
            out += core[i++];
        }
    }
    out += cell.substr(begin + core.size());
    return out;
}

void ExportPointsFile(const PointTableModel& table, const ExportLayout& layout, const fs::path& target,
                      const ExportProgress& progress)
{
    try {
        fileio::AtomicFile file(target);
        WriteLines(file, table, layout, target, progress);
        file.Commit();
    } catch (const fileio::FileWriteError& error) {
        throw ExportError(error.what());
    }
}

}  // namespace keldarn::points
