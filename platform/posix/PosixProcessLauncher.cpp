#include "platform/posix/PosixProcessLauncher.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace platform {

ProcessId PosixProcessLauncher::Start(const std::string& program,
                                      const std::vector<std::string>& args,
                                      const std::string& workingDir) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return kNoProcess;
    // glibc runs the file actions in the child before exec and reports their failure (and
    // exec's) as the spawn's result, so a bad folder or program never looks like a start.
    if (!workingDir.empty() &&
        posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str()) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return kNoProcess;
    }
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 && pid > 0 ? pid : kNoProcess;
}

bool PosixProcessLauncher::HasEnded(ProcessId pid) {
    if (pid <= 0) return true;
    int status = 0;
    return waitpid(static_cast<pid_t>(pid), &status, WNOHANG) != 0;
}

void PosixProcessLauncher::Release(ProcessId pid) {
    if (pid <= 0) return;
    std::thread([child = static_cast<pid_t>(pid)] {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

}  // namespace platform
