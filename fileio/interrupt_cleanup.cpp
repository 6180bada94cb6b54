#include "fileio/interrupt_cleanup.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace keldarn::fileio {
namespace {

// More files than any command writes at the same time.
constexpr int kEntries = 32;

// Free → Filling (Register copies the path) → Live → Free (Forget), or Live → Removing
// (the handler took it; the process is ending). Only Live entries are read by the handler,
// so it never sees a path being copied.
enum State : int { Free, Filling, Live, Removing };

struct Entry {
    std::atomic<int> state{Free};
    char path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs lock-free atomics");

Entry entries[kEntries];

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

void RemoveAndReraise(int signalNumber)
{
    for (Entry& entry : entries) {
        int expected = Live;
        if (entry.state.compare_exchange_strong(expected, Removing))
            ::unlink(entry.path);
    }
    // SA_RESETHAND has restored the default action and SA_NODEFER leaves the signal
    // unblocked: raising it ends the process here, as if no handler had been installed.
    ::raise(signalNumber);
}

}  // namespace

int RegisterTemporaryFile(const char* path) noexcept
{
    const std::size_t length = std::strlen(path);
    if (length >= PATH_MAX)
        return -1;
    for (int k = 0; k < kEntries; ++k) {
        int expected = Free;
        if (!entries[k].state.compare_exchange_strong(expected, Filling))
            continue;
        std::memcpy(entries[k].path, path, length + 1);
        entries[k].state.store(Live);
        return k;
    }
    return -1;
}

void ForgetTemporaryFile(int entry) noexcept
{
    if (entry < 0 || entry >= kEntries)
        return;
    // Fails only when the handler has taken the entry; it then stays Removing.
    int expected = Live;
    entries[entry].state.compare_exchange_strong(expected, Free);
}

void RemoveTemporaryFilesOnTermination()
{
    for (const int signalNumber : kSignals) {
        struct sigaction current {};
        if (::sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = RemoveAndReraise;
        action.sa_flags = SA_RESETHAND | SA_NODEFER;
        // The other two wait until this handler has removed the files.
        sigemptyset(&action.sa_mask);
        for (const int other : kSignals)
            if (other != signalNumber)
                sigaddset(&action.sa_mask, other);
        ::sigaction(signalNumber, &action, nullptr);
    }
}

}  // namespace keldarn::fileio
