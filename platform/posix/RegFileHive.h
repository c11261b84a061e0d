#pragma once
// The settings hive kept in a REGEDIT4 text file, by default
// ${XDG_CONFIG_HOME:-$HOME/.config}/Tarnholm/Selvarine.reg. Every write rewrites the file
// atomically (temporary file, fsync, rename), mode 0600, so a crash never leaves it half
// written. Changes are written at once, or, once DeferWrites is called, on Flush. A file that cannot be understood in full is first copied to Selvarine.reg.bad
// (or .bad.1, .bad.2, ... when that exists), so nothing the user wrote is lost.

#include <functional>
#include <map>
#include <string>

#include "platform/RegFileFormat.h"
#include "platform/RegistryHive.h"

namespace platform {

class RegFileHive final : public RegistryHive {
public:
    enum class LoadResult { Loaded, Missing, Salvaged, Unreadable };

    explicit RegFileHive(std::string filePath);
    static std::string DefaultPath();

    // Reads the file. Salvaged: it was damaged, the readable values were kept and the
    // original was copied aside (BackupPath()). Unreadable: the hive starts empty.
    LoadResult Load();
    const std::string& FilePath() const { return m_strPath; }
    const std::string& BackupPath() const { return m_strBackup; }

    RegStatus OpenKey(const std::string& path, RegAccess access, RegKey* key) override;
    RegStatus CreateKey(const std::string& path, RegKey* key) override;
    RegStatus QueryValue(RegKey key, const std::string& name, RegType* type, void* data,
                         std::uint32_t* size) override;
    RegStatus SetValue(RegKey key, const std::string& name, RegType type, const void* data,
                       std::uint32_t size) override;
    void CloseKey(RegKey key) override;
    RegStatus Flush() override;

    // From now on changes stay in memory until Flush; onChange runs after each change that
    // is not yet written, so that the owner can schedule the write.
    void DeferWrites(std::function<void()> onChange);
    bool WritePending() const { return m_bDirty; }

private:
    struct Handle {
        std::string path;
        bool writable;
    };
    RegKeyData* FindKey(const std::string& path);
    RegKey NewHandle(const std::string& path, bool writable);
    RegStatus Save();
    RegStatus Changed();

    std::string m_strPath;
    std::string m_strBackup;
    RegDocument m_doc;
    std::map<RegKey, Handle> m_handles;
    RegKey m_nextHandle = 1;
    std::function<void()> m_onChange;  // set while writes are deferred
    bool m_bDirty = false;
};

// Writes data to path atomically with the given mode; false on any failure (the old file,
// if any, is then unchanged).
bool WriteFileAtomically(const std::string& path, const std::string& data, unsigned mode);

}  // namespace platform
