#pragma once
// One engine library opened by full path, with all its entry points resolved at once: a
// missing symbol fails the open, never a later call. The save and option entry points are looked
// up too but may be missing: then they stay null and only saving or the options are unavailable.

#include <memory>
#include <string>

#include "engine/EngineApi.h"

namespace engine {

struct EngineFunctions {
#define SELVARINE_ENTRY_POINT_MEMBER(arg, name, type, member) type* member = nullptr;
    SELVARINE_ENGINE_ENTRY_POINTS(SELVARINE_ENTRY_POINT_MEMBER, )
    SELVARINE_FOLLOW_ENTRY_POINTS(SELVARINE_ENTRY_POINT_MEMBER, )
    SELVARINE_ENGINE_SAVE_ENTRY_POINTS(SELVARINE_ENTRY_POINT_MEMBER, )
    SELVARINE_ENGINE_OPTION_ENTRY_POINTS(SELVARINE_ENTRY_POINT_MEMBER, )
#undef SELVARINE_ENTRY_POINT_MEMBER
};

class EngineLibrary {
  public:
    // suffix: "JPN", "ENG", "CHI" or "KOR". On failure returns null and says why in *error.
    static std::unique_ptr<EngineLibrary> Open(const std::string& path, const std::string& suffix,
                                               std::string* error);
    ~EngineLibrary();
    EngineLibrary(const EngineLibrary&) = delete;
    EngineLibrary& operator=(const EngineLibrary&) = delete;

    const EngineFunctions& Functions() const { return m_fns; }
    // Another symbol of the library or of the libraries it loaded (the speech core's
    // diagnostic entry points); null when there is none.
    void* Symbol(const char* name) const;

  private:
    EngineLibrary() = default;
    void* m_handle = nullptr;
    EngineFunctions m_fns;
};

}  // namespace engine
