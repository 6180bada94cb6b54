#pragma once

// Process resources seen and limited by tests of large and hostile inputs.

#include <sys/resource.h>

#include <csignal>
#include <fstream>
#include <string>

namespace keldarn::testing {

// The process's peak resident memory so far (VmHWM), megabytes.
inline double PeakResidentMB()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            double kB = 0;
            status >> kB;
            return kB / 1024.0;
        }
    }
    return 0;
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
