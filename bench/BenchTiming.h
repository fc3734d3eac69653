// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace timing {

using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Medians, not means: one run disturbed by another process must not move the figure.
inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// "median M ms of N (min A, max B)" after `label`, without a line end.
inline void printSpread(const char* label, const std::vector<double>& runs)
{
    if (runs.empty())
        return;
    std::printf("%s median %.1f ms of %zu (min %.1f, max %.1f)", label, median(runs), runs.size(),
        *std::min_element(runs.begin(), runs.end()), *std::max_element(runs.begin(), runs.end()));
}

// [FILES] [RUNS], the arguments of the in-memory benchmarks: `files` stays as given
// when there is no first argument; at least 5 runs, 7 by default.
inline int runArguments(int argc, char** argv, std::size_t& files)
{
    if (argc > 1)
        files = std::strtoull(argv[1], nullptr, 10);
    return argc > 2 ? std::max(5, std::atoi(argv[2])) : 7;
}

// A "Vm…:" figure of /proc/self/status in KiB ("VmRSS", "VmHWM"), 0 when unknown.
inline long statusKiB(const char* field)
{
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return 0;
    char line[256];
    long kib = 0;
    const std::size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
            kib = std::atol(line + length + 1);
            break;
        }
    std::fclose(status);
    return kib;
}

} // namespace timing
