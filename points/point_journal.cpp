#include "points/point_journal.h"

#include "fileio/atomic_file.h"
#include "i18n/interface_text.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/file.h>
#include <unistd.h>

namespace keldarn::points {

namespace {

constexpr char kMagic[] = "KLDJ1\n";
constexpr std::size_t kMagicSize = sizeof(kMagic) - 1;

enum RecordType : char {
    kSnapshot = 'S',  // u32 row count, then the rows
    kAppend = 'A',    // u32 row count, then the rows
    kRowsPart = 'P',  // u32 row count, then the rows of the snapshot or append that follows
    kRemove = 'D',    // u32 first model row, u32 count
    kClear = 'C',     // nothing
    kEdit = 'E',      // u32 model row, u8 column, then the new text
};

// Rows of one change go into records of about this size: the parts ('P') and the record
// that completes them ('S' or 'A'). A change of ten million rows is then written without
// a copy of them all in memory, and a crash before its last record replays to the table
// as it stood before the change.
constexpr std::size_t kRecordRowBytes = 4u << 20;

// A journal larger than this, and more than twice its last snapshot, is rewritten as one
// snapshot, so that replaying it stays quick.
constexpr std::uint64_t kCompactionFloorBytes = 8u << 20;
// Records reach the kernel at once (they survive a killed process); they are forced to
// the disk at most this often, which bounds what a power cut can take.
constexpr auto kSyncInterval = std::chrono::seconds(1);

void PutU32(std::string& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

bool GetU32(std::string_view& in, std::uint32_t& value)
{
    if (in.size() < 4)
        return false;
    value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(in[static_cast<std::size_t>(i)]))
                 << (8 * i);
    in.remove_prefix(4);
    return true;
}

void PutBytes(std::string& out, std::string_view bytes)
{
    PutU32(out, static_cast<std::uint32_t>(bytes.size()));
    out.append(bytes);
}

bool GetBytes(std::string_view& in, std::string& bytes)
{
    std::uint32_t size = 0;
    if (!GetU32(in, size) || in.size() < size)
        return false;
    bytes.assign(in.substr(0, size));
    in.remove_prefix(size);
    return true;
}

std::string Record(char type, const std::string& payload);

// The records of rows [firstGridRow, lastGridRow] as a change of type `type` (snapshot or
// append), handed to `write` one by one: parts of at most about kRecordRowBytes, then the
// completing record (with no rows when the parts held them all).
template <typename Write>
void ForEachRowsRecord(const PointTableModel& table, char type, int firstGridRow, int lastGridRow,
                       Write write)
{
    std::string rows;
    std::uint32_t count = 0;
    const auto payload = [&] {
        std::string out;
        out.reserve(rows.size() + 4);
        PutU32(out, count);
        out.append(rows);
        rows.clear();
        count = 0;
        return out;
    };
    for (int row = firstGridRow; row <= lastGridRow; ++row) {
        PutBytes(rows, table.PackedRow(row));
        ++count;
        if (rows.size() >= kRecordRowBytes && row < lastGridRow)
            write(Record(kRowsPart, payload()));
    }
    write(Record(type, payload()));
}

std::string Record(char type, const std::string& payload)
{
    std::string record;
    record.reserve(payload.size() + 9);
    record.push_back(type);
    PutU32(record, static_cast<std::uint32_t>(payload.size()));
    record.append(payload);
    PutU32(record, Crc32(record.data(), record.size()));
    return record;
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string Reason()
{
    return std::strerror(errno);
}

// Puts the bytes `write` gives (called with a function taking them piece by piece) in
// place of the file at `path`, atomically, and returns the new file still open and
// locked: it is locked before it takes the name, so that no other copy can take it as an
// orphan in between. Returns the size written in `written`.
template <typename Fill>
fileio::FileDescriptor CommitLocked(const std::filesystem::path& path, Fill fill, std::uint64_t& written)
{
    try {
        fileio::AtomicFile file(path, 0600);
        if (::flock(file.descriptor(), LOCK_EX | LOCK_NB) != 0)
            throw JournalError(i18n::Format(i18n::Translate("points", "无法锁定点表恢复文件 %1：%2"),
                                            {path.string(), Reason()}));
        written = 0;
        fill([&](std::string_view bytes) {
            file.Write(bytes);
            written += bytes.size();
        });
        return file.CommitKeepingOpen();
    } catch (const fileio::FileWriteError& error) {
        throw JournalError(i18n::Format(i18n::Translate("points", "无法写入点表恢复文件 %1：%2"),
                                        {path.string(), error.reason()}));
    }
}

bool ParseRows(std::string_view payload, std::vector<std::string>& parsed)
{
    std::uint32_t count = 0;
    if (!GetU32(payload, count))
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::string row;
        if (!GetBytes(payload, row))
            return false;
        parsed.push_back(std::move(row));
    }
    return true;
}

// Applies one record's payload to the rows, whole or not at all; false when the
// payload does not parse. The rows of parts wait in `pending` for the record that
// completes them.
bool Apply(char type, std::string_view payload, std::vector<std::string>& rows,
           std::vector<std::string>& pending)
{
    std::uint32_t a = 0, b = 0;
    if (type != kRowsPart && type != kSnapshot && type != kAppend && !pending.empty())
        return false;
    switch (type) {
    case kRowsPart:
        return ParseRows(payload, pending);
    case kSnapshot:
    case kAppend: {
        if (!ParseRows(payload, pending))
            return false;
        if (type == kSnapshot)
            rows.clear();
        if (rows.empty())
            rows.swap(pending);
        else
            rows.insert(rows.end(), std::make_move_iterator(pending.begin()),
                        std::make_move_iterator(pending.end()));
        pending.clear();
        return true;
    }
    case kRemove:
        if (!GetU32(payload, a) || !GetU32(payload, b) || a > rows.size() || b > rows.size() - a)
            return false;
        rows.erase(rows.begin() + a, rows.begin() + a + b);
        return true;
    case kClear:
        rows.clear();
        return true;
    case kEdit: {
        std::string text;
        if (!GetU32(payload, a) || a >= rows.size() || payload.empty())
            return false;
        const auto column = static_cast<unsigned char>(payload.front());
        payload.remove_prefix(1);
        if (column >= kColumnCount || !GetBytes(payload, text))
            return false;
        RowCells cells;
        const auto views = UnpackCellViews(rows[a]);
        for (int c = 0; c < kColumnCount; ++c)
            cells[c] = QString::fromUtf8(views[c].data(), static_cast<qsizetype>(views[c].size()));
        cells[column] = QString::fromStdString(text);
        rows[a] = PackRow(cells);
        return true;
    }
    default:
        return false;
    }
}

}  // namespace

std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t crc)
{
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    const auto* bytes = static_cast<const unsigned char*>(data);
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i)
        crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

PointJournal::PointJournal(const std::filesystem::path& path, PointTableModel& table)
    : path_(path), table_(table)
{
    if (JournalInUse(path_))
        throw JournalError(i18n::Format(
            i18n::Translate("points", "点表恢复文件 %1 正被另一个运行中的程序使用"), {path_.string()}));
    Start();
}

PointJournal::PointJournal(HeldJournal claimed, PointTableModel& table)
    : path_(std::move(claimed.path)), table_(table), file_(std::move(claimed.lock))
{
    Start();
}

void PointJournal::Start()
{
    WriteSnapshotFile();
    connect(&table_, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { OnRowsInserted(first, last); });
    connect(&table_, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last) { OnRowsRemoved(first, last); });
    connect(&table_, &QAbstractItemModel::modelReset, this, &PointJournal::OnReset);
    connect(&table_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                OnDataChanged(topLeft, bottomRight);
            });
}

PointJournal::~PointJournal()
{
    Close();
}

void PointJournal::Close()
{
    if (file_.valid()) {
        ::fdatasync(file_.get());
        file_.Close();  // releases the lock
    }
}

void PointJournal::Finish()
{
    disconnect(&table_, nullptr, this, nullptr);
    Close();
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
}

// Writes the whole table as one snapshot into a new file and puts it in place of the
// old journal. The new file is locked before it takes the journal's name, so the lock
// never lapses; closing the old one releases its lock.
void PointJournal::WriteSnapshotFile()
{
    std::uint64_t written = 0;
    fileio::FileDescriptor snapshot = CommitLocked(
        path_,
        [this](const auto& put) {
            put(std::string_view(kMagic, kMagicSize));
            ForEachRowsRecord(table_, kSnapshot, 1, table_.DataRowCount(),
                              [&](const std::string& record) { put(record); });
        },
        written);
    Close();
    file_ = std::move(snapshot);
    snapshotBytes_ = written;
    bytesSinceSnapshot_ = 0;
    lastSync_ = std::chrono::steady_clock::now();
}

void PointJournal::WriteRecord(char type, const std::string& payload)
{
    WriteRecordBytes(Record(type, payload), true);
}

void PointJournal::WriteRows(char type, int firstGridRow, int lastGridRow)
{
    // A snapshot may take the journal's place only after a change's last record, never
    // between its parts.
    ForEachRowsRecord(table_, type, firstGridRow, lastGridRow, [this](const std::string& record) {
        WriteRecordBytes(record, record.front() != kRowsPart);
    });
}

void PointJournal::WriteRecordBytes(const std::string& record, bool mayCompact)
{
    if (!file_.valid())
        return;
    if (!WriteAll(file_.get(), record)) {
        // A journal that cannot be written is given up; the table itself is untouched.
        Close();
        return;
    }
    bytesSinceSnapshot_ += record.size();
    const auto now = std::chrono::steady_clock::now();
    if (now - lastSync_ >= kSyncInterval) {
        ::fdatasync(file_.get());
        lastSync_ = now;
    }
    if (mayCompact && bytesSinceSnapshot_ > kCompactionFloorBytes &&
        bytesSinceSnapshot_ > 2 * snapshotBytes_) {
        try {
            WriteSnapshotFile();
        } catch (const JournalError&) {
            // The old journal stays valid and in use.
        }
    }
}

void PointJournal::OnRowsInserted(int first, int last)
{
    WriteRows(kAppend, first + 1, last + 1);
}

void PointJournal::OnRowsRemoved(int first, int last)
{
    std::string payload;
    PutU32(payload, static_cast<std::uint32_t>(first));
    PutU32(payload, static_cast<std::uint32_t>(last - first + 1));
    WriteRecord(kRemove, payload);
}

void PointJournal::OnReset()
{
    // The table is reset only when it is cleared; a snapshot says the same for any reset.
    if (table_.DataRowCount() == 0)
        WriteRecord(kClear, {});
    else
        WriteRows(kSnapshot, 1, table_.DataRowCount());
}

void PointJournal::OnDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight)
{
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
        for (int column = topLeft.column(); column <= bottomRight.column(); ++column) {
            std::string payload;
            PutU32(payload, static_cast<std::uint32_t>(row));
            payload.push_back(static_cast<char>(column));
            PutBytes(payload, table_.CellView(column, row + 1));
            WriteRecord(kEdit, payload);
        }
    }
}

std::optional<RecoveredTable> ReadJournal(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty())
        return RecoveredTable{};
    if (bytes.compare(0, kMagicSize, kMagic) != 0)
        throw JournalError(
            i18n::Format(i18n::Translate("points", "文件 %1 不是点表恢复文件"), {path.string()}));
    RecoveredTable recovered;
    std::vector<std::string> pending;
    std::string_view rest(bytes);
    rest.remove_prefix(kMagicSize);
    while (!rest.empty()) {
        std::string_view header = rest.substr(1);
        std::uint32_t size = 0;
        if (!GetU32(header, size) || header.size() < std::size_t{size} + 4) {
            recovered.damagedTail = true;
            break;
        }
        const std::size_t recordSize = 5 + std::size_t{size};
        std::string_view crcBytes = rest.substr(recordSize, 4);
        std::uint32_t crc = 0;
        GetU32(crcBytes, crc);
        if (crc != Crc32(rest.data(), recordSize) ||
            !Apply(rest[0], rest.substr(5, size), recovered.packedRows, pending)) {
            recovered.damagedTail = true;
            break;
        }
        rest.remove_prefix(recordSize + 4);
    }
    // Parts without the record that completes them: a change cut by a crash.
    if (!pending.empty())
        recovered.damagedTail = true;
    return recovered;
}

void WriteJournalFile(const std::filesystem::path& path, const std::vector<std::string>& packedRows)
{
    std::string payload;
    PutU32(payload, static_cast<std::uint32_t>(packedRows.size()));
    for (const std::string& row : packedRows)
        PutBytes(payload, row);
    std::uint64_t written = 0;
    CommitLocked(
        path,
        [&](const auto& put) {
            put(std::string_view(kMagic, kMagicSize));
            put(Record(kSnapshot, payload));
        },
        written);
}

bool JournalInUse(const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return locked;
}

}  // namespace keldarn::points
