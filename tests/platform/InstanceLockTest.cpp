#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/ProgramDir.h"
#include "platform/posix/FlockInstanceLock.h"

using platform::FlockInstanceLock;
using Result = platform::InstanceLock::Result;

namespace {

// Runs fn in a child process and returns its exit code.
template <typename Fn>
int InChild(Fn fn) {
    pid_t pid = fork();
    if (pid == 0) _exit(fn());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(FlockInstanceLock, OneHolderAtATimeAndADeadHolderNeverBlocks) {
    char tmpl[] = "/tmp/selvarine-lock-XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    auto tryInChild = [&] {
        return InChild([&] {
            FlockInstanceLock other(dir);
            return static_cast<int>(other.TryAcquire("QuorratelV3"));
        });
    };

    {
        FlockInstanceLock lock(dir);
        ASSERT_EQ(lock.TryAcquire("QuorratelV3"), Result::Acquired);
        EXPECT_EQ(tryInChild(), static_cast<int>(Result::HeldElsewhere));
        lock.Release();
        EXPECT_EQ(tryInChild(), static_cast<int>(Result::Acquired));
    }

    // A holder killed outright: the kernel drops its lock.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t holder = fork();
    if (holder == 0) {
        FlockInstanceLock lock(dir);
        char c = lock.TryAcquire("QuorratelV3") == Result::Acquired ? 'y' : 'n';
        (void)!write(ready[1], &c, 1);
        pause();
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    EXPECT_EQ(tryInChild(), static_cast<int>(Result::HeldElsewhere));
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    EXPECT_EQ(tryInChild(), static_cast<int>(Result::Acquired));

    SCOPED_TRACE("a folder where the lock cannot be made");
    FlockInstanceLock nowhere(dir + "/missing/folder");
    EXPECT_EQ(nowhere.TryAcquire("QuorratelV3"), Result::Unavailable);
    std::filesystem::remove_all(dir);
}

TEST(ProgramDirectory, IsTheFoldersOfTheRunningProgramWithASeparator) {
    const std::string dir = platform::ProgramDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(dir + "platform_tests"));
}
