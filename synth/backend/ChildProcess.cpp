#include "synth/backend/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace synth {
namespace {

struct Fd {
    int fd = -1;
    ~Fd() { reset(); }
    void reset() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
};

}  // namespace

ChildResult runChild(const std::vector<std::string>& argv, std::string_view input,
                     const std::function<void(const char*, std::size_t)>& onOutput,
                     const std::function<bool()>& cancelled, std::chrono::milliseconds limit) {
    ChildResult result;
    if (argv.empty()) return result;
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) return result;
    Fd inRead{in[0]}, inWrite{in[1]};
    if (::pipe2(out, O_CLOEXEC) != 0) return result;
    Fd outRead{out[0]}, outWrite{out[1]};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inRead.fd, 0);
    posix_spawn_file_actions_adddup2(&actions, outWrite.fd, 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // Descriptors the host program opened without O_CLOEXEC (a sound server's socket, an X
    // connection) must not leak into the child.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    // The host may ignore SIGPIPE; the child gets the default dispositions back.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, args[0], &actions, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (spawned != 0) return result;
    inRead.reset();
    outWrite.reset();

    // The input is one clause, far below a pipe's capacity, so this never blocks for long;
    // a child that dies early makes it fail with EPIPE, which MSG_NOSIGNAL cannot cover for
    // pipes, hence the blocked SIGPIPE around it.
    {
        sigset_t pipeSet, old;
        sigemptyset(&pipeSet);
        sigaddset(&pipeSet, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSet, &old);
        std::size_t done = 0;
        while (done < input.size()) {
            const ssize_t n = ::write(inWrite.fd, input.data() + done, input.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        inWrite.reset();
        timespec zero{};
        while (sigtimedwait(&pipeSet, nullptr, &zero) > 0) {
        }
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
    }

    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool killed = false;
    char buffer[16384];
    while (true) {
        if (cancelled && cancelled()) {
            result.outcome = ChildResult::Cancelled;
            killed = true;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            result.outcome = ChildResult::TimedOut;
            killed = true;
            break;
        }
        pollfd p{outRead.fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, 5);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        const ssize_t n = ::read(outRead.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (onOutput) onOutput(buffer, static_cast<std::size_t>(n));
    }
    outRead.reset();
    // A child may close its output and still run on: it is bounded like the rest.
    int status = 0;
    while (!killed) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) break;
        if (cancelled && cancelled()) {
            result.outcome = ChildResult::Cancelled;
            killed = true;
        } else if (std::chrono::steady_clock::now() >= deadline) {
            result.outcome = ChildResult::TimedOut;
            killed = true;
        } else {
            ::usleep(1000);
        }
    }
    if (killed) {
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return result;
    }
    if (WIFEXITED(status)) {
        result.outcome = ChildResult::Exited;
        result.exitCode = WEXITSTATUS(status);
    } else {
        result.outcome = ChildResult::Signalled;
    }
    return result;
}

}  // namespace synth
