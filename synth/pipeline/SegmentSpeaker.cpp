#include "synth/pipeline/SegmentSpeaker.h"

#include <algorithm>

#include "synth/audio/Resampler.h"
#include "synth/text/FrontEnd.h"

namespace synth {

SpeakResult SegmentSpeaker::speak(const Voicing& voicing, const SpeechSegment& segment,
                                  const Prosody& prosody, SpeechOut& out,
                                  const Cancelled& cancelled) {
    VoiceSet& voices = *voicing.voices;
    out.mark(segment.start, segment.end, out.samples);
    VoiceBackend* natural = voicing.fallbackOnly ? nullptr : voices.natural(segment.latin);
    if (natural) {
        const SpeakResult result = say(*natural, segment, prosody, voicing.volume, out, cancelled);
        if (result != SpeakResult::Failed) {
            if (result == SpeakResult::Done) voices.succeeded(segment.latin);
            return result;
        }
        voices.failed(segment.latin);
        // A voice of written text was given clauses the fallback cannot read as they are
        // (espeak-ng says kanji as "Chinese letter"): it gets the front end's reading.
        if (!segment.latin && natural->readsWrittenText()) {
            for (const SpeechSegment& part :
                 readForVoice(voicing.reading, voices.reader(), segment.text)) {
                VoiceBackend& voice = voices.fallback(part.latin);
                if (say(voice, {part.latin, part.text}, prosody, voicing.volume, out,
                        cancelled) == SpeakResult::Cancelled)
                    return SpeakResult::Cancelled;
            }
            return SpeakResult::Done;
        }
    }
    return say(voices.fallback(segment.latin), segment, prosody, voicing.volume, out, cancelled);
}

SpeakResult SegmentSpeaker::say(VoiceBackend& voice, const SpeechSegment& segment,
                                const Prosody& prosody, int volume, SpeechOut& out,
                                const Cancelled& cancelled) {
    Resampler resampler(voice.sampleRate(), out.rate);
    const auto handOver = [&](const std::vector<int16_t>& pcm) {
        const int16_t* data = applyGain(pcm, volume, m_scratch);
        out.heard(pcm.size());
        out.samples += static_cast<int64_t>(pcm.size());
        out.sink.write(out.token, data, pcm.size());
    };
    struct Word {
        int start, end;
        int64_t sample;
    };
    const int64_t from = out.samples;
    bool leading = from == 0;
    int64_t dropped = 0;  // quiet samples at the sink's rate not handed over
    std::vector<Word> waiting;
    const auto tell = [&](const Word& w) {
        out.mark(w.start, w.end, std::max(from, w.sample - dropped));
    };
    const auto firstSound = [&] {
        leading = false;
        for (const Word& w : waiting) tell(w);
        waiting.clear();
    };
    const std::size_t keep = static_cast<std::size_t>(out.rate) * kLeadMs / 1000;
    m_held.clear();
    const PcmOut pcmOut = [&](const int16_t* samples, std::size_t count) {
        const std::vector<int16_t>& pcm = resampler.push(samples, count);
        if (pcm.empty()) return;
        if (!leading) return handOver(pcm);
        const auto loud = std::find_if(pcm.begin(), pcm.end(),
                                       [](int16_t v) { return v > kQuiet || v < -kQuiet; });
        const std::size_t quiet = m_held.size() + static_cast<std::size_t>(loud - pcm.begin());
        m_held.insert(m_held.end(), pcm.begin(), pcm.end());
        const std::size_t cut = quiet > keep ? quiet - keep : 0;
        dropped += static_cast<int64_t>(cut);
        m_held.erase(m_held.begin(), m_held.begin() + static_cast<std::ptrdiff_t>(cut));
        if (loud == pcm.end()) return;
        firstSound();
        handOver(m_held);
    };
    if (segment.start >= 0) {
        const int voiceRate = voice.sampleRate();
        voice.tellWords([&](std::size_t s, std::size_t end, std::size_t sample) {
            const Word w{segment.start + static_cast<int>(s), segment.start + static_cast<int>(end),
                         from + static_cast<int64_t>(sample) * out.rate / voiceRate};
            if (leading)
                waiting.push_back(w);
            else
                tell(w);
        });
    }
    const SpeakResult result = voice.speak(segment.text, prosody, pcmOut, cancelled);
    voice.tellWords({});
    // A segment that stayed quiet throughout leaves the utterance's first sound to the next.
    for (const Word& w : waiting) tell(w);
    return result;
}

}  // namespace synth
