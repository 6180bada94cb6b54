#pragma once

// Export of the point table as delimited text for survey drafting software: one line
// per data row, no title line, the chosen cells trimmed and joined by the separator,
// every line ended by CR LF, characters in GB18030 (GBK's superset, so GBK software
// reads every GBK character and nothing typed is lost).

#include "points/point_table_model.h"

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace keldarn::points {

class ExportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ExportLayout {
    std::vector<int> columns;  // table columns in export order, each 0..4
    std::string separator;     // UTF-8; one character or empty, used exactly as typed
};

// The column an export field item names: its first character is the column's digit
// ("3Y坐标" is column 3). -1 for an item that names no column.
int ColumnOfFieldItem(std::string_view itemText);

// One export line without its line end: the trimmed cells of the layout's columns
// joined by the separator. Trimming removes characters with codes 0 to 32 at both ends.
std::string ExportLine(const PointTableModel& table, int gridRow, const ExportLayout& layout);

// A data row whose written cells hold the separator or a line break inside their trimmed
// text: its line would split into more fields than the layout names, or into two lines.
struct SeparatorClash {
    int gridRow = 0;           // 1..n
    std::vector<int> columns;  // the layout's columns that hold one, ascending, each once
};

// The data rows, top to bottom, whose cells in the layout's columns hold the separator
// (when it is not empty), CR or LF between their first and last non-blank character.
// Characters the export trims away at a cell's ends are no clash.
std::vector<SeparatorClash> FindSeparatorClashes(const PointTableModel& table, const ExportLayout& layout);

// True when `replacement` (UTF-8) is exactly one character that is neither the separator
// nor a control character (codes 0 to 31, CR and LF among them), so that replacing makes
// no new clash and leaves something visible in the cell.
bool IsSeparatorReplacement(std::string_view replacement, std::string_view separator);

// `cell` (UTF-8) with every separator, CR and LF between its first and last non-blank
// character replaced by `replacement`; a CR LF pair is one line break and gets one
// replacement. The blanks at both ends stay as they were.
std::string ReplaceSeparatorClashes(std::string_view cell, std::string_view separator,
                                    std::string_view replacement);

// Called with the progress in percent (1 at the start, then after each line
// trunc(r × 100 / n)), only when the value changes.
using ExportProgress = std::function<void(int percent)>;

// Writes every data row to `target`. The lines go to a temporary file in the target's
// folder, which replaces the target only when every line is written, so a failed
// export leaves an existing file exactly as it was. Throws ExportError with a message
// naming the file and the reason. The layout must name at least one column and the
// table must hold at least one data row (the caller reports those cases).
void ExportPointsFile(const PointTableModel& table, const ExportLayout& layout, const std::filesystem::path& target,
                      const ExportProgress& progress);

}  // namespace keldarn::points
