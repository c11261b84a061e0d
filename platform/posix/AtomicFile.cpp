#include "platform/posix/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace platform {
namespace {

bool MakeDirs(const std::string& dir) {
    if (dir.empty()) return true;
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0) {
        errno = ENOTDIR;
        return S_ISDIR(st.st_mode);
    }
    size_t slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirs(dir.substr(0, slash))) return false;
    return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = EIO;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Beyond RLIMIT_FSIZE a write raises SIGXFSZ, which by default ends the program with the
// user's change unkept; ignored, the write fails with EFBIG and is reported like a full disk.
// A handler someone else installed stays.
void IgnoreFileSizeSignal() {
    struct sigaction current {};
    if (sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
        std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool WriteFileAtomically(const std::string& path, const std::string& data, unsigned mode,
                         int* error, const std::function<bool()>& mayReplace,
                         struct stat* written) {
    IgnoreFileSizeSignal();
    const auto fail = [error](int err) {
        if (error) *error = err;
        return false;
    };
    std::string dir = FolderOf(path);
    if (!MakeDirs(dir)) return fail(errno);
    std::string tmp = path + ".tmp.XXXXXX";
    int fd = mkstemp(tmp.data());
    if (fd < 0) return fail(errno);
    // Every step is checked: a full disk or a size limit may surface at write, fsync or close,
    // and the old file must then stay as it is.
    bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, data) && fsync(fd) == 0 &&
              (!written || fstat(fd, written) == 0);
    int err = ok ? 0 : errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && mayReplace && !mayReplace()) {
        ok = false;
        err = 0;
    }
    if (ok && rename(tmp.c_str(), path.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        unlink(tmp.c_str());
        return fail(err);
    }
    // Make the rename itself durable.
    int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        fsync(dfd);
        close(dfd);
    }
    if (error) *error = 0;
    return true;
}

}  // namespace platform
