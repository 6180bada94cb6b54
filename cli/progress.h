#pragma once

// Progress of a long run on standard error: on a terminal a bar redrawn in place with the
// count, the rate and the time left; otherwise (a log, a batch system) one line every few
// seconds. Quiet prints nothing.

#include "survey/task_progress.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace keldarn::cli {

class Progress {
public:
    enum class Mode { Terminal, Lines, Quiet };

    // what: the work's name as shown (in the interface language); total: the work in
    // items (points, lines, files), 0 when unknown.
    Progress(std::string what, std::int64_t total, Mode mode, std::FILE* out = stderr);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Terminal when standard error is one, Lines otherwise, Quiet when asked.
    static Mode ModeFor(bool quiet);

    // `done` items so far; cheap enough to call per item (it looks at the clock only every
    // 4096 calls).
    void Update(std::int64_t done);
    // The same for a caller that reports seldom: once a batch, or a few times a second while
    // it waits for data. Looks at the clock on every call, so lines keep coming while
    // nothing moves, saying how long the run has been waiting.
    void Tick(std::int64_t done);
    // Prints the final state and ends the line.
    void Finish(std::int64_t done);

    // The text shown, e.g. "采样  1234567/5000000 点  24.7%  812345 点/秒  剩余 4秒"; after
    // waitingSeconds (≥ 2) without a new item, "等待数据 12秒" follows.
    static std::string Describe(const std::string& what, std::int64_t done, std::int64_t total,
                                double seconds, double waitingSeconds = 0.0);

private:
    void Print(std::int64_t done, bool final);
    void PrintIfDue(std::int64_t done);

    std::string what_;
    std::int64_t total_;
    Mode mode_;
    std::FILE* out_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastPrint_;
    std::uint32_t calls_ = 0;
    std::int64_t lastDone_ = 0;
    std::chrono::steady_clock::time_point lastChange_;  // when `done` last moved
    bool finished_ = false;
};

// Runs `work` (an operation of ops/) on a thread of its own while `progress` shows the share
// it has done, in thousandths, a few times a second; returns when the work has ended, or
// throws what it threw.
void RunWithProgress(const std::function<void(survey::TaskProgress&)>& work, Progress& progress);

}  // namespace keldarn::cli
