#pragma once

// Helpers shared by the point table benchmarks: rows as the grid sampling produces
// them, and the process's memory as the kernel reports it.

#include "geodesy/number_text.h"
#include "points/point_table_model.h"

#include <malloc.h>

#include <fstream>
#include <random>
#include <string>

namespace keldarn::bench {

// A sampled point near the default map place in a 3-degree zone: name = running number,
// no description, X about 3 682 000 m, Y about 458 000 m, H 50 to 150 m, all "0.000".
class SampledRows {
public:
    points::RowCells Next()
    {
        ++number_;
        return {QString::number(number_), QString(), Metres(3680000.0 + 5000.0 * unit_(random_)),
                Metres(455000.0 + 5000.0 * unit_(random_)), Metres(50.0 + 100.0 * unit_(random_))};
    }

private:
    static QString Metres(double value) { return QString::fromStdString(geodesy::FormatFixed(value, 3)); }

    std::mt19937_64 random_{20240611};
    std::uniform_real_distribution<double> unit_{0.0, 1.0};
    int number_ = 0;
};

// A field of /proc/self/status in megabytes: "VmRSS" (resident now) or "VmHWM" (peak
// resident since the start or the last ResetPeakMemory). 0 when it cannot be read.
inline double StatusMB(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == field + ":") {
            double kB = 0;
            status >> kB;
            return kB / 1024.0;
        }
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

// Resident memory with freed heap pages given back first, so that temporaries of an
// earlier step are not counted.
inline double TrimmedRssMB()
{
    ::malloc_trim(0);
    return StatusMB("VmRSS");
}

// Restarts VmHWM from the current resident size (Linux 4.0 and later).
inline void ResetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

}  // namespace keldarn::bench
