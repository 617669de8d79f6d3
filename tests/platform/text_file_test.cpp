#include "platform/text_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/memory_file_system.h"
#include "platform/path_names.h"
#include "platform/process_paths.h"

namespace tarvedde {
namespace {

using Lines = std::vector<std::string>;

std::string Content(const FileSystem& fs, const std::string& path) {
    auto bytes = fs.ReadAll(path);
    return bytes.ok() ? bytes.value() : "<missing>";
}

TEST(TextFileTest, AppendWritesWindowsBytesAndCreatesTheFile) {
    MemoryFileSystem fs;
    ASSERT_TRUE(AppendLine(fs, "log.txt", "Zähler 1"));
    const int before = fs.OperationCount();
    ASSERT_TRUE(AppendLines(fs, "log.txt", {"b", "€"}));
    EXPECT_EQ(fs.OperationCount() - before, 1);
    EXPECT_EQ(Content(fs, "log.txt"), "Z\xE4hler 1\r\nb\r\n\x80\r\n");
}

TEST(TextFileTest, ReadLinesAcceptsEveryLineEnd) {
    MemoryFileSystem fs;
    const auto read = [&](std::string_view bytes) {
        (void)fs.WriteAll("t.txt", bytes, false);
        return ReadLines(fs, "t.txt").value();
    };
    EXPECT_EQ(read("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(read("a\r\n"), (Lines{"a"}));
    EXPECT_EQ(read("a"), (Lines{"a"}));
    EXPECT_EQ(read(""), Lines{});
    EXPECT_EQ(read("\r\n\r\n"), (Lines{"", ""}));
    EXPECT_EQ(read("a\r\r\nb\n\n"), (Lines{"a", "", "b", ""}));
    EXPECT_EQ(read("Z\xE4hler"), (Lines{"Zähler"}));
    EXPECT_FALSE(ReadLines(fs, "missing.txt").ok());
}

TEST(TextFileTest, WriteLinesReplacesTheFileWithoutLeftovers) {
    MemoryFileSystem fs;
    ASSERT_TRUE(WriteLines(fs, "d.txt", {"old", "older"}, false));
    ASSERT_TRUE(WriteLines(fs, "d.txt", {"Maß", ""}, true));
    EXPECT_EQ(Content(fs, "d.txt"), "Ma\xDF\r\n\r\n");
    ASSERT_TRUE(WriteLines(fs, "d.txt", {}, false));
    EXPECT_EQ(Content(fs, "d.txt"), "");
    ASSERT_TRUE(WriteTextAtomic(fs, "d.txt", "ä\nb", false));
    EXPECT_EQ(Content(fs, "d.txt"), "\xE4\nb");
    EXPECT_FALSE(fs.Exists("d.txt.tmp"));
}

TEST(TextFileTest, FailedAtomicWriteLeavesTheTargetUntouched) {
    for (const FileOp failing : {FileOp::Write, FileOp::Rename}) {
        MemoryFileSystem fs;
        ASSERT_TRUE(fs.WriteAll("d.txt", "old\r\n", false));
        fs.SetFailurePolicy([failing](FileOp op, const std::string&) { return op == failing; });
        EXPECT_FALSE(WriteFileAtomic(fs, "d.txt", "new\r\n", false));
        EXPECT_EQ(Content(fs, "d.txt"), "old\r\n");
        EXPECT_FALSE(fs.Exists("d.txt.tmp"));
    }
    MemoryFileSystem full;
    ASSERT_TRUE(full.WriteAll("d.txt", "old", false));
    full.SetCapacity(5);
    EXPECT_FALSE(WriteFileAtomic(full, "d.txt", "much longer", false));
    EXPECT_EQ(Content(full, "d.txt"), "old");
    EXPECT_FALSE(full.Exists("d.txt.tmp"));

    MemoryFileSystem missing;
    missing.FailNthOperation(2);  // the rename
    EXPECT_FALSE(WriteFileAtomic(missing, "new.txt", "x", false));
    EXPECT_FALSE(missing.Exists("new.txt"));
}

TEST(TextFileTest, CreateEmptyFileKeepsContentAndDeleteIfExistsToleratesMissing) {
    MemoryFileSystem fs;
    ASSERT_TRUE(CreateEmptyFile(fs, "a"));
    EXPECT_EQ(Content(fs, "a"), "");
    ASSERT_TRUE(fs.WriteAll("a", "keep", false));
    ASSERT_TRUE(CreateEmptyFile(fs, "a"));
    EXPECT_EQ(Content(fs, "a"), "keep");

    EXPECT_TRUE(DeleteIfExists(fs, "a"));
    EXPECT_FALSE(fs.Exists("a"));
    EXPECT_TRUE(DeleteIfExists(fs, "a"));
    ASSERT_TRUE(fs.WriteAll("b", "x", false));
    fs.SetFailurePolicy([](FileOp op, const std::string&) { return op == FileOp::Remove; });
    EXPECT_FALSE(DeleteIfExists(fs, "b"));
}

TEST(TextFileTest, WorksOnARealDirectory) {
    const auto made = MakeTemporaryDirectory("tarvedde-");
    ASSERT_TRUE(made) << made.error().message;
    const std::string pattern = made.value();
    // A non-ASCII name finds its file only when names keep their UTF-8 meaning.
    const std::string path = pattern + "/Tagesdaten-Größe.txt";
    auto fs = MakeRealFileSystem();

    ASSERT_TRUE(WriteLines(*fs, path, {"Größe", "x"}, true));
    ASSERT_TRUE(WriteLines(*fs, path, {"Größe", "y"}, false));
    ASSERT_TRUE(AppendLine(*fs, path, "z"));
    EXPECT_EQ(ReadLines(*fs, path).value(), (Lines{"Größe", "y", "z"}));
    EXPECT_EQ(Content(*fs, path),
              "Gr\xF6\xDF"
              "e\r\ny\r\nz\r\n");
    EXPECT_EQ(fs->List(pattern), Lines{"Tagesdaten-Größe.txt"});

    // A rewrite keeps the file's permissions and leaves a read-only file as it is.
    namespace fsys = std::filesystem;
    const fsys::path native = PathFromUtf8(path);
#ifndef _WIN32
    fsys::permissions(native, fsys::perms(0664));
    ASSERT_TRUE(WriteLines(*fs, path, {"y"}, false));
    EXPECT_EQ(fsys::status(native).permissions(), fsys::perms(0664));
#endif
    const std::string before = Content(*fs, path);
    fsys::permissions(
        native, fsys::perms::owner_write | fsys::perms::group_write | fsys::perms::others_write,
        fsys::perm_options::remove);
    EXPECT_FALSE(WriteLines(*fs, path, {"read-only"}, false));
    EXPECT_EQ(Content(*fs, path), before);
    fsys::permissions(native, fsys::perms::owner_write, fsys::perm_options::add);
    EXPECT_TRUE(DeleteIfExists(*fs, path));
    EXPECT_TRUE(DeleteIfExists(*fs, path));
    std::filesystem::remove_all(PathFromUtf8(pattern));
}

}  // namespace
}  // namespace tarvedde
