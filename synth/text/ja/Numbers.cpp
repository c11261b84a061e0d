#include "synth/text/ja/Numbers.h"

#include "synth/text/ja/JapaneseReader.h"

namespace synth {
namespace ja {
namespace {

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

// A doubled consonant replaces the last mora of イチ, ロク, ハチ, ジュー and ヒャク.
bool geminate(std::u32string& stem, bool six, bool hundred) {
    return swapTail(stem, U"イチ", U"イッ") || swapTail(stem, U"ハチ", U"ハッ") ||
           swapTail(stem, U"ジュー", U"ジュッ") || (six && swapTail(stem, U"ロク", U"ロッ")) ||
           (hundred && swapTail(stem, U"ヒャク", U"ヒャッ"));
}

}  // namespace

const Counter* findCounter(std::u32string_view surface) {
    for (const Counter& c : kCounters)
        if (c.surface == surface) return &c;
    return nullptr;
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

std::u32string readDecimal(const DigitNumber& n) {
    std::u32string spoken = readNumber(n.integer);
    if (n.fraction.empty()) return spoken;
    geminate(spoken, false, false);
    return spoken + U"テン" + spellDigits(n.fraction, kJapanese);
}

std::u32string_view takeLargeUnit(std::u32string& run) {
    if (run.size() <= 2 || run.find(U'．') == std::u32string::npos) return {};
    const std::size_t unit = std::u32string_view(U"万億兆").find(run.back());
    if (unit == std::u32string_view::npos) return {};
    run.pop_back();
    return kJapanese.units[unit + 1];
}

}  // namespace ja

std::u32string readNumber(const std::u32string& digits) {
    return readGroupsOfFour(digits, ja::kJapanese);
}

std::u32string readWithCounter(const std::u32string& digits, std::u32string_view surface,
                               bool dayOfMonth) {
    const ja::Counter* c = ja::findCounter(surface);
    if (!c) return {};
    const long v = smallValue(digits);
    for (const ja::Word& w : c->words)
        if (w.value == v && (dayOfMonth || !w.dateOnly))
            return std::u32string(w.word) + std::u32string(c->wordTail);
    std::u32string stem = readNumber(digits);
    const std::pair<std::u32string_view, std::u32string_view> lastWords[] = {
        {U"ヨン", c->four}, {U"ナナ", c->seven}, {U"キュー", c->nine}};
    for (auto [plain, form] : lastWords)
        if (!form.empty() && ja::swapTail(stem, plain, form)) break;
    return ja::withSoundChange(std::move(stem), *c);
}

}  // namespace synth
