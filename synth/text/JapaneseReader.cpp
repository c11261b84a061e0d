#include "synth/text/JapaneseReader.h"

#include <mecab.h>

#include <optional>

#include "platform/Utf8.h"
#include "synth/text/TextScan.h"

namespace synth {
namespace {

bool isHiragana(char32_t c) {
    return c >= 0x3041 && c <= 0x3096;
}
bool isKatakana(char32_t c) {
    return (c >= 0x30A1 && c <= 0x30FA) || c == 0x30FC;
}

constexpr std::u32string_view kDigitReading[] = {U"ゼロ", U"イチ", U"ニ",   U"サン", U"ヨン",
                                                 U"ゴ",   U"ロク", U"ナナ", U"ハチ", U"キュー"};

// 1 to 9999, without the leading イチ of 十, 百 and 千, with the sound changes of
// 300, 600, 800, 3000 and 8000.
std::u32string readBelowTenThousand(int n) {
    std::u32string out;
    const int thousands = n / 1000, hundreds = n / 100 % 10, tens = n / 10 % 10, ones = n % 10;
    if (thousands == 3)
        out += U"サンゼン";
    else if (thousands == 8)
        out += U"ハッセン";
    else if (thousands)
        out += std::u32string(thousands == 1 ? U"" : kDigitReading[thousands]) + U"セン";
    if (hundreds == 3)
        out += U"サンビャク";
    else if (hundreds == 6)
        out += U"ロッピャク";
    else if (hundreds == 8)
        out += U"ハッピャク";
    else if (hundreds)
        out += std::u32string(hundreds == 1 ? U"" : kDigitReading[hundreds]) + U"ヒャク";
    if (tens) out += std::u32string(tens == 1 ? U"" : kDigitReading[tens]) + U"ジュー";
    if (ones) out += kDigitReading[ones];
    return out;
}

bool endsWith(std::u32string_view s, std::u32string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// Replaces the reading's tail `from` by `to` when it ends that way.
bool swapTail(std::u32string& stem, std::u32string_view from, std::u32string_view to) {
    if (!endsWith(stem, from)) return false;
    stem.replace(stem.size() - from.size(), from.size(), to);
    return true;
}

// How a counter's first sound changes after the number: h-row counters become p after a
// doubled consonant (イッポン) and b after ン (サンボン); k-, s- and t-row ones double the
// consonant after 1, 8 and 10 (and 6 and 100 for k); p-row ones after 1, 6, 8, 10 and 100.
enum class Sound { None, H, K, S, T, P };

struct Counter {
    std::u32string_view surface;
    std::u32string_view reading;
    Sound sound = Sound::None;
    std::u32string_view afterN;  // the form after サン, セン, マン (サンボン), or empty
    bool fourTakesP = false;     // ヨンプン, ヨンパツ
};

constexpr Counter kCounters[] = {
    {U"本", U"ホン", Sound::H, U"ボン", false},
    {U"匹", U"ヒキ", Sound::H, U"ビキ", false},
    {U"杯", U"ハイ", Sound::H, U"バイ", false},
    {U"分", U"フン", Sound::H, U"プン", true},
    {U"発", U"ハツ", Sound::H, U"パツ", true},
    {U"泊", U"ハク", Sound::H, U"パク", true},
    {U"票", U"ヒョー", Sound::H, U"ビョー", false},
    {U"個", U"コ", Sound::K, U"", false},
    {U"回", U"カイ", Sound::K, U"", false},
    {U"階", U"カイ", Sound::K, U"ガイ", false},
    {U"軒", U"ケン", Sound::K, U"ゲン", false},
    {U"か月", U"カゲツ", Sound::K, U"", false},
    {U"ヶ月", U"カゲツ", Sound::K, U"", false},
    {U"ヵ月", U"カゲツ", Sound::K, U"", false},
    {U"カ月", U"カゲツ", Sound::K, U"", false},
    {U"ケ月", U"カゲツ", Sound::K, U"", false},
    {U"件", U"ケン", Sound::K, U"", false},
    {U"曲", U"キョク", Sound::K, U"", false},
    {U"校", U"コー", Sound::K, U"", false},
    {U"冊", U"サツ", Sound::S, U"", false},
    {U"歳", U"サイ", Sound::S, U"", false},
    {U"才", U"サイ", Sound::S, U"", false},
    {U"週間", U"シューカン", Sound::S, U"", false},
    {U"週", U"シュー", Sound::S, U"", false},
    {U"章", U"ショー", Sound::S, U"", false},
    {U"足", U"ソク", Sound::S, U"ゾク", false},
    {U"頭", U"トー", Sound::T, U"", false},
    {U"点", U"テン", Sound::T, U"", false},
    {U"通", U"ツー", Sound::T, U"", false},
    {U"着", U"チャク", Sound::T, U"", false},
    {U"年", U"ネン", Sound::None, U"", false},
    {U"年間", U"ネンカン", Sound::None, U"", false},
    {U"円", U"エン", Sound::None, U"", false},
    {U"人", U"ニン", Sound::None, U"", false},
    {U"名", U"メー", Sound::None, U"", false},
    {U"日", U"ニチ", Sound::None, U"", false},
    {U"日間", U"ニチカン", Sound::None, U"", false},
    {U"月", U"ガツ", Sound::None, U"", false},
    {U"時", U"ジ", Sound::None, U"", false},
    {U"時間", U"ジカン", Sound::None, U"", false},
    {U"秒", U"ビョー", Sound::None, U"", false},
    {U"度", U"ド", Sound::None, U"", false},
    {U"枚", U"マイ", Sound::None, U"", false},
    {U"台", U"ダイ", Sound::None, U"", false},
    {U"倍", U"バイ", Sound::None, U"", false},
    {U"番", U"バン", Sound::None, U"", false},
    {U"号", U"ゴー", Sound::None, U"", false},
    {U"位", U"イ", Sound::None, U"", false},
    {U"つ", U"ツ", Sound::None, U"", false},
    {U"％", U"パーセント", Sound::P, U"", false},
    {U"ドル", U"ドル", Sound::None, U"", false},
};

const Counter* findCounter(std::u32string_view surface) {
    for (const Counter& c : kCounters)
        if (c.surface == surface) return &c;
    return nullptr;
}

// Day-of-month and day-count readings that are words of their own.
std::optional<std::u32string_view> dayReading(long v) {
    static constexpr std::u32string_view kDays[] = {U"",       U"ツイタチ", U"フツカ", U"ミッカ",
                                                    U"ヨッカ", U"イツカ",   U"ムイカ", U"ナノカ",
                                                    U"ヨーカ", U"ココノカ", U"トーカ"};
    if (v >= 1 && v <= 10) return kDays[v];
    if (v == 14) return U"ジューヨッカ";
    if (v == 20) return U"ハツカ";
    if (v == 24) return U"ニジューヨッカ";
    return std::nullopt;
}

// A doubled consonant replaces the last mora of イチ, ロク, ハチ, ジュー and ヒャク.
bool geminate(std::u32string& stem, bool six, bool hundred) {
    return swapTail(stem, U"イチ", U"イッ") || swapTail(stem, U"ハチ", U"ハッ") ||
           swapTail(stem, U"ジュー", U"ジュッ") || (six && swapTail(stem, U"ロク", U"ロッ")) ||
           (hundred && swapTail(stem, U"ヒャク", U"ヒャッ"));
}

std::u32string withSoundChange(std::u32string stem, const Counter& c) {
    const std::u32string_view reading = c.reading;
    const bool afterN = endsWith(stem, U"サン") || endsWith(stem, U"セン") ||
                        endsWith(stem, U"マン") || stem == U"ナン";
    switch (c.sound) {
        case Sound::H: {
            // ホン -> ポン: the p form is the b form's half-voiced neighbour.
            std::u32string p(c.afterN);
            if (!p.empty()) p[0] += p[0] == U'プ' || p[0] == U'パ' ? 0 : 1;
            if (geminate(stem, true, true)) return stem + p;
            if (afterN) return stem + std::u32string(c.afterN);
            if (c.fourTakesP && endsWith(stem, U"ヨン")) return stem + p;
            return stem + std::u32string(reading);
        }
        case Sound::P:
        case Sound::K:
            if (geminate(stem, true, true)) return stem + std::u32string(reading);
            if (afterN && !c.afterN.empty()) return stem + std::u32string(c.afterN);
            return stem + std::u32string(reading);
        case Sound::S:
        case Sound::T:
            if (geminate(stem, false, false)) return stem + std::u32string(reading);
            if (afterN && !c.afterN.empty()) return stem + std::u32string(c.afterN);
            return stem + std::u32string(reading);
        case Sound::None:
            break;
    }
    return stem + std::u32string(reading);
}

}  // namespace

std::u32string readNumber(const std::u32string& digits) {
    std::size_t start = digits.find_first_not_of(U'0');
    if (start == std::u32string::npos) return std::u32string(kDigitReading[0]);
    if (digits.size() - start > 16) {
        std::u32string out;
        for (char32_t d : digits) out += kDigitReading[d - '0'];
        return out;
    }
    static constexpr std::u32string_view kUnits[] = {U"", U"マン", U"オク", U"チョー"};
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

std::u32string readWithCounter(const std::u32string& digits, std::u32string_view surface,
                               bool dayOfMonth) {
    const Counter* c = findCounter(surface);
    if (!c) return {};
    const long v = smallValue(digits);
    std::u32string stem = readNumber(digits);
    const std::u32string reading(c->reading);
    if (surface == U"人") {
        if (v == 1) return U"ヒトリ";
        if (v == 2) return U"フタリ";
        swapTail(stem, U"ヨン", U"ヨ");
        return stem + reading;
    }
    if (surface == U"つ") {
        static constexpr std::u32string_view kNative[] = {
            U"",       U"ヒトツ", U"フタツ", U"ミッツ",   U"ヨッツ", U"イツツ",
            U"ムッツ", U"ナナツ", U"ヤッツ", U"ココノツ", U"トー"};
        if (v >= 1 && v <= 10) return std::u32string(kNative[v]);
        return stem + reading;
    }
    if (surface == U"日" || surface == U"日間") {
        const std::u32string tail = surface == U"日間" ? U"カン" : U"";
        if (auto day = dayReading(v); day && (v != 1 || (dayOfMonth && tail.empty())))
            return std::u32string(*day) + tail;
        swapTail(stem, U"ナナ", U"シチ") || swapTail(stem, U"キュー", U"ク");
        return stem + reading;
    }
    if ((surface == U"歳" || surface == U"才") && v == 20) return U"ハタチ";
    if (surface == U"月") {
        swapTail(stem, U"ヨン", U"シ") || swapTail(stem, U"ナナ", U"シチ") ||
            swapTail(stem, U"キュー", U"ク");
        return stem + reading;
    }
    if (surface == U"時" || surface == U"時間") {
        swapTail(stem, U"ヨン", U"ヨ") || (surface == U"時" && swapTail(stem, U"ナナ", U"シチ")) ||
            swapTail(stem, U"キュー", U"ク");
        return stem + reading;
    }
    if (surface == U"年" || surface == U"年間" || surface == U"円") swapTail(stem, U"ヨン", U"ヨ");
    return withSoundChange(std::move(stem), *c);
}

namespace {

struct Token {
    std::u32string surface;
    std::vector<std::string_view> fields;
    std::string pronunciation;  // the 9th feature, or empty
    bool hasLatin = false;
    bool spaced = false;  // white space before it
};

bool isNumeralToken(const Token& t) {
    if (t.fields.size() < 2 || t.fields[0] != "名詞" || t.fields[1] != "数") return false;
    for (char32_t c : t.surface)
        if (!(c >= U'０' && c <= U'９') && c != U'．' &&
            std::u32string_view(U"〇一二三四五六七八九十百千万億兆").find(c) ==
                std::u32string_view::npos)
            return false;
    return true;
}

// A run of numeral tokens as ASCII digits (and digits after a decimal point), or nothing
// when it is not a well-formed number (say 十十).
std::optional<DigitNumber> parseNumeral(const std::u32string& text) {
    DigitNumber n;
    bool units = false, point = false;
    for (char32_t c : text)
        units = units || std::u32string_view(U"十百千万億兆").find(c) != std::u32string_view::npos;
    unsigned long long total = 0, section = 0, digit = 0;
    bool haveDigit = false;
    for (char32_t c : text) {
        int d = -1;
        if (c >= U'０' && c <= U'９') d = static_cast<int>(c - U'０');
        const std::size_t k = std::u32string_view(U"〇一二三四五六七八九").find(c);
        if (k != std::u32string_view::npos) d = static_cast<int>(k);
        if (c == U'．') {
            if (point || units) return std::nullopt;
            point = true;
            continue;
        }
        if (point) {
            if (d < 0) return std::nullopt;
            n.fraction += static_cast<char32_t>('0' + d);
            continue;
        }
        if (!units) {
            if (d < 0) return std::nullopt;
            n.integer += static_cast<char32_t>('0' + d);
            continue;
        }
        // Kanji with units, possibly mixed with digits: ３万, 二千二十四, 千五百.
        if (d >= 0) {
            digit = digit * 10 + static_cast<unsigned>(d);
            haveDigit = true;
            if (digit > 9999) return std::nullopt;
            continue;
        }
        const std::size_t small = std::u32string_view(U"十百千").find(c);
        if (small != std::u32string_view::npos) {
            static constexpr unsigned kSmall[] = {10, 100, 1000};
            section += (haveDigit ? digit : 1) * kSmall[small];
        } else {
            static constexpr unsigned long long kBig[] = {10000ULL, 100000000ULL, 1000000000000ULL};
            const std::size_t big = std::u32string_view(U"万億兆").find(c);
            const unsigned long long part = section + (haveDigit ? digit : 0);
            total += (part ? part : 1) * kBig[big];
            section = 0;
        }
        digit = 0;
        haveDigit = false;
    }
    if (units) {
        total += section + digit;
        std::string ascii = std::to_string(total);
        n.integer.assign(ascii.begin(), ascii.end());
    }
    if (n.integer.empty()) return std::nullopt;
    return n;
}

// What MeCab says wrong or leaves unsaid, by surface.
std::optional<std::string_view> overrideFor(const std::u32string& surface) {
    static constexpr std::pair<std::u32string_view, std::string_view> kOverrides[] = {
        {U"日本", "ニホン"},
        {U"＋", "プラス"},
        {U"＝", "イコール"},
        {U"＆", "アンド"},
        {U"＠", "アット"},
        {U"×", "カケル"},
        {U"÷", "ワル"},
        {U"〜", "カラ"},
        {U"～", "カラ"},
        {U"℃", "ド"},
        {U"°", "ド"},
        {U"※", "コメ"},
        {U"〒", "ユービン"},
        {U"右上", "ミギウエ"},
        {U"左上", "ヒダリウエ"},
        {U"右下", "ミギシタ"},
        {U"左下", "ヒダリシタ"},
        {U"何人", "ナンニン"},
        {U"何分", "ナンプン"}};
    for (auto [from, to] : kOverrides)
        if (surface == from) return to;
    return std::nullopt;
}

// Before MeCab: width folded, numbers in full-width digits (which MeCab tags as numerals,
// unlike ASCII ones) without thousands separators, and signs that stand before a number
// moved after it, where they are said (￥100 is 100円); dates and clock times get their
// counters (10:30 is 10時30分).
std::string prepare(const std::string& sentence) {
    const std::u32string text =
        spellFractions(spellDatesAndTimes(foldWidth(utf8::ToUtf32(sentence)),
                                          {U"年", U"月", U"日", U"時", U"分", U"秒"}),
                       U"ブンノ");
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        std::u32string_view unitAfter;
        std::size_t at = i;
        if ((text[i] == U'¥' || text[i] == U'￥' || text[i] == U'$') && i + 1 < text.size() &&
            isAsciiDigit(text[i + 1])) {
            unitAfter = text[i] == U'$' ? U"ドル" : U"円";
            ++at;
        }
        auto n = scanNumber(text, at);
        if (!n) {
            const char32_t c = text[i++];
            out += c == U'%' ? U'％' : c == U'~' ? U'～' : c;
            continue;
        }
        if (n->negative) out += U"マイナス";
        for (char32_t d : n->integer) out += d - '0' + U'０';
        if (!n->fraction.empty()) out += U'．';
        for (char32_t d : n->fraction) out += d - '0' + U'０';
        out += unitAfter;
        i = n->end;
    }
    return utf8::FromUtf32(out);
}

}  // namespace

std::string prepareForOpenJTalk(const std::string& sentence) {
    // prepare writes numbers in full-width digits for MeCab; Open JTalk reads a decimal
    // point only between ASCII digits.
    const std::u32string text = utf8::ToUtf32(prepare(sentence));
    std::u32string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        const bool digitNext = i + 1 < text.size() && text[i + 1] >= U'０' && text[i + 1] <= U'９';
        if (c >= U'０' && c <= U'９')
            out += c - U'０' + U'0';
        else if (c == U'．' && digitNext)
            out += U'.';
        else if (c == U'℃' || c == U'°')
            out += U"度";
        else if (c == U'〜' || c == U'～')
            out += U"から";
        else
            out += c;
    }
    return utf8::FromUtf32(out);
}

namespace {

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

}  // namespace

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
    if (!m_tagger) return segments;
    const std::string text = prepare(sentence);
    std::vector<Token> tokens;
    for (const MeCab::Node* node = m_tagger->parseToNode(text.c_str(), text.size()); node;
         node = node->next) {
        if (node->stat == MECAB_BOS_NODE || node->stat == MECAB_EOS_NODE) continue;
        Token t;
        t.surface = utf8::ToUtf32(std::string_view(node->surface, node->length));
        for (char32_t c : t.surface) t.hasLatin = t.hasLatin || isLatinLetter(c);
        t.spaced = node->rlength > node->length;
        const std::string_view feature(node->feature);
        for (std::size_t start = 0;;) {
            const std::size_t comma = feature.find(',', start);
            t.fields.push_back(feature.substr(start, comma - start));
            if (comma == std::string_view::npos) break;
            start = comma + 1;
        }
        if (t.fields.size() >= 9 && t.fields[8] != "*") t.pronunciation = t.fields[8];
        tokens.push_back(std::move(t));
    }
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (t.hasLatin) {
            append(true, utf8::FromUtf32(t.surface), t.spaced);
            continue;
        }
        if (isNumeralToken(t)) {
            std::size_t end = i;
            std::u32string run;
            while (end < tokens.size() && isNumeralToken(tokens[end])) run += tokens[end++].surface;
            // 3.5万: a decimal before a large unit.
            std::u32string_view bigUnit;
            if (run.size() > 2 && run.find(U'．') != std::u32string::npos) {
                for (auto [kanji, reading] : {std::pair{U'万', U"マン"}, std::pair{U'億', U"オク"},
                                              std::pair{U'兆', U"チョー"}})
                    if (run.back() == kanji) bigUnit = reading;
                if (!bigUnit.empty()) run.pop_back();
            }
            if (auto n = parseNumeral(run)) {
                std::u32string spoken;
                const Counter* counter =
                    end < tokens.size() ? findCounter(tokens[end].surface) : nullptr;
                if (n->fraction.empty() && bigUnit.empty() && counter) {
                    // 1日 is the first of the month after a month and unless it counts days
                    // (1日に3回, 1日中); written in kanji it mostly counts them.
                    const Token* after = end + 1 < tokens.size() ? &tokens[end + 1] : nullptr;
                    const bool counting =
                        after && (isNumeralToken(*after) ||
                                  std::u32string_view(U"にで中間当あ").find(after->surface[0]) !=
                                      std::u32string_view::npos);
                    const bool kanji = run[0] < U'０' || run[0] > U'９';
                    const bool afterMonth =
                        i > 0 && endsWith(tokens[i - 1].surface, U"月");  // ４月 is one word
                    spoken = readWithCounter(n->integer, tokens[end].surface,
                                             afterMonth || (!counting && !kanji));
                } else {
                    spoken = readNumber(n->integer);
                    if (!n->fraction.empty()) {
                        geminate(spoken, false, false);  // イッテンゴ, ハッテンゴ
                        spoken += U"テン";
                        for (char32_t d : n->fraction) spoken += kDigitReading[d - '0'];
                    }
                    spoken += bigUnit;
                    if (counter) spoken += counter->reading;
                }
                if (counter) ++end;
                append(false, utf8::FromUtf32(spoken), false);
                i = end - 1;
                continue;
            }
        }
        // 何 before a counter changes it as サン does: ナンボン, ナンバイ, ナンガイ.
        if (t.surface == U"何" && i + 1 < tokens.size()) {
            const Counter* counter = findCounter(tokens[i + 1].surface);
            if (counter && counter->surface != U"つ") {
                append(false, utf8::FromUtf32(withSoundChange(U"ナン", *counter)), false);
                ++i;
                continue;
            }
        }
        // MeCab may split the word it misreads (右 + 上 as ミギジョー), so pairs are looked up too.
        if (i + 1 < tokens.size()) {
            if (auto said = overrideFor(t.surface + tokens[i + 1].surface)) {
                append(false, std::string(*said), false);
                ++i;
                continue;
            }
        }
        if (auto said = overrideFor(t.surface)) {
            append(false, std::string(*said), false);
            continue;
        }
        if (t.surface == U"?" || t.surface == U"!") {  // MeCab leaves them untagged
            append(false, utf8::FromUtf32(t.surface), false);
            continue;
        }
        if (!t.fields.empty() && t.fields[0] == "記号") {
            if (t.fields.size() > 1 && (t.fields[1] == "句点" || t.fields[1] == "読点"))
                append(false, t.fields[1] == "句点" ? "。" : "、", false);

            continue;
        }
        if (!t.pronunciation.empty()) {
            // The object particle is pronounced オ, but the voice reads ヲ as "wo".
            append(false, t.pronunciation == "ヲ" ? "オ" : t.pronunciation, false);
        } else if (allKana(t.surface)) {
            append(false, utf8::FromUtf32(toKatakana(t.surface)), false);
        }
        // Anything else (unknown kanji, symbols) would only be spelled out: skipped.
    }
    return segments;
}

}  // namespace synth
