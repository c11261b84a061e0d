#pragma once
// The voices of one loaded engine: a natural voice for its text and one for the Latin runs in
// it (either may be absent), and the espeak-ng voices that speak in their place. Worker only.
// A voice the user added for the language speaks its text before the built-in natural voice,
// which takes over the segments the added voice fails.
//
// A natural voice that fails a segment leaves that segment to the fallback and is asked again
// for the next. Failures count together until a quiet half minute has passed: from the second
// on the voice rests for a while that doubles each time (a program that hangs costs its timeout
// once, not at every clause; one that fails on every other clause is not started for each),
// and is tried again after that.

#include <chrono>
#include <memory>
#include <string>

#include "synth/backend/VoiceBackend.h"
#include "synth/text/ja/JapaneseReader.h"

namespace synth {

struct Voices {
    std::unique_ptr<VoiceBackend> natural, naturalLatin;    // null: the fallback speaks
    std::unique_ptr<VoiceBackend> fallback, fallbackLatin;  // fallback is never null
    std::unique_ptr<JapaneseReader> reader;  // for a configuration that reads Japanese
};

class VoiceSet {
  public:
    using Clock = std::chrono::steady_clock;

    explicit VoiceSet(Voices voices) : m_voices(std::move(voices)) {}

    // The natural voice for a segment, or null when there is none or it rests now: the added
    // voice first, then the built-in one.
    VoiceBackend* natural(bool latin, Clock::time_point now = Clock::now());
    VoiceBackend* builtIn(bool latin, Clock::time_point now = Clock::now());
    // The added voice for the engine's own text; null gives the built-in voices back.
    void setAdded(std::unique_ptr<VoiceBackend> voice);
    // The voice that speaks when the natural one cannot.
    VoiceBackend& fallback(bool latin);
    // What a natural voice did with a segment: a failure lets it rest (said under
    // SELVARINE_VERBOSE), the first success after that says it is back.
    void failed(const VoiceBackend& voice, Clock::time_point now = Clock::now());
    void succeeded(const VoiceBackend& voice);

    static constexpr std::chrono::seconds kQuietForgives{30};

    // True when the main natural voice reads written text and is available now: its sentences
    // are then cut into clauses only.
    bool readsWrittenText(Clock::time_point now = Clock::now());
    JapaneseReader* reader() { return m_voices.reader.get(); }
    // The rate the engine's sink plays: the natural voice's, which others are resampled to.
    int sampleRate() const {
        return (m_voices.natural ? m_voices.natural : m_voices.fallback)->sampleRate();
    }

    // The voice that speaks the engine's own text, and whether it is the one configured
    // (false while espeak-ng speaks for a missing or resting natural voice).
    std::string describe(bool* configured, bool naturalConfigured);
    // Nothing left to read: voices let go of what they keep ready.
    void rest();

  private:
    struct Health {
        int failures = 0;  // since the last quiet half minute
        Clock::time_point lastFailure{}, restUntil{};
        bool rested = false;  // "speaks again" is due at its next success
    };
    enum Slot { kMain, kLatin, kAdded, kSlots };
    std::unique_ptr<VoiceBackend>& voiceIn(int slot) {
        return slot == kAdded ? m_added : slot == kLatin ? m_voices.naturalLatin : m_voices.natural;
    }
    int slotOf(const VoiceBackend& voice) {
        for (int slot = 0; slot < kSlots; ++slot)
            if (voiceIn(slot).get() == &voice) return slot;
        return -1;
    }
    bool awake(int slot, Clock::time_point now) {
        return voiceIn(slot) && now >= m_health[slot].restUntil;
    }

    Voices m_voices;
    std::unique_ptr<VoiceBackend> m_added;
    Health m_health[kSlots];
};

}  // namespace synth
