#pragma once

// Reading a delimited point file back into table rows: the round trip of the export
// (export_writer.h). A file is read with the layout the export would use now, so a file
// exported with the page's current fields and separator reads back cell for cell.

#include "points/export_writer.h"
#include "points/point_table_model.h"

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace keldarn::points {

// what() is the user's message, naming the file and what to change.
class ImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Told now and then the share of the file read so far (0..1). It may throw to stop the
// reading (a cancelled import); the exception passes out of ReadPointsFile unchanged.
using ImportProgress = std::function<void(double fraction)>;

// Reads every point line of `file`, in file order, each as the table's packed row
// (PackRow): the rows go into the table as they are, with no copy of the file's text in
// any other form.
//
// Encoding: a file that is valid UTF-8 throughout is UTF-8 (a leading byte-order mark is
// dropped); any other file is GB18030, as the export writes it. Lines end with CR LF, LF
// or CR; lines holding only characters with codes 0 to 32 are skipped. Each line holds
// exactly layout.columns.size() fields joined by layout.separator; every field is
// trimmed as the export trims and goes to its column, columns the layout does not name
// stay empty. X, Y and H, when the layout names them, must be decimal numbers
// (geodesy::ParseNumber); name and description are taken as they are.
//
// Throws ImportError when the file cannot be read, when a line is longer than
// fileio::kMaxLineBytes (the message names it), when the separator is empty (an
// export without separator cannot be split again), or when any line cannot be read; the
// message then lists the numbers (1-based, counting every line) of the bad lines. Nothing
// is returned in those cases, so a caller never appends part of a file.
std::vector<std::string> ReadPointsFile(const std::filesystem::path& file, const ExportLayout& layout,
                                        const ImportProgress& progress = {});

}  // namespace keldarn::points
