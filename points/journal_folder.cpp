#include "points/journal_folder.h"

#include "i18n/interface_text.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace keldarn::points {
namespace {

constexpr std::string_view kStem = "Keldarn.";
constexpr std::string_view kJournalExtension = "journal";
constexpr std::string_view kBackupExtension = ".bak";
// More copies than anyone runs at once; past it a start keeps no journal.
constexpr int kMostCopies = 999;
// A name can vanish between the open and the lock (its holder recovered it and removed
// it, or replaced it by a snapshot); the claim then tries the same name again.
constexpr int kTriesPerName = 8;

enum class Lock { kTaken, kHeld, kGone, kFailed };

// Opens `path` and locks it without waiting. kGone when the name no longer refers to a file
// or to the file locked: whoever held it last has removed or replaced it since the open.
Lock TryLock(const std::filesystem::path& path, int openFlags, fileio::FileDescriptor& fd, int& error)
{
    fd = fileio::FileDescriptor(::open(path.c_str(), openFlags | O_CLOEXEC, 0600));
    if (!fd.valid()) {
        error = errno;
        return error == ENOENT && (openFlags & O_CREAT) == 0 ? Lock::kGone : Lock::kFailed;
    }
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        fd.Close();
        return Lock::kHeld;
    }
    struct stat opened {};
    struct stat named {};
    if (::fstat(fd.get(), &opened) != 0 || ::stat(path.c_str(), &named) != 0 ||
        opened.st_dev != named.st_dev || opened.st_ino != named.st_ino) {
        fd.Close();
        return Lock::kGone;
    }
    return Lock::kTaken;
}

}  // namespace

std::filesystem::path JournalPathOf(const std::filesystem::path& folder, int copy)
{
    std::string name(kStem);
    if (copy > 1)
        name += std::to_string(copy) + '.';
    return folder / (name + std::string(kJournalExtension));
}

std::optional<int> JournalCopyNumber(const std::string& fileName)
{
    std::string_view name(fileName);
    if (!name.starts_with(kStem) || !name.ends_with(kJournalExtension))
        return std::nullopt;
    name.remove_prefix(kStem.size());
    name.remove_suffix(kJournalExtension.size());
    if (name.empty())
        return 1;
    if (!name.ends_with('.') || name.front() == '0')
        return std::nullopt;
    name.remove_suffix(1);
    int copy = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), copy);
    if (error != std::errc() || end != name.data() + name.size() || copy < 2)
        return std::nullopt;
    return copy;
}

HeldJournal ClaimJournal(const std::filesystem::path& folder)
{
    for (int copy = 1; copy <= kMostCopies; ++copy) {
        const std::filesystem::path path = JournalPathOf(folder, copy);
        for (int attempt = 0; attempt < kTriesPerName; ++attempt) {
            fileio::FileDescriptor fd;
            int error = 0;
            const Lock lock = TryLock(path, O_RDONLY | O_CREAT, fd, error);
            if (lock == Lock::kTaken)
                return {path, std::move(fd)};
            if (lock == Lock::kFailed)
                throw JournalError(i18n::Format(i18n::Translate("points", "无法写入点表恢复文件 %1：%2"),
                                                {path.string(), std::strerror(error)}));
            if (lock == Lock::kHeld)
                break;
        }
    }
    throw JournalError(i18n::Format(i18n::Translate("points", "点表恢复文件 %1 正被另一个运行中的程序使用"),
                                    {JournalPathOf(folder, kMostCopies).string()}));
}

std::vector<HeldJournal> LockOrphanJournals(const std::filesystem::path& folder)
{
    std::vector<std::pair<int, std::filesystem::path>> journals;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (const auto copy = JournalCopyNumber(entry.path().filename().string()))
            journals.emplace_back(*copy, entry.path());
    std::sort(journals.begin(), journals.end());
    std::vector<HeldJournal> orphans;
    for (auto& [copy, path] : journals) {
        fileio::FileDescriptor fd;
        int ignored = 0;
        if (TryLock(path, O_RDONLY, fd, ignored) == Lock::kTaken)
            orphans.push_back({std::move(path), std::move(fd)});
    }
    return orphans;
}

std::filesystem::path BackupPathOf(const std::filesystem::path& journal)
{
    return std::filesystem::path(journal).concat(kBackupExtension);
}

std::filesystem::path JournalOfBackup(const std::filesystem::path& backup)
{
    return backup.parent_path() / backup.stem();
}

std::vector<std::filesystem::path> SettledBackups(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> settled;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::filesystem::path& path = entry.path();
        if (path.extension() == kBackupExtension && JournalCopyNumber(path.stem().string()) &&
            !JournalInUse(JournalOfBackup(path)))
            settled.push_back(path);
    }
    return settled;
}

}  // namespace keldarn::points
