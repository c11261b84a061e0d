#pragma once
// SHA-256 of a file, to check a downloaded voice file before it is used.

#include <optional>
#include <string>

namespace synth {

// Lower-case hex digest of the file's bytes, or nothing when it cannot be read.
std::optional<std::string> sha256OfFile(const std::string& path);

}  // namespace synth
