// The DDE directory holds the sockets every server listens on: whoever may enter it could
// put a socket of their own in a server's place, so any group or other bit refuses it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "sources/dde_socket_io.h"
#include "tests/sources/socket_dde_test_support.h"

namespace tarvedde {
namespace {

TEST(DdeDirectoryPermissions, AnyGroupOrOtherBitRefusesTheDirectory) {
    testing::TempDdeDirectory dir;
    ASSERT_TRUE(PrepareDdeDirectory(dir.path()).ok());
    for (const mode_t mode : {0755u, 0750u, 0701u, 0710u}) {
        chmod(dir.path().c_str(), mode);
        EXPECT_FALSE(PrepareDdeDirectory(dir.path()).ok()) << std::oct << mode;
    }
    chmod(dir.path().c_str(), 0700);
    EXPECT_TRUE(PrepareDdeDirectory(dir.path()).ok());
}

}  // namespace
}  // namespace tarvedde
