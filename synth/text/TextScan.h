#pragma once
// Pieces the text front ends share: width folding, finding numbers written in digits, and
// saying them in groups of four digits.

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>

namespace synth {

// Width folding of the NFKC kind that matters here: full-width ASCII to ASCII, the
// ideographic space to a space, half-width katakana (with their voicing marks) to full width.
std::u32string foldWidth(const std::u32string& text);

inline bool isAsciiDigit(char32_t c) {
    return c >= '0' && c <= '9';
}
inline bool isLatinLetter(char32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
inline bool isHiragana(char32_t c) {
    return c >= 0x3041 && c <= 0x3096;
}
inline bool isKatakana(char32_t c) {
    return (c >= 0x30A1 && c <= 0x30FA) || c == 0x30FC;
}

// A number written in ASCII digits, with thousands separators taken out.
struct DigitNumber {
    bool negative = false;
    std::u32string integer;   // at least one digit
    std::u32string fraction;  // digits after the decimal point, or empty
    std::size_t begin = 0;    // of the sign or first digit
    std::size_t end = 0;      // one past the last character taken
};

// The number that starts at text[pos] (a digit, or a minus sign before one that follows no
// letter or digit). Commas count as thousands separators only between groups of three.
std::optional<DigitNumber> scanNumber(const std::u32string& text, std::size_t pos);

// A date written with a four-digit year, Y-M-D, Y/M/D or Y.M.D (a space may follow the dots,
// as Korean writes 2024. 3. 1.), or a clock time H:MM or H:MM:SS; the parts as ASCII digits
// without leading zeros. `end` is one past the last character taken.
struct DateParts {
    std::u32string year, month, day;
    std::size_t end = 0;
};
struct ClockParts {
    std::u32string hour, minute, second;  // second is empty when not written
    std::size_t end = 0;
};
std::optional<DateParts> scanDate(const std::u32string& text, std::size_t pos);
std::optional<ClockParts> scanClock(const std::u32string& text, std::size_t pos);

// Rewrites dates and clock times in `text` into numbers with the given unit words, e.g.
// 2024/3/5 10:30 -> 2024年3月5日 10時30分, so that the numbers are then read with their
// counters. A zero minute or second is left out (10:00 -> 10時).
struct DateUnits {
    std::u32string_view year, month, day, hour, minute, second;
};
std::u32string spellDatesAndTimes(const std::u32string& text, const DateUnits& units);

// Rewrites fractions a/b of up to three digits each as they are said, denominator first:
// 1/2 -> 2<connector>1 (分之 in Chinese, 분의 in Korean). Dates are not fractions.
std::u32string spellFractions(const std::u32string& text, std::u32string_view connector);

// A sentence made ready for reading its numbers: widths folded, then dates, times and
// fractions spelled with the language's words.
std::u32string spellNumberForms(const std::string& sentence, const DateUnits& units,
                                std::u32string_view fractionConnector);

// The value of at most 9 digits, or -1 for more.
long smallValue(const std::u32string& digits);

// How a language says numbers in groups of four digits (万, 億, 兆 and their kin): its words,
// and as rows the readings that are words of their own.
struct PlaceWord {  // a digit in a place said as one word: 3 hundreds are サンビャク
    int digit, place;
    std::u32string_view word;
    bool leadingOnly = false;  // only as the number's first word: Chinese 十 but 一百一十
};
struct GroupWord {  // a whole group before a group unit: 1000 before 万 is イッセン
    int value;
    std::size_t unit;
    std::u32string_view word;
};
struct NumberWords {
    std::array<std::u32string_view, 10> digits;  // [0] is zero said alone
    std::array<std::u32string_view, 4> places;   // "", ten, hundred, thousand
    std::array<std::u32string_view, 4> units;    // "", 10^4, 10^8, 10^12
    std::u32string_view gap;  // said once for the zeros between two digits (Chinese 零)
    std::span<const PlaceWord> placeWords;
    std::span<const GroupWord> groupWords;
};

// The reading of a number given as ASCII digits; more than 16 digits (after leading zeros)
// are read one by one, as spellDigits does.
std::u32string readGroupsOfFour(std::u32string_view digits, const NumberWords& words);
std::u32string spellDigits(std::u32string_view digits, const NumberWords& words);

}  // namespace synth
