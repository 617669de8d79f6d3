// A write cut short by a full disk: an append lands whole or leaves the file as it was,
// on the real file system and on the in-memory one alike.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/memory_file_system.h"
#include "platform/process_paths.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace tarvedde {
namespace {

std::string Content(const FileSystem& fs, const std::string& path) {
    auto bytes = fs.ReadAll(path);
    return bytes.ok() ? bytes.value() : "<missing>";
}

// `cutNextWrite` makes the next write stop after the file's first 8 bytes.
void ExpectAppendsLandWhole(FileSystem& fs, const std::string& path,
                            const std::function<void()>& cutNextWrite,
                            const std::function<void()>& freeDisk) {
    ASSERT_TRUE(fs.WriteAll(path, "old\r\n", false));
    cutNextWrite();
    EXPECT_FALSE(fs.Append(path, "12:00:00;1,5\r\n"));
    EXPECT_EQ(Content(fs, path), "old\r\n");
    freeDisk();
    EXPECT_TRUE(fs.Append(path, "12:00:10;2,5\r\n"));
    EXPECT_EQ(Content(fs, path), "old\r\n12:00:10;2,5\r\n");
}

TEST(FileSystemTest, MemoryAppendCutShortLeavesTheFileAsItWas) {
    MemoryFileSystem fs;
    ExpectAppendsLandWhole(
        fs, "d.DAT", [&] { fs.FillDiskAtWrite(1, 3); }, [&] { fs.FreeDisk(); });
    // A whole-file write keeps what made it, as on a disk; WriteFileAtomic cleans it up.
    fs.FillDiskAtWrite(2, 2);
    EXPECT_TRUE(fs.WriteAll("a", "abc", false));
    EXPECT_FALSE(fs.WriteAll("b", "abc", false));
    EXPECT_EQ(Content(fs, "b"), "ab");
}

#ifndef _WIN32
// A file size limit cuts a write short exactly as a full disk does (part written, then an
// error), without needing a small file system; the child process keeps the limit to itself.
TEST(FileSystemTest, RealAppendCutShortLeavesTheFileAsItWas) {
    const auto dir = MakeTemporaryDirectory("tarvedde-fs-test-");
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.value() + "/d.DAT";
    EXPECT_EXIT(
        {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{};
            getrlimit(RLIMIT_FSIZE, &limit);
            const rlimit unlimited = limit;
            limit.rlim_cur = 8;
            auto fs = MakeRealFileSystem();
            ExpectAppendsLandWhole(
                *fs, path, [&] { setrlimit(RLIMIT_FSIZE, &limit); },
                [&] { setrlimit(RLIMIT_FSIZE, &unlimited); });
            std::exit(::testing::Test::HasFailure() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
    std::filesystem::remove_all(dir.value());
}
#endif

}  // namespace
}  // namespace tarvedde
