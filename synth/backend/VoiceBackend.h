#pragma once
// A voice back-end: turns the text a front end prepared into 16-bit mono PCM.
//
// Back-ends are created, used and destroyed on the speech worker only; none is thread-safe.
// speak hands audio to `out` as it is made, polls `cancelled` at least every few
// milliseconds and returns within 10 ms once it turns true.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace synth {

struct Prosody {
    int speed = 100;  // percentages of the voice's normal, within the engine's limits
    int pitch = 100;
};

using PcmOut = std::function<void(const int16_t* samples, std::size_t count)>;
// A word the voice is about to say: bytes [start, end) of the text speak was given, and how
// many samples it had handed out before the word's audio.
using WordOut = std::function<void(std::size_t start, std::size_t end, std::size_t sample)>;
using Cancelled = std::function<bool()>;

enum class SpeakResult {
    Done,       // all of the text was spoken (or it had nothing to say)
    Cancelled,  // `cancelled` turned true
    Failed,     // the voice cannot speak (a crashed or hung program, a damaged voice file)
};

class VoiceBackend {
  public:
    virtual ~VoiceBackend() = default;
    // Rate of the samples speak hands out.
    virtual int sampleRate() const = 0;
    // Names the voice in SELVARINE_VERBOSE lines.
    virtual std::string describe() const = 0;
    virtual SpeakResult speak(const std::string& utf8, const Prosody& prosody, const PcmOut& out,
                              const Cancelled& cancelled) = 0;
    // Where the voice tells its words, the next speak calls hand them to `words` (empty:
    // to nobody). Voices that cannot tell ignore it.
    virtual void tellWords(WordOut words) { (void)words; }
    // What a later speak will likely be given (the start of the next sentence): a voice
    // that synthesises it meanwhile says it at once then. Others ignore it.
    virtual void prepare(const std::string& utf8, const Prosody& prosody) {
        (void)utf8;
        (void)prosody;
    }
    // Nothing is left to read for now: let go of whatever is kept ready for the next speak.
    virtual void rest() {}
    // True when the voice reads text as it is written (kanji, numbers, counters), so its
    // front end only cuts sentences into clauses.
    virtual bool readsWrittenText() const { return false; }
    // What the voice makes of the text for the reading preview: the text itself, unless the
    // voice analyses it further; nothing when that fails.
    virtual std::optional<std::string> handedText(const std::string& utf8,
                                                  const Cancelled& cancelled) {
        (void)cancelled;
        return utf8;
    }
};

}  // namespace synth
