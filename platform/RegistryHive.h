#pragma once
// A typed per-user settings hive with the registry's semantics: keys named by backslash
// paths ("SOFTWARE\Tarnholm\Selvarine\Japanese"), values of type DWORD, SZ or BINARY, key
// paths and value names compared without regard to case.
//
// - OpenKey never creates a key; CreateKey opens it, creating it and its parents if needed.
// - QueryValue with room for fewer bytes than the value holds fails with kRegMoreData and
//   copies nothing. The stored type is reported but never checked.
// - SetValue on a key opened only for reading fails with kRegAccessDenied.

#include <cstdint>
#include <string>

namespace platform {

enum class RegType : std::uint32_t { None = 0, Sz = 1, Binary = 3, Dword = 4 };
enum class RegAccess { Read, Write, All };

using RegStatus = long;
inline constexpr RegStatus kRegOk = 0;
inline constexpr RegStatus kRegNotFound = 2;
inline constexpr RegStatus kRegAccessDenied = 5;
inline constexpr RegStatus kRegInvalidHandle = 6;
inline constexpr RegStatus kRegWriteFault = 29;
inline constexpr RegStatus kRegMoreData = 234;

using RegKey = std::uint32_t;
inline constexpr RegKey kNoKey = 0;

class RegistryHive {
  public:
    virtual ~RegistryHive() = default;

    virtual RegStatus OpenKey(const std::string& path, RegAccess access, RegKey* key) = 0;
    virtual RegStatus CreateKey(const std::string& path, RegKey* key) = 0;
    // size: in, the room at data; out, the value's size (also on kRegMoreData).
    virtual RegStatus QueryValue(RegKey key, const std::string& name, RegType* type, void* data,
                                 std::uint32_t* size) = 0;
    // The value is in force at once. It reaches persistent storage at once, or at the next
    // Flush where the hive defers its writes; a failed write returns kRegWriteFault and keeps
    // the value in memory for the rest of the run.
    virtual RegStatus SetValue(RegKey key, const std::string& name, RegType type, const void* data,
                               std::uint32_t size) = 0;
    virtual void CloseKey(RegKey key) = 0;
    // Writes any change not yet in persistent storage; kRegOk when nothing is pending.
    virtual RegStatus Flush() { return kRegOk; }
    // Takes what another program changed in persistent storage since it was last read or
    // written, keeping over it the changes made here that are not written yet. True when
    // the stored values were taken; false when nothing changed or they cannot be read.
    virtual bool TakeStoredChanges() { return false; }
    // After a failed write: where and why, for a message to the user (UTF-8).
    virtual std::string WriteProblem() const { return {}; }
    // Called before defaults replace values that were stored: keeps a copy of what is
    // stored where the user can find it. Does nothing where storage keeps no copies.
    virtual void PreserveStored() {}
};

// Convenience for the common 4-byte case.
inline RegStatus SetDword(RegistryHive& hive, RegKey key, const std::string& name,
                          std::uint32_t value) {
    return hive.SetValue(key, name, RegType::Dword, &value, sizeof value);
}

}  // namespace platform
