#pragma once
// Says the segments of a voiced sentence into a sink: picks the voice, brings its audio to the
// sink's rate and volume, and tells where the segment's words begin among the samples. A
// natural voice that fails leaves the segment to the fallback voice, which is given the
// front end's reading of it when the natural voice read written text. Worker only.

#include <cstdint>
#include <vector>

#include "synth/pipeline/SentenceOut.h"
#include "synth/pipeline/Voicing.h"

namespace synth {

class SegmentSpeaker {
  public:
    SpeakResult speak(const Voicing& voicing, const SpeechSegment& segment,
                      const Prosody& prosody, SentenceOut& out, const Cancelled& cancelled);

  private:
    SpeakResult say(VoiceBackend& voice, const SpeechSegment& segment, const Prosody& prosody,
                    int volume, SentenceOut& out, const Cancelled& cancelled);

    std::vector<int16_t> m_scratch;
};

}  // namespace synth
