#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <vector>

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

TEST(FlockInstanceLock, NeverInAFolderOfAnotherUserAndOursIsRepairedForOneHolder) {
    char tmpl[] = "/tmp/selvarine-lockdir-XXXXXX";
    const std::string root = mkdtemp(tmpl);
    const std::string tmp = root + "/tmp", cache = root + "/home/.cache";
    std::filesystem::create_directories(tmp + "/selvarine-" + std::to_string(getuid()));
    SCOPED_TRACE("a private folder under tmp made by someone else");
    ASSERT_EQ(chown((tmp + "/selvarine-" + std::to_string(getuid())).c_str(), 65534, 65534), 0);
    const std::string open = root + "/open";
    std::filesystem::create_directories(open);
    chmod(open.c_str(), 0777);
    const std::string dir = FlockInstanceLock::ChooseDirectory(open, tmp, cache);
    EXPECT_EQ(dir, cache + "/selvarine");

    // Twenty copies start at once over a folder, then a dangling symlink, in the lock's place.
    for (const char* kind : {"folder", "symlink"}) {
        SCOPED_TRACE(kind);
        const std::string path = dir + "/QuorratelV3.lock";
        std::filesystem::remove_all(path);
        if (std::string(kind) == "folder")
            std::filesystem::create_directories(path + "/inside");
        else
            std::filesystem::create_symlink(root + "/nowhere", path);
        int go[2], results[2];
        ASSERT_EQ(pipe(go), 0);
        ASSERT_EQ(pipe(results), 0);
        std::vector<pid_t> children;
        for (int i = 0; i < 20; ++i) {
            const pid_t pid = fork();
            if (pid == 0) {
                char c;
                close(go[1]);
                (void)!read(go[0], &c, 1);
                FlockInstanceLock lock(dir);
                c = static_cast<char>('0' + static_cast<int>(lock.TryAcquire("QuorratelV3")));
                (void)!write(results[1], &c, 1);
                pause();
                _exit(0);
            }
            children.push_back(pid);
        }
        close(go[0]);
        close(go[1]);  // releases them all at once
        std::string got(20, ' ');
        for (char& c : got) ASSERT_EQ(read(results[0], &c, 1), 1);
        for (pid_t pid : children) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        close(results[0]);
        close(results[1]);
        EXPECT_EQ(std::count(got.begin(), got.end(), '0' + int(Result::Acquired)), 1) << got;
        EXPECT_EQ(std::count(got.begin(), got.end(), '0' + int(Result::HeldElsewhere)), 19);
    }
    std::filesystem::remove_all(root);
}

TEST(ProgramDirectory, IsTheFoldersOfTheRunningProgramWithASeparator) {
    const std::string dir = platform::ProgramDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(dir + "platform_tests"));
}
