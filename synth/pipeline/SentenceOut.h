#pragma once
// One sentence's audio and word marks on their way to the sink, with the pause between
// sentences made shorter or longer. That pause is the silence at the end of a sentence's
// audio and at the start of the next one (flite leaves about 0.2 s on each side, Open JTalk
// 0.15 s after), so it is scaled where it is: Short keeps a third of both, Long adds as much
// again after the sentence, Normal passes everything through untouched. Whatever the setting,
// the quiet before an utterance's first word is cut to kFirstLeadMs, so the first sound is
// heard at once. Marks told during a lead that is cut move with the audio. Worker only.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace synth {

enum class SentencePause { Short, Normal, Long };

// "short", "normal", "long"; false for anything else.
bool parseSentencePause(std::string_view name, SentencePause* out);

class SentenceOut {
  public:
    static constexpr int kFirstLeadMs = 20;

    using Write = std::function<void(const int16_t* data, std::size_t count)>;
    using Mark = std::function<void(int start, int end, int64_t sample)>;

    // `samples`: the utterance's samples so far, where marks are counted from; kept up to
    // date as audio is taken (held samples included) and once the pause is settled.
    // `first`: no audio of the utterance came before this sentence.
    SentenceOut(SentencePause pause, bool first, int rate, int64_t& samples, Write write,
                Mark mark);

    int rate() const { return m_nRate; }
    int64_t samples() const { return m_samples; }

    // Audio at the sink's rate: `level` is it before the volume was applied (whether it is
    // silence does not depend on the volume), `data` as it is heard.
    void audio(const int16_t* level, const int16_t* data, std::size_t count);
    // A word (or a whole segment) of the sentence as shown, bytes [start, end), begins at this
    // sample of the utterance; -1, -1 for a segment that has no place in it.
    void mark(int start, int end, int64_t sample);
    // The sentence's audio is complete; `more`: another sentence follows it.
    void end(bool more);

  private:
    void emit(const int16_t* data, std::size_t count);
    void settleLead(std::size_t kept);

    struct HeldMark {
        int start, end;
        int64_t sample;
    };

    SentencePause m_pause;
    int m_nRate;
    int64_t& m_samples;
    Write m_write;
    Mark m_mark;
    bool m_bFirst;                  // no audio of the utterance came before this sentence
    bool m_bInLead;                 // no speech heard yet in this sentence
    bool m_bHoldLead;               // the leading silence is held back to be shortened
    int64_t m_nLeadStart;           // where the sentence began
    std::size_t m_nLead = 0;        // samples of leading silence
    std::size_t m_nQuietRun = 0;    // silent samples since the latest speech
    std::vector<int16_t> m_held;    // audio not yet written (silence only)
    std::vector<HeldMark> m_marks;  // marks told while the lead was held
};

}  // namespace synth
