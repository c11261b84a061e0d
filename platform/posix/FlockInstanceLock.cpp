#include "platform/posix/FlockInstanceLock.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {
namespace {

// A folder another user could write lets that user create, hold or replace our lock file.
bool IsPrivateFolder(const std::string& dir) {
    struct stat st {};
    return !dir.empty() && dir[0] == '/' && stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == getuid() && (st.st_mode & 022) == 0;
}

// Makes dir (and its missing parents, 0700). The last one must end up ours and private; a
// folder of ours with loose permissions is tightened, since we made it.
bool MakePrivateFolder(const std::string& dir) {
    for (std::size_t slash = dir.find('/', 1); slash != std::string::npos;
         slash = dir.find('/', slash + 1))
        mkdir(dir.substr(0, slash).c_str(), 0700);
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid())
        return false;
    if ((st.st_mode & 077) != 0 && chmod(dir.c_str(), 0700) != 0) return false;
    return true;
}

std::string CacheDirectory() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && *cache == '/') return cache;
    const char* home = std::getenv("HOME");
    if (!(home && *home == '/')) {
        const passwd* pw = getpwuid(getuid());
        home = pw ? pw->pw_dir : nullptr;
    }
    return home && *home == '/' ? std::string(home) + "/.cache" : std::string();
}

// Clears the lock path of something of ours that cannot be the lock file. Serialised by a
// lock on the folder itself, so that of many copies starting together only one clears it and
// none removes the real lock file another one has just made in its place: only the clearer
// ever replaces the entry, and open(O_CREAT | O_NOFOLLOW) never turns a bad entry into a
// file. False when the entry is not ours to replace.
bool ClearLockPath(const std::string& dir, const std::string& path) {
    const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return false;
    bool ok = false;
    if (flock(dirFd, LOCK_EX) == 0) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0) {
            ok = errno == ENOENT;
        } else if (st.st_uid != getuid()) {
            ok = false;
        } else if (S_ISREG(st.st_mode)) {
            // Cleared by another copy meanwhile, or a file of ours we may not open.
            ok = (st.st_mode & 0600) == 0600 || chmod(path.c_str(), 0600) == 0;
        } else if (S_ISDIR(st.st_mode)) {
            // A folder may hold something of the user's: move it aside rather than delete it.
            ok = rmdir(path.c_str()) == 0 ||
                 rename(path.c_str(), (path + ".moved-" + std::to_string(getpid())).c_str()) == 0;
        } else {
            ok = unlink(path.c_str()) == 0;  // a symlink, fifo or socket: only the entry goes
        }
    }
    close(dirFd);
    return ok;
}

}  // namespace

std::string FlockInstanceLock::ChooseDirectory(const std::string& runtimeDir,
                                               const std::string& tmpRoot,
                                               const std::string& cacheDir) {
    if (IsPrivateFolder(runtimeDir)) return runtimeDir;
    if (!tmpRoot.empty()) {
        const std::string dir = tmpRoot + "/selvarine-" + std::to_string(getuid());
        if (MakePrivateFolder(dir)) return dir;
    }
    if (!cacheDir.empty() && cacheDir[0] == '/') {
        const std::string dir = cacheDir + "/selvarine";
        if (MakePrivateFolder(dir)) return dir;
    }
    return {};
}

std::string FlockInstanceLock::DefaultDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return ChooseDirectory(runtime ? runtime : "", "/tmp", CacheDirectory());
}

InstanceLock::Result FlockInstanceLock::TryAcquire(const std::string& name) {
    Release();
    const std::string dir = m_strDir.empty() ? DefaultDirectory() : m_strDir;
    if (dir.empty()) return Result::Unavailable;
    const std::string path = dir + "/" + name + ".lock";
    for (int attempt = 0; attempt < 4; ++attempt) {
        // O_NONBLOCK: opening a fifo left in the lock's place must not wait for a writer.
        const int fd =
            open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
        struct stat st {};
        if (fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
                const int err = errno;
                close(fd);
                return err == EWOULDBLOCK ? Result::HeldElsewhere : Result::Unavailable;
            }
            m_fd = fd;
            return Result::Acquired;
        }
        if (fd >= 0) close(fd);
        if (!ClearLockPath(dir, path)) return Result::Unavailable;
    }
    return Result::Unavailable;
}

void FlockInstanceLock::Release() {
    if (m_fd < 0) return;
    flock(m_fd, LOCK_UN);
    close(m_fd);
    m_fd = -1;
}

}  // namespace platform
