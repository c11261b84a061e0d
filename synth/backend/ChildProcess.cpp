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
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
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
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGKILL);
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
}

void ChildProgram::send(std::string_view input) {
    if (m_in < 0) return;
    writeAll(m_in, input);
    closeFd(m_in);
}

ChildResult ChildProgram::finish(const ChildOutput& onOutput, const ChildOutput& onSide,
                                 const std::function<bool()>& cancelled,
                                 std::chrono::milliseconds limit) {
    ChildResult result;
    if (m_pid <= 0) return result;
    closeFd(m_in);  // a program never sent anything reads an empty input

    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool killed = false;
    char buffer[16384];
    while (m_out >= 0 || m_side >= 0) {
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
        pollfd p[2] = {{m_out, POLLIN, 0}, {m_side, POLLIN, 0}};
        const int ready = ::poll(p, 2, 5);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        for (int k = 0; k < 2; ++k) {
            int& fd = k == 0 ? m_out : m_side;
            if (fd < 0 || !(p[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                closeFd(fd);
                continue;
            }
            const ChildOutput& to = k == 0 ? onOutput : onSide;
            if (to) to(buffer, static_cast<std::size_t>(n));
        }
    }
    closeFd(m_out);
    closeFd(m_side);
    // A child may close its output and still run on: it is bounded like the rest.
    int status = 0;
    while (!killed) {
        const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid || (done < 0 && errno != EINTR)) break;
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
    if (killed) return result;  // the destructor kills and reaps it
    m_pid = -1;
    if (WIFEXITED(status)) {
        result.outcome = ChildResult::Exited;
        result.exitCode = WEXITSTATUS(status);
    } else {
        result.outcome = ChildResult::Signalled;
    }
    return result;
}

ChildResult runChild(const std::vector<std::string>& argv, std::string_view input,
                     const ChildOutput& onOutput, const std::function<bool()>& cancelled,
                     std::chrono::milliseconds limit) {
    ChildProgram child(argv);
    return child.run(input, onOutput, {}, cancelled, limit);
}

}  // namespace synth
