// The control functions: any thread; each takes the engine's lock briefly and never waits for
// the worker, a voice or a sound server.

#include <algorithm>

#include "synth/core/SpeechCore.h"

namespace synth {

bool SpeechCore::play(Language lang, std::shared_ptr<Job> job) {
    return install(lang, std::move(job), false);
}

// A jump goes on with the same text, whose sentences stay known.
bool SpeechCore::install(Language lang, std::shared_ptr<Job> job, bool jump) {
    EngineState& e = engine(lang);
    std::shared_ptr<Job> old;
    {
        std::lock_guard lock(e.mutex);
        if (!e.loaded) return false;
        old = e.endJobLocked();
        job->token = e.generation.load();
        job->pause = e.pause;
        job->links = e.links;
        if (jump)
            e.position.restart(job->token);
        else
            e.position.newText(job->token);
        // A save is not a reading to follow or move in.
        if (!job->sink) e.reading = job;
        e.job = std::move(job);
        e.firstAudioNs = -1;
        if (!jump) e.runLateNs = MixedText::kNoHandover;
    }
    wake();
    return true;
}

bool SpeechCore::playFrom(Language lang, int offset) {
    EngineState& e = engine(lang);
    std::shared_ptr<Job> job;
    {
        std::lock_guard lock(e.mutex);
        if (!e.loaded || !e.reading || offset < 0) return false;
        const Job& from = *e.reading;
        job = std::make_shared<Job>();
        job->text = from.text;
        job->pitch = from.pitch;
        job->speed = from.speed.load();
        job->volume = from.volume;
        job->playTime = Clock::now();
        job->startOffset = static_cast<std::size_t>(offset);
        if (from.mixed) {
            job->mixed = from.mixed->again();
            job->textFinal = from.textFinal;
        }
    }
    return install(lang, std::move(job), true);
}

void SpeechCore::stop(Language lang) {
    EngineState& e = engine(lang);
    std::shared_ptr<Job> old, reading;
    std::lock_guard lock(e.mutex);
    old = e.endJobLocked();
    reading = std::move(e.reading);
}

void SpeechCore::pause(Language lang) {
    EngineState& e = engine(lang);
    std::lock_guard lock(e.mutex);
    if (e.sink) e.sink->pause();
}

void SpeechCore::resume(Language lang) {
    EngineState& e = engine(lang);
    {
        std::lock_guard lock(e.mutex);
        if (e.sink) e.sink->resume();
    }
    wake();
}

void SpeechCore::setSpeed(Language lang, int speed) {
    EngineState& e = engine(lang);
    std::lock_guard lock(e.mutex);
    if (e.reading) e.reading->speed = std::clamp(speed, Limits::kSpeedMin, Limits::kSpeedMax);
}

bool SpeechCore::heardNow(Language lang, Heard* heard, int* sampleRate) {
    EngineState& e = engine(lang);
    std::shared_ptr<AudioSink> sink;
    std::shared_ptr<Job> reading;
    {
        std::lock_guard lock(e.mutex);
        sink = e.sink;
        reading = e.reading;
        *sampleRate = e.sinkRate;
    }
    if (!sink || !reading) return false;
    const int64_t samples = sink->heardSamples(reading->token);
    if (samples < 0) return false;
    *heard = e.position.at(reading->token, samples);
    return heard->speaking;
}

int SpeechCore::audioRate(Language lang) {
    EngineState& e = engine(lang);
    std::lock_guard lock(e.mutex);
    return e.loaded ? e.sinkRate : 0;
}

}  // namespace synth
