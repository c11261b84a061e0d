#include "synth/Engines.h"

#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

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
#include "synth/backend/EspeakVoice.h"
#include "synth/backend/FliteVoice.h"
#include "synth/backend/OpenJTalkVoice.h"
#include "synth/backend/Sha256.h"
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
    std::shared_ptr<AudioSink> sink;       // its own (a save), else the engine's
    std::function<void(double)> progress;  // worker only
};

// A job's own sink ends with the job: it must not wait for the worker to let go of it.
void cancelOwnSink(const std::shared_ptr<Job>& job) {
    if (job && job->sink) job->sink->cancel();
}

struct EngineState {
    std::mutex mutex;  // guards everything but the atomics and the worker-only members
    bool loaded = false;
    int language = 0;
    VoiceConfig config;
    std::shared_ptr<AudioSink> sink;
    std::shared_ptr<const UserDictionary> dictionary;
    std::shared_ptr<Job> job;
    std::atomic<uint64_t> generation{1};
    std::atomic<int64_t> firstAudioNs{-1};
    std::unique_ptr<JapaneseReader> reader;  // worker only
    // Worker only. The natural voices are dropped for good when they fail; espeak-ng then
    // speaks in their place.
    std::unique_ptr<VoiceBackend> natural, naturalLatin;
    std::unique_ptr<EspeakVoice> espeak, espeakLatin;
    int sinkRate = 0;
};

// Linear interpolation from a voice's rate to its engine's sink rate, kept across the
// chunks of one segment.
class Resampler {
  public:
    Resampler(int from, int to) : m_dStep(static_cast<double>(from) / to), m_bSame(from == to) {}

    const std::vector<int16_t>& push(const int16_t* in, std::size_t n) {
        m_out.clear();
        if (m_bSame) {
            m_out.assign(in, in + n);
            return m_out;
        }
        if (n == 0) return m_out;
        if (!m_bPrimed) {
            m_last = in[0];
            m_bPrimed = true;
        }
        // Position 0 is the previous chunk's last sample, 1..n this chunk's.
        auto at = [&](std::size_t k) { return k == 0 ? m_last : in[k - 1]; };
        while (m_dPos <= static_cast<double>(n - 1) + 1.0 - 1e-9) {
            const std::size_t k = static_cast<std::size_t>(m_dPos);
            const double f = m_dPos - static_cast<double>(k);
            const double v = k + 1 <= n ? at(k) * (1.0 - f) + at(k + 1) * f : at(k);
            m_out.push_back(static_cast<int16_t>(v));
            m_dPos += m_dStep;
        }
        m_dPos -= static_cast<double>(n);
        m_last = in[n - 1];
        return m_out;
    }

  private:
    double m_dStep;
    bool m_bSame;
    double m_dPos = 0;
    int16_t m_last = 0;
    bool m_bPrimed = false;
    std::vector<int16_t> m_out;
};

bool verbose() {
    return std::getenv("SELVARINE_VERBOSE") != nullptr;
}

// The natural voice a configuration names, or nothing with the reason in *why.
std::unique_ptr<VoiceBackend> openNaturalVoice(Backend backend, const VoiceConfig& config,
                                               const std::string& engineDir, std::string* why) {
    if (backend == Backend::Flite) {
        auto voice = FliteVoice::open(config.fliteVoice);
        if (!voice) *why = "flite has no voice \"" + config.fliteVoice + "\"";
        return voice;
    }
    if (backend != Backend::OpenJTalk) return nullptr;
    struct stat st {};
    if (::access(config.openJTalkProgram.c_str(), X_OK) != 0) {
        *why = "no Open JTalk program " + config.openJTalkProgram;
        return nullptr;
    }
    if (::stat((config.openJTalkDictionary + "/sys.dic").c_str(), &st) != 0) {
        *why = "no Open JTalk dictionary in " + config.openJTalkDictionary;
        return nullptr;
    }
    if (config.htsVoice.empty()) {
        *why = "voice.conf names no hts-voice";
        return nullptr;
    }
    const std::string file =
        config.htsVoice.front() == '/' ? config.htsVoice : engineDir + "/" + config.htsVoice;
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        *why = "no voice file " + file;
        return nullptr;
    }
    if (!config.htsVoiceSha256.empty()) {
        const auto digest = sha256OfFile(file);
        if (!digest) {
            *why = "cannot read the voice file " + file;
            return nullptr;
        }
        if (*digest != config.htsVoiceSha256) {
            *why = "the voice file " + file + " is damaged (its checksum does not match)";
            return nullptr;
        }
    }
    return std::make_unique<OpenJTalkVoice>(
        OpenJTalkSetup{config.openJTalkProgram, config.openJTalkDictionary, file});
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
        const int rate = startEspeak();
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
                AudioSink* sink = e.job->sink ? e.job->sink.get() : e.sink.get();
                if (sink && sink->wantsMore()) chosen = static_cast<int>(index);
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
                engine.job.reset();  // a sink of its own counts it as failed
            }
            lock.lock();
            m_nBusy = -1;
            m_idle.notify_all();
        }
        lock.unlock();
        for (auto& e : m_engines) {
            e.reader.reset();
            e.natural.reset();
            e.naturalLatin.reset();
            e.espeak.reset();
            e.espeakLatin.reset();
        }
        if (rate > 0) stopEspeak();
    }

    void speakNextSentence(EngineState& e) {
        std::shared_ptr<Job> job;
        std::shared_ptr<AudioSink> sink;
        std::shared_ptr<const UserDictionary> dictionary;
        VoiceConfig config;
        {
            std::lock_guard lock(e.mutex);
            if (!e.job || e.job->token != e.generation.load()) return;
            job = e.job;
            sink = job->sink ? job->sink : e.sink;
            if (!sink) return;
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
        if (job->progress) job->progress(job->stream->fractionDone());
        if (dictionary) sentence = dictionary->apply(sentence);
        const std::vector<SpeechSegment> segments = segmentsFor(e, config, std::move(sentence));

        const Prosody prosody{job->speed, job->pitch};
        const Cancelled cancelled = [&] {
            return e.generation.load() != job->token || m_bShutdownAtomic.load();
        };
        for (const SpeechSegment& segment : segments) {
            if (cancelled()) return;
            speakSegment(e, config, segment, prosody, *job, *sink, cancelled);
        }
    }

    std::vector<SpeechSegment> segmentsFor(EngineState& e, const VoiceConfig& config,
                                           std::string sentence) {
        if (e.natural && config.backend == Backend::OpenJTalk)
            return splitJapaneseClauses(sentence);
        return readForVoice(config.reading, e.reader.get(), std::move(sentence));
    }

    void speakSegment(EngineState& e, const VoiceConfig& config, const SpeechSegment& segment,
                      const Prosody& prosody, const Job& job, AudioSink& sink,
                      const Cancelled& cancelled) {
        std::unique_ptr<VoiceBackend>& natural = segment.latin ? e.naturalLatin : e.natural;
        VoiceBackend* voice = natural.get();
        if (!voice) voice = segment.latin && e.espeakLatin ? e.espeakLatin.get() : e.espeak.get();
        if (!voice) return;
        Resampler resampler(voice->sampleRate(), e.sinkRate);
        const PcmOut out = [&](const int16_t* samples, std::size_t count) {
            const std::vector<int16_t>& pcm = resampler.push(samples, count);
            if (pcm.empty()) return;
            const int16_t* data = pcm.data();
            if (job.volume != 100) {
                m_scratch.resize(pcm.size());
                for (std::size_t i = 0; i < pcm.size(); ++i)
                    m_scratch[i] =
                        static_cast<int16_t>(std::clamp(pcm[i] * job.volume / 100, -32768, 32767));
                data = m_scratch.data();
            }
            if (e.firstAudioNs.load() < 0)
                e.firstAudioNs = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() -
                                                                                      job.playTime)
                                     .count();
            sink.write(job.token, data, pcm.size());
        };
        if (voice->speak(segment.text, prosody, out, cancelled) != SpeakResult::Failed ||
            voice != natural.get())
            return;
        // A natural voice that fails (a crashed or hung program) is not asked again; the
        // fallback says this segment and all that follow.
        if (verbose())
            std::fprintf(stderr, "selvarine: %s failed; espeak-ng speaks from here on\n",
                         voice->describe().c_str());
        natural.reset();
        if (segment.latin) {
            speakSegment(e, config, segment, prosody, job, sink, cancelled);
            return;
        }
        for (const SpeechSegment& s : readForVoice(config.reading, e.reader.get(), segment.text))
            speakSegment(e, config, s, prosody, job, sink, cancelled);
    }

  public:
    // Worker only: what each voice of the engine is handed for the UTF-8 text, one segment a
    // line (see selvarine_synth_reading).
    bool describeReading(EngineState& e, const std::string& utf8, std::string& out) {
        VoiceConfig config;
        std::shared_ptr<const UserDictionary> dictionary;
        Language lang;
        {
            std::lock_guard lock(e.mutex);
            if (!e.loaded) return false;
            config = e.config;
            dictionary = e.dictionary;
            lang = static_cast<Language>(e.language);
        }
        TextStream stream(std::make_shared<const std::string>(utf8), "UTF-8");
        std::string sentence;
        const Cancelled never = [] { return false; };
        while (stream.ok() && stream.next(sentence)) {
            if (dictionary) sentence = dictionary->apply(sentence);
            for (const SpeechSegment& segment : segmentsFor(e, config, std::move(sentence))) {
                std::string text = segment.text;
                if (!segment.latin && e.natural && config.backend == Backend::OpenJTalk) {
                    auto pron = static_cast<OpenJTalkVoice&>(*e.natural).pronounce(text, never);
                    if (!pron) return false;
                    text = std::move(*pron);
                }
                const auto first = text.find_first_not_of(' ');
                if (first == std::string::npos) continue;
                text.erase(0, first);
                out += segment.latin ? engine::FindLanguage(engine::kEnglish)->code
                                     : engine::FindLanguage(static_cast<int>(lang))->code;
                out += '\t';
                out += text;
                out += '\n';
            }
        }
        return true;
    }

  public:
    // Worker only: checks that the espeak-ng voices can start and leaves the main one
    // selected.
    bool selectVoices(EngineState& e, const VoiceConfig& config, int rate) {
        auto main = std::make_unique<EspeakVoice>(config.voice, rate);
        std::unique_ptr<EspeakVoice> latin;
        if (!config.latinVoice.empty()) {
            latin = std::make_unique<EspeakVoice>(config.latinVoice, rate);
            if (!latin->select()) return false;
        }
        if (!main->select()) return false;
        e.espeak = std::move(main);
        e.espeakLatin = std::move(latin);
        return true;
    }

  private:
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
            std::string naturalWhy;
            service.runOnWorker([&] {
                if (!service.selectVoices(e, *config, rate)) {
                    status = kVoiceFailed;
                    return false;
                }
                e.natural = openNaturalVoice(config->backend, *config, engineDir, &naturalWhy);
                std::string latinWhy;
                e.naturalLatin =
                    openNaturalVoice(config->latinBackend, *config, engineDir, &latinWhy);
                if (naturalWhy.empty() && !latinWhy.empty()) naturalWhy = latinWhy;
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
            // One line says which voice speaks, and why not the natural one when it is not.
            if (verbose()) {
                const std::string speaks = e.natural ? e.natural->describe() : e.espeak->describe();
                std::fprintf(stderr, "selvarine: the engine in %s speaks with %s%s%s\n", engineDir,
                             speaks.c_str(), naturalWhy.empty() ? "" : ": ", naturalWhy.c_str());
            }
            const int sinkRate = e.natural ? e.natural->sampleRate() : rate;
            std::shared_ptr<AudioSink> sink = makeAudioSink(
                sinkRate, "Selvarine " + (config->name.empty() ? config->voice : config->name));
            std::lock_guard lock(e.mutex);
            e.sinkRate = sinkRate;
            e.language = static_cast<int>(lang);
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
            cancelOwnSink(e.job);
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
            e.natural.reset();
            e.naturalLatin.reset();
            e.espeak.reset();
            e.espeakLatin.reset();
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

namespace {

bool startJob(Language lang, const char* text, int pitch, int speed, int volume,
              std::shared_ptr<AudioSink> sink, std::function<void(double)> progress) {
    const auto now = Clock::now();
    auto job = std::make_shared<Job>();
    job->text = std::make_shared<const std::string>(text ? text : "");
    job->pitch = std::clamp(pitch, Limits::kPitchMin, Limits::kPitchMax);
    job->speed = std::clamp(speed, Limits::kSpeedMin, Limits::kSpeedMax);
    job->volume = std::clamp(volume, Limits::kVolumeMin, Limits::kVolumeMax);
    job->playTime = now;
    job->sink = std::move(sink);
    job->progress = std::move(progress);
    SpeechService& service = SpeechService::instance();
    EngineState& e = service.engine(lang);
    std::shared_ptr<Job> old;
    {
        std::lock_guard lock(e.mutex);
        if (!e.loaded) return false;
        job->token = ++e.generation;
        if (e.sink) e.sink->cancel();
        old = std::move(e.job);
        cancelOwnSink(old);
        e.job = std::move(job);
        e.firstAudioNs = -1;
    }
    service.wake();
    return true;
}

}  // namespace

void play(Language lang, const char* text, int pitch, int speed, int volume) {
    guardedVoid([&] { startJob(lang, text, pitch, speed, volume, nullptr, {}); });
}

bool playInto(Language lang, const char* text, int pitch, int speed, int volume,
              std::shared_ptr<AudioSink> sink, std::function<void(double)> progress) {
    return guarded(
        [&] {
            return startJob(lang, text, pitch, speed, volume, std::move(sink), std::move(progress));
        },
        false);
}

int audioRate(Language lang) {
    EngineState& e = SpeechService::instance().engine(lang);
    std::lock_guard lock(e.mutex);
    return e.loaded ? e.sinkRate : 0;
}

void stop(Language lang) {
    guardedVoid([&] {
        EngineState& e = SpeechService::instance().engine(lang);
        std::shared_ptr<Job> old;
        std::lock_guard lock(e.mutex);
        ++e.generation;
        old = std::move(e.job);
        cancelOwnSink(old);
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

int readingOf(Language lang, const char* utf8, char* out, int outSize) {
    return guarded(
        [&]() -> int {
            if (!utf8 || !out || outSize <= 0) return -1;
            SpeechService& service = SpeechService::instance();
            std::string reading;
            EngineState& e = service.engine(lang);
            if (!service.runOnWorker([&] { return service.describeReading(e, utf8, reading); }))
                return -1;
            if (reading.size() + 1 > static_cast<std::size_t>(outSize)) return -1;
            std::copy(reading.begin(), reading.end(), out);
            out[reading.size()] = '\0';
            return static_cast<int>(reading.size());
        },
        -1);
}

}  // namespace synth
