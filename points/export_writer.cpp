#include "points/export_writer.h"

#include "encoding/text_encoding.h"
#include "geodesy/number_text.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace keldarn::points {

namespace {

namespace fs = std::filesystem;

// Lines are gathered into chunks of about this many bytes (whole lines only) before
// they are encoded and written: large enough that the system calls and the converter
// cost nothing per line, small enough that the export's memory is independent of the
// table's size.
constexpr std::size_t kChunkBytes = 1 << 20;

std::string Utf8Path(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string ErrorText(int error)
{
    return std::error_code(error, std::generic_category()).message();
}

[[noreturn]] void Fail(const char* what, const fs::path& path, int error)
{
    throw ExportError(what + Utf8Path(path) + "：" + ErrorText(error));
}

// Owns a file descriptor.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    // Closes now, so that the error of the last deferred write is seen. Returns errno or 0.
    int Close()
    {
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int fd_;
};

// A new file beside the target that is removed again unless Keep() is called. Its name
// is unique in the folder: created with O_EXCL, so an existing file is never reused.
class TemporaryFile {
public:
    explicit TemporaryFile(const fs::path& target) : file_(CreateBeside(target, path_)) {}
    ~TemporaryFile()
    {
        if (!kept_)
            ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const fs::path& path() const { return path_; }
    FileDescriptor& file() { return file_; }
    void Keep() { kept_ = true; }

private:
    static int CreateBeside(const fs::path& target, fs::path& path)
    {
        const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
        const std::string stem =
            "." + target.filename().string() + ".keldarn-" + std::to_string(::getpid()) + "-";
        for (int attempt = 0;; ++attempt) {
            path = folder / (stem + std::to_string(attempt));
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0)
                return fd;
            if (errno != EEXIST || attempt == 1000)
                Fail("无法创建文件 ", target, errno);
        }
    }

    fs::path path_;  // declared before file_, which CreateBeside opens after setting it
    FileDescriptor file_;
    bool kept_ = false;
};

void WriteAll(int fd, std::string_view bytes, const fs::path& target)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            Fail("无法写入文件 ", target, errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

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
    ChunkWriter(int fd, const fs::path& target) : fd_(fd), target_(target), converter_("UTF-8", "GB18030") {}

    void Write(std::string_view utf8)
    {
        if (IsAscii(utf8)) {
            WriteAll(fd_, utf8, target_);
            return;
        }
        encoded_.clear();
        try {
            converter_.ConvertAppend(utf8, encoded_);
        } catch (const encoding::EncodingError& error) {
            throw ExportError("无法写入文件 " + Utf8Path(target_) + "：" + error.what());
        }
        WriteAll(fd_, encoded_, target_);
    }

private:
    int fd_;
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

void WriteLines(int fd, const PointTableModel& table, const ExportLayout& layout, const fs::path& target,
                const ExportProgress& progress)
{
    const int rowCount = table.DataRowCount();
    ProgressSteps steps(progress, rowCount);
    ChunkWriter writer(fd, target);
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

// A replaced file keeps its permission bits; a new one gets 0666 less the umask, which
// the open of the temporary file has already applied.
void CopyPermissions(int fd, const fs::path& target)
{
    struct stat existing {};
    if (::stat(target.c_str(), &existing) != 0)
        return;
    if (::fchmod(fd, existing.st_mode & 07777) != 0)
        Fail("无法设置文件权限 ", target, errno);
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

void ExportPointsFile(const PointTableModel& table, const ExportLayout& layout, const fs::path& target,
                      const ExportProgress& progress)
{
    TemporaryFile temp(target);
    const int fd = temp.file().get();
    CopyPermissions(fd, target);
    WriteLines(fd, table, layout, target, progress);
    if (::fsync(fd) != 0)
        Fail("无法写入文件 ", target, errno);
    if (const int error = temp.file().Close(); error != 0)
        Fail("无法写入文件 ", target, error);
    if (::rename(temp.path().c_str(), target.c_str()) != 0)
        Fail("无法替换文件 ", target, errno);
    temp.Keep();
}

}  // namespace keldarn::points
