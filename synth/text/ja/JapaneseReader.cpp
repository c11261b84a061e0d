#include "synth/text/ja/JapaneseReader.h"

#include <mecab.h>

#include <optional>

#include "platform/Utf8.h"
#include "synth/text/ja/Normalise.h"
#include "synth/text/ja/Numbers.h"
#include "synth/text/ja/Tokens.h"

namespace synth {
namespace ja {
namespace {

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
}  // namespace ja

JapaneseReader::JapaneseReader() : m_tagger(MeCab::createTagger("")) {}

JapaneseReader::~JapaneseReader() {
    delete m_tagger;
}

std::vector<SpeechSegment> JapaneseReader::read(const std::string& sentence) {
    if (!m_tagger) return {};
    // The tokens' fields point into the tagger's lattice, valid until its next parse.
    const std::string text = ja::prepareForAnalysis(sentence);
    ja::Reading reading{ja::tokenize(*m_tagger, text), {}};
    reading.run();
    return std::move(reading.segments);
}

}  // namespace synth
