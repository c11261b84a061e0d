#include "synth/text/EmojiNames.h"

#include <algorithm>
#include <iterator>

namespace synth {
namespace {

struct EmojiRow {
    char32_t cp;
    const char* names[4];  // by EmojiLanguage
};

constexpr EmojiRow kEmoji[] = {
#include "synth/text/EmojiNames.inc"
};

static_assert(std::is_sorted(std::begin(kEmoji), std::end(kEmoji),
                             [](const EmojiRow& a, const EmojiRow& b) { return a.cp < b.cp; }));

}  // namespace

std::string_view emojiName(char32_t cp, EmojiLanguage language) {
    const auto* row = std::lower_bound(std::begin(kEmoji), std::end(kEmoji), cp,
                                       [](const EmojiRow& r, char32_t c) { return r.cp < c; });
    if (row == std::end(kEmoji) || row->cp != cp) return {};
    return row->names[static_cast<int>(language)];
}

}  // namespace synth
