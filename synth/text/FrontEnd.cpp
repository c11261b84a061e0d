#include "synth/text/FrontEnd.h"

#include "platform/Utf8.h"
#include "synth/text/ChineseFrontEnd.h"
#include "synth/text/CopiedText.h"
#include "synth/text/EnglishFrontEnd.h"
#include "synth/text/KoreanFrontEnd.h"
#include "synth/text/TextScan.h"
#include "synth/text/ja/JapaneseReader.h"

namespace synth {

std::vector<SpeechSegment> readForVoice(TextReading reading, JapaneseReader* reader,
                                        std::string sentence, LinkReading links) {
    sentence = readCopiedText(sentence, reading, links);
    switch (reading) {
        case TextReading::Japanese:
            if (reader) return reader->read(sentence);
            break;
        case TextReading::Mandarin:
            return readChinese(sentence);
        case TextReading::Korean:
            return readKorean(sentence);
        case TextReading::English:
            return readEnglish(sentence);
        case TextReading::None:
            break;
    }
    return {{false, std::move(sentence)}};
}

namespace {

bool isClauseEnd(char32_t c) {
    return std::u32string_view(U"、。，．！？!?;；:：,").find(c) != std::u32string_view::npos;
}

void addClauses(const std::u32string& text, std::vector<SpeechSegment>& out) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = start;
        while (end < text.size() && end - start < kMaxClause && !isClauseEnd(text[end])) ++end;
        if (end < text.size() && isClauseEnd(text[end])) {
            ++end;
        } else if (end < text.size()) {
            // A long clause without punctuation: cut after a particle-like hiragana that a
            // kanji or katakana word follows, which keeps words whole.
            for (std::size_t k = end; k > start + kMaxClause / 2; --k)
                if (isHiragana(text[k - 1]) && !isHiragana(text[k])) {
                    end = k;
                    break;
                }
        }
        out.push_back({false, utf8::FromUtf32(text.substr(start, end - start))});
        start = end;
    }
}

}  // namespace

std::vector<SpeechSegment> splitJapaneseClauses(const std::string& sentence, LinkReading links) {
    const std::u32string text = utf8::ToUtf32(
        prepareForOpenJTalk(readCopiedText(sentence, TextReading::Japanese, links)));
    std::vector<SpeechSegment> out;
    std::size_t plain = 0, i = 0;
    while (i < text.size()) {
        if (!isLatinLetter(text[i])) {
            ++i;
            continue;
        }
        // A Latin run: letters with digits, spaces and word punctuation between them.
        std::size_t end = i, last = i;
        while (end < text.size() &&
               (isLatinLetter(text[end]) || isAsciiDigit(text[end]) ||
                std::u32string_view(U" '.-&").find(text[end]) != std::u32string_view::npos)) {
            if (isLatinLetter(text[end]) || isAsciiDigit(text[end])) last = end;
            ++end;
        }
        addClauses(text.substr(plain, i - plain), out);
        out.push_back({true, utf8::FromUtf32(text.substr(i, last + 1 - i))});
        plain = i = last + 1;
    }
    addClauses(text.substr(plain), out);
    return out;
}

}  // namespace synth
