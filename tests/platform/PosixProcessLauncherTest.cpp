#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "platform/posix/PosixProcessLauncher.h"

namespace {

std::string Content(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The real launcher: no shell between the dialog and the program, and its failures reported.
TEST(PosixProcessLauncher, PassesArgumentsAsTheyAreAndReportsProgramsThatCannotRun) {
    char tmpl[] = "/tmp/selvarine-launch-XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    const std::string script = dir + "/editor";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s|%s' \"$1\" \"$(pwd)\" > out\n";
    chmod(script.c_str(), 0755);
    platform::PosixProcessLauncher launcher;
    const std::string arg = "a b \"c\" $(touch pwned) ; `x` 'y'";
    const platform::ProcessId pid = launcher.Start(script, {arg}, dir);
    ASSERT_NE(pid, platform::kNoProcess);
    while (!launcher.HasEnded(pid)) usleep(10000);
    EXPECT_EQ(Content(dir + "/out"), arg + "|" + dir);
    EXPECT_FALSE(std::filesystem::exists(dir + "/pwned"));

    chmod(script.c_str(), 0644);
    EXPECT_EQ(launcher.Start(script, {}, dir), platform::kNoProcess);
    EXPECT_EQ(launcher.Start(dir + "/missing", {}, dir), platform::kNoProcess);
    chmod(script.c_str(), 0755);
    EXPECT_EQ(launcher.Start(script, {}, dir + "/no folder"), platform::kNoProcess);
    std::filesystem::remove_all(dir);
}

// A released child is collected when it ends: a zombie would still answer kill(pid, 0).
TEST(PosixProcessLauncher, AReleasedChildLeavesNoZombie) {
    platform::PosixProcessLauncher launcher;
    const platform::ProcessId pid = launcher.Start("/bin/sh", {"-c", "sleep 0.2"}, "");
    ASSERT_NE(pid, platform::kNoProcess);
    launcher.Release(pid);
    bool gone = false;
    for (int i = 0; i < 300 && !gone; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        gone = kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
    }
    EXPECT_TRUE(gone);
}

}  // namespace
