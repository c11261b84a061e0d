#include "platform/posix/FlockInstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

std::string FlockInstanceLock::DefaultDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/') {
        struct stat st {};
        if (stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) return runtime;
    }
    // A folder of our own, so another user cannot hold or pre-create our lock file.
    std::string dir = "/tmp/selvarine-" + std::to_string(getuid());
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return "/tmp";
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return "/tmp";
    return dir;
}

InstanceLock::Result FlockInstanceLock::TryAcquire(const std::string& name) {
    Release();
    std::string dir = m_strDir.empty() ? DefaultDirectory() : m_strDir;
    std::string path = dir + "/" + name + ".lock";
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return Result::Unavailable;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        close(fd);
        return err == EWOULDBLOCK ? Result::HeldElsewhere : Result::Unavailable;
    }
    m_fd = fd;
    return Result::Acquired;
}

void FlockInstanceLock::Release() {
    if (m_fd < 0) return;
    flock(m_fd, LOCK_UN);
    close(m_fd);
    m_fd = -1;
}

}  // namespace platform
