// Which engine reads each part of a text, and with what: the core's side of the voicing rule.
// Worker only.

#include "synth/core/SpeechCore.h"

namespace synth {

// The engine whose front end and voices read a run of `runLanguage` for e: the run's own
// language when its engine is loaded, else e.
EngineState& SpeechCore::readerEngine(EngineState& e, int runLanguage) {
    if (!engine::IsEngineLanguage(runLanguage) || runLanguage == e.language) return e;
    EngineState& v = m_engines[slotOf(static_cast<Language>(runLanguage))];
    std::lock_guard lock(v.mutex);
    return v.loaded && v.voices ? v : e;
}

// Mixed text had the chosen language's dictionary applied as a whole (openSource).
RunReader SpeechCore::readerFor(EngineState& e, bool mixed, int runLanguage) {
    EngineState& v = readerEngine(e, runLanguage);
    takeAddedVoice(v);
    RunReader reader;
    {
        std::lock_guard lock(v.mutex);
        reader.language = v.language;
        reader.config = v.config;
        if (!(mixed && &v == &e)) reader.dictionary = v.dictionary;
    }
    reader.voices = v.voices.get();
    reader.voicesEpoch = m_nVoicesEpoch;
    return reader;
}

Voicing SpeechCore::voicingFor(EngineState& e, Job& job, const Sentence& sentence) {
    const RunReader reader = readerFor(e, job.mixed != nullptr, sentence.language);
    // Another language's run keeps that language's settings.
    const bool own = !job.mixed || reader.language == e.language;
    const VtVoiceProsody prosody = own ? VtVoiceProsody{job.pitch, job.speed.load(), job.volume}
                                       : job.mixed->prosodyOf(reader.language);
    return voiceSentence(reader, sentence.language, prosody, own, job.links, sentence.text,
                         sentence.said);
}

// Mixed text is split once the chosen language's user dictionary has been applied to all of
// it, so that its entries decide first, also for words of another script (안녕,アンニョン has
// the Japanese voice say it).
void SpeechCore::openSource(EngineState& e, Job& job) {
    std::shared_ptr<const UserDictionary> dictionary;
    std::string encoding;
    int language;
    {
        std::lock_guard lock(e.mutex);
        dictionary = e.dictionary;
        encoding = e.config.encoding;
        language = e.language;
    }
    if (!job.mixed) {
        job.source = std::make_unique<SentenceSource>(job.text, encoding, language, job.startOffset);
        return;
    }
    if (dictionary && !job.textFinal) {
        // A jump reads this text again (playFrom), so it is swapped under the lock.
        auto applied = std::make_shared<const std::string>(dictionary->apply(*job.text));
        std::lock_guard lock(e.mutex);
        job.text = std::move(applied);
        job.textFinal = true;
    }
    job.source = std::make_unique<SentenceSource>(job.text, *job.mixed, job.startOffset);
}

}  // namespace synth
