#include "synth/TextScan.h"

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

long smallValue(const std::u32string& digits) {
    if (digits.size() > 9) return -1;
    long v = 0;
    for (char32_t d : digits) v = v * 10 + (d - '0');
    return v;
}

}  // namespace synth
