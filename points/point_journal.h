#pragma once

// A journal of the point table on disk, so that collected points survive a crash, a
// killed process or a power cut. It follows the table model's changes and appends one
// record per change (rows appended, rows removed, table cleared, cell edited), each
// with its length and a CRC-32, so a record torn by a crash is recognised and dropped:
// replaying the journal always gives the table as it stood before or after a change,
// never in between. A normal end removes the journal.
//
// File layout: the magic "KLDJ1\n", then records of
//   type (1 byte) | payload length (u32 LE) | payload | CRC-32 of type, length and payload (u32 LE).
// The rows of a large snapshot or append are split over several records, the last of
// which completes the change; the others count for nothing without it.

#include "fileio/file_descriptor.h"
#include "points/point_table_model.h"

#include <QObject>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace keldarn::points {

class JournalError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A journal file whose lock (flock) this process holds: the lock lasts as long as `lock`.
struct HeldJournal {
    std::filesystem::path path;
    fileio::FileDescriptor lock;
};

class PointJournal : public QObject {
    Q_OBJECT

public:
    // Creates the journal at `path` with a snapshot of the table's rows and follows the
    // table from then on. Holds an exclusive lock on the file while it lives. Throws
    // JournalError when the file cannot be created or is locked by another instance.
    PointJournal(const std::filesystem::path& path, PointTableModel& table);
    // As above, at a name this process has claimed and locked already (ClaimJournal): the
    // lock passes to the new journal without lapsing. Whatever the file held is replaced.
    PointJournal(HeldJournal claimed, PointTableModel& table);
    ~PointJournal() override;

    // The normal end: closes and removes the journal.
    void Finish();

    // False once a write has failed; the table then goes on without a journal.
    bool healthy() const { return file_.valid(); }

private:
    // Writes the first snapshot and follows the table from then on.
    void Start();
    void OnRowsInserted(int first, int last);
    void OnRowsRemoved(int first, int last);
    void OnReset();
    void OnDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight);
    void WriteRecord(char type, const std::string& payload);
    // Rows of a snapshot or an append, in records of bounded size.
    void WriteRows(char type, int firstGridRow, int lastGridRow);
    void WriteRecordBytes(const std::string& record, bool mayCompact);
    void WriteSnapshotFile();
    void Close();

    std::filesystem::path path_;
    PointTableModel& table_;
    fileio::FileDescriptor file_;  // the journal, locked (flock) while this instance holds it
    std::uint64_t bytesSinceSnapshot_ = 0;
    std::uint64_t snapshotBytes_ = 0;
    std::chrono::steady_clock::time_point lastSync_;
};

// The rows a journal holds, replayed record by record up to the first torn or damaged
// record. Nothing when there is no journal file; no rows when the file is empty (claimed by
// a copy that ended before its first snapshot). Throws JournalError when the file is not a
// journal.
struct RecoveredTable {
    std::vector<std::string> packedRows;  // as PackRow writes them
    bool damagedTail = false;             // a torn or damaged record was dropped
};
std::optional<RecoveredTable> ReadJournal(const std::filesystem::path& path);

// Writes `packedRows` as a journal of one snapshot, atomically: a file that ReadJournal
// replays to these rows. Throws JournalError when it cannot be written.
void WriteJournalFile(const std::filesystem::path& path, const std::vector<std::string>& packedRows);

// True when another running instance holds the journal.
bool JournalInUse(const std::filesystem::path& path);

// CRC-32 (IEEE 802.3, as zlib computes it).
std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t crc = 0);

}  // namespace keldarn::points
