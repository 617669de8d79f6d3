// What the long run watches of its own process and of the program directory. Linux
// only: the figures come from /proc/self.
#pragma once

#include <cstdint>
#include <string>

namespace tarvedde::longrun {

struct ProcessSample {
    std::int64_t residentKb = -1;  // -1: /proc did not tell
    std::int64_t peakResidentKb = -1;
    int openFiles = -1;
    // What the program holds on the heap: unlike the resident pages, it moves by the byte.
    std::int64_t heapInUseKb = -1;
};

ProcessSample SampleProcess();

// The bytes of the regular files below `dir`, in KiB.
std::int64_t DirectoryKb(const std::string& dir);

}  // namespace tarvedde::longrun
