#include "platform/path_names.h"

#include <gtest/gtest.h>

#include "platform/windows_command_line.h"

namespace tarvedde {
namespace {

TEST(PathNames, SeparatorsAndAbsolutePathsFollowThePlatform) {
    EXPECT_TRUE(IsAbsolutePath("/srv/tarve/tab.txt"));
    EXPECT_FALSE(IsAbsolutePath("tab.txt"));
    EXPECT_FALSE(IsAbsolutePath("tabellen/tab.txt"));
    EXPECT_EQ(FileNameOf("/srv/tarve/20240101.TVW"), "20240101.TVW");
    EXPECT_EQ(FileNameOf("20240101.TVW"), "20240101.TVW");
    EXPECT_EQ(WithTrailingSeparator("/srv"), "/srv/");
    EXPECT_EQ(WithTrailingSeparator("/srv/"), "/srv/");
    EXPECT_EQ(WithTrailingSeparator(""), "/");
#ifdef _WIN32
    EXPECT_TRUE(IsAbsolutePath("C:\\Tarve\\tab.txt"));
    EXPECT_TRUE(IsAbsolutePath("d:/tab.txt"));
    EXPECT_TRUE(IsAbsolutePath("\\\\server\\share\\tab.txt"));
    EXPECT_EQ(FileNameOf("C:\\Tarve\\20240101.TVW"), "20240101.TVW");
    EXPECT_EQ(WithTrailingSeparator("C:\\Tarve\\"), "C:\\Tarve\\");
#else
    // Ordinary name characters on POSIX.
    EXPECT_FALSE(IsAbsolutePath("C:\\Tarve\\tab.txt"));
    EXPECT_EQ(FileNameOf("a\\b.TVW"), "a\\b.TVW");
    EXPECT_EQ(WithTrailingSeparator("a\\"), "a\\/");
#endif
}

TEST(PathNames, Utf8SurvivesTheTripThroughFilesystemPaths) {
    const std::string name =
        "Kl\xC3\xA4rwerk/Gr\xC3\xB6\xC3\x9F"
        "e.ini";
    EXPECT_EQ(Utf8FromPath(PathFromUtf8(name).filename()),
              "Gr\xC3\xB6\xC3\x9F"
              "e.ini");
    EXPECT_EQ(Utf8FromPath(PathFromUtf8(name).parent_path()), "Kl\xC3\xA4rwerk");
}

TEST(WindowsCommandLine, QuotesWhatTheStartedProgramWouldSplitOrUnescape) {
    EXPECT_EQ(WindowsCommandLine("viewer.exe", {"a.txt", "b"}), "viewer.exe a.txt b");
    EXPECT_EQ(WindowsCommandLine("C:\\Program Files\\v.exe", {""}),
              "\"C:\\Program Files\\v.exe\" \"\"");
    EXPECT_EQ(WindowsCommandLine("v", {"Tages daten", "say \"hi\"", "C:\\dir\\", "C:\\a\\b"}),
              "v \"Tages daten\" \"say \\\"hi\\\"\" C:\\dir\\ C:\\a\\b");
    // Backslashes before a quote, and before the closing quote, are doubled.
    EXPECT_EQ(WindowsCommandLine("v", {"C:\\my dir\\", "a\\\"b"}),
              "v \"C:\\my dir\\\\\" \"a\\\\\\\"b\"");
}

}  // namespace
}  // namespace tarvedde
