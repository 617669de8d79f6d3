// The floor of one acquisition cycle: the same bytes to the same files with the same
// write, append, rename and delete sequence, with plain POSIX calls and no work besides.
//
//   tarvedde_floor [--rename] RECORDING DIR        one replay per line read from stdin;
//                                                answers each with its wall and CPU time
//                                                in nanoseconds
//   tarvedde_floor [--rename] RECORDING DIR COUNT  COUNT replays; prints the median wall
//
// The opening flags match the client's file layer (truncate for a write, in place for a
// scratch write, O_APPEND for an append, fsync when the write was durable; a swap exchanges
// the two names). --rename replays a scratch write and its swap the common way instead: a
// new file written and renamed over the target, as the client wrote them before it kept
// its scratch files.
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "bench/file_operations.h"

namespace {

using tarvedde::bench::FileOperation;

bool WriteFully(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool Replay(const FileOperation& op, const std::string& dir, bool renameOver) {
    const std::string path = op.path.starts_with('/') ? op.path : dir + op.path;
    switch (op.kind) {
        case FileOperation::Kind::Write:
        case FileOperation::Kind::Append: {
            const int flags = O_WRONLY | O_CREAT | O_CLOEXEC |
                              (op.kind == FileOperation::Kind::Write ? O_TRUNC : O_APPEND);
            const int fd = ::open(path.c_str(), flags, 0644);
            if (fd < 0) {
                return false;
            }
            const bool written = WriteFully(fd, op.bytes) && (!op.durable || ::fsync(fd) == 0);
            return ::close(fd) == 0 && written;
        }
        case FileOperation::Kind::Remove:
            return ::unlink(path.c_str()) == 0;
        case FileOperation::Kind::Rename: {
            const std::string target = op.target.starts_with('/') ? op.target : dir + op.target;
            return ::rename(path.c_str(), target.c_str()) == 0;
        }
        case FileOperation::Kind::Scratch: {
            const int fd = ::open(
                path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (renameOver ? O_TRUNC : 0), 0644);
            if (fd < 0) {
                return false;
            }
            const bool written = WriteFully(fd, op.bytes) &&
                                 ::ftruncate(fd, static_cast<off_t>(op.bytes.size())) == 0;
            return ::close(fd) == 0 && written;
        }
        case FileOperation::Kind::Swap: {
            const std::string target = op.target.starts_with('/') ? op.target : dir + op.target;
            if (renameOver) {
                return ::rename(path.c_str(), target.c_str()) == 0;
            }
            return ::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) ==
                       0 ||
                   ::rename(path.c_str(), target.c_str()) == 0;
        }
    }
    return false;
}

long long CpuNs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// Wall nanoseconds of one replay; -1 when an operation failed.
long long ReplayOnce(const std::vector<FileOperation>& operations, const std::string& dir,
                     bool renameOver) {
    const auto start = std::chrono::steady_clock::now();
    for (const FileOperation& op : operations) {
        if (!Replay(op, dir, renameOver)) {
            std::perror(op.path.c_str());
            return -1;
        }
    }
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                                start)
        .count();
}

}  // namespace

int main(int argc, char** argv) {
    const bool renameOver = argc > 1 && std::string(argv[1]) == "--rename";
    if (renameOver) {
        --argc;
        ++argv;
    }
    if (argc != 3 && argc != 4) {
        std::cerr << "usage: tarvedde_floor [--rename] RECORDING DIR [COUNT]\n";
        return 2;
    }
    const auto operations = tarvedde::bench::LoadOperations(argv[1]);
    if (!operations) {
        std::cerr << "cannot read the recording " << argv[1] << '\n';
        return 1;
    }
    std::string dir = argv[2];
    if (!dir.ends_with('/')) {
        dir += '/';
    }
    if (argc == 4) {
        std::vector<long long> walls;
        for (int i = std::max(1, std::atoi(argv[3])); i > 0; --i) {
            walls.push_back(ReplayOnce(*operations, dir, renameOver));
            if (walls.back() < 0) {
                return 1;
            }
        }
        const auto middle = walls.begin() + static_cast<std::ptrdiff_t>(walls.size() / 2);
        std::nth_element(walls.begin(), middle, walls.end());
        std::cout << *middle << '\n';
        return 0;
    }
    for (std::string line; std::getline(std::cin, line);) {
        const long long cpu = CpuNs();
        const long long wall = ReplayOnce(*operations, dir, renameOver);
        std::cout << wall << ' ' << CpuNs() - cpu << std::endl;
        if (wall < 0) {
            return 1;
        }
    }
    return 0;
}
