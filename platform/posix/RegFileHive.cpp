#include "platform/posix/RegFileHive.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace platform {
namespace {

bool MakeDirs(const std::string& dir) {
    if (dir.empty()) return true;
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    size_t slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirs(dir.substr(0, slash))) return false;
    return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string DirOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::string& data, unsigned mode) {
    std::string dir = DirOf(path);
    if (!MakeDirs(dir)) return false;
    std::string tmp = path + ".tmp.XXXXXX";
    int fd = mkstemp(tmp.data());
    if (fd < 0) return false;
    bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, data) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok) ok = rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) {
        unlink(tmp.c_str());
        return false;
    }
    // Make the rename itself durable.
    int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        fsync(dfd);
        close(dfd);
    }
    return true;
}

RegFileHive::RegFileHive(std::string filePath) : m_strPath(std::move(filePath)) {}

std::string RegFileHive::DefaultPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config && *config == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : "/tmp") + "/.config";
    }
    return base + "/Tarnholm/Selvarine.reg";
}

// A write killed between mkstemp and rename leaves NAME.tmp.XXXXXX behind; only this
// program makes such names beside its file, and only one copy of it runs.
void RegFileHive::RemoveStaleTemporaries() const {
    const std::string dir = DirOf(m_strPath);
    const std::string prefix = m_strPath.substr(m_strPath.find_last_of('/') + 1) + ".tmp.";
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    while (const dirent* entry = readdir(d)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        struct stat st {};
        const std::string path = dir + "/" + name;
        if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == getuid())
            unlink(path.c_str());
    }
    closedir(d);
}

bool RegFileHive::KeepCopy(const std::string& text) {
    std::string backup = m_strPath + ".bad";
    for (int i = 1; Exists(backup) && i < 100; ++i) backup = m_strPath + ".bad." + std::to_string(i);
    if (Exists(backup) || !WriteFileAtomically(backup, text, 0600)) return false;
    m_strBackup = backup;
    return true;
}

RegFileHive::LoadResult RegFileHive::Load() {
    m_doc.keys.clear();
    m_strBackup.clear();
    m_strProblem.clear();
    m_strLoaded.clear();
    m_bReadOnly = false;
    m_bPreserved = false;
    RemoveStaleTemporaries();

    // O_NONBLOCK: a fifo in the file's place must not hang the start.
    const int fd = open(m_strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0 && errno == ENOENT) return LoadResult::Missing;
    struct stat st {};
    std::string text;
    bool read = fd >= 0 && fstat(fd, &st) == 0;
    if (read && !S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        read = false;
    }
    if (read && static_cast<std::size_t>(st.st_size) > kMaxFileSize) {
        close(fd);
        // Moved, not copied: it may be huge. It stays in place when it cannot be moved.
        std::string backup = m_strPath + ".bad";
        for (int i = 1; Exists(backup) && i < 100; ++i)
            backup = m_strPath + ".bad." + std::to_string(i);
        if (!Exists(backup) && rename(m_strPath.c_str(), backup.c_str()) == 0) {
            m_strBackup = backup;
            return LoadResult::Salvaged;
        }
        m_strProblem = "it is too large and cannot be moved aside";
        m_bReadOnly = true;
        return LoadResult::Unreadable;
    }
    if (read) {
        text.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (read) {
            if (done == text.size()) text.resize(done + 4096);  // it may have grown meanwhile
            const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) read = false;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
            if (done > kMaxFileSize) break;
        }
        text.resize(done);
    }
    const int err = errno;
    if (fd >= 0) close(fd);
    if (!read) {
        // Running on defaults is fine; writing them over values we could not read is not.
        m_strProblem = std::strerror(fd < 0 ? err : (err ? err : EIO));
        m_bReadOnly = true;
        return LoadResult::Unreadable;
    }
    m_strLoaded = text;

    RegParseReport report = ParseRegText(text, &m_doc);
    if (report.Clean()) return LoadResult::Loaded;

    // Keep the damaged original before anything overwrites it; if no copy can be made,
    // nothing overwrites it.
    m_bPreserved = true;
    if (!KeepCopy(text)) m_bReadOnly = true;
    if (!report.headerOk) m_doc.keys.clear();  // not a settings file at all: trust nothing
    return LoadResult::Salvaged;
}

void RegFileHive::PreserveStored() {
    if (m_bPreserved || m_strLoaded.empty()) return;
    m_bPreserved = true;
    if (!KeepCopy(m_strLoaded)) m_bReadOnly = true;
}

RegKeyData* RegFileHive::FindKey(const std::string& path) {
    for (auto& k : m_doc.keys)
        if (RegNamesEqual(k.path, path)) return &k;
    return nullptr;
}

RegKey RegFileHive::NewHandle(const std::string& path, bool writable) {
    RegKey key = m_nextHandle++;
    m_handles[key] = Handle{path, writable};
    return key;
}

RegStatus RegFileHive::OpenKey(const std::string& path, RegAccess access, RegKey* key) {
    *key = kNoKey;
    if (!FindKey(path)) return kRegNotFound;
    *key = NewHandle(path, access != RegAccess::Read);
    return kRegOk;
}

RegStatus RegFileHive::CreateKey(const std::string& path, RegKey* key) {
    *key = kNoKey;
    if (path.empty()) return kRegNotFound;
    bool created = false;
    // Parents first, as the registry creates every missing key on the path.
    for (size_t pos = 0; pos != std::string::npos;) {
        pos = path.find('\\', pos + 1);
        std::string part = path.substr(0, pos);
        if (!FindKey(part)) {
            m_doc.keys.push_back({part, {}});
            created = true;
        }
    }
    if (created) Changed();  // an unwritable folder leaves the key in memory for this run
    *key = NewHandle(path, true);
    return kRegOk;
}

RegStatus RegFileHive::QueryValue(RegKey key, const std::string& name, RegType* type, void* data,
                                  std::uint32_t* size) {
    auto h = m_handles.find(key);
    if (h == m_handles.end()) return kRegInvalidHandle;
    RegKeyData* k = FindKey(h->second.path);
    if (!k) return kRegNotFound;
    for (const auto& v : k->values) {
        if (!RegNamesEqual(v.name, name)) continue;
        if (type) *type = v.type;
        std::uint32_t room = size ? *size : 0;
        if (size) *size = static_cast<std::uint32_t>(v.data.size());
        if (!data) return kRegOk;
        if (room < v.data.size()) return kRegMoreData;
        if (!v.data.empty()) std::memcpy(data, v.data.data(), v.data.size());
        return kRegOk;
    }
    return kRegNotFound;
}

RegStatus RegFileHive::SetValue(RegKey key, const std::string& name, RegType type,
                                const void* data, std::uint32_t size) {
    auto h = m_handles.find(key);
    if (h == m_handles.end()) return kRegInvalidHandle;
    if (!h->second.writable) return kRegAccessDenied;
    RegKeyData* k = FindKey(h->second.path);
    if (!k) return kRegNotFound;
    RegValue value{name, type, {}};
    if (size) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        value.data.assign(bytes, bytes + size);
    }
    bool replaced = false;
    for (auto& v : k->values) {
        if (RegNamesEqual(v.name, name)) {
            // Nothing to write for the same value again (a window move that did not move).
            if (v.type == value.type && v.data == value.data && !m_bDirty) return kRegOk;
            value.name = v.name;  // the registry keeps the spelling of the first writer
            v = std::move(value);
            replaced = true;
            break;
        }
    }
    if (!replaced) k->values.push_back(std::move(value));
    return Changed();
}

void RegFileHive::CloseKey(RegKey key) { m_handles.erase(key); }

void RegFileHive::DeferWrites(std::function<void()> onChange) { m_onChange = std::move(onChange); }

RegStatus RegFileHive::Changed() {
    m_bDirty = true;
    if (m_onChange) {
        m_onChange();
        return kRegOk;
    }
    return Flush();
}

RegStatus RegFileHive::Flush() {
    if (!m_bDirty) return kRegOk;
    const RegStatus status = Save();
    if (status == kRegOk) m_bDirty = false;
    return status;
}

RegStatus RegFileHive::Save() {
    if (m_bReadOnly) return kRegWriteFault;
    return WriteFileAtomically(m_strPath, FormatRegText(m_doc), 0600) ? kRegOk : kRegWriteFault;
}

}  // namespace platform
