#pragma once
// A user dictionary: pairs of surface text and the text spoken in its place, read from a file
// in the format of synth/DictionaryFormat.h. Later entries for the same surface replace
// earlier ones.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "synth/DictionaryFormat.h"

namespace synth {

class UserDictionary {
  public:
    // Files above this size are refused rather than read into memory.
    static constexpr std::size_t kMaxFileSize = kMaxDictionaryFileSize;

    // Parses the whole text; nothing (with the reason in *error) unless it is well formed.
    static std::optional<UserDictionary> parse(std::string_view utf8, std::string* error);
    // Reads and parses a file; refuses missing, unreadable and oversized files.
    static std::optional<UserDictionary> load(const std::string& path, std::string* error);

    std::size_t size() const { return m_nEntries; }

    // Replaces every occurrence of a surface, trying the longest surface first at each
    // character; replaced text is not scanned again.
    std::string apply(std::string_view utf8) const;

  private:
    struct Node {
        std::vector<std::pair<uint8_t, uint32_t>> children;  // sorted by byte
        int32_t replacement = -1;                            // index into m_replacements
    };
    uint32_t child(uint32_t node, uint8_t byte) const;
    void insert(std::string_view surface, std::string replacement);

    std::vector<Node> m_nodes{Node{}};
    std::vector<std::string> m_replacements;
    std::size_t m_nEntries = 0;
};

// True when the text is valid UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool isValidUtf8(std::string_view text);

}  // namespace synth
