#pragma once
// Short names of emoji and pictographs, from Unicode CLDR (tools/gen-emoji-names).

#include <string_view>

namespace synth {

enum class EmojiLanguage { English, Japanese, Chinese, Korean };

// The short name of the single code point in the language, or empty when it has none.
std::string_view emojiName(char32_t cp, EmojiLanguage language);

}  // namespace synth
