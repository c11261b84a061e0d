#include "synth/text/ScriptRuns.h"

#include <cstdint>
#include <string>

#include "engine/Languages.h"
#include "platform/Utf8.h"
#include "synth/text/LinkScan.h"

namespace synth {
namespace {

enum Script : std::uint8_t { kNone, kHangul, kKana, kHan, kLatin };

enum Flag : std::uint8_t {
    kLeading = 1,  // leads into the word after it: a digit, an opening bracket, a currency sign
    kDigit = 2,
    kEnds = 4,        // ends a sentence
    kCloses = 8,      // may follow the end of a sentence and still belong to it
    kSeparator = 16,  // inside a number: 1,000 3.5 10:30
    kSpace = 32,
};

struct Char {
    std::uint32_t offset;
    Script script;
    std::uint8_t flags;
};

constexpr std::u32string_view kOpening = U"([{（［｛「『【〔〈《“‘\"'$¥€£₩＄￥￦";
constexpr std::u32string_view kClosing = U")]}）］｝」』】〕〉》”’\"'";
constexpr std::u32string_view kEnding = U"。．！？!?\n｡";

constexpr bool in(std::u32string_view set, char32_t c) {
    return set.find(c) != std::u32string_view::npos;
}

constexpr std::uint8_t flagsOf(char32_t c) {
    std::uint8_t f = 0;
    const bool digit = (c >= '0' && c <= '9') || (c >= 0xFF10 && c <= 0xFF19);
    if (digit) f |= kDigit | kLeading;
    if (in(kOpening, c)) f |= kLeading;
    if (in(kEnding, c)) f |= kEnds | kCloses;
    if (in(kClosing, c)) f |= kCloses;
    if (c == ',' || c == '.' || c == ':') f |= kSeparator;
    if (c == ' ' || c == '\t' || c == '\r' || c == 0x3000) f |= kSpace;
    return f;
}

// The middle dot U+30FB and U+30A0 are punctuation that Chinese and Korean names use too.
constexpr Script scriptOf(char32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return kLatin;
    if (c < 0xC0) return kNone;
    if ((c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F) ||
        (c >= 0xA960 && c <= 0xA97F) || (c >= 0xAC00 && c <= 0xD7FF) ||
        (c >= 0xFFA0 && c <= 0xFFDC))
        return kHangul;
    if ((c >= 0x3041 && c <= 0x309F) || (c >= 0x30A1 && c <= 0x30FA) ||
        (c >= 0x30FC && c <= 0x30FF) || (c >= 0x31F0 && c <= 0x31FF) ||
        (c >= 0xFF66 && c <= 0xFF9F) || (c >= 0x1B000 && c <= 0x1B16F))
        return kKana;
    if ((c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
        (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x3134F) || c == 0x3005 ||
        c == 0x3006 || c == 0x3007 || c == 0x303B)
        return kHan;
    if ((c <= 0x24F && c != 0xD7 && c != 0xF7) || (c >= 0x1E00 && c <= 0x1EFF) ||
        (c >= 0xFF21 && c <= 0xFF3A) || (c >= 0xFF41 && c <= 0xFF5A))
        return kLatin;
    return kNone;
}

struct AsciiTable {
    Script script[128];
    std::uint8_t flags[128];
};

constexpr AsciiTable kAscii = [] {
    AsciiTable t{};
    for (char32_t c = 0; c < 128; ++c) {
        t.script[c] = scriptOf(c);
        t.flags[c] = flagsOf(c);
    }
    return t;
}();

// Every character with its class, decoded once: the rules look at a sentence twice.
std::vector<Char> decode(std::string_view text) {
    std::vector<Char> chars;
    chars.reserve(text.size() / 2 + 16);  // most of what is read is CJK, 3 bytes a character
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            chars.push_back(
                {static_cast<std::uint32_t>(i), kAscii.script[byte], kAscii.flags[byte]});
            ++i;
            continue;
        }
        std::size_t length = 0;
        const char32_t c = utf8::DecodeAt(text, i, &length);
        // Letters carry no flags; the flag sets are searched only for the rest.
        const Script script = scriptOf(c);
        chars.push_back(
            {static_cast<std::uint32_t>(i), script, script ? std::uint8_t{0} : flagsOf(c)});
        i += length;
    }
    return chars;
}

class Splitter {
  public:
    Splitter(std::string_view text, int chosen)
        : m_text(text),
          m_chars(decode(text)),
          m_nHanLanguage(chosen == engine::kJapanese || chosen == engine::kChinese
                             ? chosen
                             : engine::kChinese) {}

    std::vector<ScriptRun> split(int chosen) {
        std::size_t pos = 0;
        while (pos < m_chars.size()) {
            bool kana = false, other = false;
            const std::size_t end = sentenceEnd(pos, kana, other);
            classify(pos, end, kana, other);
            pos = end;
        }
        if (m_runs.empty() && !m_text.empty()) m_runs.push_back({chosen, 0, m_text.size()});
        if (!m_runs.empty()) m_runs.back().end = m_text.size();
        return std::move(m_runs);
    }

  private:
    // `kana`: the sentence has kana; `other`: letters of any script but Latin.
    std::size_t sentenceEnd(std::size_t pos, bool& kana, bool& other) const {
        std::size_t i = pos;
        while (i < m_chars.size()) {
            // ? . ! inside a URL end nothing.
            if (const std::size_t link = linkEnd(m_text, m_chars[i].offset, true);
                link != m_chars[i].offset) {
                while (i < m_chars.size() && m_chars[i].offset < link) ++i;
                continue;
            }
            const Char& c = m_chars[i++];
            kana = kana || c.script == kKana;
            other = other || (c.script != kNone && c.script != kLatin);
            bool ends = c.flags & kEnds;
            // A full stop ends a sentence only before a space, so 3.14 and e.g. stay whole.
            if (m_text[c.offset] == '.') ends = i < m_chars.size() && (m_chars[i].flags & kSpace);
            if (!ends) continue;
            while (i < m_chars.size() && (m_chars[i].flags & kCloses)) ++i;
            break;
        }
        return i;
    }

    // 0 for characters that go with the run around them.
    int languageOf(Script script, bool kana, bool other) const {
        switch (script) {
            case kHangul:
                return engine::kKorean;
            case kKana:
                return engine::kJapanese;
            case kHan:
                return kana ? engine::kJapanese : m_nHanLanguage;
            case kLatin:
                return other ? 0 : engine::kEnglish;
            case kNone:
                break;
        }
        return 0;
    }

    void classify(std::size_t pos, std::size_t end, bool kana, bool other) {
        constexpr std::size_t kNoLead = std::string::npos;
        // What stands before the sentence's first letter leads into that letter's run.
        std::size_t lead = m_chars[pos].offset;
        bool head = true, afterDigit = false;
        for (std::size_t i = pos; i < end; ++i) {
            const Char& c = m_chars[i];
            const int language = languageOf(c.script, kana, other);
            if (language == 0) {
                if ((c.flags & kLeading) ||
                    ((c.flags & kSeparator) && afterDigit && lead != kNoLead)) {
                    if (lead == kNoLead) lead = c.offset;
                } else if (!head) {
                    lead = kNoLead;
                }
                afterDigit = c.flags & kDigit;
                continue;
            }
            afterDigit = false;
            head = false;
            if (m_runs.empty()) {
                m_runs.push_back({language, 0, 0});
            } else if (m_runs.back().language != language) {
                const std::size_t split = lead == kNoLead ? c.offset : lead;
                m_runs.back().end = split;
                m_runs.push_back({language, split, 0});
            }
            lead = kNoLead;
        }
    }

    std::string_view m_text;
    std::vector<Char> m_chars;
    int m_nHanLanguage;
    std::vector<ScriptRun> m_runs;
};

}  // namespace

std::vector<ScriptRun> splitScriptRuns(std::string_view utf8, int chosen) {
    return Splitter(utf8, chosen).split(chosen);
}

bool readByChosenAlone(std::string_view utf8, int chosen) {
    for (const ScriptRun& run : splitScriptRuns(utf8, chosen))
        if (run.language != chosen) return false;
    return true;
}

}  // namespace synth
