#include "fileio/atomic_file.h"

#include "fileio/interrupt_cleanup.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace keldarn::fileio {
namespace {

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

// O_EXCL on a random name: never reuses or follows a file someone else put there, and a
// left-over of a crashed run is never in the way. Sets `path`; returns the descriptor,
// or -1 with errno set.
int CreateBeside(const std::filesystem::path& file, mode_t mode, std::filesystem::path& path)
{
    std::random_device seed;
    std::mt19937_64 random((static_cast<std::uint64_t>(seed()) << 32) ^ seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = file;
        path += ".tmp-" + std::to_string(random() % 1'000'000'000);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Durability of the rename itself; a failure here no longer endangers any data.
void SyncFolder(const std::filesystem::path& file)
{
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    const FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid())
        ::fsync(fd.get());
}

}  // namespace

AtomicFile::AtomicFile(const std::filesystem::path& target, mode_t newFileMode)
    : target_(target), replaced_(ResolveTarget(target))
{
    struct stat existing {};
    const bool exists = ::stat(replaced_.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        Fail(EISDIR);
    file_ = FileDescriptor(CreateBeside(replaced_, newFileMode, temporary_));
    if (!file_.valid()) {
        temporary_.clear();
        Fail(errno);
    }
    registration_ = RegisterTemporaryFile(temporary_.c_str());
    if (exists && ::fchmod(file_.get(), existing.st_mode & 07777) != 0) {
        const int error = errno;
        file_.Close();
        ::unlink(temporary_.c_str());  // no destructor runs for a throwing constructor
        ForgetTemporaryFile(registration_);
        Fail(error);
    }
}

AtomicFile::~AtomicFile()
{
    file_.Close();
    if (!committed_ && !temporary_.empty())
        ::unlink(temporary_.c_str());
    ForgetTemporaryFile(registration_);
}

void AtomicFile::Fail(int errorNumber)
{
    error_ = errorNumber;
    file_.Close();
    throw FileWriteError(target_, DescribeSystemError(errorNumber));
}

void AtomicFile::Write(std::string_view bytes)
{
    if (error_ != 0)
        Fail(error_);
    while (!bytes.empty()) {
        const ssize_t written = ::write(file_.get(), bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            Fail(errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void AtomicFile::Publish(bool keepOpen)
{
    if (error_ != 0 || committed_)
        Fail(error_ != 0 ? error_ : EBADF);
    if (::fsync(file_.get()) != 0)
        Fail(errno);
    // Some file systems report a failed write only at close, so it comes before the rename.
    if (!keepOpen) {
        if (const int error = file_.Close(); error != 0)
            Fail(error);
    }
    if (::rename(temporary_.c_str(), replaced_.c_str()) != 0)
        Fail(errno);
    committed_ = true;
    ForgetTemporaryFile(std::exchange(registration_, -1));
    SyncFolder(replaced_);
}

void AtomicFile::Commit()
{
    Publish(false);
}

FileDescriptor AtomicFile::CommitKeepingOpen()
{
    Publish(true);
    return std::move(file_);
}

void WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes)
{
    AtomicFile file(target);
    file.Write(bytes);
    file.Commit();
}

}  // namespace keldarn::fileio
