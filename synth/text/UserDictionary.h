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

#include "synth/text/DictionaryFormat.h"

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
    // Entries live in one block: for each, the surface's length, the surface, the
    // replacement's length and the replacement, lengths as LEB128 numbers. The index holds
    // their offsets sorted by surface, so the surfaces that begin with a given text form one
    // run of it. A trie of small nodes took about 55 times a file's size; this takes little
    // more than the file.
    std::string_view surface(uint32_t entry) const;
    std::string_view replacement(uint32_t entry) const;
    void insert(std::string_view surface, std::string_view replacement);
    void finish();

    std::string m_store;
    std::vector<uint32_t> m_index;
    std::size_t m_nEntries = 0;
};

}  // namespace synth
