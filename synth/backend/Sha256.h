#pragma once
// SHA-256 of a file, to check a downloaded voice file before it is used.

#include <cstdint>
#include <optional>
#include <string>

namespace synth {

// Real voice files are a few megabytes (Mei: under 1 MB); hashing a file far larger than
// that would only hold up loading, so it is refused before a byte is read.
inline constexpr std::uint64_t kMaxVoiceFileBytes = 32u << 20;

// Lower-case hex digest of the file's bytes, or nothing when it cannot be read or holds more
// than `maxBytes`; then `why` (when given) says which.
std::optional<std::string> sha256OfFile(const std::string& path, std::string* why = nullptr,
                                        std::uint64_t maxBytes = kMaxVoiceFileBytes);

}  // namespace synth
