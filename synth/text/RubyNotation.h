#pragma once
// Ruby (furigana) carried inside plain text as ｜base《reading》, the notation of Japanese
// e-texts. The engines take one text through a fixed interface and in their code pages; the
// three marks are in all of them but CP1252, so the reading an author gave reaches the voice
// in the text itself, with no second channel to keep in step. Only a reading of kana counts:
// 《》 around anything else stays text (Chinese book titles use them).

#include <cstddef>
#include <string>
#include <string_view>

namespace synth {

inline constexpr std::string_view kRubyBaseMark = "｜";
inline constexpr std::string_view kRubyOpen = "《";
inline constexpr std::string_view kRubyClose = "》";
// Longer bases or readings are not ruby (and bound the look-ahead of the scan), in characters.
inline constexpr std::size_t kMaxRubyBase = 32;
inline constexpr std::size_t kMaxRubyReading = 64;

// Whether `reading` (UTF-8) can be a ruby reading: 1 to kMaxRubyReading kana.
bool isRubyReading(std::string_view reading);

// `base` annotated with `reading`, or `base` alone when the pair cannot be carried (no base, a
// reading not of kana, a mark, a line break or a sentence or clause end inside either, too
// long).
std::string annotateRuby(std::string_view base, std::string_view reading);

// The text with each annotation replaced by its base (what is shown) or by its reading (what
// is said); anything else is kept as it is.
std::string rubyShown(std::string_view text);
std::string rubySaid(std::string_view text);

// Whether the text holds an annotation's start mark (cheap test before the two above).
inline bool mayHoldRuby(std::string_view text) {
    return text.find(kRubyBaseMark) != std::string_view::npos;
}

}  // namespace synth
