#include "synth/backend/OpenJTalkVoice.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

#include "platform/Utf8.h"
#include "synth/backend/ChildProcess.h"

namespace synth {
namespace {

// Far above any clause's synthesis time; only a hung program meets it.
constexpr std::chrono::milliseconds kClauseLimit{10000};

std::vector<std::string> baseArgs(const OpenJTalkSetup& s, int rate = OpenJTalkVoice::kRate,
                                  int framePeriod = OpenJTalkVoice::kFramePeriod) {
    return {s.program,
            "-x",
            s.dictionary,
            "-m",
            s.voiceFile,
            "-s",
            std::to_string(rate),
            "-p",
            std::to_string(framePeriod)};
}

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", v);
    return text;
}

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

}  // namespace

bool hasSpeakableText(const std::string& utf8) {
    for (char32_t c : utf8::ToUtf32(utf8)) {
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
        if ((c >= 0x3041 && c <= 0x30FA) || c == 0x30FC || (c >= 0x3400 && c <= 0x9FFF) ||
            (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF10 && c <= 0xFF19) ||
            (c >= 0xFF21 && c <= 0xFF5A) || (c >= 0xFF66 && c <= 0xFF9D))
            return true;
    }
    return false;
}

std::string OpenJTalkVoice::describe() const {
    return "Open JTalk with " + m_setup.voiceFile;
}

SpeakResult OpenJTalkVoice::speak(const std::string& utf8, const Prosody& prosody,
                                  const PcmOut& out, const Cancelled& cancelled) {
    if (!hasSpeakableText(utf8)) return SpeakResult::Done;
    std::vector<std::string> args = baseArgs(m_setup);
    // Speed is the voice's own rate; pitch moves in half-tones, 12 per doubling, so the
    // percentages keep their meaning (50% is an octave down).
    args.insert(args.end(),
                {"-r", number(prosody.speed / 100.0), "-fm",
                 number(12.0 * std::log2(prosody.pitch / 100.0)), "-ow", "/dev/stdout"});
    std::string header;
    bool badHeader = false;
    std::size_t samples = 0;
    unsigned char carry = 0;
    bool hasCarry = false;
    std::vector<int16_t> pcm, clause;
    const ChildResult result = runChild(
        args, utf8,
        [&](const char* data, std::size_t size) {
            // The program writes a canonical 44-byte RIFF header, then the samples.
            while (header.size() < 44 && size > 0) {
                header.push_back(*data++);
                --size;
                if (header.size() == 44)
                    badHeader =
                        header.compare(0, 4, "RIFF") != 0 || header.compare(36, 4, "data") != 0;
            }
            if (badHeader || size == 0) return;
            pcm.clear();
            std::size_t i = 0;
            if (hasCarry) {
                pcm.push_back(
                    static_cast<int16_t>(carry | (static_cast<unsigned char>(data[0]) << 8)));
                i = 1;
                hasCarry = false;
            }
            for (; i + 1 < size; i += 2)
                pcm.push_back(static_cast<int16_t>(static_cast<unsigned char>(data[i]) |
                                                   (static_cast<unsigned char>(data[i + 1]) << 8)));
            if (i < size) {
                carry = static_cast<unsigned char>(data[i]);
                hasCarry = true;
            }
            samples += pcm.size();
            clause.insert(clause.end(), pcm.begin(), pcm.end());
        },
        cancelled, kClauseLimit);
    if (result.outcome == ChildResult::Cancelled) return SpeakResult::Cancelled;
    if (result.outcome != ChildResult::Exited || result.exitCode != 0 || badHeader || samples == 0)
        return SpeakResult::Failed;
    // The program writes its WAV only once the clause is synthesised, so holding it back
    // costs nothing. Each clause comes with about 200 ms of silence before and 300 ms after;
    // between clauses that would be a gap of half a second, and it delays the first sound.
    constexpr int16_t kQuiet = 200;
    constexpr std::size_t kLead = kRate / 50, kTail = kRate * 3 / 20;  // 20 ms, 150 ms
    auto loud = [&](int16_t v) { return v > kQuiet || v < -kQuiet; };
    const auto first = std::find_if(clause.begin(), clause.end(), loud);
    if (first == clause.end()) return SpeakResult::Done;
    const auto last = std::find_if(clause.rbegin(), clause.rend(), loud).base();
    const std::size_t begin = std::max<std::ptrdiff_t>(0, first - clause.begin() - kLead);
    const std::size_t end =
        std::min(clause.size(), static_cast<std::size_t>(last - clause.begin()) + kTail);
    out(clause.data() + begin, end - begin);
    return SpeakResult::Done;
}

std::optional<std::string> OpenJTalkVoice::pronounce(const std::string& utf8,
                                                     const Cancelled& cancelled) {
    if (!hasSpeakableText(utf8)) return std::string();
    // The program synthesises whatever it is asked; the analysis does not depend on the
    // sound, so the least of it (8 kHz, four times the speed) makes the trace about four
    // times as fast.
    std::vector<std::string> args = baseArgs(m_setup, 8000, 40);
    args.insert(args.end(), {"-r", "4", "-ow", "/dev/null", "-ot", "/dev/stdout"});
    std::string trace;
    const ChildResult result = runChild(
        args, utf8, [&](const char* data, std::size_t size) { trace.append(data, size); },
        cancelled, kClauseLimit);
    if (result.outcome != ChildResult::Exited || result.exitCode != 0) return std::nullopt;

    // The analysis lists one word a line: surface, part of speech (6 fields), base form,
    // reading, pronunciation, accent/morae, accent rule, and whether the word joins the
    // accent phrase before it (1). After the accent rules ran, the first word of a phrase
    // carries the phrase's accent.
    std::istringstream in(trace);
    std::string line, out;
    bool inAnalysis = false, phraseOpen = false;
    int accent = 0, mora = 0;
    while (std::getline(in, line)) {
        if (line == "[Text analysis result]") {
            inAnalysis = true;
            continue;
        }
        if (!inAnalysis) continue;
        if (line.empty()) break;
        const std::vector<std::string> f = splitFields(line);
        if (f.size() < 13) continue;
        const std::string& pron = f[9];
        if (f[1] == "記号") {
            out += f[0];
            phraseOpen = false;
            continue;
        }
        if (!phraseOpen || f[12] != "1") {
            if (phraseOpen) out += '/';
            phraseOpen = true;
            mora = 0;
            accent = std::atoi(f[10].c_str());
        }
        std::u32string kana;
        for (char32_t c : utf8::ToUtf32(pron))
            if (c != U'’') kana += c == U'ヲ' ? U'オ' : c;  // the particle を is said o
        for (std::size_t i = 0; i < kana.size(); ++i) {
            out += utf8::FromUtf32(std::u32string(1, kana[i]));
            const bool moraEnds = i + 1 >= kana.size() || !isSmallKana(kana[i + 1]);
            if (moraEnds && ++mora == accent) out += '\'';
        }
    }
    return out;
}

}  // namespace synth
