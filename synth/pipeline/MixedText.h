#pragma once
// One reading of mixed text (VT_PLAYTTS_UTF8_x): the UTF-8 text, split into runs by script,
// handed to the speech worker one run at a time, with each language's prosody. Worker only
// once the play call has made it.

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/EngineApi.h"
#include "engine/Languages.h"
#include "synth/text/ScriptRuns.h"

namespace synth {

class MixedText {
  public:
    using Clock = std::chrono::steady_clock;

    // `prosody` has `count` entries, Japanese first; languages past the count get the
    // defaults, and each value is clamped to the engine's limits.
    MixedText(int chosen, const VtVoiceProsody* prosody, int count);

    // The same reading from its first run again, with the same prosody (a jump).
    std::unique_ptr<MixedText> again() const;

    // The next run: its text, its language and where it starts in the text. The text is split
    // at the first call, on the worker, so the play call returns at once however long it is.
    // False after the last run.
    bool next(const std::shared_ptr<const std::string>& utf8, std::string& run, int& language,
              std::size_t* begin = nullptr);

    const VtVoiceProsody& prosodyOf(int language) const;

    static constexpr int64_t kNoHandover = INT64_MIN;

    // `seconds` of audio of the current run were handed to the sink at `now`. At the first
    // audio of a run after the first, returns how much later it came than the audio before
    // it finished playing, were the audio played in real time from its first sample on: a
    // positive time is a silence the listener hears, a negative one the audio still queued.
    // kNoHandover for any other audio.
    int64_t noteAudio(Clock::time_point now, double seconds);

  private:
    int m_nChosen;
    std::array<VtVoiceProsody, engine::kLanguageCount> m_prosody;
    bool m_bSplit = false;
    std::vector<ScriptRun> m_runs;
    std::size_t m_nNext = 0;
    bool m_bRunHeard = false;         // the current run has handed audio to the sink
    Clock::time_point m_playedOut{};  // when the audio handed over so far has played
    bool m_bAnyAudio = false;
};

}  // namespace synth
