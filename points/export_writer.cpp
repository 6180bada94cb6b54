#include "points/export_writer.h"

#include "geodesy/number_text.h"
#include "points/point_file_writer.h"

#include <algorithm>
#include <cstdint>

namespace keldarn::points {

namespace {

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

void ExportPointsFile(const PointTableModel& table, const ExportLayout& layout,
                      const std::filesystem::path& target, const ExportProgress& progress)
{
    try {
        PointFileWriter file(target, encoding::TextEncoding::kGb18030);
        const int rowCount = table.DataRowCount();
        ProgressSteps steps(progress, rowCount);
        std::string line;
        for (int row = 1; row <= rowCount; ++row) {
            line.clear();
            AppendExportLine(line, table, row, layout);
            line += "\r\n";
            file.Write(line);
            steps.RowDone(row);
        }
        file.Commit();
    } catch (const fileio::FileWriteError& error) {
        throw ExportError(error.what());
    }
}

}  // namespace keldarn::points
