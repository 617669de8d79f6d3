// What the plant benchmarks measure and how they print it: process CPU time, wall time,
// resident memory, percentiles, and one result line per figure for scripts/bench.sh.
#pragma once

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace tarvedde::bench {

inline std::int64_t CpuNs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

inline std::int64_t WallNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline double NsToMs(std::int64_t ns) {
    return static_cast<double>(ns) / 1e6;
}

inline double KbToMb(long kb) {
    return static_cast<double>(kb) / 1024.0;
}

// Nearest rank: the smallest sample with at least `percent` of the samples at or below it.
inline double Percentile(std::vector<double> samples, double percent) {
    if (samples.empty()) {
        return 0.0;
    }
    std::sort(samples.begin(), samples.end());
    const auto rank =
        static_cast<std::size_t>(std::ceil(percent / 100.0 * static_cast<double>(samples.size())));
    return samples[std::clamp<std::size_t>(rank, 1, samples.size()) - 1];
}

// A field of /proc/<pid>/status in kB (VmRSS, VmHWM); -1 when it cannot be read.
inline long StatusKb(const std::string& pid, const std::string& field) {
    std::ifstream status("/proc/" + pid + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(field + ":")) {
            return std::stol(line.substr(field.size() + 1));
        }
    }
    return -1;
}

// One line for scripts/bench.sh: figure, value, target, verdict ("-" without a target).
inline void Report(const std::string& figure, const std::string& value,
                   const std::string& target = "-", const std::string& verdict = "-") {
    std::cout << "RESULT\t" << figure << '\t' << value << '\t' << target << '\t' << verdict
              << std::endl;
}

inline std::string Fixed(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    const long long scaled = std::llround(value * scale);
    std::string digits = std::to_string(std::llabs(scaled));
    if (decimals > 0) {
        const auto places = static_cast<std::size_t>(decimals);
        if (digits.size() <= places) {
            digits.insert(0, places + 1 - digits.size(), '0');
        }
        const std::size_t point = digits.size() - places;
        digits = digits.substr(0, point) + '.' + digits.substr(point);
    }
    return (scaled < 0 ? "-" : "") + digits;
}

inline std::string Verdict(bool pass) {
    return pass ? "PASS" : "FAIL";
}

}  // namespace tarvedde::bench
