#pragma once
// Child processes for the X11 tests and benchmarks: a private Xvfb and helper programs, all
// ended by PID, and ended by the kernel too if the test process dies first.

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace testsupport {

inline pid_t Spawn(const std::vector<std::string>& args, bool quiet = true) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        if (quiet) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
        }
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid < 0 ? 0 : pid;
}

inline void End(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

// Starts Xvfb on a free display and points DISPLAY (and Qt) at it. Returns its PID, 0 when it
// could not be started.
inline pid_t StartPrivateXvfb() {
    int fds[2];
    if (pipe(fds) != 0) return 0;
    const pid_t xvfb = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                              "800x600x24", "-nolisten", "tcp"});
    close(fds[1]);
    char number[16] = {};
    const ssize_t n = xvfb ? read(fds[0], number, sizeof number - 1) : -1;
    close(fds[0]);
    if (n <= 0) {
        End(xvfb);
        return 0;
    }
    std::string display = ":" + std::string(number, static_cast<std::size_t>(n));
    while (!display.empty() && (display.back() == '\n' || display.back() == ' '))
        display.pop_back();
    setenv("DISPLAY", display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    return xvfb;
}

}  // namespace testsupport
