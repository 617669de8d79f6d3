#include "platform/exclusive_file_lock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

namespace tarvedde {
namespace {

// One holder at a time, also within one process; the file goes with its holder, so a
// clean end leaves nothing behind.
TEST(ExclusiveFileLockTest, OneHolderAtATimeAndTheFileGoesWithIt) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("exclusive-lock-test-" + std::to_string(std::random_device()()));
    ASSERT_TRUE(std::filesystem::create_directory(dir));
    const std::string path = (dir / "$dde_activ.lock").string();
    ExclusiveFileLock first(path);
    EXPECT_TRUE(first.Owns());
    EXPECT_EQ(first.ErrorMessage(), "");
    ExclusiveFileLock second(path);
    EXPECT_TRUE(second.HeldElsewhere());
    EXPECT_FALSE(second.Owns());
    first.Release();
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(ExclusiveFileLock(path).Owns());
    EXPECT_FALSE(std::filesystem::exists(path));
    const ExclusiveFileLock nowhere((dir / "no" / "x.lock").string());
    EXPECT_FALSE(nowhere.Owns() || nowhere.HeldElsewhere());
    EXPECT_NE(nowhere.ErrorMessage(), "");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tarvedde
