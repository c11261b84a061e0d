#pragma once
// Pieces the text front ends share: width folding and finding numbers written in digits.

#include <cstddef>
#include <optional>
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

// The value of at most 9 digits, or -1 for more.
long smallValue(const std::u32string& digits);

}  // namespace synth
