#include "synth/backend/OpenJTalkTrace.h"

#include <cstdlib>
#include <sstream>

#include "platform/Utf8.h"

namespace synth {
namespace {

bool isSmallKana(char32_t c) {
    return std::u32string_view(U"ァィゥェォャュョヮ").find(c) != std::u32string_view::npos;
}

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ',')) fields.push_back(field);
    return fields;
}

// The lines of one section of the trace, up to the blank line that ends it.
std::vector<std::string> section(std::string_view trace, std::string_view title) {
    std::vector<std::string> lines;
    const std::size_t at = trace.find(title);
    if (at == std::string_view::npos) return lines;
    std::istringstream in(std::string(trace.substr(at + title.size())));
    std::string line;
    std::getline(in, line);  // the rest of the title line
    while (std::getline(in, line) && !line.empty()) lines.push_back(line);
    return lines;
}

// The program reads ASCII as its full-width forms.
char32_t asTheProgramReadsIt(char32_t c) {
    if (c == U' ') return U'\u3000';
    if (c > U' ' && c < 0x7F) return c + 0xFEE0;
    return c;
}

}  // namespace

std::vector<AnalysedWord> analysedWords(std::string_view trace) {
    // One word a line: surface, part of speech (6 fields), base form, reading,
    // pronunciation, accent/morae, accent rule, and whether the word joins the accent
    // phrase before it (1). After the accent rules ran, the first word of a phrase carries
    // the phrase's accent.
    std::vector<AnalysedWord> words;
    for (const std::string& line : section(trace, "[Text analysis result]")) {
        const std::vector<std::string> f = splitFields(line);
        if (f.size() < 13) continue;
        AnalysedWord w;
        w.surface = f[0];
        w.pronunciation = f[9];
        w.accent = std::atoi(f[10].c_str());
        const std::size_t slash = f[10].find('/');
        w.morae = slash == std::string::npos ? 0 : std::atoi(f[10].c_str() + slash + 1);
        w.symbol = f[1] == "記号";
        w.joinsPhrase = f[12] == "1";
        words.push_back(std::move(w));
    }
    return words;
}

std::string accentedPronunciation(const std::vector<AnalysedWord>& words) {
    std::string out;
    bool phraseOpen = false;
    int accent = 0, mora = 0;
    for (const AnalysedWord& w : words) {
        if (w.symbol) {
            out += w.surface;
            phraseOpen = false;
            continue;
        }
        if (!phraseOpen || !w.joinsPhrase) {
            if (phraseOpen) out += '/';
            phraseOpen = true;
            mora = 0;
            accent = w.accent;
        }
        std::u32string kana;
        for (char32_t c : utf8::ToUtf32(w.pronunciation))
            if (c != U'’') kana += c == U'ヲ' ? U'オ' : c;  // the particle を is said o
        for (std::size_t i = 0; i < kana.size(); ++i) {
            out += utf8::FromUtf32(std::u32string(1, kana[i]));
            const bool moraEnds = i + 1 >= kana.size() || !isSmallKana(kana[i + 1]);
            if (moraEnds && ++mora == accent) out += '\'';
        }
    }
    return out;
}

std::vector<double> moraStarts(std::string_view trace) {
    // "start end p1^p2-p3+p4=p5/A:..." with times in units of 100 ns, p3 the phoneme. A
    // mora ends with its vowel (capital when devoiced), N or cl; silence and pauses are none.
    std::vector<double> starts;
    bool inMora = false;
    for (const std::string& line : section(trace, "[Output label]")) {
        std::istringstream in(line);
        long long start = 0, end = 0;
        std::string label;
        if (!(in >> start >> end >> label)) continue;
        const std::size_t minus = label.find('-'), plus = label.find('+');
        if (minus == std::string::npos || plus == std::string::npos || plus < minus) continue;
        const std::string phoneme = label.substr(minus + 1, plus - minus - 1);
        if (phoneme == "sil" || phoneme == "pau") {
            inMora = false;
            continue;
        }
        if (!inMora) starts.push_back(static_cast<double>(start) / 1e7);
        inMora = !(phoneme == "N" || phoneme == "cl" ||
                   (phoneme.size() == 1 &&
                    std::string_view("aiueoAIUEO").find(phoneme[0]) != std::string_view::npos));
    }
    return starts;
}

std::vector<TimedPhrase> timedPhrases(const std::string& clause, std::string_view trace) {
    const std::vector<AnalysedWord> words = analysedWords(trace);
    const std::vector<double> starts = moraStarts(trace);
    std::size_t morae = 0;
    for (const AnalysedWord& w : words) morae += w.symbol ? 0 : w.morae;
    if (words.empty() || morae != starts.size()) return {};

    // The clause as the program read it, with where each character lies in its bytes.
    std::u32string text;
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < clause.size();) {
        std::size_t length = 1;
        text += asTheProgramReadsIt(utf8::DecodeAt(clause, i, &length));
        offsets.push_back(i);
        i += length;
    }
    offsets.push_back(clause.size());

    std::vector<TimedPhrase> phrases;
    bool open = false, placed = false;
    std::size_t cursor = 0, mora = 0;
    for (const AnalysedWord& w : words) {
        if (w.symbol || !open || !w.joinsPhrase) {
            open = !w.symbol && mora < starts.size();
            placed = false;
            if (open) phrases.push_back({0, 0, starts[mora]});
        }
        mora += w.symbol ? 0 : static_cast<std::size_t>(w.morae);
        // A word the program wrote differently (a number it spelled in kanji) is not
        // marked; the phrase is the words found in the clause.
        const std::u32string surface = utf8::ToUtf32(w.surface);
        const std::size_t at = surface.empty() ? std::u32string::npos : text.find(surface, cursor);
        if (at == std::u32string::npos) continue;
        cursor = at + surface.size();
        if (!open) continue;
        TimedPhrase& p = phrases.back();
        if (!placed) p.start = offsets[at];
        p.end = offsets[cursor];
        placed = true;
    }
    // Phrases none of whose words were found mark nothing.
    std::vector<TimedPhrase> found;
    for (const TimedPhrase& p : phrases)
        if (p.end > p.start) found.push_back(p);
    return found;
}

}  // namespace synth
