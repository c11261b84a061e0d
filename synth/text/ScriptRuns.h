#pragma once
// Splits mixed text into runs by script, each for the language whose voice should read it.
// Shared by the reading controller (does a selection need more than the chosen language?)
// and the engine core (which voice reads which run), so both apply the same rules.
//
// The rules, sentence by sentence:
// - Hangul is Korean; kana is Japanese.
// - Han characters are Japanese in a sentence that has kana; otherwise they belong to the
//   chosen language when that is Japanese or Chinese, else to Chinese.
// - Latin letters are English in a sentence of Latin letters alone. Beside the letters of
//   another script they stay in the run around them, whose engine reads them as it always has
//   (the Japanese and Chinese engines hand them to their English voice).
// - Digits, punctuation, symbols, spaces and every other character belong to the run before
//   them, except a number or an opening bracket that leads into a run of another language,
//   which goes with it (3개, 「안녕」). Text before the first letter joins the first run;
//   text without letters is one run of the chosen language.
// The runs cover the text without gaps, in order; malformed UTF-8 bytes count as symbols.

#include <cstddef>
#include <string_view>
#include <vector>

namespace synth {

struct ScriptRun {
    int language;       // engine language number, 7 to 10
    std::size_t begin;  // byte offsets into the text
    std::size_t end;
};

// `chosen` is the reading language (7 to 10).
std::vector<ScriptRun> splitScriptRuns(std::string_view utf8, int chosen);

// True when every run of the text belongs to `chosen`: the chosen engine alone reads it.
bool readByChosenAlone(std::string_view utf8, int chosen);

}  // namespace synth
