#pragma once
// The settings hive kept in a REGEDIT4 text file, by default
// ${XDG_CONFIG_HOME:-$HOME/.config}/Tarnholm/Selvarine.reg. Every write rewrites the file
// atomically (temporary file, fsync, rename), mode 0600, so a crash or a full disk never
// leaves it half written; temporary files such a crash left behind are removed at the next
// load. Changes are written at once, or, once DeferWrites is called, on Flush. A file that
// cannot be understood in full, or is too large to be ours, is first kept as
// Selvarine.reg.bad (or .bad.1, .bad.2, ... when that exists), so nothing the user wrote is
// lost. A file that exists but cannot be read is never written: the hive then lives in
// memory only.
//
// Another program (an editor, sed) may change the file while the hive is in use. Before each
// write the hive looks whether the file is still the one it last read or wrote (device,
// inode, size, modification time, mode); if not, it takes the file's values and keeps over
// them the values it set itself since then, and every key it holds: a key missing from the
// file comes back with the hive's values. A file that is empty, cut off or shorter than
// before and changed within the last second may be another program's in-place save half
// done: it is looked at again shortly after, never taken as damaged then. A damaged edit is
// kept aside (once a run; a second one is left as it is and not written over), an empty one
// is not.

#include <functional>
#include <map>
#include <string>

#include "platform/RegFileFormat.h"
#include "platform/RegMerge.h"
#include "platform/RegistryHive.h"
#include "platform/posix/AtomicFile.h"
#include "platform/posix/ConfigPath.h"
#include "platform/posix/SettingsFile.h"

namespace platform {

class RegFileHive final : public RegistryHive {
  public:
    enum class LoadResult { Loaded, Missing, Salvaged, Unreadable };
    // Larger files are not settings of ours; they are kept aside like damaged ones.
    static constexpr std::size_t kMaxFileSize = kMaxSettingsFileSize;

    // An empty path keeps the hive in memory only: nothing is read or written, and Flush
    // succeeds.
    explicit RegFileHive(std::string filePath);

    // Where the settings of this user live (ConfigPath.h).
    using Environment = ConfigEnvironment;
    static std::string DefaultPath() { return SettingsFilePath(); }
    static std::string DefaultPath(const Environment& env) { return SettingsFilePath(env); }

    // Reads the file. Salvaged: it was damaged or too large, the readable values were kept
    // and the original was kept aside (BackupPath()). Unreadable: it exists but cannot be
    // read (Problem() says why); the hive starts empty and is never written to the file.
    LoadResult Load();
    const std::string& FilePath() const { return m_strPath; }
    const std::string& BackupPath() const { return m_strBackup; }
    const std::string& Problem() const { return m_strProblem; }

    // Keeps the file as it was loaded as a .bad copy, once per load.
    void PreserveStored() override;

    RegStatus OpenKey(const std::string& path, RegAccess access, RegKey* key) override;
    RegStatus CreateKey(const std::string& path, RegKey* key) override;
    RegStatus QueryValue(RegKey key, const std::string& name, RegType* type, void* data,
                         std::uint32_t* size) override;
    RegStatus SetValue(RegKey key, const std::string& name, RegType type, const void* data,
                       std::uint32_t size) override;
    void CloseKey(RegKey key) override;
    RegStatus Flush() override;
    bool TakeStoredChanges() override;
    // Why the last write failed: the file and the reason.
    std::string WriteProblem() const override { return m_strWriteProblem; }

    // From now on changes stay in memory until Flush; onChange runs after each change that
    // is not yet written, so that the owner can schedule the write.
    void DeferWrites(std::function<void()> onChange);
    bool WritePending() const { return m_bDirty; }

  private:
    struct Handle {
        std::string path;
        bool writable;
    };
    enum class Outside { Taken, Retry, Failed };
    RegKey NewHandle(const std::string& path, bool writable);
    RegStatus Save();
    RegStatus Changed();
    bool KeepCopy(const std::string& text);
    bool ChangedOutside() const;
    Outside TakeOutsideChanges(bool beforeWrite);
    void FailWrite(const std::string& reason);

    std::string m_strPath;
    std::string m_strBackup;
    std::string m_strProblem;
    std::string m_strWriteProblem;
    std::string m_strLoaded;  // the file's text as loaded, for PreserveStored
    bool m_bReadOnly = false;
    bool m_bPreserved = false;  // a copy was kept aside (or tried) in this run: at most one
    RegDocument m_doc;
    std::map<RegKey, Handle> m_handles;
    RegKey m_nextHandle = 1;
    std::function<void()> m_onChange;  // set while writes are deferred
    bool m_bDirty = false;
    // The file as last read or written; size -1 when there was none.
    FileId m_synced;
    std::size_t m_nSyncedEntries = 0;  // keys and values the file held then
    RegOwnChanges m_own;               // since the file was last read or written
};

}  // namespace platform
