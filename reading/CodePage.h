#pragma once
// UTF-16 to the byte code pages the engines read (932, 1252, 936, 949), through iconv.
// A character the code page lacks, and a malformed UTF-16 unit (a lone surrogate), become the
// default character '?', so every character gives at least one byte. The text ends at its
// first zero unit. Any thread.

#include <cstddef>
#include <string>
#include <string_view>

namespace reading {

inline constexpr int kAnsiCodePage = 932;  // the program is written for Japanese desktops

// Writes the converted text and a terminator into out[0..capacity) and returns the number of
// bytes written without the terminator. Never writes past capacity; stops before a character
// that no longer fits. With capacity 0 nothing is written and 0 is returned. An unknown code
// page converts nothing (an empty, terminated result).
std::size_t WideToCodePage(int codePage, std::u16string_view text, char* out, std::size_t capacity);

// The byte length WideToCodePage would produce with unlimited room.
std::size_t CodePageLength(int codePage, std::u16string_view text);

// The text up to its first zero unit: what the conversions read. It converts to nothing
// exactly when this is empty (for a known code page), which takes no conversion to learn.
std::u16string_view ConvertedPart(std::u16string_view text);

}  // namespace reading
