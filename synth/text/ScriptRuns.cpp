#include "synth/text/ScriptRuns.h"

#include <string>

#include "engine/Languages.h"
#include "platform/Utf8.h"

namespace synth {
namespace {

bool isHangul(char32_t c) {
    return (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F) ||
           (c >= 0xA960 && c <= 0xA97F) || (c >= 0xAC00 && c <= 0xD7FF) ||
           (c >= 0xFFA0 && c <= 0xFFDC);
}

// The middle dot U+30FB and U+30A0 are punctuation that Chinese and Korean names use too.
bool isKana(char32_t c) {
    return (c >= 0x3041 && c <= 0x309F) || (c >= 0x30A1 && c <= 0x30FA) ||
           (c >= 0x30FC && c <= 0x30FF) || (c >= 0x31F0 && c <= 0x31FF) ||
           (c >= 0xFF66 && c <= 0xFF9F) || (c >= 0x1B000 && c <= 0x1B16F);
}

bool isHan(char32_t c) {
    return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x3134F) || c == 0x3005 ||
           c == 0x3006 || c == 0x3007 || c == 0x303B;
}

bool isLatin(char32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 0xFF21 && c <= 0xFF3A) ||
           (c >= 0xFF41 && c <= 0xFF5A) || (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) ||
           (c >= 0x1E00 && c <= 0x1EFF);
}

bool isDigit(char32_t c) {
    return (c >= '0' && c <= '9') || (c >= 0xFF10 && c <= 0xFF19);
}

// What leads into the word after it: a number, an opening bracket or quote, a currency sign.
bool isLeading(char32_t c) {
    return isDigit(c) || std::u32string_view(U"([{（［｛「『【〔〈《“‘\"'$¥€£₩＄￥￦").find(c) !=
                             std::u32string_view::npos;
}

bool endsSentence(char32_t c) {
    return std::u32string_view(U"。．！？!?\n｡").find(c) != std::u32string_view::npos;
}

// What may follow the end of a sentence and still belong to it.
bool closesSentence(char32_t c) {
    return endsSentence(c) ||
           std::u32string_view(U")]}）］｝」』】〕〉》”’\"'").find(c) != std::u32string_view::npos;
}

struct Flags {
    bool kana = false, hangul = false, han = false;
};

class Splitter {
  public:
    Splitter(std::string_view text, int chosen)
        : m_text(text),
          m_nHanLanguage(chosen == engine::kJapanese || chosen == engine::kChinese
                             ? chosen
                             : engine::kChinese) {}

    std::vector<ScriptRun> split(int chosen) {
        std::size_t pos = 0;
        while (pos < m_text.size()) {
            Flags flags;
            const std::size_t end = sentenceEnd(pos, flags);
            classify(pos, end, flags);
            pos = end;
        }
        if (m_runs.empty() && !m_text.empty()) m_runs.push_back({chosen, 0, m_text.size()});
        if (!m_runs.empty()) m_runs.back().end = m_text.size();
        return std::move(m_runs);
    }

  private:
    char32_t at(std::size_t i, std::size_t* length) const {
        return utf8::DecodeAt(m_text, i, length);
    }

    std::size_t sentenceEnd(std::size_t pos, Flags& flags) const {
        std::size_t i = pos, n = 0;
        while (i < m_text.size()) {
            const char32_t c = at(i, &n);
            i += n;
            flags.kana = flags.kana || isKana(c);
            flags.hangul = flags.hangul || isHangul(c);
            flags.han = flags.han || isHan(c);
            bool ends = endsSentence(c);
            // A full stop ends a sentence only before a space, so 3.14 and e.g. stay whole.
            if (c == '.' && i < m_text.size()) {
                const char32_t next = at(i, &n);
                ends = next == ' ' || next == '\t' || next == '\r' || next == 0x3000;
            }
            if (!ends) continue;
            while (i < m_text.size()) {
                const char32_t next = at(i, &n);
                if (!closesSentence(next)) break;
                i += n;
            }
            break;
        }
        return i;
    }

    // 0 for characters that go with the run around them.
    int languageOf(char32_t c, const Flags& flags) const {
        if (isHangul(c)) return engine::kKorean;
        if (isKana(c)) return engine::kJapanese;
        if (isHan(c)) return flags.kana ? engine::kJapanese : m_nHanLanguage;
        if (isLatin(c) && !flags.kana && !flags.hangul && !flags.han) return engine::kEnglish;
        return 0;
    }

    void classify(std::size_t pos, std::size_t end, const Flags& flags) {
        // What stands before the sentence's first letter leads into that letter's run.
        std::size_t lead = pos;
        bool head = true;
        char32_t previous = 0;
        for (std::size_t i = pos, n = 0; i < end; i += n) {
            const char32_t c = at(i, &n);
            const int language = languageOf(c, flags);
            if (language == 0) {
                const bool separator = (c == ',' || c == '.' || c == ':') && isDigit(previous);
                if (isLeading(c) || (separator && lead != std::string::npos)) {
                    if (lead == std::string::npos) lead = i;
                } else if (!head) {
                    lead = std::string::npos;
                }
                previous = c;
                continue;
            }
            previous = c;
            head = false;
            if (m_runs.empty()) {
                m_runs.push_back({language, 0, 0});
            } else if (m_runs.back().language != language) {
                const std::size_t split = lead == std::string::npos ? i : lead;
                m_runs.back().end = split;
                m_runs.push_back({language, split, 0});
            }
            lead = std::string::npos;
        }
    }

    std::string_view m_text;
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
