#pragma once
// The speech core: the engines of the four languages and the one worker thread that owns
// every voice. espeak-ng is a process-wide singleton that crashes when two threads synthesise,
// and flite keeps global state, so voices are made, used and destroyed on the worker only.
// The program has one core (synth/api/Engines.h); tests make their own with fake voices and
// sinks.
//
// Every member may be called from any thread, in any state, and never blocks on synthesis or
// a sound server, except where it says it runs on the worker.

#include <array>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "synth/backend/VoiceFactory.h"
#include "synth/core/EngineState.h"
#include "synth/pipeline/SegmentSpeaker.h"
#include "synth/pipeline/Voicing.h"

namespace synth {

// `description` names the stream in the sound server's lists.
using SinkFactory =
    std::function<std::shared_ptr<AudioSink>(int sampleRate, const std::string& description)>;

// Results of load.
enum LoadStatus : short {
    kLoaded = 0,
    kNoEngineDirectory = 1,  // missing, unreadable or malformed voice.conf, or no directory
    kUnknownEncoding = 2,    // iconv does not know the configured encoding
    kVoiceFailed = 3,        // the synthesiser or one of the configured voices cannot start
    kReadingFailed = 4,      // the Japanese reading (MeCab and its dictionary) cannot start
    kInternalError = 5,
};

class SpeechCore {
  public:
    SpeechCore(std::unique_ptr<VoiceFactory> voices, SinkFactory sinks);
    ~SpeechCore();
    SpeechCore(const SpeechCore&) = delete;
    SpeechCore& operator=(const SpeechCore&) = delete;

    // Loading (core/Loading.cpp). A load replaces the engine; runs on the worker.
    short load(Language lang, const char* engineDir);
    void unload(Language lang);
    // 1 when the dictionary was read and is now in use, 0 otherwise (the old one stays).
    short loadUserDictionary(Language lang, const char* path);
    void unloadUserDictionary(Language lang);
    // Runs on the worker: see synth/api/Engines.h.
    bool readingOf(Language lang, const std::string& utf8, std::string& out);
    bool voiceOf(Language lang, std::string& description, bool& configured);

    // Control (core/Control.cpp): see synth/api/Engines.h.
    bool play(Language lang, std::shared_ptr<Job> job);
    bool playFrom(Language lang, int offset);
    void stop(Language lang);
    void pause(Language lang);
    void resume(Language lang);
    void setSpeed(Language lang, int speed);
    bool heardNow(Language lang, Heard* heard, int* sampleRate);
    int audioRate(Language lang);
    int64_t firstAudioNanoseconds(Language lang) { return engine(lang).firstAudioNs.load(); }
    int64_t runLateNanoseconds(Language lang) { return engine(lang).runLateNs.load(); }

    // Options (core/Options.cpp): see synth/api/Engines.h. "voice" names the added voice of
    // the language; the worker opens it at once, so its model loads before it is needed.
    bool setOption(Language lang, std::string_view name, std::string_view value);

    // Waits until no engine has text left to synthesise; false on timeout.
    bool waitIdle(int timeoutMs);

  private:
    EngineState& engine(Language lang) { return m_engines[slotOf(lang)]; }
    bool install(Language lang, std::shared_ptr<Job> job, bool jump);

    // The worker (core/SpeechWorker.cpp).
    int start();  // starts the worker and the synthesiser once; the rate, or <= 0
    void run(std::promise<int>& rate);
    bool runOnWorker(std::function<bool()> task);  // between two sentences; waits
    std::future<bool> queueOnWorker(std::function<bool()> task);  // the same without waiting
    void wake();
    void waitUntilNotBusy(Language lang);
    int chooseEngine(std::size_t& next, bool& pending);
    void speakNextSentence(EngineState& e);
    void lookAhead(EngineState& e, Job& job);
    void releaseVoices();

    // The reading of a run (core/Readers.cpp): which loaded engine's voices say it.
    EngineState& readerEngine(EngineState& e, int runLanguage);
    RunReader readerFor(EngineState& e, bool mixed, int runLanguage);
    Voicing voicingFor(EngineState& e, Job& job, const Sentence& sentence);
    void openSource(EngineState& e, Job& job);
    void takeAddedVoice(EngineState& e);  // worker only

    std::unique_ptr<VoiceFactory> m_voices;
    SinkFactory m_sinks;
    std::array<EngineState, kLanguageCount> m_engines;
    std::mutex m_mutex;
    std::condition_variable m_cv;    // work for the worker
    std::condition_variable m_idle;  // the worker finished a step
    std::deque<std::packaged_task<bool()>> m_tasks;
    bool m_bShutdown = false;
    std::atomic<bool> m_bShutdownAtomic{false};
    int m_nBusy = -1;
    std::once_flag m_startOnce;
    int m_nSampleRate = -1;
    std::thread m_worker;
    SegmentSpeaker m_speaker;     // worker only
    bool m_bVoicesWarm = false;   // worker only: a voice spoke since they last rested
    uint64_t m_nVoicesEpoch = 0;  // worker only
};

}  // namespace synth
