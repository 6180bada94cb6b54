// The point import: any bytes as the file ReadPointsFile reads, with three layouts of the
// export page (a one-byte separator, a separator of three UTF-8 bytes with a field that
// names no column, a space between X and Y alone).
//
// Findings: a crash or sanitizer report; an exception other than ImportError; a message
// that does not name the file or is not UTF-8; for a file the reader accepts, a row that
// fills a column the layout does not name, or whose X, Y or H is no number, or a row count
// other than the file's non-blank lines; for an accepted file of valid UTF-8, a row whose
// cells are not the trimmed fields of its line.

#include "fuzz/fuzz_support.h"
#include "geodesy/number_text.h"
#include "points/import_reader.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

using namespace keldarn;
using fuzz::Require;

const std::array<points::ExportLayout, 3> kLayouts = {{
    {{points::kNameColumn, points::kXColumn, points::kYColumn, points::kHColumn}, ","},
    {{points::kNameColumn, -1, points::kDescriptionColumn, points::kYColumn, points::kXColumn,
      points::kHColumn},
     "\xEF\xBC\x8C"},  // the full-width comma
    {{points::kXColumn, points::kYColumn}, " "},
}};

bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The lines of the file that hold more than blanks; a line ends at CR LF, LF or a lone CR.
std::vector<std::string_view> NonBlankLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
        if (!Trim(text.substr(0, end)).empty())
            lines.push_back(text.substr(0, end));
        std::size_t next = end;
        if (next < text.size())
            next += text.compare(next, 2, "\r\n") == 0 ? 2 : 1;
        text.remove_prefix(next);
    }
    return lines;
}

void CheckRows(const std::vector<std::string>& rows, const points::ExportLayout& layout,
               std::string_view text)
{
    const bool utf8 = encoding::IsValidUtf8(text);
    if (utf8 && text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    const std::vector<std::string_view> lines = NonBlankLines(text);
    Require(rows.size() == lines.size(), "rows " + std::to_string(rows.size()) + " for " +
                                             std::to_string(lines.size()) + " non-blank lines");
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::array<std::string, points::kColumnCount> cells;
        for (int column = 0; column < points::kColumnCount; ++column)
            cells[column] = std::string(points::UnpackCellViews(rows[r])[column]);
        for (int column = 0; column < points::kColumnCount; ++column) {
            const bool named =
                std::find(layout.columns.begin(), layout.columns.end(), column) != layout.columns.end();
            Require(named || cells[column].empty(), "a column the layout does not name is filled");
            Require(cells[column].find(layout.separator) == std::string::npos, "a cell holds the separator");
            Require(cells[column].find_first_of("\r\n") == std::string::npos, "a cell holds a line break");
        }
        for (const int column : {points::kXColumn, points::kYColumn, points::kHColumn}) {
            if (std::find(layout.columns.begin(), layout.columns.end(), column) == layout.columns.end())
                continue;
            try {
                geodesy::ParseNumber(cells[column]);
            } catch (const geodesy::InvalidNumberError&) {
                fuzz::Finding("an accepted row with '" + cells[column] + "' in a number column");
            }
        }
        if (!utf8)
            continue;
        std::string_view line = lines[r];
        for (std::size_t i = 0; i < layout.columns.size(); ++i) {
            const std::size_t end =
                i + 1 == layout.columns.size() ? line.size() : line.find(layout.separator);
            Require(end != std::string_view::npos, "an accepted line with too few fields");
            const int column = layout.columns[i];
            if (column >= 0)
                Require(cells[column] == Trim(line.substr(0, end)),
                        "cell '" + cells[column] + "' is not the field '" + std::string(line.substr(0, end)) +
                            "'");
            line.remove_prefix(std::min(line.size(), end + layout.separator.size()));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::MemoryFile file("points.dat");
    file.Replace(data, size);
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const points::ExportLayout& layout : kLayouts) {
        std::vector<std::string> rows;
        try {
            rows = points::ReadPointsFile(file.path(), layout);
        } catch (const points::ImportError& error) {
            fuzz::CheckMessage(error.what(), file.path());
            continue;
        }
        CheckRows(rows, layout, text);
    }
    return 0;
}
