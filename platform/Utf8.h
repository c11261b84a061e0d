#pragma once
// The one UTF-8 decoder and encoder of the program. Decoding is strict: overlong forms,
// surrogates, values past U+10FFFF, stray continuation bytes and truncated sequences are
// malformed; each malformed byte decodes to U+FFFD on its own, so decoding always advances.

#include <cstddef>
#include <string>
#include <string_view>

namespace utf8 {

inline constexpr char32_t kReplacement = U'\uFFFD';

// Decodes the sequence that starts at text[i] (i < text.size()). Sets *length to the bytes
// taken: the sequence's length, or 1 for a malformed byte (which gives kReplacement).
char32_t DecodeAt(std::string_view text, std::size_t i, std::size_t* length);

bool IsValid(std::string_view text);

// Appends the UTF-8 form of cp; a surrogate or a value past U+10FFFF appends U+FFFD.
void Append(std::string& out, char32_t cp);

std::u32string ToUtf32(std::string_view text);
std::string FromUtf32(std::u32string_view text);
// UTF-16 with surrogate pairs for characters past the BMP.
std::u16string ToUtf16(std::string_view text);
// From UTF-16; a lone surrogate becomes U+FFFD.
std::string FromUtf16(std::u16string_view text);

}  // namespace utf8
