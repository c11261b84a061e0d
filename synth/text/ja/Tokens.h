#pragma once
// MeCab's analysis of a sentence as tokens: surface, features and pronunciation.

#include <string>
#include <string_view>
#include <vector>

namespace MeCab {
class Tagger;
}

namespace synth::ja {

struct Token {
    std::u32string surface;
    std::vector<std::string_view> fields;
    std::string pronunciation;  // the 9th feature, or empty
    bool hasLatin = false;
    bool spaced = false;  // white space before it
};

// The tokens' fields point into the tagger's lattice, valid until its next parse.
std::vector<Token> tokenize(MeCab::Tagger& tagger, const std::string& text);
// A numeral as MeCab tags it, in full-width digits or kanji.
bool isNumeralToken(const Token& t);
std::u32string toKatakana(const std::u32string& s);
bool allKana(const std::u32string& s);

}  // namespace synth::ja
