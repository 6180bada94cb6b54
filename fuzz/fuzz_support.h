#pragma once

// Shared by the fuzz targets: an input as a file the readers open by name, and the
// checks every reader's failure has to pass.

#include "encoding/text_encoding.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

namespace keldarn::fuzz {

// Stops the run with a finding: libFuzzer saves the input that caused it.
[[noreturn]] inline void Finding(const std::string& what)
{
    std::fprintf(stderr, "FINDING: %s\n", what.c_str());
    std::abort();
}

inline void Require(bool condition, const std::string& what)
{
    if (!condition)
        Finding(what);
}

// A file in memory (memfd), reachable by the path /proc/self/fd/<n>, so that readers
// that take a path read the input without touching the disk. One per target, rewritten
// for every input.
class MemoryFile {
public:
    explicit MemoryFile(const char* name) : fd_(::memfd_create(name, MFD_CLOEXEC))
    {
        Require(fd_ >= 0, "memfd_create failed");
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~MemoryFile() { ::close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    void Replace(const std::uint8_t* data, std::size_t size)
    {
        Require(::ftruncate(fd_, 0) == 0, "ftruncate failed");
        std::size_t done = 0;
        while (done < size) {
            const ssize_t written = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            Require(written > 0, "pwrite failed");
            done += static_cast<std::size_t>(written);
        }
    }
    const std::string& path() const { return path_; }

private:
    int fd_;
    std::string path_;
};

// A message for the user: names the file, is valid UTF-8 (it goes into a message box),
// and is not absurdly long.
inline void CheckMessage(std::string_view message, std::string_view fileName)
{
    Require(message.find(fileName) != std::string_view::npos,
            "message does not name the file: " + std::string(message));
    Require(encoding::IsValidUtf8(message), "message is not valid UTF-8: " + std::string(message));
    Require(message.size() < 4096, "message of " + std::to_string(message.size()) + " bytes");
}

}  // namespace keldarn::fuzz
