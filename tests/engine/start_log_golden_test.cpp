// The log of a whole program start, byte for byte: the operator's record of what the
// program did must not change unnoticed.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "engine/tarvedde_main.h"
#include "tests/engine/engine_test_host.h"

namespace tarvedde {
namespace {

std::string ReadBinary(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TEST(StartLogGoldenTest, ThreeItemStartWritesTheExpectedLog) {
    const std::string data = std::string(TARVEDDE_TEST_DATA) + "/engine/start_three_items/";
    testing::EngineTestHost env;
    ASSERT_TRUE(
        env.files.WriteAll("/plant/TARVEDDE.INI", ReadBinary(data + "TARVEDDE.INI"), false));
    env.ServeConfiguredItems();
    StartOptions options;
    options.programDir = "/plant";
    options.lockName = "tarvedde";
    TarveddeMain main(env.host, options);
    ASSERT_TRUE(main.FormCreate());
    main.FormShow();
    env.loop.AdvanceBy(20000);

    const std::string actual = env.files.ReadAll("/plant/_DDE_OPC_LOGALL.TXT").value_or("");
    const std::string expected = ReadBinary(data + "_DDE_OPC_LOGALL.TXT");
    if (actual != expected) {
        std::ofstream(::testing::TempDir() + "start_three_items_LOGALL.TXT", std::ios::binary)
            << actual;
    }
    EXPECT_EQ(actual, expected) << "actual log left in " << ::testing::TempDir();
}

}  // namespace
}  // namespace tarvedde
