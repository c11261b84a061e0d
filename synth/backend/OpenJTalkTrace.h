#pragma once
// What Open JTalk's trace (its -ot output) tells of a clause it spoke: the words of its
// analysis with their readings and accents, and the timed phoneme labels it synthesised.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace synth {

struct AnalysedWord {
    std::string surface;        // as the program has it: ASCII made full-width, digits as kanji
    std::string pronunciation;  // katakana
    int accent = 0, morae = 0;  // accent: the accented mora of the phrase it starts, 0 flat
    bool symbol = false;        // punctuation and spaces: a pause, no morae
    bool joinsPhrase = false;   // part of the accent phrase before it (a particle, an ending)
};

std::vector<AnalysedWord> analysedWords(std::string_view trace);

// The katakana the voice speaks, accent phrases separated by '/', a ' after each phrase's
// accented mora.
std::string accentedPronunciation(const std::vector<AnalysedWord>& words);

// When each mora begins, in seconds from the start of the program's audio.
std::vector<double> moraStarts(std::string_view trace);

// The accent phrases as a listener follows them (今日は / 雨が / 降って / います): bytes
// [start, end) of the clause the program was given, and when the phrase's first mora begins.
// Nothing when the analysis and the labels disagree on the morae.
struct TimedPhrase {
    std::size_t start = 0, end = 0;
    double seconds = 0;
};
std::vector<TimedPhrase> timedPhrases(const std::string& clause, std::string_view trace);

}  // namespace synth
