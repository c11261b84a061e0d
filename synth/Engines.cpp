#include "synth/Engines.h"

#include <espeak-ng/speak_lib.h>
#include <iconv.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/EngineApi.h"
#include "synth/VoiceConfig.h"
#include "synth/audio/AudioSink.h"
#include "synth/text/FrontEnd.h"
#include "synth/text/JapaneseReader.h"
#include "synth/text/TextStream.h"
#include "synth/text/UserDictionary.h"

namespace synth {
namespace {

using Clock = std::chrono::steady_clock;

struct Job {
    uint64_t token = 0;
    std::shared_ptr<const std::string> text;
    std::unique_ptr<TextStream> stream;  // worker only
    int pitch = Limits::kPitchDefault;
    int speed = Limits::kSpeedDefault;
    int volume = Limits::kVolumeDefault;
    Clock::time_point playTime;
};

struct EngineState {
    std::mutex mutex;  // guards everything but the atomics and `reader`
    bool loaded = false;
    VoiceConfig config;
    std::shared_ptr<AudioSink> sink;
    std::shared_ptr<const UserDictionary> dictionary;
    std::shared_ptr<Job> job;
    std::atomic<uint64_t> generation{1};
    std::atomic<int64_t> firstAudioNs{-1};
    std::unique_ptr<JapaneseReader> reader;  // worker only
};

struct SynthContext {
    EngineState* engine;
    AudioSink* sink;
    uint64_t token;
    int gainPercent;
    Clock::time_point playTime;
    const std::atomic<bool>* shutdown;
    std::vector<int16_t>* scratch;
};

int onSynth(short* wav, int count, espeak_EVENT* events) {
    auto* ctx = events ? static_cast<SynthContext*>(events->user_data) : nullptr;
    if (!ctx) return 0;
    if (ctx->engine->generation.load() != ctx->token || ctx->shutdown->load()) return 1;
    if (!wav || count <= 0) return 0;
    const int16_t* out = wav;
    if (ctx->gainPercent != 100) {
        ctx->scratch->resize(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            const int v = wav[i] * ctx->gainPercent / 100;
            (*ctx->scratch)[i] = static_cast<int16_t>(std::clamp(v, -32768, 32767));
        }
        out = ctx->scratch->data();
    }
    if (ctx->engine->firstAudioNs.load() < 0)
        ctx->engine->firstAudioNs =
            std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - ctx->playTime)
                .count();
    ctx->sink->write(ctx->token, out, static_cast<std::size_t>(count));
    return 0;
}

class SpeechService {
  public:
    static SpeechService& instance() {
        static SpeechService service;
        return service;
    }

    ~SpeechService() {
        {
            std::lock_guard lock(m_mutex);
            m_bShutdown = true;
            m_bShutdownAtomic = true;
        }
        m_cv.notify_all();
        if (m_worker.joinable()) m_worker.join();
    }

    EngineState& engine(Language lang) { return m_engines[slotOf(lang)]; }

    // Starts the worker and the synthesiser once; the synthesiser's sample rate, or -1.
    int start() {
        std::call_once(m_startOnce, [this] {
            std::promise<int> rate;
            auto result = rate.get_future();
            m_worker = std::thread([this, &rate] { run(rate); });
            m_nSampleRate = result.get();
        });
        return m_nSampleRate;
    }

    // Runs the task on the worker between two sentences and waits for it.
    bool runOnWorker(std::function<bool()> task) {
        std::packaged_task<bool()> packaged(std::move(task));
        auto result = packaged.get_future();
        {
            std::lock_guard lock(m_mutex);
            if (m_bShutdown || !m_worker.joinable()) return false;
            m_tasks.push_back(std::move(packaged));
        }
        m_cv.notify_all();
        return result.get();
    }

    void wake() {
        { std::lock_guard lock(m_mutex); }
        m_cv.notify_all();
    }

    // Returns once the worker no longer works for this engine.
    void waitUntilNotBusy(Language lang) {
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [&] { return m_nBusy != static_cast<int>(lang); });
    }

    bool waitIdle(int timeoutMs) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        std::unique_lock lock(m_mutex);
        while (true) {
            bool busy = m_nBusy >= 0 || !m_tasks.empty();
            for (auto& e : m_engines) {
                std::lock_guard engineLock(e.mutex);
                busy = busy || e.job != nullptr;
            }
            if (!busy) return true;
            if (m_idle.wait_until(
                    lock, std::min(deadline, Clock::now() + std::chrono::milliseconds(10))) ==
                    std::cv_status::timeout &&
                Clock::now() >= deadline)
                return false;
        }
    }

  private:
    SpeechService() = default;

    void run(std::promise<int>& ratePromise) {
        const int rate =
            espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 50, nullptr, espeakINITIALIZE_DONT_EXIT);
        if (rate > 0) espeak_SetSynthCallback(onSynth);
        ratePromise.set_value(rate);

        std::size_t next = 0;
        std::unique_lock lock(m_mutex);
        while (true) {
            while (!m_tasks.empty()) {
                auto task = std::move(m_tasks.front());
                m_tasks.pop_front();
                lock.unlock();
                task();
                lock.lock();
                m_idle.notify_all();
            }
            if (m_bShutdown) break;
            if (rate <= 0) {
                m_cv.wait(lock);
                continue;
            }
            bool pending = false;
            int chosen = -1;
            for (std::size_t k = 0; k < kLanguageCount && chosen < 0; ++k) {
                const std::size_t index = (next + k) % kLanguageCount;
                EngineState& e = m_engines[index];
                std::lock_guard engineLock(e.mutex);
                if (!e.job) continue;
                pending = true;
                if (e.sink && e.sink->wantsMore()) chosen = static_cast<int>(index);
            }
            if (chosen < 0) {
                // A full or paused sink drains without telling us, so look again shortly.
                if (pending)
                    m_cv.wait_for(lock, std::chrono::milliseconds(10));
                else
                    m_cv.wait(lock);
                continue;
            }
            next = static_cast<std::size_t>(chosen) + 1;
            m_nBusy = chosen;
            lock.unlock();
            EngineState& engine = m_engines[static_cast<std::size_t>(chosen)];
            try {
                speakNextSentence(engine);
            } catch (...) {
                // Out of memory or a library failing on odd text: give up on this text
                // rather than lose the worker, so the engine keeps working.
                std::fprintf(stderr, "selvarine: synthesis failed; text dropped\n");
                std::lock_guard engineLock(engine.mutex);
                engine.job.reset();
            }
            lock.lock();
            m_nBusy = -1;
            m_idle.notify_all();
        }
        lock.unlock();
        for (auto& e : m_engines) e.reader.reset();
        if (rate > 0) espeak_Terminate();
    }

    void speakNextSentence(EngineState& e) {
        std::shared_ptr<Job> job;
        std::shared_ptr<AudioSink> sink;
        std::shared_ptr<const UserDictionary> dictionary;
        VoiceConfig config;
        {
            std::lock_guard lock(e.mutex);
            if (!e.job || !e.sink || e.job->token != e.generation.load()) return;
            job = e.job;
            sink = e.sink;
            dictionary = e.dictionary;
            config = e.config;
        }
        // Outside the engine's lock, so play and stop never wait for a sound server or the
        // first use of an iconv module; only the worker touches a job's stream.
        if (!job->stream) {
            job->stream = std::make_unique<TextStream>(job->text, config.encoding);
            sink->begin(job->token, e.generation);
        }
        std::string sentence;
        if (!job->stream->ok() || !job->stream->next(sentence)) {
            // Outside the engine's lock too: the sink drops an end whose utterance was stopped.
            sink->end(job->token);
            std::lock_guard lock(e.mutex);
            if (e.job == job) e.job.reset();
            return;
        }
        if (dictionary) sentence = dictionary->apply(sentence);
        const std::vector<SpeechSegment> segments =
            readForVoice(config.reading, e.reader.get(), std::move(sentence));

        SynthContext ctx{
            &e, sink.get(), job->token, job->volume, job->playTime, &m_bShutdownAtomic, &m_scratch};
        // espeak-ng's rate is in words per minute (175 normal); above 450 it speeds up with
        // its time stretcher. Pitch 0 to 100 with 50 normal.
        const int rate = std::clamp(175 * job->speed / 100, 80, 900);
        const int pitch = std::clamp(50 * job->pitch / 100, 0, 100);
        for (const SpeechSegment& segment : segments) {
            if (e.generation.load() != job->token) return;
            const std::string& voice =
                segment.latin && !config.latinVoice.empty() ? config.latinVoice : config.voice;
            if (!selectVoice(voice)) continue;
            espeak_SetParameter(espeakRATE, rate, 0);
            espeak_SetParameter(espeakPITCH, pitch, 0);
            espeak_SetParameter(espeakVOLUME, 100, 0);
            espeak_Synth(segment.text.c_str(), segment.text.size() + 1, 0, POS_CHARACTER, 0,
                         espeakCHARS_UTF8, nullptr, &ctx);
        }
    }

    // The worker is espeak-ng's only user, so the voice it set last is still set; loading a
    // voice reloads its dictionary (6 ms for Mandarin), which would delay every sentence.
    bool selectVoice(const std::string& voice) {
        if (voice == m_strVoice) return true;
        m_strVoice.clear();
        if (espeak_SetVoiceByName(voice.c_str()) != EE_OK) return false;
        m_strVoice = voice;
        return true;
    }

  public:
    // Worker only: checks that the voices can start and leaves the main one selected.
    bool selectVoices(const VoiceConfig& config) {
        m_strVoice.clear();
        return (config.latinVoice.empty() || selectVoice(config.latinVoice)) &&
               selectVoice(config.voice);
    }

  private:
    std::string m_strVoice;  // worker only
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
    std::vector<int16_t> m_scratch;  // worker only
};

template <typename F>
auto guarded(F&& f, decltype(f()) fallback) noexcept -> decltype(f()) {
    try {
        return f();
    } catch (...) {
        return fallback;
    }
}

template <typename F>
void guardedVoid(F&& f) noexcept {
    try {
        f();
    } catch (...) {
    }
}

}  // namespace

// espeak-ng 1.51 makes its audio device in espeak_ng_InitializeOutput whatever the output
// mode, and making it opens a test connection to the sound server, which waits as long as a
// hung server does. We only ever use its synchronous output, so it gets no device: this
// definition comes before the audio library's in the lookup order of every program that
// loads us (the core is loaded before the libraries it needs).
extern "C" __attribute__((visibility("default"))) struct audio_object* create_audio_device_object(
    const char*, const char*, const char*) {
    return nullptr;
}

short loadEngine(Language lang, const char* engineDir) {
    return guarded(
        [&]() -> short {
            // A load replaces the engine; when it fails the engine stays unloaded.
            unloadEngine(lang);
            if (!engineDir) return kNoEngineDirectory;
            std::string why;
            auto config = readVoiceConfig(engineDir, &why);
            if (!config) {
                std::fprintf(stderr, "selvarine: %s\n", why.c_str());
                return kNoEngineDirectory;
            }
            // Under SELVARINE_VERBOSE the voice configuration's faults are named; the caller
            // only learns a status.
            auto refused = [&](short status, const std::string& reason) {
                if (std::getenv("SELVARINE_VERBOSE"))
                    std::fprintf(stderr, "selvarine: the engine in %s cannot start: %s\n",
                                 engineDir, reason.c_str());
                return status;
            };
            const iconv_t cd = iconv_open("UTF-8", config->encoding.c_str());
            if (cd == reinterpret_cast<iconv_t>(-1))
                return refused(kUnknownEncoding,
                               "unknown text encoding \"" + config->encoding + "\"");
            iconv_close(cd);

            SpeechService& service = SpeechService::instance();
            const int rate = service.start();
            if (rate <= 0) return refused(kVoiceFailed, "the synthesiser cannot start");
            EngineState& e = service.engine(lang);
            short status = kLoaded;
            service.runOnWorker([&] {
                if (!service.selectVoices(*config)) {
                    status = kVoiceFailed;
                    return false;
                }
                if (config->reading == TextReading::Japanese) {
                    auto reader = std::make_unique<JapaneseReader>();
                    if (!reader->ok()) {
                        status = kReadingFailed;
                        return false;
                    }
                    e.reader = std::move(reader);
                }
                return true;
            });
            if (status == kVoiceFailed)
                return refused(status, "unknown voice \"" + config->voice +
                                           (config->latinVoice.empty()
                                                ? "\""
                                                : "\" or \"" + config->latinVoice + "\""));
            if (status != kLoaded)
                return refused(status,
                               "the Japanese reading (MeCab and its dictionary) cannot start");
            std::shared_ptr<AudioSink> sink = makeAudioSink(
                rate, "Selvarine " + (config->name.empty() ? config->voice : config->name));
            std::lock_guard lock(e.mutex);
            e.config = std::move(*config);
            e.sink = std::move(sink);
            e.loaded = true;
            return kLoaded;
        },
        static_cast<short>(kInternalError));
}

void unloadEngine(Language lang) {
    guardedVoid([&] {
        SpeechService& service = SpeechService::instance();
        EngineState& e = service.engine(lang);
        std::shared_ptr<AudioSink> sink;
        {
            std::lock_guard lock(e.mutex);
            if (!e.loaded) return;
            ++e.generation;
            e.job.reset();
            if (e.sink) e.sink->cancel();
            sink = std::move(e.sink);
            e.dictionary.reset();
            e.loaded = false;
        }
        service.waitUntilNotBusy(lang);
        sink.reset();
        service.runOnWorker([&] {
            e.reader.reset();
            return true;
        });
    });
}

int engineInfo(int code) {
    switch (code) {
        case VT_INFO_PITCH_MAX:
            return Limits::kPitchMax;
        case VT_INFO_PITCH_DEFAULT:
            return Limits::kPitchDefault;
        case VT_INFO_PITCH_MIN:
            return Limits::kPitchMin;
        case VT_INFO_SPEED_MAX:
            return Limits::kSpeedMax;
        case VT_INFO_SPEED_DEFAULT:
            return Limits::kSpeedDefault;
        case VT_INFO_SPEED_MIN:
            return Limits::kSpeedMin;
        case VT_INFO_VOLUME_MAX:
            return Limits::kVolumeMax;
        case VT_INFO_VOLUME_DEFAULT:
            return Limits::kVolumeDefault;
        case VT_INFO_VOLUME_MIN:
            return Limits::kVolumeMin;
        default:
            return 0;
    }
}

short loadUserDictionary(Language lang, const char* path) {
    return guarded(
        [&]() -> short {
            if (!path) return 0;
            std::string why;
            auto dict = UserDictionary::load(path, &why);
            if (!dict) {
                std::fprintf(stderr, "selvarine: user dictionary refused: %s\n", why.c_str());
                return 0;
            }
            auto shared = std::make_shared<const UserDictionary>(std::move(*dict));
            EngineState& e = SpeechService::instance().engine(lang);
            std::lock_guard lock(e.mutex);
            e.dictionary = std::move(shared);
            return 1;
        },
        static_cast<short>(0));
}

void unloadUserDictionary(Language lang) {
    guardedVoid([&] {
        EngineState& e = SpeechService::instance().engine(lang);
        std::shared_ptr<const UserDictionary> old;
        std::lock_guard lock(e.mutex);
        old = std::move(e.dictionary);
    });
}

void play(Language lang, const char* text, int pitch, int speed, int volume) {
    guardedVoid([&] {
        const auto now = Clock::now();
        auto job = std::make_shared<Job>();
        job->text = std::make_shared<const std::string>(text ? text : "");
        job->pitch = std::clamp(pitch, Limits::kPitchMin, Limits::kPitchMax);
        job->speed = std::clamp(speed, Limits::kSpeedMin, Limits::kSpeedMax);
        job->volume = std::clamp(volume, Limits::kVolumeMin, Limits::kVolumeMax);
        job->playTime = now;
        SpeechService& service = SpeechService::instance();
        EngineState& e = service.engine(lang);
        std::shared_ptr<Job> old;
        {
            std::lock_guard lock(e.mutex);
            if (!e.loaded) return;
            job->token = ++e.generation;
            if (e.sink) e.sink->cancel();
            old = std::move(e.job);
            e.job = std::move(job);
            e.firstAudioNs = -1;
        }
        service.wake();
    });
}

void stop(Language lang) {
    guardedVoid([&] {
        EngineState& e = SpeechService::instance().engine(lang);
        std::shared_ptr<Job> old;
        std::lock_guard lock(e.mutex);
        ++e.generation;
        old = std::move(e.job);
        if (e.sink) e.sink->cancel();
    });
}

void pause(Language lang) {
    guardedVoid([&] {
        EngineState& e = SpeechService::instance().engine(lang);
        std::lock_guard lock(e.mutex);
        if (e.sink) e.sink->pause();
    });
}

void resume(Language lang) {
    guardedVoid([&] {
        SpeechService& service = SpeechService::instance();
        EngineState& e = service.engine(lang);
        {
            std::lock_guard lock(e.mutex);
            if (e.sink) e.sink->resume();
        }
        service.wake();
    });
}

bool waitIdle(int timeoutMs) {
    return guarded([&] { return SpeechService::instance().waitIdle(timeoutMs); }, false);
}

int64_t firstAudioNanoseconds(Language lang) {
    return SpeechService::instance().engine(lang).firstAudioNs.load();
}

}  // namespace synth
