#include "synth/JapaneseReader.h"

#include "synth/TextScan.h"

#include <mecab.h>

#include <string_view>

namespace synth {
namespace {

bool isHiragana(char32_t c) {
    return c >= 0x3041 && c <= 0x3096;
}
bool isKatakana(char32_t c) {
    return (c >= 0x30A1 && c <= 0x30FA) || c == 0x30FC;
}
bool isDigit(char32_t c) {
    return c >= '0' && c <= '9';
}
bool isLatin(char32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

const char32_t* const kDigitReading[] = {U"ゼロ", U"イチ", U"ニ",   U"サン", U"ヨン",
                                         U"ゴ",   U"ロク", U"ナナ", U"ハチ", U"キュウ"};

// 1 to 9999, without the leading イチ of 十, 百 and 千, with the sound changes of
// 300, 600, 800, 3000 and 8000.
std::u32string readBelowTenThousand(int n) {
    std::u32string out;
    const int thousands = n / 1000, hundreds = n / 100 % 10, tens = n / 10 % 10, ones = n % 10;
    if (thousands) {
        if (thousands == 3)
            out += U"サンゼン";
        else if (thousands == 8)
            out += U"ハッセン";
        else
            out += (thousands == 1 ? U"" : std::u32string(kDigitReading[thousands])) + U"セン";
    }
    if (hundreds) {
        if (hundreds == 3)
            out += U"サンビャク";
        else if (hundreds == 6)
            out += U"ロッピャク";
        else if (hundreds == 8)
            out += U"ハッピャク";
        else
            out += (hundreds == 1 ? U"" : std::u32string(kDigitReading[hundreds])) + U"ヒャク";
    }
    if (tens) out += (tens == 1 ? U"" : std::u32string(kDigitReading[tens])) + U"ジュウ";
    if (ones) out += kDigitReading[ones];
    return out;
}

bool endsWith(const std::u32string& s, std::u32string_view tail) {
    return s.size() >= tail.size() && std::u32string_view(s).substr(s.size() - tail.size()) == tail;
}

// Replaces the reading of the last digit when it ends the stem, e.g. ヨン -> ヨ before 年.
std::u32string swapLast(std::u32string stem, std::u32string_view from, std::u32string_view to) {
    if (endsWith(stem, from)) stem.replace(stem.size() - from.size(), from.size(), to);
    return stem;
}

// The reading of a number followed by a counter, where the pair changes its sound.
std::u32string readWithCounter(const std::u32string& digits, char32_t counter) {
    std::u32string stem = readNumber(digits);
    const bool small = digits.size() <= 2;
    const int value = small ? std::stoi(std::string(digits.begin(), digits.end())) : -1;
    switch (counter) {
        case U'月':
            return swapLast(swapLast(swapLast(stem, U"ヨン", U"シ"), U"ナナ", U"シチ"), U"キュウ",
                            U"ク") +
                   U"ガツ";
        case U'時':
            return swapLast(swapLast(swapLast(stem, U"ヨン", U"ヨ"), U"ナナ", U"シチ"), U"キュウ",
                            U"ク") +
                   U"ジ";
        case U'日':
            if (value == 1) return U"ツイタチ";
            if (value == 20) return U"ハツカ";
            return stem + U"ニチ";
        case U'年':
            return swapLast(stem, U"ヨン", U"ヨ") + U"ネン";
        case U'円':
            return swapLast(stem, U"ヨン", U"ヨ") + U"エン";
        case U'分':
            if (value == 0) return stem + U"フン";
            // 1, 6, 8, 10 and 100 double the consonant before プン; 3 and 4 voice it.
            for (std::u32string_view tail : {U"イチ", U"ロク", U"ハチ", U"ジュウ", U"ヒャク"}) {
                if (endsWith(stem, tail)) {
                    stem.back() = U'ッ';
                    return stem + U"プン";
                }
            }
            for (std::u32string_view tail : {U"サン", U"ヨン", U"セン", U"マン"})
                if (endsWith(stem, tail)) return stem + U"プン";
            return stem + U"フン";
        default:
            return stem;
    }
}

bool isCounter(char32_t c) {
    return c == U'年' || c == U'月' || c == U'日' || c == U'時' || c == U'分' || c == U'円';
}

std::u32string toKatakana(const std::u32string& s) {
    std::u32string out = s;
    for (auto& c : out)
        if (isHiragana(c)) c += 0x60;
    return out;
}

bool allKana(const std::u32string& s) {
    for (char32_t c : s)
        if (!isHiragana(c) && !isKatakana(c)) return false;
    return !s.empty();
}

bool hasLatin(const std::u32string& s) {
    for (char32_t c : s)
        if (isLatin(c)) return true;
    return false;
}

}  // namespace

std::u32string toUtf32(const std::string& s) {
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        if (i + len > s.size()) break;
        char32_t cp = len == 1 ? c : c & (0x3F >> (len - 1));
        for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
        out += cp;
        i += len;
    }
    return out;
}

std::string toUtf8(const std::u32string& s) {
    std::string out;
    out.reserve(s.size() * 3);
    for (char32_t c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u32string readNumber(const std::u32string& digits) {
    std::size_t start = digits.find_first_not_of(U'0');
    if (start == std::u32string::npos) return kDigitReading[0];
    if (digits.size() - start > 16) {
        std::u32string out;
        for (char32_t d : digits) out += kDigitReading[d - '0'];
        return out;
    }
    static const char32_t* const kUnits[] = {U"", U"マン", U"オク", U"チョウ"};
    std::u32string out;
    const std::u32string significant = digits.substr(start);
    const std::size_t groups = (significant.size() + 3) / 4;
    for (std::size_t g = 0; g < groups; ++g) {
        const std::size_t end = significant.size() - (groups - 1 - g) * 4;
        const std::size_t begin = end >= 4 ? end - 4 : 0;
        int value = 0;
        for (std::size_t k = begin; k < end; ++k) value = value * 10 + (significant[k] - '0');
        if (value == 0) continue;
        const std::size_t unit = groups - 1 - g;
        // 1000 alone before 万 and above is イッセン.
        if (unit > 0 && value == 1000)
            out += U"イッセン";
        else if (unit > 0 && value == 1)
            out += U"イチ";
        else
            out += readBelowTenThousand(value);
        out += kUnits[unit];
    }
    return out;
}

std::string JapaneseReader::normalise(const std::string& utf8) {
    const std::u32string text = foldWidth(toUtf32(utf8));
    std::u32string out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (!isDigit(text[i])) {
            out += text[i++];
            continue;
        }
        std::u32string digits;
        while (i < text.size()) {
            if (isDigit(text[i])) {
                digits += text[i++];
            } else if (text[i] == U',' && i + 3 < text.size() + 0 && isDigit(text[i + 1]) &&
                       isDigit(text[i + 2]) && isDigit(text[i + 3]) &&
                       (i + 4 >= text.size() || !isDigit(text[i + 4]))) {
                ++i;  // thousands separator
            } else {
                break;
            }
        }
        if (i + 1 < text.size() && text[i] == U'.' && isDigit(text[i + 1])) {
            out += readNumber(digits) + U"テン";
            ++i;
            while (i < text.size() && isDigit(text[i])) out += kDigitReading[text[i++] - '0'];
            continue;
        }
        if (i < text.size() && isCounter(text[i])) {
            out += readWithCounter(digits, text[i]);
            ++i;
            continue;
        }
        out += readNumber(digits);
    }
    return toUtf8(out);
}

JapaneseReader::JapaneseReader() : m_tagger(MeCab::createTagger("")) {}

JapaneseReader::~JapaneseReader() {
    delete m_tagger;
}

std::vector<SpeechSegment> JapaneseReader::read(const std::string& sentence) {
    std::vector<SpeechSegment> segments;
    auto append = [&](bool latin, const std::string& text, bool spaced) {
        if (segments.empty() || segments.back().latin != latin)
            segments.push_back({latin, {}});
        else if (spaced)
            segments.back().text += ' ';
        segments.back().text += text;
    };
    const std::string text = normalise(sentence);
    if (!m_tagger) return segments;
    const MeCab::Node* node = m_tagger->parseToNode(text.c_str(), text.size());
    for (; node; node = node->next) {
        if (node->stat == MECAB_BOS_NODE || node->stat == MECAB_EOS_NODE) continue;
        const std::string surface(node->surface, node->length);
        const std::u32string surface32 = toUtf32(surface);
        if (hasLatin(surface32)) {
            append(true, surface, node->rlength > node->length);
            continue;
        }
        std::vector<std::string_view> fields;
        const std::string_view feature(node->feature);
        for (std::size_t start = 0;;) {
            const std::size_t comma = feature.find(',', start);
            fields.push_back(feature.substr(start, comma - start));
            if (comma == std::string_view::npos) break;
            start = comma + 1;
        }
        if (!fields.empty() && fields[0] == "記号") {
            if (fields.size() > 1 && (fields[1] == "句点" || fields[1] == "読点"))
                append(false, fields[1] == "句点" ? "。" : "、", false);
            continue;
        }
        if (fields.size() >= 9 && fields[8] != "*") {
            // The object particle is pronounced オ, but the voice reads ヲ as "wo".
            append(false, fields[8] == "ヲ" ? "オ" : std::string(fields[8]), false);
        } else if (allKana(surface32)) {
            append(false, toUtf8(toKatakana(surface32)), false);
        }
        // Anything else (unknown kanji, symbols) would only be spelled out: skipped.
    }
    return segments;
}

}  // namespace synth
