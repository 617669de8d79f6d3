// A write cut short by a full disk: an append lands whole or leaves the file as it was,
// on the real file system and on the in-memory one alike.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/memory_file_system.h"
#include "platform/process_paths.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#endif

namespace tarvedde {
namespace {

std::string ContentOf(const FileSystem& fs, const std::string& path) {
    auto bytes = fs.ReadAll(path);
    return bytes.ok() ? bytes.value() : "<missing>";
}

// `cutNextWrite` makes the next write stop after the file's first 8 bytes. The same holds
// for a file kept open, which goes on taking lines once the disk has room again.
void ExpectAppendsLandWhole(FileSystem& fs, const std::string& path,
                            const std::function<void()>& cutNextWrite,
                            const std::function<void()>& freeDisk) {
    for (const bool keptOpen : {false, true}) {
        ASSERT_TRUE(fs.WriteAll(path, "old\r\n", false));
        auto file = fs.OpenAppend(path);
        ASSERT_TRUE(file);
        const auto append = [&](std::string_view line) {
            return keptOpen ? file.value()->Append(line) : fs.Append(path, line);
        };
        cutNextWrite();
        EXPECT_FALSE(append("12:00:00;1,5\r\n")) << keptOpen;
        EXPECT_EQ(ContentOf(fs, path), "old\r\n") << keptOpen;
        freeDisk();
        EXPECT_TRUE(append("12:00:10;2,5\r\n")) << keptOpen;
        EXPECT_EQ(ContentOf(fs, path), "old\r\n12:00:10;2,5\r\n") << keptOpen;
    }
}

void ExpectRangedReadsEndWithTheFile(FileSystem& fs, const std::string& path) {
    ASSERT_TRUE(fs.WriteAll(path, "0123456789", false));
    EXPECT_EQ(fs.ReadRange(path, 0, 4).value(), "0123");
    EXPECT_EQ(fs.ReadRange(path, 8, 4).value(), "89");
    EXPECT_EQ(fs.ReadRange(path, 10, 4).value(), "");
    EXPECT_EQ(fs.ReadRange(path, 99, 1).value(), "");
    EXPECT_FALSE(fs.ReadRange(path + ".missing", 0, 1));
}

// The target only ever shows a whole version, however the scratch file's length changes,
// and another program's file in its place is simply replaced.
void ExpectScratchVersionsSwapInWhole(FileSystem& fs, const std::string& target) {
    const std::string scratch = target + ".tmp";
    for (const std::string version : {"first, the longest of them", "second", "4", "fifth one"}) {
        ASSERT_TRUE(fs.WriteScratch(scratch, version));
        EXPECT_NE(ContentOf(fs, target), version);
        ASSERT_TRUE(fs.SwapInto(scratch, target));
        EXPECT_EQ(ContentOf(fs, target), version);
    }
    ASSERT_TRUE(fs.WriteAll(target, "written by another program", false));
    ASSERT_TRUE(fs.WriteScratch(scratch, "sixth"));
    ASSERT_TRUE(fs.SwapInto(scratch, target));
    EXPECT_EQ(ContentOf(fs, target), "sixth");
}

TEST(FileSystemTest, RangedReadsAndScratchVersionsAlikeInMemoryAndOnDisk) {
    MemoryFileSystem memory;
    ExpectRangedReadsEndWithTheFile(memory, "d.DAT");
    ExpectScratchVersionsSwapInWhole(memory, "M15BUF.TVW");
    const auto dir = MakeTemporaryDirectory("tarvedde-fs-test-");
    ASSERT_TRUE(dir.ok());
    auto real = MakeRealFileSystem();
    const std::string target = dir.value() + "/M15BUF.TVW";
    ExpectRangedReadsEndWithTheFile(*real, dir.value() + "/d.DAT");
    ExpectScratchVersionsSwapInWhole(*real, target);
#ifndef _WIN32
    // A group-shared file stays writable for the group.
    ASSERT_EQ(::chmod(target.c_str(), 0664), 0);
    ASSERT_TRUE(real->WriteScratch(target + ".tmp", "seventh"));
    ASSERT_TRUE(real->SwapInto(target + ".tmp", target));
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0664u);
#endif
    std::filesystem::remove_all(dir.value());
}

#ifndef _WIN32
// Someone else's link, pipe or device under one of the plant's names: refused at once,
// nothing written through the link, no wait for a pipe's other end, no endless read.
TEST(FileSystemTest, RealFilesRefuseWhatIsNotAPlainFile) {
    const auto dir = MakeTemporaryDirectory("tarvedde-fs-test-");
    ASSERT_TRUE(dir.ok());
    const std::string base = dir.value() + "/";
    auto fs = MakeRealFileSystem();
    ASSERT_TRUE(fs->WriteAll(base + "TARVEDDE.INI", "[DDE]\r\n", false));
    std::filesystem::create_symlink(base + "TARVEDDE.INI", base + "M15BUF.TVW.tmp");
    EXPECT_FALSE(fs->WriteScratch(base + "M15BUF.TVW.tmp", "buffers"));
    EXPECT_EQ(ContentOf(*fs, base + "TARVEDDE.INI"), "[DDE]\r\n");

    for (const char* name : {"AKTDAT.TVV.tmp", "$lock_DAT", "EICH.INI"}) {
        ASSERT_EQ(::mkfifo((base + name).c_str(), 0600), 0);
    }
    EXPECT_FALSE(fs->ReadAll(base + "EICH.INI"));
    // With a reader at the other end a writer's open succeeds: only the file check stops it.
    for (const char* name : {"AKTDAT.TVV.tmp", "$lock_DAT"}) {
        const int reader = ::open((base + name).c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader, 0);
        const auto refused = fs->WriteScratch(base + name, "snapshot");
        EXPECT_FALSE(fs->Append(base + name, "line"));
        EXPECT_FALSE(fs->OpenAppend(base + name));
        EXPECT_FALSE(fs->WriteAll(base + name, "all", false));
        ::close(reader);
        ASSERT_FALSE(refused);
        EXPECT_NE(refused.error().message.find("not a plain file"), std::string::npos);
    }
    std::filesystem::create_symlink("/dev/zero", base + "ONLINE.TVW");
    EXPECT_FALSE(fs->ReadAll(base + "ONLINE.TVW"));
    EXPECT_FALSE(fs->ReadRange(base + "ONLINE.TVW", 0, 8));
    std::filesystem::create_symlink("/dev/null", base + "20240305.DAT");
    EXPECT_FALSE(fs->Append(base + "20240305.DAT", "2024.3.5;12:00:00;1,5\r\n"));
    EXPECT_FALSE(fs->WriteAll(base + "20240305.DAT", "", false));
    std::filesystem::remove_all(dir.value());
}
#endif

TEST(FileSystemTest, MemoryAppendCutShortLeavesTheFileAsItWas) {
    MemoryFileSystem fs;
    ExpectAppendsLandWhole(
        fs, "d.DAT", [&] { fs.FillDiskAtWrite(1, 3); }, [&] { fs.FreeDisk(); });
    // A whole-file write keeps what made it, as on a disk; WriteFileAtomic cleans it up.
    fs.FillDiskAtWrite(2, 2);
    EXPECT_TRUE(fs.WriteAll("a", "abc", false));
    EXPECT_FALSE(fs.WriteAll("b", "abc", false));
    EXPECT_EQ(ContentOf(fs, "b"), "ab");
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
