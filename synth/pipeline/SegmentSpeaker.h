#pragma once
// Says the segments of a voiced sentence into a sink: picks the voice, brings its audio to the
// sink's rate and volume, and tells where the segment's words begin among the samples. A
// natural voice that fails leaves the segment to the fallback voice, which is given the
// front end's reading of it when the natural voice read written text. Worker only.
//
// An utterance's first sound is handed over at once: the quiet a voice puts before its first
// word (flite's is about 200 ms) is cut to kLeadMs while nothing of the utterance has reached
// the sink, and the words told meanwhile move with the audio. Later pauses stay as they are.

#include <cstdint>
#include <functional>
#include <vector>

#include "synth/audio/AudioSink.h"
#include "synth/pipeline/Voicing.h"

namespace synth {

// Where a segment's audio and marks go.
struct SpeechOut {
    AudioSink& sink;
    uint64_t token;
    int rate;            // the sink's
    int64_t& samples;    // handed to the sink so far in this utterance
    // Told before each chunk is written, with its sample count at the sink's rate.
    std::function<void(std::size_t count)> heard;
    // A word (or a whole segment) of the sentence as shown, bytes [start, end), begins at
    // this sample of the utterance; -1, -1 for a segment that has no place in it.
    std::function<void(int start, int end, int64_t sample)> mark;
};

class SegmentSpeaker {
  public:
    static constexpr int kLeadMs = 20;
    static constexpr int16_t kQuiet = 200;  // at most this far from zero is quiet

    SpeakResult speak(const Voicing& voicing, const SpeechSegment& segment,
                      const Prosody& prosody, SpeechOut& out, const Cancelled& cancelled);

  private:
    SpeakResult say(VoiceBackend& voice, const SpeechSegment& segment, const Prosody& prosody,
                    int volume, SpeechOut& out, const Cancelled& cancelled);

    std::vector<int16_t> m_scratch;
    std::vector<int16_t> m_held;  // the quiet before an utterance's first sound
};

}  // namespace synth
