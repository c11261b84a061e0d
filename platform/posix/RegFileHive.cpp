#include "platform/posix/RegFileHive.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

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

std::string DirOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
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

enum class ReadOutcome { Read, Missing, TooLarge, Failed };

// Reads a file that should be a settings file; st receives its status as opened.
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
    if (read && static_cast<std::size_t>(st->st_size) > RegFileHive::kMaxFileSize) {
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
            if (done > RegFileHive::kMaxFileSize) break;
        }
        text->resize(done);
    }
    const int err = errno;
    close(fd);
    if (read) return ReadOutcome::Read;
    *error = err ? err : EIO;
    return ReadOutcome::Failed;
}

std::string PasswordHome() {
    const passwd* pw = getpwuid(getuid());
    return pw && pw->pw_dir ? pw->pw_dir : "";
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::string& data, unsigned mode,
                         int* error, const std::function<bool()>& mayReplace,
                         struct stat* written) {
    IgnoreFileSizeSignal();
    const auto fail = [error](int err) {
        if (error) *error = err;
        return false;
    };
    std::string dir = DirOf(path);
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

RegFileHive::RegFileHive(std::string filePath) : m_strPath(std::move(filePath)) {}

RegFileHive::FileId RegFileHive::IdOf(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_size,
            static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
}

std::string RegFileHive::DefaultPath() {
    return DefaultPath({[](const char* name) { return std::getenv(name); }, PasswordHome});
}

std::string RegFileHive::DefaultPath(const Environment& env) {
    const char* config = env.getenv("XDG_CONFIG_HOME");
    if (config && *config == '/') return std::string(config) + "/Tarnholm/Selvarine.reg";
    std::string home;
    if (const char* h = env.getenv("HOME"); h && *h == '/') {
        home = h;
    } else {
        // A relative HOME would put the file wherever the program was started. The password
        // database's home counts only as a folder of this user's: system accounts name "/" or
        // a folder that does not exist, and a folder of another user is not a private one.
        home = env.passwordHome ? env.passwordHome() : std::string();
        struct stat st {};
        if (home.empty() || home[0] != '/' || stat(home.c_str(), &st) != 0 ||
            !S_ISDIR(st.st_mode) || st.st_uid != getuid())
            return {};
    }
    return home + "/.config/Tarnholm/Selvarine.reg";
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
        if (name.size() != prefix.size() + 6 || !name.starts_with(prefix)) continue;
        struct stat st {};
        const std::string path = dir + "/" + name;
        if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == getuid())
            unlink(path.c_str());
    }
    closedir(d);
}

bool RegFileHive::KeepCopy(const std::string& text) {
    std::string backup = m_strPath + ".bad";
    for (int i = 1; Exists(backup) && i < 100; ++i)
        backup = m_strPath + ".bad." + std::to_string(i);
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
    m_synced = {};
    m_setValues.clear();
    m_createdKeys.clear();
    if (m_strPath.empty()) return LoadResult::Missing;
    RemoveStaleTemporaries();

    std::string text;
    struct stat st {};
    int err = 0;
    switch (ReadSettingsText(m_strPath, &text, &st, &err)) {
        case ReadOutcome::Missing:
            return LoadResult::Missing;
        case ReadOutcome::TooLarge: {
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
        case ReadOutcome::Failed:
            // Running on defaults is fine; writing them over values we could not read is not.
            m_strProblem = std::strerror(err);
            m_bReadOnly = true;
            return LoadResult::Unreadable;
        case ReadOutcome::Read:
            break;
    }
    m_strLoaded = text;
    m_synced = IdOf(st);

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
            m_createdKeys.insert(RegFoldedName(part));
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

RegStatus RegFileHive::SetValue(RegKey key, const std::string& name, RegType type, const void* data,
                                std::uint32_t size) {
    auto h = m_handles.find(key);
    if (h == m_handles.end()) return kRegInvalidHandle;
    if (!h->second.writable) return kRegAccessDenied;
    RegKeyData* k = FindKey(h->second.path);
    if (!k) return kRegNotFound;
    // Set here even when it holds that value already: it is this program's from now on, and
    // a merge with another program's edit keeps it.
    m_setValues.insert({RegFoldedName(h->second.path), RegFoldedName(name)});
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

void RegFileHive::CloseKey(RegKey key) {
    m_handles.erase(key);
}

void RegFileHive::DeferWrites(std::function<void()> onChange) {
    m_onChange = std::move(onChange);
}

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

void RegFileHive::FailWrite(const std::string& reason) {
    m_strWriteProblem = m_strPath + ": " + reason;
}

bool RegFileHive::ChangedOutside() const {
    struct stat st {};
    if (stat(m_strPath.c_str(), &st) != 0)
        // Gone: the values in memory are all there is. Any other failure is looked into
        // by reading.
        return errno != ENOENT;
    return IdOf(st) != m_synced;
}

RegFileHive::Outside RegFileHive::TakeOutsideChanges() {
    std::string text;
    struct stat st {};
    int err = 0;
    switch (ReadSettingsText(m_strPath, &text, &st, &err)) {
        case ReadOutcome::Missing:
            return Outside::Retry;
        case ReadOutcome::TooLarge:
            FailWrite("another program made it too large to be settings; it is kept as it is");
            return Outside::Failed;
        case ReadOutcome::Failed:
            FailWrite(std::string("another program changed it and it cannot be read (") +
                      std::strerror(err) + ")");
            return Outside::Failed;
        case ReadOutcome::Read:
            break;
    }
    RegDocument theirs;
    const RegParseReport report = ParseRegText(text, &theirs);
    if (!report.Clean()) {
        struct stat now {};
        // Caught half way through another program's write: look again.
        if (stat(m_strPath.c_str(), &now) != 0 || IdOf(now) != IdOf(st)) return Outside::Retry;
        // What cannot be understood would be lost by the merge: keep it first, as at load.
        if (!KeepCopy(text)) {
            FailWrite("another program left it damaged, and no copy of it can be kept aside");
            return Outside::Failed;
        }
        if (!report.headerOk) theirs.keys.clear();
    }
    const auto find = [&theirs](const std::string& path) -> RegKeyData* {
        for (auto& k : theirs.keys)
            if (RegNamesEqual(k.path, path)) return &k;
        return nullptr;
    };
    for (const std::string& folded : m_createdKeys) {
        const RegKeyData* mine = FindKey(folded);
        if (mine && !find(folded)) theirs.keys.push_back({mine->path, {}});
    }
    for (const auto& [keyPath, name] : m_setValues) {
        const RegKeyData* mine = FindKey(keyPath);
        if (!mine) continue;
        const RegValue* value = nullptr;
        for (const auto& v : mine->values)
            if (RegNamesEqual(v.name, name)) value = &v;
        if (!value) continue;
        RegKeyData* key = find(keyPath);
        if (!key) {
            // The other program removed the key this program just wrote to: the newer
            // write wins, as it does for a value.
            theirs.keys.push_back({mine->path, {}});
            key = &theirs.keys.back();
        }
        bool replaced = false;
        for (auto& v : key->values) {
            if (!RegNamesEqual(v.name, name)) continue;
            v.type = value->type;
            v.data = value->data;
            replaced = true;
        }
        if (!replaced) key->values.push_back(*value);
    }
    m_doc = std::move(theirs);
    m_strLoaded = std::move(text);
    m_synced = IdOf(st);
    return Outside::Taken;
}

bool RegFileHive::TakeStoredChanges() {
    if (m_strPath.empty() || m_bReadOnly || !ChangedOutside()) return false;
    return TakeOutsideChanges() == Outside::Taken;
}

RegStatus RegFileHive::Save() {
    if (m_strPath.empty()) return kRegOk;
    if (m_bReadOnly) {
        FailWrite(m_strProblem.empty() ? "it is kept as it is"
                                       : "it is kept as it is (" + m_strProblem + ")");
        return kRegWriteFault;
    }
    // Another program may change the file between the look and the rename; the look is
    // repeated just before the rename, and then the merge, a few times.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (ChangedOutside()) {
            const Outside outside = TakeOutsideChanges();
            if (outside == Outside::Failed) return kRegWriteFault;
            if (outside == Outside::Retry) continue;
        }
        int err = 0;
        struct stat st {};
        if (WriteFileAtomically(
                m_strPath, FormatRegText(m_doc), 0600, &err, [this] { return !ChangedOutside(); },
                &st)) {
            m_synced = IdOf(st);
            m_setValues.clear();
            m_createdKeys.clear();
            m_strWriteProblem.clear();
            return kRegOk;
        }
        if (err != 0) {
            FailWrite(std::strerror(err));
            return kRegWriteFault;
        }
    }
    FailWrite("another program keeps changing it");
    return kRegWriteFault;
}

}  // namespace platform
