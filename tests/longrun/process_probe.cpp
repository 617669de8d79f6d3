#include "tests/longrun/process_probe.h"

#include <malloc.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace tarvedde::longrun {
namespace {

std::int64_t ResidentKb() {
    std::ifstream statm("/proc/self/statm");
    std::int64_t sizePages = 0;
    std::int64_t residentPages = 0;
    if (!(statm >> sizePages >> residentPages)) {
        return -1;
    }
    return residentPages * (sysconf(_SC_PAGESIZE) / 1024);
}

// VmHWM: the most the process ever held in memory.
std::int64_t PeakResidentKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmHWM:")) {
            std::istringstream fields(line.substr(6));
            std::int64_t kb = -1;
            fields >> kb;
            return kb;
        }
    }
    return -1;
}

// The directory listing holds one descriptor of its own while it runs; it is not counted.
int OpenFiles() {
    std::error_code failed;
    int count = 0;
    for (std::filesystem::directory_iterator it("/proc/self/fd", failed), end; !failed && it != end;
         it.increment(failed)) {
        ++count;
    }
    return failed ? -1 : count - 1;
}

}  // namespace

ProcessSample SampleProcess() {
    const struct mallinfo2 heap = mallinfo2();
    return {ResidentKb(), PeakResidentKb(), OpenFiles(),
            static_cast<std::int64_t>((heap.uordblks + heap.hblkhd) / 1024)};
}

std::int64_t DirectoryKb(const std::string& dir) {
    std::error_code failed;
    std::uintmax_t bytes = 0;
    for (std::filesystem::recursive_directory_iterator it(dir, failed), end; !failed && it != end;
         it.increment(failed)) {
        if (it->is_regular_file(failed)) {
            bytes += it->file_size(failed);
        }
    }
    return static_cast<std::int64_t>(bytes / 1024);
}

}  // namespace tarvedde::longrun
