#pragma once

// Replacing a file in one step, so that a failure never leaves a half-written file and
// never destroys the file that was there. Every command that replaces a file the user
// keeps (export, KML, DXF, settings, the point journal) writes through AtomicFile.

#include "fileio/file_descriptor.h"
#include "fileio/file_error.h"

#include <filesystem>
#include <string_view>
#include <sys/types.h>

namespace keldarn::fileio {

// A new version of `target`, written piece by piece into a temporary file beside it
// and put in the target's place by Commit():
// - The temporary file gets a new random name, created exclusively: no file someone
//   else put there is ever reused or followed.
// - A target that already exists keeps its permission bits; a new one gets
//   `newFileMode` less the umask. A symbolic link is followed and the file it points to
//   is replaced, so the link stays.
// - Commit() forces the bytes to the disk before the rename, so that a crash or a power
//   cut leaves either the old file or the whole new one under the target's name.
// - Until Commit() has succeeded the target is untouched; the destructor removes the
//   temporary file of a write that was not committed (a failure, an exception of the
//   caller, a cancelled command). A program that calls RemoveTemporaryFilesOnTermination()
//   (interrupt_cleanup.h) also leaves none behind on SIGINT, SIGTERM or SIGHUP.
// Every failure throws FileWriteError naming the target and the reason; after one, the
// object is only to be destroyed.
class AtomicFile {
public:
    // Creates the temporary file. Throws FileWriteError when the target is a folder or
    // its folder cannot be written.
    explicit AtomicFile(const std::filesystem::path& target, mode_t newFileMode = 0666);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Appends `bytes` to the new version.
    void Write(std::string_view bytes);

    // Puts the new version in the target's place and closes it.
    void Commit();

    // As Commit(), but the file stays open: the descriptor returned refers to the file
    // now under the target's name, positioned after the bytes written, for a caller
    // that goes on appending (the point journal). Locks taken on descriptor() before
    // the commit are held by it.
    [[nodiscard]] FileDescriptor CommitKeepingOpen();

    // The temporary file's descriptor, for calls such as flock() before the commit.
    int descriptor() const { return file_.get(); }

private:
    void Publish(bool keepOpen);
    // Closes the temporary file, remembers the error for later calls and throws.
    [[noreturn]] void Fail(int errorNumber);

    std::filesystem::path target_;    // as given, for messages
    std::filesystem::path replaced_;  // the file that is replaced: target_ or a link's file
    std::filesystem::path temporary_;
    FileDescriptor file_;
    int registration_ = -1;  // entry of the temporary file in the signal handler's registry
    bool committed_ = false;
    int error_ = 0;  // errno of the first failure
};

// Writes `bytes` as the whole new content of `target` through AtomicFile.
void WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes);

}  // namespace keldarn::fileio
