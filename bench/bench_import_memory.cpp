// The memory of importing a large point file the way the window does: the file read into
// rows, the rows appended to the table at once, the crash journal following the table.
// Prints the resident memory at the peak and after; run under /usr/bin/time -v as well:
//   build/bench/bench_import_memory /tmp/points_10M.dat
// (a file of name, description, Y, X, H lines joined by ",", as the export writes them).

#include "bench/bench_support.h"

#include "points/import_reader.h"
#include "points/point_journal.h"
#include "points/point_table_model.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <type_traits>
#include <unistd.h>

using namespace keldarn;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s POINTFILE\n", argv[0]);
        return 2;
    }
    const std::filesystem::path journalPath =
        std::filesystem::temp_directory_path() /
        ("keldarn_import_memory_" + std::to_string(::getpid()) + ".journal");
    const points::ExportLayout layout{{points::kNameColumn, points::kDescriptionColumn, points::kYColumn,
                                       points::kXColumn, points::kHColumn},
                                      ","};
    points::PointTableModel table;
    points::PointJournal journal(journalPath, table);
    const auto start = std::chrono::steady_clock::now();
    auto rows = points::ReadPointsFile(argv[1], layout);
    const double readS = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Both forms of the reader's rows: cells, or rows packed as the table keeps them.
    [&table](auto& read) {
        if constexpr (std::is_same_v<std::decay_t<decltype(read)>, std::vector<points::RowCells>>)
            table.AppendRows(read);
        else
            table.AppendPackedRows(std::move(read));
    }(rows);
    decltype(rows)().swap(rows);
    const double totalS = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("rows %d  read %.1f s  read+append+journal %.1f s  peak %.0f MB  after %.0f MB\n",
                table.DataRowCount(), readS, totalS, bench::StatusMB("VmHWM"), bench::TrimmedRssMB());
    journal.Finish();
    return 0;
}
