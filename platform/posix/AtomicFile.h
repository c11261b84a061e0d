#pragma once
// Replacing a file so that readers see the old or the new text, never a mix, and a crash, a
// full disk or a size limit never leaves it half written.

#include <sys/stat.h>

#include <functional>
#include <string>

namespace platform {

// Writes data to path atomically (a temporary file beside it, fsync, rename) with the given
// mode, creating missing folders with mode 0700; false on any failure (the old file, if any,
// is then unchanged), with *error (when given) the errno that says why. A file-size limit
// (RLIMIT_FSIZE) fails the write with EFBIG rather than ending the program: SIGXFSZ is ignored
// from the first write on. mayReplace, when given, runs just before the rename and can call it
// off (false, error 0). written, when given, receives the new file's status.
bool WriteFileAtomically(const std::string& path, const std::string& data, unsigned mode,
                         int* error = nullptr, const std::function<bool()>& mayReplace = {},
                         struct stat* written = nullptr);

// The folder part of path; "." when it has none.
std::string FolderOf(const std::string& path);

}  // namespace platform
