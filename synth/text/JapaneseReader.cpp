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

// 十, 百 and 千 without a leading イチ, with the sound changes of 300, 600, 800, 3000 and 8000;
// 1000 alone before 万 and above is イッセン.
constexpr PlaceWord kPlaceWords[] = {
    {1, 1, U"ジュー"},     {1, 2, U"ヒャク"}, {3, 2, U"サンビャク"}, {6, 2, U"ロッピャク"},
    {8, 2, U"ハッピャク"}, {1, 3, U"セン"},   {3, 3, U"サンゼン"},   {8, 3, U"ハッセン"}};
constexpr GroupWord kGroupWords[] = {
    {1000, 1, U"イッセン"}, {1000, 2, U"イッセン"}, {1000, 3, U"イッセン"}};
constexpr NumberWords kJapanese{
    {U"ゼロ", U"イチ", U"ニ", U"サン", U"ヨン", U"ゴ", U"ロク", U"ナナ", U"ハチ", U"キュー"},
    {U"", U"ジュー", U"ヒャク", U"セン"},
    {U"", U"マン", U"オク", U"チョー"},
    U"",
    kPlaceWords,
    kGroupWords};

// Replaces the reading's tail `from` by `to` when it ends that way.
bool swapTail(std::u32string& stem, std::u32string_view from, std::u32string_view to) {
    if (!stem.ends_with(from)) return false;
    stem.replace(stem.size() - from.size(), from.size(), to);
    return true;
}

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
constexpr Word kPeople[] = {{1, U"ヒトリ"}, {2, U"フタリ"}};
constexpr Word kThings[] = {{1, U"ヒトツ"},   {2, U"フタツ"}, {3, U"ミッツ"}, {4, U"ヨッツ"},
                            {5, U"イツツ"},   {6, U"ムッツ"}, {7, U"ナナツ"}, {8, U"ヤッツ"},
                            {9, U"ココノツ"}, {10, U"トー"}};
constexpr Word kDays[] = {{1, U"ツイタチ", true}, {2, U"フツカ"},        {3, U"ミッカ"},
                          {4, U"ヨッカ"},         {5, U"イツカ"},        {6, U"ムイカ"},
                          {7, U"ナノカ"},         {8, U"ヨーカ"},        {9, U"ココノカ"},
                          {10, U"トーカ"},        {14, U"ジューヨッカ"}, {20, U"ハツカ"},
                          {24, U"ニジューヨッカ"}};
constexpr std::span<const Word> kDayCounts = std::span(kDays).subspan(1);
constexpr Word kAges[] = {{20, U"ハタチ"}};

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

constexpr Counter kCounters[] = {
    {U"本", U"ホン", Sound::H, U"ボン"},
    {U"匹", U"ヒキ", Sound::H, U"ビキ"},
    {U"杯", U"ハイ", Sound::H, U"バイ"},
    {U"分", U"フン", Sound::H, U"プン", true},
    {U"発", U"ハツ", Sound::H, U"パツ", true},
    {U"泊", U"ハク", Sound::H, U"パク", true},
    {U"票", U"ヒョー", Sound::H, U"ビョー"},
    {U"個", U"コ", Sound::K},
    {U"回", U"カイ", Sound::K},
    {U"階", U"カイ", Sound::K, U"ガイ"},
    {U"軒", U"ケン", Sound::K, U"ゲン"},
    {U"か月", U"カゲツ", Sound::K},
    {U"ヶ月", U"カゲツ", Sound::K},
    {U"ヵ月", U"カゲツ", Sound::K},
    {U"カ月", U"カゲツ", Sound::K},
    {U"ケ月", U"カゲツ", Sound::K},
    {U"件", U"ケン", Sound::K},
    {U"曲", U"キョク", Sound::K},
    {U"校", U"コー", Sound::K},
    {U"冊", U"サツ", Sound::S},
    {.surface = U"歳", .reading = U"サイ", .sound = Sound::S, .words = kAges},
    {.surface = U"才", .reading = U"サイ", .sound = Sound::S, .words = kAges},
    {U"週間", U"シューカン", Sound::S},
    {U"週", U"シュー", Sound::S},
    {U"章", U"ショー", Sound::S},
    {U"足", U"ソク", Sound::S, U"ゾク"},
    {U"頭", U"トー", Sound::T},
    {U"点", U"テン", Sound::T},
    {U"通", U"ツー", Sound::T},
    {U"着", U"チャク", Sound::T},
    {.surface = U"年", .reading = U"ネン", .four = U"ヨ"},
    {.surface = U"年間", .reading = U"ネンカン", .four = U"ヨ"},
    {.surface = U"円", .reading = U"エン", .four = U"ヨ"},
    {.surface = U"人", .reading = U"ニン", .four = U"ヨ", .words = kPeople},
    {U"名", U"メー"},
    {.surface = U"日", .reading = U"ニチ", .seven = U"シチ", .nine = U"ク", .words = kDays},
    {.surface = U"日間",
     .reading = U"ニチカン",
     .seven = U"シチ",
     .nine = U"ク",
     .words = kDayCounts,
     .wordTail = U"カン"},
    {.surface = U"月", .reading = U"ガツ", .four = U"シ", .seven = U"シチ", .nine = U"ク"},
    {.surface = U"時", .reading = U"ジ", .four = U"ヨ", .seven = U"シチ", .nine = U"ク"},
    {.surface = U"時間", .reading = U"ジカン", .four = U"ヨ", .nine = U"ク"},
    {U"秒", U"ビョー"},
    {U"度", U"ド"},
    {U"枚", U"マイ"},
    {U"台", U"ダイ"},
    {U"倍", U"バイ"},
    {U"番", U"バン"},
    {U"号", U"ゴー"},
    {U"位", U"イ"},
    {.surface = U"つ", .reading = U"ツ", .words = kThings},
    {U"％", U"パーセント", Sound::P},
    {U"ドル", U"ドル"},
};

const Counter* findCounter(std::u32string_view surface) {
    for (const Counter& c : kCounters)
        if (c.surface == surface) return &c;
    return nullptr;
}

// A doubled consonant replaces the last mora of イチ, ロク, ハチ, ジュー and ヒャク.
bool geminate(std::u32string& stem, bool six, bool hundred) {
    return swapTail(stem, U"イチ", U"イッ") || swapTail(stem, U"ハチ", U"ハッ") ||
           swapTail(stem, U"ジュー", U"ジュッ") || (six && swapTail(stem, U"ロク", U"ロッ")) ||
           (hundred && swapTail(stem, U"ヒャク", U"ヒャッ"));
}

std::u32string withSoundChange(std::u32string stem, const Counter& c) {
    const bool afterN = stem.ends_with(U"サン") || stem.ends_with(U"セン") ||
                        stem.ends_with(U"マン") || stem == U"ナン";
    std::u32string_view tail = c.reading;
    if (c.sound == Sound::H) {
        // ホン -> ポン: the p form is the b form's half-voiced neighbour.
        std::u32string p(c.afterN);
        if (!p.empty()) p[0] += p[0] == U'プ' || p[0] == U'パ' ? 0 : 1;
        if (geminate(stem, true, true) || (c.fourTakesP && stem.ends_with(U"ヨン")))
            return stem + p;
        if (afterN) tail = c.afterN;
    } else if (c.sound != Sound::None) {
        const bool k = c.sound == Sound::K || c.sound == Sound::P;
        if (!geminate(stem, k, k) && afterN && !c.afterN.empty()) tail = c.afterN;
    }
    return stem + std::u32string(tail);
}

}  // namespace

std::u32string readNumber(const std::u32string& digits) {
    return readGroupsOfFour(digits, kJapanese);
}

std::u32string readWithCounter(const std::u32string& digits, std::u32string_view surface,
                               bool dayOfMonth) {
    const Counter* c = findCounter(surface);
    if (!c) return {};
    const long v = smallValue(digits);
    for (const Word& w : c->words)
        if (w.value == v && (dayOfMonth || !w.dateOnly))
            return std::u32string(w.word) + std::u32string(c->wordTail);
    std::u32string stem = readNumber(digits);
    const std::pair<std::u32string_view, std::u32string_view> lastWords[] = {
        {U"ヨン", c->four}, {U"ナナ", c->seven}, {U"キュー", c->nine}};
    for (auto [plain, form] : lastWords)
        if (!form.empty() && swapTail(stem, plain, form)) break;
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

std::vector<Token> tokenize(MeCab::Tagger& tagger, const std::string& text) {
    std::vector<Token> tokens;
    for (const MeCab::Node* node = tagger.parseToNode(text.c_str(), text.size()); node;
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
    return tokens;
}

// 3.14 is サンテンイチヨン, with a doubled consonant before テン: イッテンゴ, ハッテンゴ.
std::u32string readDecimal(const DigitNumber& n) {
    std::u32string spoken = readNumber(n.integer);
    if (n.fraction.empty()) return spoken;
    geminate(spoken, false, false);
    return spoken + U"テン" + spellDigits(n.fraction, kJapanese);
}

// 3.5万: a decimal before a large unit. The unit's reading, taken off the run; or empty.
std::u32string_view takeLargeUnit(std::u32string& run) {
    if (run.size() <= 2 || run.find(U'．') == std::u32string::npos) return {};
    const std::size_t unit = std::u32string_view(U"万億兆").find(run.back());
    if (unit == std::u32string_view::npos) return {};
    run.pop_back();
    return kJapanese.units[unit + 1];
}

// One sentence's tokens read into segments, a step for each kind of token.
struct Reading {
    std::vector<Token> tokens;
    std::vector<SpeechSegment> segments;

    void say(const std::string& text, bool latin = false, bool spaced = false) {
        if (segments.empty() || segments.back().latin != latin)
            segments.push_back({latin, {}});
        else if (spaced)
            segments.back().text += ' ';
        segments.back().text += text;
    }

    // A run of numeral tokens with the counter after it.
    bool number(std::size_t& i) {
        std::size_t end = i;
        std::u32string run;
        while (end < tokens.size() && isNumeralToken(tokens[end])) run += tokens[end++].surface;
        if (run.empty()) return false;
        const std::u32string_view largeUnit = takeLargeUnit(run);
        const auto n = parseNumeral(run);
        if (!n) return false;
        const Counter* counter = end < tokens.size() ? findCounter(tokens[end].surface) : nullptr;
        if (n->fraction.empty() && largeUnit.empty() && counter)
            say(utf8::FromUtf32(
                readWithCounter(n->integer, counter->surface, dayOfMonth(i, end, run))));
        else
            say(utf8::FromUtf32(readDecimal(*n) + std::u32string(largeUnit) +
                                std::u32string(counter ? counter->reading : U"")));
        i = counter ? end : end - 1;
        return true;
    }

    // Whether the run tokens[first, counter) before 日 is a day of the month: always after a
    // month, otherwise unless it counts days (1日に3回, 1日中) or is written in kanji, which
    // mostly counts them.
    bool dayOfMonth(std::size_t first, std::size_t counter, const std::u32string& run) const {
        const Token* after = counter + 1 < tokens.size() ? &tokens[counter + 1] : nullptr;
        const bool counting =
            after && (isNumeralToken(*after) ||
                      std::u32string_view(U"にで中間当あ").find(after->surface[0]) !=
                          std::u32string_view::npos);
        const bool kanji = run[0] < U'０' || run[0] > U'９';
        return (first > 0 && tokens[first - 1].surface.ends_with(U"月")) ||  // ４月 is one word
               (!counting && !kanji);
    }

    // 何 before a counter changes it as サン does: ナンボン, ナンバイ, ナンガイ.
    bool questionCount(std::size_t& i) {
        if (tokens[i].surface != U"何" || i + 1 >= tokens.size()) return false;
        const Counter* counter = findCounter(tokens[i + 1].surface);
        if (!counter || counter->surface == U"つ") return false;
        say(utf8::FromUtf32(withSoundChange(U"ナン", *counter)));
        ++i;
        return true;
    }

    // MeCab may split the word it misreads (右 + 上 as ミギジョー), so pairs are looked up too.
    bool overridden(std::size_t& i) {
        if (i + 1 < tokens.size()) {
            if (auto said = overrideFor(tokens[i].surface + tokens[i + 1].surface)) {
                say(std::string(*said));
                ++i;
                return true;
            }
        }
        auto said = overrideFor(tokens[i].surface);
        if (said) say(std::string(*said));
        return said.has_value();
    }

    void word(const Token& t) {
        if (t.surface == U"?" || t.surface == U"!") {  // MeCab leaves them untagged
            say(utf8::FromUtf32(t.surface));
        } else if (!t.fields.empty() && t.fields[0] == "記号") {
            if (t.fields.size() > 1 && (t.fields[1] == "句点" || t.fields[1] == "読点"))
                say(t.fields[1] == "句点" ? "。" : "、");
        } else if (!t.pronunciation.empty()) {
            // The object particle is pronounced オ, but the voice reads ヲ as "wo".
            say(t.pronunciation == "ヲ" ? "オ" : t.pronunciation);
        } else if (allKana(t.surface)) {
            say(utf8::FromUtf32(toKatakana(t.surface)));
        }
        // Anything else (unknown kanji, symbols) would only be spelled out: skipped.
    }

    void run() {
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            if (tokens[i].hasLatin)
                say(utf8::FromUtf32(tokens[i].surface), true, tokens[i].spaced);
            else if (!number(i) && !questionCount(i) && !overridden(i))
                word(tokens[i]);
        }
    }
};

}  // namespace

JapaneseReader::JapaneseReader() : m_tagger(MeCab::createTagger("")) {}

JapaneseReader::~JapaneseReader() {
    delete m_tagger;
}

std::vector<SpeechSegment> JapaneseReader::read(const std::string& sentence) {
    if (!m_tagger) return {};
    // The tokens' fields point into the tagger's lattice, valid until its next parse.
    const std::string text = prepare(sentence);
    Reading reading{tokenize(*m_tagger, text), {}};
    reading.run();
    return std::move(reading.segments);
}

}  // namespace synth
