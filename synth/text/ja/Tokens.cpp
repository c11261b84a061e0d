#include "synth/text/ja/Tokens.h"

#include <mecab.h>

#include "platform/Utf8.h"
#include "synth/text/TextScan.h"

namespace synth::ja {

bool isNumeralToken(const Token& t) {
    if (t.fields.size() < 2 || t.fields[0] != "名詞" || t.fields[1] != "数") return false;
    for (char32_t c : t.surface)
        if (!(c >= U'０' && c <= U'９') && c != U'．' &&
            std::u32string_view(U"〇一二三四五六七八九十百千万億兆").find(c) ==
                std::u32string_view::npos)
            return false;
    return true;
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

}  // namespace synth::ja
