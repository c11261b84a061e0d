#pragma once
// InstanceLock as an flock() on NAME.lock in a folder no other user can write:
// $XDG_RUNTIME_DIR, else a private per-user folder under /tmp, else a private folder in the
// user's cache folder. The kernel drops the lock when the process dies.

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

    // Unavailable also when the lock path holds something that is not ours to replace.
    // Something of ours that cannot serve as the lock file (a folder, a symlink, a fifo) is
    // removed or moved aside first, one starting copy at a time.
    Result TryAcquire(const std::string& name) override;
    void Release() override;

    static std::string DefaultDirectory();
    // The first usable of: runtimeDir (ours, writable by no one else), tmpRoot/selvarine-UID
    // (made if missing), cacheDir/selvarine (made if missing). Empty strings are skipped;
    // empty when none will do.
    static std::string ChooseDirectory(const std::string& runtimeDir, const std::string& tmpRoot,
                                       const std::string& cacheDir);

private:
    std::string m_strDir;
    int m_fd = -1;
};

}  // namespace platform
