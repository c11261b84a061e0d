#include "platform/posix/SettingsFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/AtomicFile.h"

namespace platform {
namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

}  // namespace

FileId FileId::Of(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_size,
            static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec,
            st.st_mode & 07777};
}

ReadOutcome ReadSettingsText(const std::string& path, std::string* text, struct stat* st,
                             int* error) {
    text->clear();
    *error = 0;
    // O_NONBLOCK: a fifo in the file's place must not hang the start.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        *error = errno;
        return errno == ENOENT ? ReadOutcome::Missing : ReadOutcome::Failed;
    }
    bool read = fstat(fd, st) == 0;
    if (read && !S_ISREG(st->st_mode)) {
        errno = S_ISDIR(st->st_mode) ? EISDIR : EINVAL;
        read = false;
    }
    if (read && !(st->st_mode & S_IRUSR)) {
        errno = EACCES;
        read = false;
    }
    if (read && static_cast<std::size_t>(st->st_size) > kMaxSettingsFileSize) {
        close(fd);
        return ReadOutcome::TooLarge;
    }
    if (read) {
        text->resize(static_cast<std::size_t>(st->st_size));
        std::size_t done = 0;
        while (true) {
            if (done == text->size()) text->resize(done + 4096);  // it may have grown meanwhile
            const ssize_t n = ::read(fd, text->data() + done, text->size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) read = false;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
            if (done > kMaxSettingsFileSize) break;
        }
        text->resize(done);
    }
    const int err = errno;
    close(fd);
    if (read) return ReadOutcome::Read;
    *error = err ? err : EIO;
    return ReadOutcome::Failed;
}

std::string FreeBackupName(const std::string& path) {
    std::string backup = path + ".bad";
    for (int i = 1; Exists(backup) && i < 100; ++i) backup = path + ".bad." + std::to_string(i);
    return Exists(backup) ? std::string() : backup;
}

std::string KeepBackupCopy(const std::string& path, const std::string& text) {
    const std::string backup = FreeBackupName(path);
    return !backup.empty() && WriteFileAtomically(backup, text, 0600) ? backup : std::string();
}

// Only this program makes such names beside its file, and only one copy of it runs.
void RemoveStaleTemporaries(const std::string& path) {
    const std::string dir = FolderOf(path);
    const std::string prefix = path.substr(path.find_last_of('/') + 1) + ".tmp.";
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    while (const dirent* entry = readdir(d)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + 6 || !name.starts_with(prefix)) continue;
        struct stat st {};
        const std::string file = dir + "/" + name;
        if (lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == getuid())
            unlink(file.c_str());
    }
    closedir(d);
}

}  // namespace platform
