#include "synth/pipeline/SegmentSpeaker.h"

#include "synth/audio/Resampler.h"
#include "synth/text/FrontEnd.h"

namespace synth {

SpeakResult SegmentSpeaker::speak(const Voicing& voicing, const SpeechSegment& segment,
                                  const Prosody& prosody, SentenceOut& out,
                                  const Cancelled& cancelled) {
    VoiceSet& voices = *voicing.voices;
    out.mark(segment.start, segment.end, out.samples());
    // The added voice, then the built-in natural voice, then the fallback.
    VoiceBackend* natural = voicing.fallbackOnly ? nullptr : voices.natural(segment.latin);
    VoiceBackend* failed = nullptr;
    while (natural && natural != failed) {
        const SpeakResult result = say(*natural, segment, prosody, voicing.volume, out, cancelled);
        if (result != SpeakResult::Failed) {
            if (result == SpeakResult::Done) voices.succeeded(*natural);
            return result;
        }
        voices.failed(*natural);
        failed = natural;
        natural = voices.builtIn(segment.latin);
    }
    // A voice of written text was given clauses the fallback cannot read as they are
    // (espeak-ng says kanji as "Chinese letter"): it gets the front end's reading.
    if (failed && !segment.latin && failed->readsWrittenText()) {
        for (const SpeechSegment& part :
             readForVoice(voicing.reading, voices.reader(), segment.text, voicing.links)) {
            VoiceBackend& voice = voices.fallback(part.latin);
            if (say(voice, {part.latin, part.text}, prosody, voicing.volume, out, cancelled) ==
                SpeakResult::Cancelled)
                return SpeakResult::Cancelled;
        }
        return SpeakResult::Done;
    }
    return say(voices.fallback(segment.latin), segment, prosody, voicing.volume, out, cancelled);
}

SpeakResult SegmentSpeaker::say(VoiceBackend& voice, const SpeechSegment& segment,
                                const Prosody& prosody, int volume, SentenceOut& out,
                                const Cancelled& cancelled) {
    Resampler resampler(voice.sampleRate(), out.rate());
    const PcmOut pcmOut = [&](const int16_t* samples, std::size_t count) {
        const std::vector<int16_t>& pcm = resampler.push(samples, count);
        if (pcm.empty()) return;
        out.audio(pcm.data(), applyGain(pcm, volume, m_scratch), pcm.size());
    };
    if (segment.start >= 0) {
        const int64_t from = out.samples();
        const int voiceRate = voice.sampleRate();
        voice.tellWords([&out, &segment, from, voiceRate](std::size_t s, std::size_t end,
                                                          std::size_t sample) {
            out.mark(segment.start + static_cast<int>(s), segment.start + static_cast<int>(end),
                     from + static_cast<int64_t>(sample) * out.rate() / voiceRate);
        });
    }
    const SpeakResult result = voice.speak(segment.text, prosody, pcmOut, cancelled);
    voice.tellWords({});
    return result;
}

}  // namespace synth
