#include "platform/instance_lock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

namespace tarvedde {
namespace {

class InstanceLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = InstanceLock::TemporaryDirectory() + "/instance-lock-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(directory_); }

    InstanceLock Acquire() { return InstanceLock::AcquireIn(directory_, "tarvedde.exe"); }

    std::string directory_;
};

TEST_F(InstanceLockTest, SecondLockInTheSameProcessSeesTheFirstUntilTheLastHolderEnds) {
    InstanceLock first = Acquire();
    EXPECT_FALSE(first.ExistedAlready());
    EXPECT_TRUE(first.Owns());
    EXPECT_EQ(first.ErrorMessage(), "");
    EXPECT_EQ(first.Path(), directory_ + "/tarvedde-instance-tarvedde.exe.lock");

    InstanceLock second = Acquire();
    EXPECT_TRUE(second.ExistedAlready());
    EXPECT_TRUE(second.Owns());
    EXPECT_EQ(second.ErrorMessage(), "");

    EXPECT_FALSE(InstanceLock::AcquireIn(directory_, "other").ExistedAlready());

    // As with a named mutex, the lock lives while any holder does.
    first.Release();
    EXPECT_TRUE(Acquire().ExistedAlready());
    second.Release();
    EXPECT_FALSE(Acquire().ExistedAlready());
    {
        InstanceLock moved = [this] { return Acquire(); }();
        InstanceLock target = std::move(moved);
        EXPECT_TRUE(target.Owns());
        EXPECT_FALSE(moved.Owns());  // NOLINT(bugprone-use-after-move): checks the hand-over
        EXPECT_TRUE(Acquire().ExistedAlready());
    }
    EXPECT_FALSE(Acquire().ExistedAlready());  // the destructor released it
}

// The child acquires the lock and reports whether it got it, then waits for a byte from
// the parent or for its death.
struct Child {
    pid_t pid = -1;
    int toChild = -1;
    char report = '?';
};

Child StartChildThatAcquires(const std::string& directory) {
    int up[2];
    int down[2];
    if (pipe(up) != 0 || pipe(down) != 0) {
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        InstanceLock lock = InstanceLock::AcquireIn(directory, "tarvedde.exe");
        const char report = lock.ExistedAlready() ? 'E' : lock.Owns() ? 'O' : 'F';
        char ignored = 0;
        if (write(up[1], &report, 1) == 1) {
            (void)!read(down[0], &ignored, 1);
        }
        _exit(0);
    }
    close(up[1]);
    close(down[0]);
    Child child{pid, down[1], '?'};
    if (pid < 0 || read(up[0], &child.report, 1) != 1) {
        child.report = '!';
    }
    close(up[0]);
    return child;
}

void EndChild(Child& child, bool kill) {
    if (kill) {
        ::kill(child.pid, SIGKILL);
    } else {
        (void)!write(child.toChild, "x", 1);
    }
    close(child.toChild);
    int status = 0;
    waitpid(child.pid, &status, 0);
}

TEST_F(InstanceLockTest, LocksOfOtherProcessesCountUntilTheyEnd) {
    for (const bool kill : {false, true}) {
        Child child = StartChildThatAcquires(directory_);
        ASSERT_EQ(child.report, 'O');
        {
            InstanceLock mine = Acquire();
            EXPECT_TRUE(mine.ExistedAlready());
            EndChild(child, kill);
        }
        EXPECT_FALSE(Acquire().ExistedAlready()) << (kill ? "after kill" : "after exit");
    }
    InstanceLock mine = Acquire();
    Child child = StartChildThatAcquires(directory_);
    EXPECT_EQ(child.report, 'E');
    EndChild(child, false);
}

TEST_F(InstanceLockTest, UnopenableLockFileReportsNotExistingWithAMessage) {
    const std::string missing = directory_ + "/missing";
    InstanceLock lock = InstanceLock::AcquireIn(missing, "tarvedde.exe");
    EXPECT_FALSE(lock.ExistedAlready());
    EXPECT_FALSE(lock.Owns());
    EXPECT_NE(lock.ErrorMessage().find(missing + "/tarvedde-instance-tarvedde.exe.lock"),
              std::string::npos)
        << lock.ErrorMessage();
}

// Sets an environment variable for the scope; unset when `value` is null.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* saved = std::getenv(name);
        saved_ = saved != nullptr ? std::optional<std::string>(saved) : std::nullopt;
        Set(value);
    }
    ~ScopedEnv() { Set(saved_ ? saved_->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void Set(const char* value) const {
        if (value != nullptr) {
            setenv(name_, value, 1);
        } else {
            unsetenv(name_);
        }
    }
    const char* name_;
    std::optional<std::string> saved_;
};

// The shared temporary directory lets anyone hold the lock first; the lock lives where
// only the user may create files, and a place someone else prepared is refused.
TEST_F(InstanceLockTest, LivesInAPrivateDirectoryOfTheUser) {
    const std::string runtime = directory_ + "/run";
    ASSERT_EQ(mkdir(runtime.c_str(), 0700), 0);
    {
        ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.c_str());
        EXPECT_EQ(InstanceLock::Acquire("tarvedde").Path(),
                  runtime + "/tarvedde-instance-tarvedde.lock");
    }
    ScopedEnv tmp("TMPDIR", directory_.c_str());
    const std::string own = directory_ + "/tarvedde-" + std::to_string(getuid());
    for (const char* xdg : {static_cast<const char*>(nullptr), "", "/nonexistent/run"}) {
        ScopedEnv unset("XDG_RUNTIME_DIR", xdg);
        InstanceLock lock = InstanceLock::Acquire("tarvedde");
        EXPECT_EQ(lock.Path(), own + "/tarvedde-instance-tarvedde.lock");
        EXPECT_TRUE(lock.Owns());
        struct stat info {};
        ASSERT_EQ(lstat(own.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }
    ScopedEnv unset("XDG_RUNTIME_DIR", nullptr);
    for (const mode_t squatted : {0777u, 0755u, 0710u}) {
        chmod(own.c_str(), squatted);
        InstanceLock lock = InstanceLock::Acquire("tarvedde");
        EXPECT_FALSE(lock.Owns()) << std::oct << squatted;
        EXPECT_NE(lock.ErrorMessage().find("closed to group and others"), std::string::npos)
            << lock.ErrorMessage();
    }
    std::filesystem::remove_all(own);
    ASSERT_EQ(symlink(runtime.c_str(), own.c_str()), 0);
    EXPECT_FALSE(InstanceLock::Acquire("tarvedde").Owns());
}

TEST(InstanceLockPath, NameKeepsOnlyPortableCharactersAndTheDirectoryComesFromTmpdir) {
    EXPECT_EQ(InstanceLock::LockFilePath("/tmp", "Global\\Tarve wasser/ü-1.0_x"),
              "/tmp/tarvedde-instance-Global_Tarve_wasser___-1.0_x.lock");
    EXPECT_EQ(InstanceLock::LockFilePath("/var/tmp/", "a"), "/var/tmp/tarvedde-instance-a.lock");
    using Case = std::pair<const char*, const char*>;  // TMPDIR, directory
    for (const auto& [tmpdir, directory] :
         {Case{"/some/where", "/some/where"}, Case{"", "/tmp"}, Case{nullptr, "/tmp"}}) {
        ScopedEnv env("TMPDIR", tmpdir);
        EXPECT_EQ(InstanceLock::TemporaryDirectory(), directory);
    }
}

}  // namespace
}  // namespace tarvedde
