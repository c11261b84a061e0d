#pragma once
// Starting another program and noticing when it ends.

#include <string>
#include <vector>

namespace platform {

using ProcessId = long;
inline constexpr ProcessId kNoProcess = 0;

class ProcessLauncher {
  public:
    virtual ~ProcessLauncher() = default;

    // Runs program with the given arguments (argv[1..]) in workingDir. The arguments reach
    // the program as they are: no shell sees them. Returns kNoProcess when the program could
    // not be started (missing, not executable, bad working directory).
    virtual ProcessId Start(const std::string& program, const std::vector<std::string>& args,
                            const std::string& workingDir) = 0;
    // True once the process has ended (its status is then collected), and for a process
    // whose state cannot be read.
    virtual bool HasEnded(ProcessId pid) = 0;
    // Stops watching pid, which may run on: the launcher collects its status once it ends, so
    // it leaves no zombie behind. pid must not be asked about afterwards.
    virtual void Release(ProcessId pid) = 0;
};

}  // namespace platform
