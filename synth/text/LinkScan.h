#pragma once
// Where a URL (scheme:// or www.) written in text ends, so that ? . ! inside it end no
// sentence. Shared by the sentence splitters of the core and of the script runs.

#include <cstddef>
#include <string_view>

namespace synth {

// Links longer than this are read as plain text (and cut as any long sentence is).
inline constexpr std::size_t kMaxLinkBytes = 2048;

// Bytes a link or address is made of: printable ASCII but for spaces, quotes and brackets.
bool isLinkByte(char c);

// The end of the run of link bytes from pos, trailing punctuation (a sentence's or clause's
// end right after the link) left out.
std::size_t linkTokenEnd(std::string_view text, std::size_t pos);

// When a URL starts at text[pos]: one past its last byte. pos when none starts there; npos
// when the text ends inside it and more may come (`complete` false).
std::size_t linkEnd(std::string_view text, std::size_t pos, bool complete);

}  // namespace synth
