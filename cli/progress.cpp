#include "cli/progress.h"

#include "i18n/interface_text.h"

#include <unistd.h>

#include <cmath>
#include <future>

namespace keldarn::cli {

namespace {

using Clock = std::chrono::steady_clock;

// How often the display changes: a terminal's bar ten times a second, a log's line every
// five seconds.
constexpr auto kTerminalInterval = std::chrono::milliseconds(100);
constexpr auto kLineInterval = std::chrono::seconds(5);
// A run that has made no progress for this long says it is waiting (for a server, a disk).
constexpr double kWaitingNoteSeconds = 2.0;

std::string Duration(double seconds)
{
    const auto s = static_cast<long long>(std::llround(seconds));
    if (s >= 3600)
        return i18n::Format(i18n::Translate("cli", "%1时%2分"),
                            {std::to_string(s / 3600), std::to_string(s % 3600 / 60)});
    if (s >= 60)
        return i18n::Format(i18n::Translate("cli", "%1分%2秒"),
                            {std::to_string(s / 60), std::to_string(s % 60)});
    return i18n::Format(i18n::Translate("cli", "%1秒"), {std::to_string(s)});
}

}  // namespace

Progress::Progress(std::string what, std::int64_t total, Mode mode, std::FILE* out)
    : what_(std::move(what)), total_(total), mode_(mode), out_(out), start_(Clock::now()), lastPrint_(start_),
      lastChange_(start_)
{
}

Progress::~Progress()
{
    // A run that ends by an error leaves the bar's line ended, so the message stands alone.
    if (!finished_ && mode_ == Mode::Terminal)
        std::fputc('\n', out_);
}

Progress::Mode Progress::ModeFor(bool quiet)
{
    if (quiet)
        return Mode::Quiet;
    return ::isatty(STDERR_FILENO) ? Mode::Terminal : Mode::Lines;
}

std::string Progress::Describe(const std::string& what, std::int64_t done, std::int64_t total, double seconds,
                               double waitingSeconds)
{
    char buffer[160];
    const double rate = seconds > 0.0 ? static_cast<double>(done) / seconds : 0.0;
    std::string text = what + "  " + std::to_string(done);
    if (total > 0) {
        std::snprintf(buffer, sizeof buffer, "/%lld  %.1f%%", static_cast<long long>(total),
                      100.0 * static_cast<double>(done) / static_cast<double>(total));
        text += buffer;
    }
    std::snprintf(buffer, sizeof buffer, "%.0f", rate);
    text += "  " + i18n::Format(i18n::Translate("cli", "%1/秒"), {buffer});
    if (total > 0 && rate > 0.0 && done < total)
        text += "  " + i18n::Format(i18n::Translate("cli", "剩余 %1"),
                                    {Duration(static_cast<double>(total - done) / rate)});
    text += "  " + i18n::Format(i18n::Translate("cli", "用时 %1"), {Duration(seconds)});
    if (waitingSeconds >= kWaitingNoteSeconds)
        text += "  " + i18n::Format(i18n::Translate("cli", "等待数据 %1"), {Duration(waitingSeconds)});
    return text;
}

void Progress::Update(std::int64_t done)
{
    if (mode_ == Mode::Quiet || (++calls_ & 4095u) != 0)
        return;
    PrintIfDue(done);
}

void Progress::Tick(std::int64_t done)
{
    if (mode_ != Mode::Quiet)
        PrintIfDue(done);
}

void Progress::PrintIfDue(std::int64_t done)
{
    const auto now = Clock::now();
    if (done != lastDone_) {
        lastDone_ = done;
        lastChange_ = now;
    }
    if (now - lastPrint_ <
        (mode_ == Mode::Terminal ? Clock::duration(kTerminalInterval) : Clock::duration(kLineInterval)))
        return;
    lastPrint_ = now;
    Print(done, false);
}

void Progress::Finish(std::int64_t done)
{
    if (mode_ != Mode::Quiet && !finished_)
        Print(done, true);
    finished_ = true;
}

void Progress::Print(std::int64_t done, bool final)
{
    const auto now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double waiting = final ? 0.0 : std::chrono::duration<double>(now - lastChange_).count();
    const std::string text = Describe(what_, done, total_, seconds, waiting);
    if (mode_ == Mode::Terminal)
        std::fprintf(out_, "\r\033[K%s%s", text.c_str(), final ? "\n" : "");
    else
        std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

void RunWithProgress(const std::function<void(survey::TaskProgress&)>& work, Progress& progress)
{
    constexpr std::int64_t kWhole = 1000;
    survey::TaskProgress shared;
    auto running = std::async(std::launch::async, [&work, &shared] { work(shared); });
    while (running.wait_for(std::chrono::milliseconds(200)) != std::future_status::ready)
        progress.Tick(static_cast<std::int64_t>(shared.Fraction() * kWhole));
    running.get();
    progress.Finish(kWhole);
}

}  // namespace keldarn::cli
