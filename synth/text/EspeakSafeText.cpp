#include "synth/text/EspeakSafeText.h"

#include <algorithm>
#include <iterator>

#include "platform/Utf8.h"

namespace synth {
namespace {

struct Range {
    char32_t first, last;
};

// Letters, digits and punctuation, block by block, in order. Left out on purpose: the
// symbol blocks (technical, box drawing, shapes, dingbats), the emoji planes, mathematical
// letters (read as code points), private use, specials, variation selectors and tags.
constexpr Range kSpeakable[] = {
    {0x0020, 0x007E},    // ASCII
    {0x00A0, 0x036F},    // Latin-1, Latin Extended, IPA, combining marks
    {0x0370, 0x052F},    // Greek, Cyrillic
    {0x0530, 0x10FF},    // Armenian to Georgian: scripts espeak-ng voices read
    {0x1100, 0x11FF},    // Hangul Jamo
    {0x1200, 0x1CFF},    // Ethiopic to Sundanese
    {0x1D00, 0x1FFF},    // phonetic extensions, Latin and Greek Extended
    {0x2010, 0x2027},    // dashes, quotes, ellipsis
    {0x2030, 0x205E},    // per mille, primes, and other punctuation
    {0x2070, 0x209F},    // super- and subscripts
    {0x20A0, 0x20C0},    // currency signs
    {0x2100, 0x218B},    // letterlike symbols, number forms
    {0x2190, 0x22FF},    // arrows, mathematical operators
    {0x2460, 0x24FF},    // enclosed alphanumerics
    {0x2E80, 0x2FD5},    // CJK and Kangxi radicals
    {0x3000, 0x303F},    // CJK symbols and punctuation
    {0x3041, 0x30FF},    // kana
    {0x3105, 0x312F},    // Bopomofo
    {0x3131, 0x318E},    // Hangul compatibility jamo
    {0x31A0, 0x31BF},    // Bopomofo Extended
    {0x31F0, 0x31FF},    // katakana phonetic extensions
    {0x3200, 0x32FF},    // enclosed CJK letters and months
    {0x3400, 0x4DBF},    // CJK Extension A
    {0x4E00, 0x9FFF},    // CJK unified ideographs
    {0xA960, 0xA97C},    // Hangul Jamo Extended-A
    {0xAC00, 0xD7A3},    // Hangul syllables
    {0xD7B0, 0xD7FB},    // Hangul Jamo Extended-B
    {0xF900, 0xFAFF},    // CJK compatibility ideographs
    {0xFE30, 0xFE4F},    // CJK compatibility forms
    {0xFF01, 0xFFEE},    // half- and full-width forms
    {0x20000, 0x2A6DF},  // CJK Extension B
    {0x2A700, 0x2EBEF},  // CJK Extensions C to F
    {0x2F800, 0x2FA1F},  // CJK compatibility supplement
    {0x30000, 0x3134F},  // CJK Extension G
};

static_assert(std::is_sorted(std::begin(kSpeakable), std::end(kSpeakable),
                             [](Range a, Range b) { return a.last < b.first; }));

}  // namespace

bool espeakMaySay(char32_t cp) {
    const auto* r = std::lower_bound(std::begin(kSpeakable), std::end(kSpeakable), cp,
                                     [](Range range, char32_t c) { return range.last < c; });
    return r != std::end(kSpeakable) && r->first <= cp;
}

std::string espeakSafeText(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        std::size_t len;
        const char32_t cp = utf8::DecodeAt(s, i, &len);
        if (espeakMaySay(cp))
            out.append(s, i, len);
        else
            out += ' ';
        i += len;
    }
    return out;
}

bool endsAtPause(std::string_view s) {
    static constexpr std::u32string_view kClosing = U" \t)]}\"'）」』】〕》〉’”";
    static constexpr std::u32string_view kPause = U".!?,;:。！？．｡、，､；：…";
    const std::u32string text = utf8::ToUtf32(s);
    for (auto it = text.rbegin(); it != text.rend(); ++it) {
        if (kClosing.find(*it) != std::u32string_view::npos) continue;
        return kPause.find(*it) != std::u32string_view::npos;
    }
    return false;
}

}  // namespace synth
