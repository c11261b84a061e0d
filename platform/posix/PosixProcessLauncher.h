#pragma once
// ProcessLauncher with posix_spawn: no shell, the child's working directory set by the spawn
// itself, exec failures reported to the caller.

#include "platform/ProcessLauncher.h"

namespace platform {

class PosixProcessLauncher final : public ProcessLauncher {
  public:
    ProcessId Start(const std::string& program, const std::vector<std::string>& args,
                    const std::string& workingDir) override;
    bool HasEnded(ProcessId pid) override;
    // A thread of its own waits for the released child, so that its end is collected when it
    // happens without a SIGCHLD handler that would take other children's statuses.
    void Release(ProcessId pid) override;
};

}  // namespace platform
