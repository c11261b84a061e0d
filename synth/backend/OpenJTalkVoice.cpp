#include "synth/backend/OpenJTalkVoice.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/Diagnostics.h"
#include "platform/Utf8.h"
#include "synth/backend/ChildProcess.h"
#include "synth/backend/OpenJTalkTrace.h"

namespace synth {
namespace {

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

}  // namespace

ChildLimits clauseLimits(std::size_t characters, int speed) {
    const double slower = 100.0 / std::clamp(speed, 10, 1000);
    // Seconds of speech the clause may take, its pauses included.
    const double seconds = (1.0 + 2.0 * static_cast<double>(characters)) * slower;
    ChildLimits limits{};
    // Ten times or more what a clause takes here (a 40-character one: 0.3 s), so a busy
    // machine never trips it, and a fraction of the 10 s a hung program used to cost.
    limits.time = std::chrono::milliseconds(
        1500 + static_cast<long>(80.0 * static_cast<double>(characters) * slower));
    limits.output = 44 + static_cast<std::size_t>(seconds * OpenJTalkVoice::kRate) * 2;
    limits.side = (64 << 10) + static_cast<std::size_t>(seconds * (256 << 10));
    return limits;
}

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

OpenJTalkVoice::OpenJTalkVoice(OpenJTalkSetup setup) : m_setup(std::move(setup)) {}

OpenJTalkVoice::~OpenJTalkVoice() = default;

std::string OpenJTalkVoice::describe() const {
    return "Open JTalk with " + m_setup.voiceFile;
}

void OpenJTalkVoice::rest() {
    m_spare.reset();
    m_prepared.reset();
    std::deque<Said>().swap(m_said);
    m_nSaidSamples = 0;
}

OpenJTalkVoice::Args OpenJTalkVoice::argsFor(const Prosody& prosody) const {
    Args args = baseArgs(m_setup);
    // Speed is the voice's own rate; pitch moves in half-tones, 12 per doubling, so the
    // percentages keep their meaning (50% is an octave down). The trace, on descriptor 3,
    // costs nothing measurable and times the words.
    args.insert(args.end(), {"-r", number(prosody.speed / 100.0), "-fm",
                             number(12.0 * std::log2(prosody.pitch / 100.0)), "-ow", "/dev/stdout",
                             "-ot", "/dev/fd/3"});
    return args;
}

std::unique_ptr<ChildProgram> OpenJTalkVoice::startFor(const Args& args) {
    std::unique_ptr<ChildProgram> spare = std::move(m_spare);
    if (spare && m_spareArgs == args) return spare;
    return std::make_unique<ChildProgram>(args, true);
}

void OpenJTalkVoice::prepare(const std::string& utf8, const Prosody& prosody) {
    if (!hasSpeakableText(utf8)) return;
    const Args args = argsFor(prosody);
    if (m_prepared && m_preparedArgs == args && m_preparedText == utf8) return;
    for (const Said& said : m_said)
        if (said.args == args && said.text == utf8) return;
    m_prepared = startFor(args);
    m_prepared->send(utf8);
    m_preparedArgs = args;
    m_preparedText = utf8;
}

void OpenJTalkVoice::remember(Said said) {
    // Enough for the sentence being read and the one before it, which is where a move back
    // goes; a few megabytes at most.
    constexpr std::size_t kClauses = 8, kSamples = kRate * 60;
    m_nSaidSamples += said.pcm.size();
    m_said.push_back(std::move(said));
    while (m_said.size() > kClauses || (m_said.size() > 1 && m_nSaidSamples > kSamples)) {
        m_nSaidSamples -= m_said.front().pcm.size();
        m_said.pop_front();
    }
}

std::optional<OpenJTalkVoice::Said> OpenJTalkVoice::synthesise(
    ChildProgram& child, bool sent, const Args& args, const std::string& utf8,
    const ChildLimits& limits, const Cancelled& cancelled, ChildResult::Outcome* outcome) {
    std::vector<int16_t> clause;
    std::string header, trace;
    unsigned char carry = 0;
    bool badHeader = false, hasCarry = false;
    if (!sent) child.send(utf8);
    const ChildResult result = child.finish(
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
            std::size_t i = 0;
            if (hasCarry) {
                clause.push_back(
                    static_cast<int16_t>(carry | (static_cast<unsigned char>(data[0]) << 8)));
                i = 1;
                hasCarry = false;
            }
            for (; i + 1 < size; i += 2)
                clause.push_back(
                    static_cast<int16_t>(static_cast<unsigned char>(data[i]) |
                                         (static_cast<unsigned char>(data[i + 1]) << 8)));
            if (i < size) {
                carry = static_cast<unsigned char>(data[i]);
                hasCarry = true;
            }
        },
        [&](const char* data, std::size_t size) { trace.append(data, size); }, cancelled, limits);
    *outcome = result.outcome;
    if (result.outcome != ChildResult::Exited || result.exitCode != 0 || badHeader ||
        clause.empty())
        return std::nullopt;
    // Each clause comes with about 200 ms of silence before and 300 ms after; between
    // clauses that would be a gap of half a second, and it delays the first sound.
    Said said{args, utf8, {}, {}};
    constexpr int16_t kQuiet = 200;
    constexpr std::size_t kLead = kRate / 50, kTail = kRate * 3 / 20;  // 20 ms, 150 ms
    auto loud = [&](int16_t v) { return v > kQuiet || v < -kQuiet; };
    const auto first = std::find_if(clause.begin(), clause.end(), loud);
    if (first == clause.end()) return said;
    const auto last = std::find_if(clause.rbegin(), clause.rend(), loud).base();
    const std::size_t begin = std::max<std::ptrdiff_t>(0, first - clause.begin() - kLead);
    const std::size_t end =
        std::min(clause.size(), static_cast<std::size_t>(last - clause.begin()) + kTail);
    said.pcm.assign(clause.begin() + static_cast<std::ptrdiff_t>(begin),
                    clause.begin() + static_cast<std::ptrdiff_t>(end));
    for (const TimedPhrase& p : timedPhrases(utf8, trace)) {
        const auto at = static_cast<std::size_t>(p.seconds * kRate);
        said.marks.push_back({p.start, p.end, at > begin ? at - begin : 0});
    }
    return said;
}

SpeakResult OpenJTalkVoice::speak(const std::string& utf8, const Prosody& prosody,
                                  const PcmOut& out, const Cancelled& cancelled) {
    if (!hasSpeakableText(utf8)) return SpeakResult::Done;
    const Args args = argsFor(prosody);
    const ChildLimits limits = clauseLimits(utf8::ToUtf32(utf8).size(), prosody.speed);
    auto say = [&](const Said& said) {
        if (m_words)
            for (const Said::Mark& m : said.marks) m_words(m.start, m.end, m.sample);
        if (!said.pcm.empty()) out(said.pcm.data(), said.pcm.size());
        return SpeakResult::Done;
    };
    for (const Said& kept : m_said)
        if (kept.args == args && kept.text == utf8)
            return cancelled() ? SpeakResult::Cancelled : say(kept);
    std::optional<Said> said;
    // A program started ahead may have died meanwhile (killed from outside): a fresh one
    // gets the clause once before the voice counts as failed.
    for (int attempt = 0; attempt < 2 && !said; ++attempt) {
        const bool prepared =
            attempt == 0 && m_prepared && m_preparedArgs == args && m_preparedText == utf8;
        const bool ahead = prepared || (attempt == 0 && m_spare && m_spareArgs == args);
        std::unique_ptr<ChildProgram> child = prepared ? std::move(m_prepared) : startFor(args);
        m_prepared.reset();  // prepared for another clause: a jump went elsewhere
        ChildResult::Outcome outcome = ChildResult::CannotStart;
        said = synthesise(*child, prepared, args, utf8, limits, cancelled, &outcome);
        child.reset();
        const bool stopped = outcome == ChildResult::Cancelled;
        if (said || stopped) {
            // The next clause's program loads while this one is heard, or while a jump
            // finds its sentence.
            m_spare = std::make_unique<ChildProgram>(args, true);
            m_spareArgs = args;
        }
        if (stopped) return SpeakResult::Cancelled;
        // A program that hung or flooded would only do it again.
        if (outcome == ChildResult::TimedOut || outcome == ChildResult::TooMuch) {
            diag::Say(diag::Level::Detail, "%s: given up on a clause of %zu bytes (%s)",
                      m_setup.program.c_str(), utf8.size(),
                      outcome == ChildResult::TimedOut ? "no answer in time" : "too much output");
            break;
        }
        if (!ahead) break;
    }
    if (!said) return SpeakResult::Failed;
    say(*said);
    remember(std::move(*said));
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
    ChildLimits limits = clauseLimits(utf8::ToUtf32(utf8).size(), 100);
    limits.output = limits.side;
    const ChildResult result = runChild(
        args, utf8, [&](const char* data, std::size_t size) { trace.append(data, size); },
        cancelled, limits);
    if (result.outcome != ChildResult::Exited || result.exitCode != 0) return std::nullopt;
    return accentedPronunciation(analysedWords(trace));
}

}  // namespace synth
