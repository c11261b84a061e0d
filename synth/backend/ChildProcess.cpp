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

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// The input is one clause, far below a pipe's capacity, so this never blocks for long;
// a child that dies early makes it fail with EPIPE, which MSG_NOSIGNAL cannot cover for
// pipes, hence the blocked SIGPIPE around it.
void writeAll(int fd, std::string_view input) {
    sigset_t pipeSet, old;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSet, &old);
    std::size_t done = 0;
    while (done < input.size()) {
        const ssize_t n = ::write(fd, input.data() + done, input.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    timespec zero{};
    while (sigtimedwait(&pipeSet, nullptr, &zero) > 0) {
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

}  // namespace

ChildProgram::ChildProgram(const std::vector<std::string>& argv, bool sideOutput) {
    if (argv.empty()) return;
    int in[2], out[2], side[2] = {-1, -1};
    if (::pipe2(in, O_CLOEXEC) != 0) return;
    if (::pipe2(out, O_CLOEXEC) != 0) {
        closeFd(in[0]);
        closeFd(in[1]);
        return;
    }
    if (sideOutput && ::pipe2(side, O_CLOEXEC) != 0) side[0] = side[1] = -1;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // The side pipe was made after the other two, so its write end is above 3 and survives
    // until its copy lands there.
    if (side[1] >= 0) posix_spawn_file_actions_adddup2(&actions, side[1], 3);
    // Descriptors the host program opened without O_CLOEXEC (a sound server's socket, an X
    // connection) must not leak into the child.
    posix_spawn_file_actions_addclosefrom_np(&actions, side[1] >= 0 ? 4 : 3);
    // The host may ignore SIGPIPE; the child gets the default dispositions back.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    // A group of its own, so that what it starts can be ended with it.
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(
        &attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, args[0], &actions, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    closeFd(in[0]);
    closeFd(out[1]);
    closeFd(side[1]);
    if (spawned != 0) {
        closeFd(in[1]);
        closeFd(out[0]);
        closeFd(side[0]);
        return;
    }
    m_pid = pid;
    m_in = in[1];
    m_out = out[0];
    m_side = side[0];
}

ChildProgram::~ChildProgram() {
    closeFd(m_in);
    closeFd(m_out);
    closeFd(m_side);
    end();
}

void ChildProgram::end() {
    if (m_pid <= 0) return;
    // The program is not reaped yet (at most a zombie), so its id still names its group.
    ::kill(-m_pid, SIGKILL);
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
}

// Whether the program has ended, leaving it unreaped.
bool ChildProgram::exited(int* status) {
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
        info.si_pid != m_pid)
        return false;
    *status = info.si_code == CLD_EXITED ? info.si_status : -1;
    return true;
}

void ChildProgram::send(std::string_view input) {
    if (m_in < 0) return;
    writeAll(m_in, input);
    closeFd(m_in);
}

ChildResult ChildProgram::finish(const ChildOutput& onOutput, const ChildOutput& onSide,
                                 const std::function<bool()>& cancelled,
                                 const ChildLimits& limits) {
    ChildResult result;
    if (m_pid <= 0) return result;
    closeFd(m_in);  // a program never sent anything reads an empty input

    const auto deadline = std::chrono::steady_clock::now() + limits.time;
    const std::size_t bound[2] = {limits.output, limits.side};
    std::size_t written[2] = {0, 0};
    auto giveUp = [&](ChildResult::Outcome why) {
        result.outcome = why;
        end();
        return result;
    };
    char buffer[16384];
    int exitCode = -1;
    bool done = false;
    for (;;) {
        if (cancelled && cancelled()) return giveUp(ChildResult::Cancelled);
        if (std::chrono::steady_clock::now() >= deadline) return giveUp(ChildResult::TimedOut);
        // Once the program has ended, what is left in the pipes is taken without waiting for
        // their end: a child it started may hold them open.
        pollfd p[2] = {{m_out, POLLIN, 0}, {m_side, POLLIN, 0}};
        const int ready = ::poll(p, 2, done ? 0 : 5);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0 && done) break;
        for (int k = 0; k < 2 && ready > 0; ++k) {
            int& fd = k == 0 ? m_out : m_side;
            if (fd < 0 || !(p[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                closeFd(fd);
                continue;
            }
            written[k] += static_cast<std::size_t>(n);
            if (written[k] > bound[k]) return giveUp(ChildResult::TooMuch);
            const ChildOutput& to = k == 0 ? onOutput : onSide;
            if (to) to(buffer, static_cast<std::size_t>(n));
        }
        if (!done) done = exited(&exitCode);
    }
    closeFd(m_out);
    closeFd(m_side);
    end();
    if (done && exitCode >= 0) {
        result.outcome = ChildResult::Exited;
        result.exitCode = exitCode;
    } else {
        result.outcome = ChildResult::Signalled;
    }
    return result;
}

ChildResult runChild(const std::vector<std::string>& argv, std::string_view input,
                     const ChildOutput& onOutput, const std::function<bool()>& cancelled,
                     const ChildLimits& limits) {
    ChildProgram child(argv);
    return child.run(input, onOutput, {}, cancelled, limits);
}

}  // namespace synth
