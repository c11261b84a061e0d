#pragma once
// What the core keeps per engine and per text being read.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "synth/audio/AudioSink.h"
#include "synth/backend/VoiceConfig.h"
#include "synth/backend/VoiceSet.h"
#include "synth/pipeline/Language.h"
#include "synth/pipeline/MixedText.h"
#include "synth/pipeline/SentenceOut.h"
#include "synth/pipeline/SentenceSource.h"
#include "synth/pipeline/SpeechPosition.h"
#include "synth/text/UserDictionary.h"

namespace synth {

using Clock = std::chrono::steady_clock;

// One text to read (a play, a jump within it, or a save).
struct Job {
    uint64_t token = 0;  // the utterance it is in the sink
    // Swapped under the engine's lock once the chosen language's dictionary is applied to
    // mixed text, since a jump reads the text again.
    std::shared_ptr<const std::string> text;
    int pitch = Limits::kPitchDefault;
    std::atomic<int> speed{Limits::kSpeedDefault};  // changes while the text is read
    int volume = Limits::kVolumeDefault;
    SentencePause pause = SentencePause::Normal;
    LinkReading links = LinkReading::Domain;
    Clock::time_point playTime;
    // Mixed text: `text` is UTF-8, read run by run by each run's language. Null for the seed's
    // play, whose one run is the text in the engine's encoding.
    std::unique_ptr<MixedText> mixed;
    bool textFinal = false;                // the chosen language's dictionary is applied
    std::size_t startOffset = 0;           // where in the text reading starts (a jump)
    std::shared_ptr<AudioSink> sink;       // its own (a save), else the engine's
    std::function<void(double)> progress;  // worker only
    std::unique_ptr<SentenceSource> source;  // worker only; opened at its first sentence
    int64_t samplesOut = 0;                  // worker only: handed to the sink so far

    // A job's own sink ends with the job: it must not wait for the worker to let go of it.
    void cancelOwnSink() {
        if (sink) sink->cancel();
    }
};

struct EngineState {
    std::mutex mutex;  // guards everything but the atomics and the worker-only members
    bool loaded = false;
    int language = 0;
    VoiceConfig config;
    std::shared_ptr<AudioSink> sink;
    std::shared_ptr<const UserDictionary> dictionary;
    std::shared_ptr<Job> job;
    std::shared_ptr<Job> reading;  // the latest text, also once all of it is synthesised
    SpeechPosition position;
    std::atomic<uint64_t> generation{1};
    std::atomic<int64_t> firstAudioNs{-1};
    std::atomic<int64_t> runLateNs{MixedText::kNoHandover};
    int sinkRate = 0;
    SentencePause pause = SentencePause::Normal;  // for the texts played from now on
    LinkReading links = LinkReading::Domain;      // the same, and the reading preview
    // The `Voice` value chosen for the language, and the one the worker last gave `voices`
    // (tried, whether or not it opened); both "" for the built-in voice.
    std::string addedVoice;
    std::string addedVoiceTaken;       // worker only
    std::unique_ptr<VoiceSet> voices;  // worker only
    uint64_t voicesEpoch = 0;          // worker only: changes with every load

    // Lock held: ends the job being read, silences the engine's sink at once and returns the
    // job, to be let go outside the lock.
    std::shared_ptr<Job> endJobLocked() {
        ++generation;
        std::shared_ptr<Job> old = std::move(job);
        if (old) old->cancelOwnSink();
        if (sink) sink->cancel();
        return old;
    }
};

}  // namespace synth
