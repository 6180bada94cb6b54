#pragma once

// Progress and cancellation of long terrain work (profiles, boundary sampling, contours),
// shared between the thread doing the work and the one watching it: the worker sets the
// fraction done and looks at the cancel flag between steps; the window (or the command
// line) reads the fraction and may cancel. Lock-free; safe from any thread.

#include <algorithm>
#include <atomic>
#include <stdexcept>

namespace keldarn::survey {

// Thrown by work that saw the cancel flag; whatever it built so far is dropped.
class TaskCancelled : public std::runtime_error {
public:
    TaskCancelled() : std::runtime_error("cancelled") {}
};

class TaskProgress {
public:
    // fraction: 0..1 of the work done (clamped).
    void Set(double fraction) { perMillion_.store(static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 1e6)); }
    double Fraction() const { return perMillion_.load() / 1e6; }

    void Cancel() { cancelled_.store(true); }
    bool Cancelled() const { return cancelled_.load(); }
    // For workers: throws TaskCancelled once the flag is set.
    void ThrowIfCancelled() const
    {
        if (Cancelled())
            throw TaskCancelled();
    }

private:
    std::atomic<int> perMillion_{0};
    std::atomic<bool> cancelled_{false};
};

}  // namespace keldarn::survey
