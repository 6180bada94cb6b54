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
    kRemove = 'D',    // u32 first model row, u32 count
    kClear = 'C',     // nothing
    kEdit = 'E',      // u32 model row, u8 column, then the new text
};

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

std::string RowsPayload(const PointTableModel& table, int firstGridRow, int lastGridRow)
{
    std::string payload;
    PutU32(payload, static_cast<std::uint32_t>(lastGridRow - firstGridRow + 1));
    for (int row = firstGridRow; row <= lastGridRow; ++row)
        PutBytes(payload, table.PackedRow(row));
    return payload;
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

// A whole journal file: the magic and one snapshot of the rows.
std::string SnapshotFile(const std::string& rowsPayload)
{
    return std::string(kMagic, kMagicSize) + Record(kSnapshot, rowsPayload);
}

// Puts `bytes` in place of the file at `path`, atomically, and returns the new file still
// open and locked: it is locked before it takes the name, so that no other copy can take
// it as an orphan in between.
fileio::FileDescriptor CommitLocked(const std::filesystem::path& path, const std::string& bytes)
{
    try {
        fileio::AtomicFile file(path, 0600);
        if (::flock(file.descriptor(), LOCK_EX | LOCK_NB) != 0)
            throw JournalError(i18n::Format(i18n::Translate("points", "无法锁定点表恢复文件 %1：%2"),
                                            {path.string(), Reason()}));
        file.Write(bytes);
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
// payload does not parse.
bool Apply(char type, std::string_view payload, std::vector<std::string>& rows)
{
    std::uint32_t a = 0, b = 0;
    switch (type) {
    case kSnapshot:
    case kAppend: {
        std::vector<std::string> parsed;
        if (!ParseRows(payload, parsed))
            return false;
        if (type == kSnapshot)
            rows.clear();
        rows.insert(rows.end(), std::make_move_iterator(parsed.begin()),
                    std::make_move_iterator(parsed.end()));
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
    const std::string bytes = SnapshotFile(RowsPayload(table_, 1, table_.DataRowCount()));
    fileio::FileDescriptor snapshot = CommitLocked(path_, bytes);
    Close();
    file_ = std::move(snapshot);
    snapshotBytes_ = bytes.size();
    bytesSinceSnapshot_ = 0;
    lastSync_ = std::chrono::steady_clock::now();
}

void PointJournal::WriteRecord(char type, const std::string& payload)
{
    if (!file_.valid())
        return;
    const std::string record = Record(type, payload);
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
    if (bytesSinceSnapshot_ > kCompactionFloorBytes && bytesSinceSnapshot_ > 2 * snapshotBytes_) {
        try {
            WriteSnapshotFile();
        } catch (const JournalError&) {
            // The old journal stays valid and in use.
        }
    }
}

void PointJournal::OnRowsInserted(int first, int last)
{
    WriteRecord(kAppend, RowsPayload(table_, first + 1, last + 1));
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
        WriteRecord(kSnapshot, RowsPayload(table_, 1, table_.DataRowCount()));
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
            !Apply(rest[0], rest.substr(5, size), recovered.packedRows)) {
            recovered.damagedTail = true;
            break;
        }
        rest.remove_prefix(recordSize + 4);
    }
    return recovered;
}

void WriteJournalFile(const std::filesystem::path& path, const std::vector<std::string>& packedRows)
{
    std::string payload;
    PutU32(payload, static_cast<std::uint32_t>(packedRows.size()));
    for (const std::string& row : packedRows)
        PutBytes(payload, row);
    CommitLocked(path, SnapshotFile(payload));
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
