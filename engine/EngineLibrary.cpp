#include "engine/EngineLibrary.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace engine {
namespace {

// The dynamic loader maps a library's segments without checking them against the file's
// length; touching a page past the end of a truncated file (a half-written update) then kills
// the whole process with SIGBUS. So before dlopen, the header, the program headers and every
// segment's file bytes must lie inside the file, and so must those of the libraries it needs
// from its own folder (the speech core). Empty when the file will load; else why not.
std::string TruncationProblem(const std::string& path, int depth = 0) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};  // dlopen says why
    struct stat st {};
    const std::size_t size =
        fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? static_cast<std::size_t>(st.st_size) : 0;
    auto read = [&](std::size_t offset, void* out, std::size_t length) {
        return offset <= size && length <= size - offset &&
               pread(fd, out, length, static_cast<off_t>(offset)) == static_cast<ssize_t>(length);
    };
    const std::string cut = path + " is truncated or damaged";
    std::string problem;
    ElfW(Ehdr) eh;
    std::vector<ElfW(Phdr)> ph;
    std::vector<ElfW(Dyn)> dyn;
    if (!read(0, &eh, sizeof eh)) {
        problem = cut;
    } else if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) == 0) {  // else dlopen refuses it
        ph.resize(eh.e_phnum);
        if (eh.e_phentsize != sizeof(ElfW(Phdr)) ||
            !read(eh.e_phoff, ph.data(), ph.size() * sizeof(ElfW(Phdr))))
            problem = cut;
        for (const auto& p : ph) {
            if (problem.empty() && (p.p_offset > size || p.p_filesz > size - p.p_offset))
                problem = cut;
            if (problem.empty() && p.p_type == PT_DYNAMIC && depth == 0) {
                dyn.resize(p.p_filesz / sizeof(ElfW(Dyn)));
                read(p.p_offset, dyn.data(), dyn.size() * sizeof(ElfW(Dyn)));
            }
        }
    }

    // The libraries it needs from its own folder: DT_NEEDED names are offsets into DT_STRTAB,
    // an address that a loadable segment maps from the file.
    std::size_t strtab = size;
    for (const auto& d : dyn)
        for (const auto& p : ph)
            if (d.d_tag == DT_STRTAB && p.p_type == PT_LOAD && d.d_un.d_ptr >= p.p_vaddr &&
                d.d_un.d_ptr - p.p_vaddr < p.p_filesz)
                strtab = static_cast<std::size_t>(p.p_offset + (d.d_un.d_ptr - p.p_vaddr));
    const std::string folder = path.substr(0, path.find_last_of('/') + 1);
    for (const auto& d : dyn) {
        if (!problem.empty() || d.d_tag == DT_NULL) break;
        char name[256] = {};
        if (d.d_tag != DT_NEEDED || strtab >= size ||
            !read(strtab + d.d_un.d_val, name,
                  std::min(sizeof name - 1, size - std::min(size, strtab + d.d_un.d_val))))
            continue;
        const std::string dep = folder + name;
        if (std::strchr(name, '/') == nullptr && *name && access(dep.c_str(), F_OK) == 0)
            problem = TruncationProblem(dep, depth + 1);
    }
    close(fd);
    return problem;
}

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
    *error = TruncationProblem(path);
    if (!error->empty()) return nullptr;
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
    bool ok = true;
#define SELVARINE_RESOLVE(arg, name, type, member) \
    ok = ok && Resolve(handle, #name + suffix, &f.member, error);
    SELVARINE_ENGINE_ENTRY_POINTS(SELVARINE_RESOLVE, )
    SELVARINE_FOLLOW_ENTRY_POINTS(SELVARINE_RESOLVE, )
#undef SELVARINE_RESOLVE
    if (!ok) return nullptr;
#define SELVARINE_RESOLVE_OPTIONAL(arg, name, type, member) \
    f.member = reinterpret_cast<type*>(dlsym(handle, (#name + suffix).c_str()));
    SELVARINE_ENGINE_SAVE_ENTRY_POINTS(SELVARINE_RESOLVE_OPTIONAL, )
    SELVARINE_ENGINE_OPTION_ENTRY_POINTS(SELVARINE_RESOLVE_OPTIONAL, )
#undef SELVARINE_RESOLVE_OPTIONAL
    return lib;
}

void* EngineLibrary::Symbol(const char* name) const {
    return m_handle ? dlsym(m_handle, name) : nullptr;
}

EngineLibrary::~EngineLibrary() {
    if (m_handle) dlclose(m_handle);
}

}  // namespace engine
