#include "fileio/atomic_file.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace keldarn::fileio {
namespace {

// Owns a descriptor of the temporary file and removes the file unless it was committed.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::filesystem::path& target) { Create(target); }
    ~TemporaryFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!committed_)
            ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // 0 on success, otherwise the errno of the failing call.
    int Write(std::string_view bytes);
    int SetMode(mode_t mode) { return ::fchmod(fd_, mode) == 0 ? 0 : errno; }
    int SyncAndClose();
    int RenameOver(const std::filesystem::path& target);
    int createError() const { return createError_; }

private:
    void Create(const std::filesystem::path& target);

    std::filesystem::path path_;
    int fd_ = -1;
    int createError_ = 0;
    bool committed_ = false;
};

void TemporaryFile::Create(const std::filesystem::path& target)
{
    // O_EXCL on a random name: never reuses or follows a file someone else put there.
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        path_ = target;
        path_ += ".tmp-" + std::to_string(random() % 1'000'000'000);
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0)
            return;
        if (errno != EEXIST)
            break;
    }
    createError_ = errno;
    committed_ = true;  // nothing of ours to remove
}

int TemporaryFile::Write(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

int TemporaryFile::SyncAndClose()
{
    const int syncError = ::fsync(fd_) == 0 ? 0 : errno;
    // Some file systems report a failed write only at close.
    const int closeError = ::close(fd_) == 0 ? 0 : errno;
    fd_ = -1;
    return syncError != 0 ? syncError : closeError;
}

int TemporaryFile::RenameOver(const std::filesystem::path& target)
{
    if (::rename(path_.c_str(), target.c_str()) != 0)
        return errno;
    committed_ = true;
    return 0;
}

// The file to replace: the target itself, or the file a symbolic link points to.
std::filesystem::path ResolveTarget(const std::filesystem::path& target)
{
    std::error_code error;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(target, error))) {
        const std::filesystem::path resolved = std::filesystem::weakly_canonical(target, error);
        if (!error)
            return resolved;
    }
    return target;
}

// Durability of the rename itself; a failure here no longer endangers any data.
void SyncFolder(const std::filesystem::path& file)
{
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

void WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes)
{
    const std::filesystem::path file = ResolveTarget(target);
    struct stat existing {};
    const bool exists = ::stat(file.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        throw FileWriteError(target, DescribeSystemError(EISDIR));

    TemporaryFile temporary(file);
    int error = temporary.createError();
    if (error == 0)
        error = temporary.Write(bytes);
    if (error == 0 && exists)
        error = temporary.SetMode(existing.st_mode & 07777);
    if (error == 0)
        error = temporary.SyncAndClose();
    if (error == 0)
        error = temporary.RenameOver(file);
    if (error != 0)
        throw FileWriteError(target, DescribeSystemError(error));
    SyncFolder(file);
}

}  // namespace keldarn::fileio
