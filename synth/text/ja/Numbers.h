#pragma once
// Numbers and the counters after them, as the Japanese reader says them: the counter table
// with its sound changes, and numerals written in kanji or full-width digits.

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "synth/text/TextScan.h"

namespace synth::ja {

// How a counter's first sound changes after the number: h-row counters become p after a
// doubled consonant (イッポン) and b after ン (サンボン); k-, s- and t-row ones double the
// consonant after 1, 8 and 10 (and 6 and 100 for k); p-row ones after 1, 6, 8, 10 and 100.
enum class Sound { None, H, K, S, T, P };

// A number said as a word of its own before a counter: 2人 is フタリ, 8日 ヨーカ.
struct Word {
    long value;
    std::u32string_view word;
    bool dateOnly = false;  // only as a day of the month: 1日 counts a day as イチニチ
};
struct Counter {
    std::u32string_view surface;
    std::u32string_view reading;
    Sound sound = Sound::None;
    std::u32string_view afterN = {};  // the form after サン, セン, マン (サンボン), or empty
    bool fourTakesP = false;          // ヨンプン, ヨンパツ
    // How a number's last ヨン, ナナ or キュー is said before the counter (ヨニン, シガツ,
    // シチジ, クジ), or empty for no change.
    std::u32string_view four = {}, seven = {}, nine = {};
    std::span<const Word> words = {};   // numbers said as words of their own
    std::u32string_view wordTail = {};  // said after such a word: フツカカン
};

// The counter written `surface`, or null when it is not one we know.
const Counter* findCounter(std::u32string_view surface);
// The number's reading `stem` with the counter after it, its first sound changed.
std::u32string withSoundChange(std::u32string stem, const Counter& c);

// A run of numeral tokens as ASCII digits (and digits after a decimal point), or nothing
// when it is not a well-formed number (say 十十).
std::optional<DigitNumber> parseNumeral(const std::u32string& text);
// 3.14 is サンテンイチヨン, with a doubled consonant before テン: イッテンゴ, ハッテンゴ.
std::u32string readDecimal(const DigitNumber& n);
// 3.5万: a decimal before a large unit. The unit's reading, taken off the run; or empty.
std::u32string_view takeLargeUnit(std::u32string& run);

}  // namespace synth::ja
