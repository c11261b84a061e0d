#include "platform/ProgramDir.h"

#include <unistd.h>

#include <vector>

namespace platform {

std::string ProgramDirectory() {
    std::vector<char> buf(4096);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < buf.size()) {
            std::string path(buf.data(), static_cast<size_t>(n));
            size_t slash = path.find_last_of('/');
            return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
        }
        buf.resize(buf.size() * 2);
    }
}

}  // namespace platform
