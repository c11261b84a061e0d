#include "engine/EngineLibrary.h"

#include <dlfcn.h>

namespace engine {
namespace {

template <typename Fn>
bool Resolve(void* handle, const std::string& name, Fn* out, std::string* error) {
    dlerror();
    void* sym = dlsym(handle, name.c_str());
    if (!sym) {
        *error = "missing entry point " + name;
        return false;
    }
    *out = reinterpret_cast<Fn>(sym);
    return true;
}

}  // namespace

std::unique_ptr<EngineLibrary> EngineLibrary::Open(const std::string& path,
                                                   const std::string& suffix, std::string* error) {
    // RTLD_NODELETE: an engine's worker threads may outlive the last call into it by a
    // moment at exit; its code must stay mapped until the process ends.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) {
        const char* why = dlerror();
        *error = why ? why : "cannot open " + path;
        return nullptr;
    }
    std::unique_ptr<EngineLibrary> lib(new EngineLibrary);
    lib->m_handle = handle;
    EngineFunctions& f = lib->m_fns;
    const std::string s = "_" + suffix;
    bool ok = Resolve(handle, "VT_LOADTTS_EXT" + s, &f.load, error) &&
              Resolve(handle, "VT_UNLOADTTS_EXT" + s, &f.unload, error) &&
              Resolve(handle, "VT_GetTTSInfo" + s, &f.getInfo, error) &&
              Resolve(handle, "VT_LOAD_UserDict" + s, &f.loadUserDict, error) &&
              Resolve(handle, "VT_UNLOAD_UserDict" + s, &f.unloadUserDict, error) &&
              Resolve(handle, "VT_PLAYTTS" + s, &f.play, error) &&
              Resolve(handle, "VT_STOPTTS" + s, &f.stop, error) &&
              Resolve(handle, "VT_PAUSETTS" + s, &f.pause, error) &&
              Resolve(handle, "VT_RESTARTTTS" + s, &f.restart, error);
    if (!ok) return nullptr;
    return lib;
}

EngineLibrary::~EngineLibrary() {
    if (m_handle) dlclose(m_handle);
}

}  // namespace engine
