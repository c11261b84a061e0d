#pragma once
// InstanceLock as an flock() on NAME.lock in $XDG_RUNTIME_DIR (else a private per-user
// folder under /tmp). The kernel drops the lock when the process dies.

#include <string>

#include "platform/InstanceLock.h"

namespace platform {

class FlockInstanceLock final : public InstanceLock {
public:
    FlockInstanceLock() = default;
    explicit FlockInstanceLock(std::string directory) : m_strDir(std::move(directory)) {}
    ~FlockInstanceLock() override { Release(); }
    FlockInstanceLock(const FlockInstanceLock&) = delete;
    FlockInstanceLock& operator=(const FlockInstanceLock&) = delete;

    Result TryAcquire(const std::string& name) override;
    void Release() override;
    static std::string DefaultDirectory();

private:
    std::string m_strDir;
    int m_fd = -1;
};

}  // namespace platform
