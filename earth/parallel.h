#pragma once

// Splitting a loop over the machine's cores for the terrain's per-sample and per-pixel work.

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace keldarn::earth {

// How many threads the terrain work uses: the cores of the machine, at most 8.
inline int WorkerCount()
{
    return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 8);
}

// Calls body(begin, end) on contiguous parts of [0, count) from `threads` threads (the
// calling thread takes the first part) and returns when all are done. body must not throw.
template <typename Body> void ParallelFor(int count, Body&& body, int threads = WorkerCount())
{
    threads = std::clamp(threads, 1, std::max(count, 1));
    if (threads == 1) {
        body(0, count);
        return;
    }
    std::vector<std::jthread> workers;
    workers.reserve(threads - 1);
    for (int k = 1; k < threads; ++k)
        workers.emplace_back(
            [&body, k, count, threads] { body(count * k / threads, count * (k + 1) / threads); });
    body(0, count / threads);
}

// Lets the calling thread yield the cores to the GUI thread and its frames: background
// reads of terrain run at nice 10 (Linux sets nice per thread). Cannot be undone without
// privileges, so only for threads that do nothing but background work.
inline void LowerCurrentThreadPriority()
{
    thread_local const bool lowered = [] {
        return ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 10) == 0;
    }();
    (void)lowered;
}

}  // namespace keldarn::earth
