#include "app/command_line.h"

#include <gtest/gtest.h>

#include "platform/memory_file_system.h"
#include "platform/path_names.h"

namespace tarvedde {
namespace {

TEST(CommandLineTest, OptionsTheirDefaultsAndWhatIsRefused) {
    auto parsed = ParseCommandLine(
        {"/opt/tarvedde/bin/tarvedde", "--dir", "/plant/a/../b", "--source", "OPC", "--headless"});
    ASSERT_TRUE(parsed) << parsed.error().message;
#ifdef _WIN32
    // Absolute on the current drive; the separator added is '/', the one the engine adds.
    EXPECT_TRUE(parsed.value().programDir.ends_with(":\\plant\\b/")) << parsed.value().programDir;
#else
    EXPECT_EQ(parsed.value().programDir, "/plant/b/");
#endif
    EXPECT_EQ(parsed.value().sourceKind, SourceKind::Opc);
    EXPECT_TRUE(parsed.value().headless);

    auto plain = ParseCommandLine({"tarvedde"});
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain.value().sourceKind.has_value());
    EXPECT_EQ(plain.value().programDir.back(), '/');
    EXPECT_FALSE(ParseCommandLine({"tarvedde", "--source", "modbus"}));
    EXPECT_FALSE(ParseCommandLine({"tarvedde", "--dir"}));
    EXPECT_FALSE(ParseCommandLine({"tarvedde", "--verbose"}));

    auto tour =
        ParseCommandLine({"tarvedde", "--screenshots", "shots", "--screenshot-delay", "30"});
    ASSERT_TRUE(tour);
    EXPECT_TRUE(PathFromUtf8(tour.value().screenshotDir).is_absolute());
    EXPECT_EQ(tour.value().screenshotDelaySeconds, 30);
    EXPECT_FALSE(ParseCommandLine({"tarvedde", "--screenshots", "x", "--screenshot-delay", "-1"}));
    EXPECT_FALSE(ParseCommandLine({"tarvedde", "--screenshots", "x", "--headless"}));

    auto status = ParseCommandLine({"tarvedde", "--status", "--stale-after", "0"});
    ASSERT_TRUE(status);
    EXPECT_EQ(status.value().staleAfterSeconds, 0);
    EXPECT_FALSE(ParseCommandLine({"tarvedde", "--status", "--stale-after", "-5"}));
    EXPECT_FALSE(ParseCommandLine({"tarvedde", "--status", "--stale-after", "10m"}));
    EXPECT_FALSE(ParseCommandLine({"tarvedde", "--stale-after", "60"}));
}

TEST(CommandLineTest, TheOptionOverridesTheInstallationFile) {
    MemoryFileSystem files;
    CommandLine commandLine;
    commandLine.programDir = "/plant/";
    EXPECT_EQ(ResolveSourceKind(commandLine, files).value(), SourceKind::Dde);
    (void)files.WriteAll("/plant/tarvedde-install.ini", "[Installation]\r\nSource=aqasys\r\n",
                         false);
    EXPECT_EQ(ResolveSourceKind(commandLine, files).value(), SourceKind::Aqasys);
    commandLine.sourceKind = SourceKind::Opc;
    EXPECT_EQ(ResolveSourceKind(commandLine, files).value(), SourceKind::Opc);
    commandLine.sourceKind.reset();
    (void)files.WriteAll("/plant/tarvedde-install.ini", "[Installation]\r\nSource=xyz\r\n", false);
    EXPECT_FALSE(ResolveSourceKind(commandLine, files));
}

}  // namespace
}  // namespace tarvedde
