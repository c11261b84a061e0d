#pragma once
// Processes that start (or fail to) when told, and end when the test says so.

#include <set>
#include <string>
#include <vector>

#include "platform/ProcessLauncher.h"

class FakeProcessLauncher : public platform::ProcessLauncher {
  public:
    struct Started {
        std::string program;
        std::vector<std::string> args;
        std::string workingDir;
    };
    platform::ProcessId Start(const std::string& program, const std::vector<std::string>& args,
                              const std::string& workingDir) override {
        started.push_back({program, args, workingDir});
        if (failStart) return platform::kNoProcess;
        return nextPid++;
    }
    bool HasEnded(platform::ProcessId pid) override { return ended.count(pid) > 0; }
    void Release(platform::ProcessId pid) override { released.insert(pid); }

    std::vector<Started> started;
    std::set<platform::ProcessId> ended;
    std::set<platform::ProcessId> released;
    platform::ProcessId nextPid = 4242;
    bool failStart = false;
};
