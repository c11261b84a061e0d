#include "synth/text/TextScan.h"

#include <algorithm>

#include "platform/Utf8.h"

namespace synth {

std::u32string foldWidth(const std::u32string& text) {
    // Half-width katakana U+FF61..U+FF9D in order.
    static const std::u32string kHalf =
        U"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフ"
        U"ヘホマミムメモヤユヨラリルレロワン";
    std::u32string out;
    out.reserve(text.size());
    for (char32_t c : text) {
        if (c >= 0xFF01 && c <= 0xFF5E) {
            out += c - 0xFEE0;
        } else if (c == 0x3000) {
            out += U' ';
        } else if (c == U'−') {
            out += U'-';
        } else if (c >= 0xFF61 && c <= 0xFF9D) {
            out += kHalf[c - 0xFF61];
        } else if ((c == 0xFF9E || c == 0xFF9F) && !out.empty()) {
            // The voiced form follows its base in the code chart, the half-voiced one after it.
            static const std::u32string kVoiceable = U"カキクケコサシスセソタチツテトハヒフヘホ";
            static const std::u32string kHalfVoiceable = U"ハヒフヘホ";
            char32_t& base = out.back();
            if (c == 0xFF9E && base == U'ウ')
                base = U'ヴ';
            else if (c == 0xFF9E && kVoiceable.find(base) != std::u32string::npos)
                base += 1;
            else if (c == 0xFF9F && kHalfVoiceable.find(base) != std::u32string::npos)
                base += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<DigitNumber> scanNumber(const std::u32string& text, std::size_t pos) {
    DigitNumber n;
    n.begin = pos;
    std::size_t i = pos;
    if (i < text.size() && text[i] == U'-') {
        const bool after = i > 0 && (isAsciiDigit(text[i - 1]) || isLatinLetter(text[i - 1]));
        if (after || i + 1 >= text.size() || !isAsciiDigit(text[i + 1])) return std::nullopt;
        n.negative = true;
        ++i;
    }
    if (i >= text.size() || !isAsciiDigit(text[i])) return std::nullopt;
    bool grouped = false;
    while (i < text.size()) {
        if (isAsciiDigit(text[i])) {
            n.integer += text[i++];
        } else if (text[i] == U',' && (grouped || n.integer.size() <= 3) && i + 3 < text.size() &&
                   isAsciiDigit(text[i + 1]) && isAsciiDigit(text[i + 2]) &&
                   isAsciiDigit(text[i + 3]) &&
                   (i + 4 >= text.size() || !isAsciiDigit(text[i + 4]))) {
            grouped = true;
            ++i;
        } else {
            break;
        }
    }
    if (i + 1 < text.size() && text[i] == U'.' && isAsciiDigit(text[i + 1])) {
        ++i;
        while (i < text.size() && isAsciiDigit(text[i])) n.fraction += text[i++];
    }
    n.end = i;
    return n;
}

namespace {

// Up to `maxDigits` ASCII digits at text[pos]; their value (or -1) and where they end.
long digitsAt(const std::u32string& text, std::size_t pos, std::size_t maxDigits,
              std::size_t* end) {
    std::size_t i = pos;
    long v = 0;
    while (i < text.size() && isAsciiDigit(text[i]) && i - pos < maxDigits)
        v = v * 10 + (text[i++] - '0');
    *end = i;
    if (i == pos || (i < text.size() && isAsciiDigit(text[i]))) return -1;
    return v;
}

std::u32string digitsOf(long v) {
    const std::string s = std::to_string(v);
    return std::u32string(s.begin(), s.end());
}

bool digitBefore(const std::u32string& text, std::size_t pos) {
    return pos > 0 &&
           (isAsciiDigit(text[pos - 1]) || text[pos - 1] == U'.' || text[pos - 1] == U':');
}

}  // namespace

std::optional<DateParts> scanDate(const std::u32string& text, std::size_t pos) {
    if (digitBefore(text, pos)) return std::nullopt;
    std::size_t i = 0;
    const long year = digitsAt(text, pos, 4, &i);
    if (year < 0 || i - pos != 4 || i >= text.size()) return std::nullopt;
    const char32_t sep = text[i];
    if (sep != U'-' && sep != U'/' && sep != U'.') return std::nullopt;
    auto skipSep = [&](std::size_t at) -> std::size_t {
        if (at >= text.size() || text[at] != sep) return std::u32string::npos;
        ++at;
        if (sep == U'.' && at < text.size() && text[at] == U' ') ++at;
        return at;
    };
    std::size_t at = skipSep(i);
    if (at == std::u32string::npos) return std::nullopt;
    const long month = digitsAt(text, at, 2, &i);
    at = skipSep(i);
    if (month < 1 || month > 12 || at == std::u32string::npos) return std::nullopt;
    const long day = digitsAt(text, at, 2, &i);
    if (day < 1 || day > 31) return std::nullopt;
    if (i < text.size() && text[i] == U'.' && sep == U'.') ++i;  // 2024. 3. 1.
    return DateParts{digitsOf(year), digitsOf(month), digitsOf(day), i};
}

std::optional<ClockParts> scanClock(const std::u32string& text, std::size_t pos) {
    if (digitBefore(text, pos)) return std::nullopt;
    std::size_t i = 0;
    const long hour = digitsAt(text, pos, 2, &i);
    if (hour < 0 || hour > 24 || i >= text.size() || text[i] != U':') return std::nullopt;
    std::size_t end = 0;
    const long minute = digitsAt(text, i + 1, 2, &end);
    if (minute < 0 || minute > 59 || end - i - 1 != 2) return std::nullopt;
    ClockParts parts{digitsOf(hour), digitsOf(minute), {}, end};
    if (end < text.size() && text[end] == U':') {
        const long second = digitsAt(text, end + 1, 2, &i);
        if (second >= 0 && second < 60 && i - end - 1 == 2) {
            parts.second = digitsOf(second);
            parts.end = i;
        }
    }
    return parts;
}

std::u32string spellDatesAndTimes(const std::u32string& text, const DateUnits& units) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (!isAsciiDigit(text[i])) {
            out += text[i++];
            continue;
        }
        if (auto date = scanDate(text, i)) {
            out += date->year + std::u32string(units.year) + date->month +
                   std::u32string(units.month) + date->day + std::u32string(units.day);
            i = date->end;
        } else if (auto clock = scanClock(text, i)) {
            out += clock->hour + std::u32string(units.hour);
            if (clock->minute != U"0") out += clock->minute + std::u32string(units.minute);
            if (!clock->second.empty() && clock->second != U"0")
                out += clock->second + std::u32string(units.second);
            i = clock->end;
        } else {
            while (i < text.size() && isAsciiDigit(text[i])) out += text[i++];
            continue;
        }
        // Unit words may end in a space that parts them from the next number; not the last.
        if (out.back() == U' ') out.pop_back();
    }
    return out;
}

std::u32string spellNumberForms(const std::string& sentence, const DateUnits& units,
                                std::u32string_view fractionConnector) {
    return spellFractions(spellDatesAndTimes(foldWidth(utf8::ToUtf32(sentence)), units),
                          fractionConnector);
}

std::u32string spellFractions(const std::u32string& text, std::u32string_view connector) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const bool start =
            isAsciiDigit(text[i]) && !(i > 0 && (isAsciiDigit(text[i - 1]) || text[i - 1] == U'/' ||
                                                 text[i - 1] == U'.' || text[i - 1] == U','));
        std::size_t slash = 0, end = 0;
        const long a = start ? digitsAt(text, i, 3, &slash) : -1;
        const long b = a >= 0 && slash < text.size() && text[slash] == U'/'
                           ? digitsAt(text, slash + 1, 3, &end)
                           : -1;
        const bool more = end < text.size() && (text[end] == U'/' || text[end] == U'.' ||
                                                text[end] == U',' || text[end] == U':');
        if (b <= 0 || more) {
            out += text[i++];
            continue;
        }
        out += digitsOf(b) + std::u32string(connector) + digitsOf(a);
        i = end;
    }
    return out;
}

long smallValue(const std::u32string& digits) {
    if (digits.size() > 9) return -1;
    long v = 0;
    for (char32_t d : digits) v = v * 10 + (d - '0');
    return v;
}

std::u32string spellDigits(std::u32string_view digits, const NumberWords& words) {
    std::u32string out;
    for (char32_t d : digits) out += words.digits[d - '0'];
    return out;
}

std::u32string readGroupsOfFour(std::u32string_view digits, const NumberWords& words) {
    const std::size_t first = digits.find_first_not_of(U'0');
    if (first == std::u32string_view::npos) return std::u32string(words.digits[0]);
    const std::u32string_view significant = digits.substr(first);
    if (significant.size() > 16) return spellDigits(digits, words);
    std::u32string out;
    bool gap = false;  // zeros since the last word, within the number
    for (std::size_t begin = 0, end = (significant.size() - 1) % 4 + 1; begin < significant.size();
         begin = end, end += 4) {
        const std::u32string_view group = significant.substr(begin, end - begin);
        const std::size_t unit = (significant.size() - end) / 4;
        int value = 0;
        for (char32_t d : group) value = value * 10 + static_cast<int>(d - '0');
        if (value == 0) {
            gap = true;
            continue;
        }
        auto whole = std::ranges::find_if(words.groupWords, [&](const GroupWord& w) {
            return w.value == value && w.unit == unit;
        });
        for (std::size_t k = 0; whole == words.groupWords.end() && k < group.size(); ++k) {
            const int d = static_cast<int>(group[k] - '0'),
                      place = static_cast<int>(group.size() - 1 - k);
            if (d == 0) {
                gap = gap || !out.empty();
                continue;
            }
            if (gap) out += words.gap;
            gap = false;
            auto row = std::ranges::find_if(words.placeWords, [&](const PlaceWord& w) {
                return w.digit == d && w.place == place && (out.empty() || !w.leadingOnly);
            });
            if (row != words.placeWords.end())
                out += row->word;
            else
                out.append(words.digits[d]).append(words.places[place]);
        }
        if (whole != words.groupWords.end()) out += whole->word;
        out += words.units[unit];
        gap = false;
    }
    return out;
}

}  // namespace synth
