// What the plant benchmark programs share: their temporary directories on the real disk
// (/var/tmp, not a tmpfs; removed at the end unless TARVEDDE_BENCH_KEEP is set), the
// programs built beside them, how long they run and their command line.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

namespace tarvedde::bench {

class BenchDir {
public:
    explicit BenchDir(const std::string& name) {
        std::string pattern = "/var/tmp/tarvedde-" + name + "-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern + "/";
        }
    }
    ~BenchDir() {
        if (!path_.empty() && std::getenv("TARVEDDE_BENCH_KEEP") == nullptr) {
            std::error_code ignored;
            std::filesystem::remove_all(path_, ignored);
        }
    }
    BenchDir(const BenchDir&) = delete;
    BenchDir& operator=(const BenchDir&) = delete;

    bool ok() const { return !path_.empty(); }
    // Ends with '/'.
    const std::string& Path() const { return path_; }
    // A subdirectory, created; ends with '/'.
    std::string Sub(const std::string& name) const {
        std::filesystem::create_directories(path_ + name);
        return path_ + name + "/";
    }

private:
    std::string path_;
};

// A program of the build tree: bench/ sits beside app/ and tools/.
inline std::string BuiltProgram(const std::string& relative) {
    const auto self = std::filesystem::read_symlink("/proc/self/exe");
    return (self.parent_path().parent_path() / relative).string();
}

// --quick for a short run of the command; --smoke for ctest, a few cycles that only show
// the program still works (it fails when a check of its own fails, never on a target).
enum class RunLength { Full, Quick, Smoke };

// None for any other argument: a mistyped --quick must not start a ten-minute run.
inline std::optional<RunLength> RunLengthOf(int argc, char** argv) {
    RunLength length = RunLength::Full;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (flag != "--smoke" && flag != "--quick") {
            return std::nullopt;
        }
        length = flag == "--smoke" ? RunLength::Smoke : RunLength::Quick;
    }
    return length;
}

// A plant benchmark's main: `run(length, dir)` in a fresh directory `name`. Exit status 2
// for a wrong command line, 1 without a directory, else what `run` returns.
template <class Run>
int BenchMain(int argc, char** argv, const std::string& name, Run run) {
    const std::optional<RunLength> length = RunLengthOf(argc, argv);
    if (!length) {
        std::cerr << "usage: " << argv[0] << " [--quick | --smoke]\n";
        return 2;
    }
    const BenchDir root(name);
    if (!root.ok()) {
        std::cerr << "cannot make a directory under /var/tmp\n";
        return 1;
    }
    return run(*length, root);
}

// The figure for each length.
template <class T>
T ByLength(RunLength length, T full, T quick, T smoke) {
    return length == RunLength::Full ? full : length == RunLength::Quick ? quick : smoke;
}

}  // namespace tarvedde::bench
