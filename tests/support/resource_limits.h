#pragma once

// Process resources seen and limited by tests of large and hostile inputs.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstddef>
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>

namespace keldarn::testing {

// A memory field of /proc/self/status ("VmHWM", "VmSize", ...), kilobytes.
inline double ProcessStatusKB(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == field + ":") {
            double kB = 0;
            status >> kB;
            return kB;
        }
    }
    return 0;
}

// The process's peak resident memory so far (VmHWM), megabytes.
inline double PeakResidentMB()
{
    return ProcessStatusKB("VmHWM") / 1024.0;
}

// Runs `work` (returning an exit code 0..123) in a forked child whose address space may grow by
// at most `extraBytes` beyond the test process's: an allocation past that fails there with
// std::bad_alloc instead of taking the machine's memory. Returns the child's wait status: a crash
// is WIFSIGNALED, an exception escaping `work` exits with 124. The child shares no results but
// its exit code; it reports details on standard error.
template <class Work> int RunWithAddressSpaceLimit(std::size_t extraBytes, Work work)
{
    const auto mappedBytes = static_cast<rlim_t>(ProcessStatusKB("VmSize") * 1024.0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlimit limit{mappedBytes + extraBytes, mappedBytes + extraBytes};
        ::setrlimit(RLIMIT_AS, &limit);
        int code = 124;
        try {
            code = work();
        } catch (const std::exception& error) {
            std::fprintf(stderr, "%s\n", error.what());
        } catch (...) {
        }
        ::_exit(code);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    return status;
}

// While it lives, files of this process cannot grow beyond `bytes`: a full disk. Writes
// past the limit fail with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

}  // namespace keldarn::testing
