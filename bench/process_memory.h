#pragma once
// The process's memory as the kernel counts it, for the benchmarks' reports.

#include <fstream>
#include <string>

namespace tarnwick::bench {

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM"), or -1.
inline long StatusKb(const char* field)
{
    std::ifstream status("/proc/self/status");
    const std::string prefix = std::string(field) + ':';
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0) return std::stol(line.substr(prefix.size()));
    return -1;
}

inline long ResidentKb() { return StatusKb("VmRSS"); }
inline long PeakKb() { return StatusKb("VmHWM"); }

}  // namespace tarnwick::bench
