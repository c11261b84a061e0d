#pragma once
// Turns Japanese text into what the Japanese voice can say: katakana pronunciation from
// MeCab, numbers read with their counters, and runs of Latin letters handed to a second
// voice. The voice reads kana only; kanji would be spoken as "Chinese letter".

#include <memory>
#include <string>
#include <vector>

#include "synth/SpeechSegment.h"

namespace MeCab {
class Tagger;
}

namespace synth {

// The katakana reading of a number, e.g. 2024 -> ニセンニジュウヨン. Longer than 16 digits:
// digit by digit.
std::u32string readNumber(const std::u32string& digits);

class JapaneseReader {
  public:
    JapaneseReader();
    ~JapaneseReader();
    JapaneseReader(const JapaneseReader&) = delete;
    JapaneseReader& operator=(const JapaneseReader&) = delete;

    // False when MeCab or its dictionary could not be opened.
    bool ok() const { return m_tagger != nullptr; }

    // Not thread-safe: MeCab's tagger keeps state between calls.
    std::vector<SpeechSegment> read(const std::string& utf8Sentence);

    // Digits, counters and width folded; before MeCab.
    static std::string normalise(const std::string& utf8);

  private:
    MeCab::Tagger* m_tagger = nullptr;
};

std::u32string toUtf32(const std::string& utf8);
std::string toUtf8(const std::u32string& text);

}  // namespace synth
