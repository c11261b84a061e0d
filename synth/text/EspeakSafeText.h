#pragma once
// What may be handed to espeak-ng. Characters outside its tables are at best spelled out as
// code points, and some pairs (an unassigned code point before an emoji, U+1FA18 U+1F43D)
// make libespeak-ng read freed memory. So only scripts and punctuation are let through;
// emoji, symbols, private-use, format and unassigned code points become spaces.

#include <string>
#include <string_view>

namespace synth {

// Each character that may not reach espeak-ng becomes one space, so the text keeps its
// character count and espeak-ng's character positions still name the same characters.
std::string espeakSafeText(std::string_view utf8);

// True for a character espeak-ng may be handed.
bool espeakMaySay(char32_t cp);

// True when the text's last character, past spaces and closing brackets and quotes, is
// punctuation a reader pauses at: a sentence end, a comma, a colon or a semicolon.
bool endsAtPause(std::string_view utf8);

}  // namespace synth
