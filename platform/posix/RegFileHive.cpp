#include "platform/posix/RegFileHive.h"

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

namespace platform {
namespace {

// An in-place save (truncate, then write) leaves the file empty or cut short for a moment;
// a file changed this recently may still be on its way.
constexpr long long kSettleNs = 1'000'000'000;
constexpr auto kLookAgainAfter = std::chrono::milliseconds(10);

bool ChangedRecently(const struct stat& st) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const long long age =
        (now.tv_sec - st.st_mtim.tv_sec) * 1'000'000'000LL + (now.tv_nsec - st.st_mtim.tv_nsec);
    return age < kSettleNs && age > -kSettleNs;
}

}  // namespace

RegFileHive::RegFileHive(std::string filePath) : m_strPath(std::move(filePath)) {}

bool RegFileHive::KeepCopy(const std::string& text) {
    std::string backup = KeepBackupCopy(m_strPath, text);
    if (backup.empty()) return false;
    m_strBackup = std::move(backup);
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
    m_nSyncedEntries = 0;
    m_own.clear();
    if (m_strPath.empty()) return LoadResult::Missing;
    RemoveStaleTemporaries(m_strPath);

    std::string text;
    struct stat st {};
    int err = 0;
    switch (ReadSettingsText(m_strPath, &text, &st, &err)) {
        case ReadOutcome::Missing:
            return LoadResult::Missing;
        case ReadOutcome::TooLarge: {
            // Moved, not copied: it may be huge. It stays in place when it cannot be moved.
            const std::string backup = FreeBackupName(m_strPath);
            if (!backup.empty() && rename(m_strPath.c_str(), backup.c_str()) == 0) {
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
    m_synced = FileId::Of(st);
    if (text.empty()) return LoadResult::Loaded;  // nothing in it to keep

    RegParseReport report = ParseRegText(text, &m_doc);
    m_nSyncedEntries = RegEntryCount(m_doc);
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

RegKey RegFileHive::NewHandle(const std::string& path, bool writable) {
    RegKey key = m_nextHandle++;
    m_handles[key] = Handle{path, writable};
    return key;
}

RegStatus RegFileHive::OpenKey(const std::string& path, RegAccess access, RegKey* key) {
    *key = kNoKey;
    if (!FindRegKey(m_doc, path)) return kRegNotFound;
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
        if (!FindRegKey(m_doc, part)) {
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
    RegKeyData* k = FindRegKey(m_doc, h->second.path);
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
    RegKeyData* k = FindRegKey(m_doc, h->second.path);
    if (!k) return kRegNotFound;
    // Set here even when it holds that value already: it is this program's from now on, and
    // a merge with another program's edit keeps it.
    m_own.insert({RegFoldedName(h->second.path), RegFoldedName(name)});
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
    return FileId::Of(st) != m_synced;
}

RegFileHive::Outside RegFileHive::TakeOutsideChanges(bool beforeWrite) {
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
            // chmod 000 says "hands off" as plainly as a file of another user does.
            FailWrite(std::string("it cannot be read (") + std::strerror(err) +
                      "), so it is kept as it is");
            return Outside::Failed;
        case ReadOutcome::Read:
            break;
    }
    RegDocument theirs;
    const RegParseReport report = ParseRegText(text, &theirs);
    // A file shorter than before but whole may be an edit that removed values: taken at once
    // when only read, since the rest of a save still on its way is taken at the next look. A
    // write would make the cut for good, so it waits.
    if (beforeWrite ? MayBeCutOff(report, theirs, m_nSyncedEntries) : !report.Clean()) {
        struct stat now {};
        if (stat(m_strPath.c_str(), &now) != 0 || FileId::Of(now) != FileId::Of(st) ||
            ChangedRecently(st))
            return Outside::Retry;
    }
    if (!report.Clean() && !text.empty()) {
        // What cannot be understood would be lost by the merge: keep it first, as at load, and
        // once a run, so that a program that keeps damaging it does not fill the folder.
        if (m_bPreserved) {
            FailWrite("another program left it damaged again; it is kept as it is until mended");
            return Outside::Failed;
        }
        m_bPreserved = true;
        if (!KeepCopy(text)) {
            FailWrite("another program left it damaged, and no copy of it can be kept aside");
            return Outside::Failed;
        }
        if (!report.headerOk) theirs.keys.clear();
    }
    m_nSyncedEntries = RegEntryCount(theirs);
    m_doc = MergeOutsideEdit(m_doc, std::move(theirs), m_own);
    m_strLoaded = std::move(text);
    m_synced = FileId::Of(st);
    return Outside::Taken;
}

bool RegFileHive::TakeStoredChanges() {
    if (m_strPath.empty() || m_bReadOnly || !ChangedOutside()) return false;
    return TakeOutsideChanges(false) == Outside::Taken;
}

RegStatus RegFileHive::Save() {
    if (m_strPath.empty()) return kRegOk;
    if (m_bReadOnly) {
        FailWrite(m_strProblem.empty() ? "it is kept as it is"
                                       : "it is kept as it is (" + m_strProblem + ")");
        return kRegWriteFault;
    }
    // Another program may change the file between the look and the rename, or be half way
    // through writing it: the look is repeated, just before the rename too, until the file
    // holds still, for a little longer than a write in progress is waited for.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::nanoseconds(kSettleNs) +
                        10 * kLookAgainAfter;
    for (bool first = true; first || std::chrono::steady_clock::now() < giveUp; first = false) {
        if (!first) std::this_thread::sleep_for(kLookAgainAfter);
        if (ChangedOutside()) {
            const Outside outside = TakeOutsideChanges(true);
            if (outside == Outside::Failed) return kRegWriteFault;
            if (outside == Outside::Retry) continue;
        }
        int err = 0;
        struct stat st {};
        if (WriteFileAtomically(
                m_strPath, FormatRegText(m_doc), 0600, &err, [this] { return !ChangedOutside(); },
                &st)) {
            m_synced = FileId::Of(st);
            m_nSyncedEntries = RegEntryCount(m_doc);
            m_own.clear();
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
