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
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/EngineApi.h"
#include "synth/MixedText.h"
#include "synth/SpeechPosition.h"
#include "synth/VoiceConfig.h"
#include "synth/audio/AudioSink.h"
#include "synth/backend/EspeakVoice.h"
#include "synth/backend/FliteVoice.h"
#include "synth/backend/OpenJTalkVoice.h"
#include "synth/backend/Sha256.h"
#include "synth/text/FrontEnd.h"
#include "synth/text/ja/JapaneseReader.h"
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
    std::atomic<int> speed{Limits::kSpeedDefault};  // changes while the text is read
    int volume = Limits::kVolumeDefault;
    Clock::time_point playTime;
    // Mixed text: `text` is UTF-8, read run by run by each run's language. Null for the
    // seed's play, whose one run is the text in the engine's encoding.
    std::unique_ptr<MixedText> mixed;
    int runLanguage = 0;                   // worker only: the language of the run `stream` reads
    std::size_t runBase = 0;               // worker only: where that run starts in `text`
    bool textFinal = false;                // the chosen language's dictionary is applied (a jump)
    std::size_t startOffset = 0;           // where in the text reading starts (a jump)
    int64_t samplesOut = 0;                // worker only: handed to the sink so far
    std::shared_ptr<AudioSink> sink;       // its own (a save), else the engine's
    std::function<void(double)> progress;  // worker only
    // Worker only: a sentence taken from `stream` ahead of its turn (see prepareNextSentence).
    struct Sentence {
        std::string text;
        std::size_t rawStart = 0, rawEnd = 0;  // in the run
        double fraction = 0;                   // of the text read once it is
    };
    std::optional<Sentence> ahead;
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
    std::shared_ptr<Job> reading;  // the latest text, also once all of it is synthesised
    SpeechPosition position;
    std::atomic<uint64_t> generation{1};
    std::atomic<int64_t> firstAudioNs{-1};
    std::atomic<int64_t> runLateNs{MixedText::kNoHandover};  // see runLateNanoseconds
    std::unique_ptr<JapaneseReader> reader;                  // worker only
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
                if (pending) {
                    m_cv.wait_for(lock, std::chrono::milliseconds(10));
                } else if (m_bVoicesWarm) {
                    // Nothing to read: no program started for a next clause outlives the
                    // reading. Then look again, since a play may have come meanwhile.
                    m_bVoicesWarm = false;
                    lock.unlock();
                    for (auto& e : m_engines)
                        for (auto* voice : {e.natural.get(), e.naturalLatin.get()})
                            if (voice) voice->rest();
                    lock.lock();
                } else {
                    m_cv.wait(lock);
                }
                continue;
            }
            m_bVoicesWarm = true;
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

    struct JobVoice {
        Prosody prosody;
        int volume;
        bool espeakOnly = false;  // see isStranger
    };

    void speakNextSentence(EngineState& e) {
        std::shared_ptr<Job> job;
        std::shared_ptr<AudioSink> sink;
        std::shared_ptr<const UserDictionary> chosenDictionary;
        std::string encoding;
        {
            std::lock_guard lock(e.mutex);
            if (!e.job || e.job->token != e.generation.load()) return;
            job = e.job;
            sink = job->sink ? job->sink : e.sink;
            chosenDictionary = e.dictionary;
            encoding = e.config.encoding;
        }
        // Outside the engine's lock, so play and stop never wait for a sound server or the
        // first use of an iconv module; only the worker touches a job's stream.
        if (!job->stream) {
            nextRun(e, *job, encoding, chosenDictionary.get());
            sink->begin(job->token, e.generation);
        }
        Job::Sentence sentence;
        while (!takeSentence(*job, sentence)) {
            if (nextRun(e, *job, encoding, nullptr)) continue;
            // Outside the engine's lock too: the sink drops an end whose utterance was stopped.
            sink->end(job->token);
            std::lock_guard lock(e.mutex);
            if (e.job == job) e.job.reset();
            return;
        }
        if (job->progress) job->progress(sentence.fraction);

        // What the caption shows is the sentence before the dictionary.
        e.position.sentence(job->token, job->runBase + sentence.rawStart,
                            job->runBase + sentence.rawEnd, sentence.text, job->samplesOut);
        const std::string& shown = sentence.text;
        Voicing said = voicing(e, *job, sentence.text);
        EngineState& v = *said.v;
        JobVoice& voice = said.voice;
        sink->mark(job->token);
        const Cancelled cancelled = [&] {
            return e.generation.load() != job->token || m_bShutdownAtomic.load();
        };
        std::size_t cursor = 0;
        for (const SpeechSegment& segment : said.segments) {
            if (cancelled()) return;
            if (said.own) voice.prosody.speed = job->speed.load();  // a new speed from here on
            // A segment said as the sentence has it is marked while it is heard, and so are
            // the words its voice tells; one the front end rewrote (a reading, a number) is
            // not.
            const std::size_t at = shown.find(segment.text, cursor);
            if (at != std::string::npos) cursor = at + segment.text.size();
            e.position.word(job->token, at == std::string::npos ? -1 : static_cast<int>(at),
                            at == std::string::npos ? -1 : static_cast<int>(cursor),
                            job->samplesOut);
            speakSegment(v, e, said.config, segment, voice, *job, *sink, cancelled, at);
        }
        if (!cancelled()) prepareNextSentence(e, *job);
    }

    // Worker only: the job's next sentence, the one taken ahead first; false at the end of
    // the run.
    static bool takeSentence(Job& job, Job::Sentence& out) {
        if (job.ahead) {
            out = std::move(*job.ahead);
            job.ahead.reset();
            return true;
        }
        if (!job.stream->ok() || !job.stream->next(out.text)) return false;
        out.rawStart = job.stream->rawStart();
        out.rawEnd = job.stream->rawEnd();
        out.fraction = job.stream->fractionDone();
        return true;
    }

    // The voices, settings and segments a sentence of the job's current run is read with.
    struct Voicing {
        EngineState* v;
        VoiceConfig config;
        std::vector<SpeechSegment> segments;
        JobVoice voice;
        bool own;  // read with the chosen language's settings, whose speed may change
    };
    Voicing voicing(EngineState& e, Job& job, std::string sentence) {
        // The run's own language reads it, or this engine when that one is not loaded.
        EngineState& v = voiceFor(e, job.runLanguage);
        Voicing out{&v, {}, {}, {}, !job.mixed || &v == &e};
        std::shared_ptr<const UserDictionary> dictionary;
        {
            std::lock_guard lock(v.mutex);
            dictionary = v.dictionary;
            out.config = v.config;
        }
        // Mixed text had the chosen language's dictionary applied as a whole (nextRun).
        if (dictionary && !(job.mixed && &v == &e)) sentence = dictionary->apply(sentence);
        const bool stranger = isStranger(v, job.runLanguage);
        out.segments = stranger ? std::vector<SpeechSegment>{{false, std::move(sentence)}}
                                : segmentsFor(v, out.config, std::move(sentence));
        // Another language's run keeps that language's settings.
        out.voice = {{job.speed, job.pitch}, job.volume, stranger};
        if (!out.own) {
            const VtVoiceProsody& p = job.mixed->prosodyOf(v.language);
            out.voice = {{p.speed, p.pitch}, p.volume, stranger};
        }
        return out;
    }

    // Once a sentence is handed to the sink, the next one's first clause is synthesised
    // while it plays, so that a jump to it (the next-sentence move) is heard at once.
    void prepareNextSentence(EngineState& e, Job& job) {
        Job::Sentence next;
        if (job.ahead || !takeSentence(job, next)) return;
        job.ahead = std::move(next);
        const Voicing said = voicing(e, job, job.ahead->text);
        VoiceBackend* natural = said.v->natural.get();
        if (natural && !said.voice.espeakOnly && !said.segments.empty() &&
            !said.segments.front().latin)
            natural->prepare(said.segments.front().text, said.voice.prosody);
    }

    // Opens the job's next run; false after the last. The seed's play has one run, in the
    // engine's encoding. Mixed text is split once the chosen language's user dictionary has
    // been applied to all of it, so that its entries decide first, also for words of another
    // script (안녕,アンニョン has the Japanese voice say it).
    bool nextRun(EngineState& e, Job& job, const std::string& encoding,
                 const UserDictionary* chosenDictionary) {
        const bool first = !job.stream;
        if (!job.mixed) {
            if (!first) return false;
            job.stream = std::make_unique<TextStream>(job.text, encoding);
            if (job.startOffset > 0) job.stream->seek(job.startOffset);
            job.runLanguage = e.language;
            return true;
        }
        if (first && chosenDictionary && !job.textFinal) {
            // A jump reads this text again (playFrom), so it is swapped under the lock.
            auto applied = std::make_shared<const std::string>(chosenDictionary->apply(*job.text));
            std::lock_guard lock(e.mutex);
            job.text = std::move(applied);
            job.textFinal = true;
        }
        // An empty text has no run; its one stream reads nothing. A jump skips the runs
        // before its offset and starts inside the one that holds it.
        auto run = std::make_shared<std::string>();
        bool any = job.mixed->next(job.text, *run, job.runLanguage, &job.runBase);
        while (any && job.runBase + run->size() <= job.startOffset)
            any = job.mixed->next(job.text, *run, job.runLanguage, &job.runBase);
        if (!any && !first) return false;
        const std::size_t into = job.startOffset > job.runBase ? job.startOffset - job.runBase : 0;
        job.stream = std::make_unique<TextStream>(std::move(run), "UTF-8");
        if (any && into > 0) job.stream->seek(into);
        return true;
    }

    // A run of another script than v's own, left to v because its language's engine is not
    // loaded: v's front end and natural voice would drop what they cannot read (Open JTalk
    // skips Hangul), while espeak-ng says every script, Hangul in Korean. Latin runs keep
    // v's reading, which hands them to its English voice.
    static bool isStranger(const EngineState& v, int runLanguage) {
        return engine::IsEngineLanguage(runLanguage) && runLanguage != v.language &&
               runLanguage != engine::kEnglish;
    }

    // Worker only: the engine whose front end and voices read a run of `language` for e.
    EngineState& voiceFor(EngineState& e, int language) {
        if (!engine::IsEngineLanguage(language) || language == e.language) return e;
        EngineState& v = m_engines[slotOf(static_cast<Language>(language))];
        std::lock_guard lock(v.mutex);
        return v.loaded && v.espeak ? v : e;
    }

    std::vector<SpeechSegment> segmentsFor(EngineState& e, const VoiceConfig& config,
                                           std::string sentence) {
        if (e.natural && config.backend == Backend::OpenJTalk)
            return splitJapaneseClauses(sentence);
        return readForVoice(config.reading, e.reader.get(), std::move(sentence));
    }

    // v's voices speak the segment into e's sink (v is e but for the runs of mixed text).
    void speakSegment(EngineState& v, EngineState& e, const VoiceConfig& config,
                      const SpeechSegment& segment, const JobVoice& jobVoice, Job& job,
                      AudioSink& sink, const Cancelled& cancelled,
                      std::size_t wordBase = std::string::npos) {
        std::unique_ptr<VoiceBackend>& natural = segment.latin ? v.naturalLatin : v.natural;
        VoiceBackend* voice = jobVoice.espeakOnly ? nullptr : natural.get();
        if (!voice) voice = segment.latin && v.espeakLatin ? v.espeakLatin.get() : v.espeak.get();
        if (!voice) return;
        const int volume = jobVoice.volume;
        Resampler resampler(voice->sampleRate(), e.sinkRate);
        const PcmOut out = [&](const int16_t* samples, std::size_t count) {
            const std::vector<int16_t>& pcm = resampler.push(samples, count);
            if (pcm.empty()) return;
            const int16_t* data = pcm.data();
            if (volume != 100) {
                m_scratch.resize(pcm.size());
                for (std::size_t i = 0; i < pcm.size(); ++i)
                    m_scratch[i] =
                        static_cast<int16_t>(std::clamp(pcm[i] * volume / 100, -32768, 32767));
                data = m_scratch.data();
            }
            const auto now = Clock::now();
            if (e.firstAudioNs.load() < 0)
                e.firstAudioNs =
                    std::chrono::duration_cast<std::chrono::nanoseconds>(now - job.playTime)
                        .count();
            if (job.mixed) {
                const int64_t late = job.mixed->noteAudio(
                    now, static_cast<double>(pcm.size()) / std::max(1, e.sinkRate));
                if (late > e.runLateNs.load()) e.runLateNs = late;
            }
            job.samplesOut += static_cast<int64_t>(pcm.size());
            sink.write(job.token, data, pcm.size());
        };
        if (wordBase != std::string::npos) {
            const int64_t from = job.samplesOut;
            const int voiceRate = voice->sampleRate();
            voice->tellWords([&e, &job, wordBase, from, voiceRate](std::size_t s, std::size_t end,
                                                                   std::size_t sample) {
                e.position.word(job.token, static_cast<int>(wordBase + s),
                                static_cast<int>(wordBase + end),
                                from + static_cast<int64_t>(sample) * e.sinkRate / voiceRate);
            });
        }
        const SpeakResult result = voice->speak(segment.text, jobVoice.prosody, out, cancelled);
        voice->tellWords({});
        if (result != SpeakResult::Failed || voice != natural.get()) return;
        // A natural voice that fails (a crashed or hung program) is not asked again; the
        // fallback says this segment and all that follow.
        if (verbose())
            std::fprintf(stderr, "selvarine: %s failed; espeak-ng speaks from here on\n",
                         voice->describe().c_str());
        natural.reset();
        if (segment.latin) {
            speakSegment(v, e, config, segment, jobVoice, job, sink, cancelled);
            return;
        }
        for (const SpeechSegment& s : readForVoice(config.reading, v.reader.get(), segment.text))
            speakSegment(v, e, config, s, jobVoice, job, sink, cancelled);
    }

  public:
    // Worker only: what each voice is handed for the UTF-8 text read as mixed text by e, one
    // segment a line (see selvarine_synth_reading).
    bool describeReading(EngineState& e, const std::string& utf8, std::string& out) {
        int chosen = 0;
        std::shared_ptr<const UserDictionary> chosenDictionary;
        {
            std::lock_guard lock(e.mutex);
            if (!e.loaded) return false;
            chosen = e.language;
            chosenDictionary = e.dictionary;
        }
        const Cancelled never = [] { return false; };
        const auto text = std::make_shared<const std::string>(
            chosenDictionary ? chosenDictionary->apply(utf8) : utf8);
        MixedText mixed(chosen, nullptr, 0);
        std::string run;
        int runLanguage = 0;
        while (mixed.next(text, run, runLanguage)) {
            EngineState& v = voiceFor(e, runLanguage);
            VoiceConfig config;
            std::shared_ptr<const UserDictionary> dictionary;
            Language lang;
            {
                std::lock_guard lock(v.mutex);
                config = v.config;
                dictionary = v.dictionary;
                lang = static_cast<Language>(v.language);
            }
            if (!describeRun(v, config, &v == &e ? nullptr : dictionary.get(), lang,
                             isStranger(v, runLanguage), run, never, out))
                return false;
        }
        return true;
    }

    bool describeRun(EngineState& v, const VoiceConfig& config, const UserDictionary* dictionary,
                     Language lang, bool stranger, const std::string& run, const Cancelled& never,
                     std::string& out) {
        TextStream stream(std::make_shared<const std::string>(run), "UTF-8");
        std::string sentence;
        while (stream.ok() && stream.next(sentence)) {
            if (dictionary) sentence = dictionary->apply(sentence);
            const std::vector<SpeechSegment> segments =
                stranger ? std::vector<SpeechSegment>{{false, std::move(sentence)}}
                         : segmentsFor(v, config, std::move(sentence));
            for (const SpeechSegment& segment : segments) {
                std::string text = segment.text;
                if (!stranger && !segment.latin && v.natural &&
                    config.backend == Backend::OpenJTalk) {
                    auto pron = static_cast<OpenJTalkVoice&>(*v.natural).pronounce(text, never);
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
    // Worker only: the voice that speaks the engine's own text, and whether it is the one
    // its configuration names (see voiceOf).
    std::optional<std::pair<std::string, bool>> describeVoice(EngineState& e) {
        Backend backend;
        {
            std::lock_guard lock(e.mutex);
            if (!e.loaded) return std::nullopt;
            backend = e.config.backend;
        }
        if (e.natural) return std::pair(e.natural->describe(), true);
        if (!e.espeak) return std::nullopt;
        return std::pair(e.espeak->describe(), backend == Backend::Espeak);
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
    bool m_bVoicesWarm = false;      // worker only: a voice spoke since they last rested
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
            e.reading.reset();
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

// Engine lock held: makes `job` the engine's and ends the one before, which is returned to be
// let go outside the lock. A jump goes on with the same text, whose sentences stay known.
std::shared_ptr<Job> installLocked(EngineState& e, std::shared_ptr<Job> job, bool jump) {
    job->token = ++e.generation;
    if (e.sink) e.sink->cancel();
    if (jump)
        e.position.restart(job->token);
    else
        e.position.newText(job->token);
    std::shared_ptr<Job> old = std::move(e.job);
    cancelOwnSink(old);
    // A save is not a reading to follow or move in.
    if (!job->sink) e.reading = job;
    e.job = std::move(job);
    e.firstAudioNs = -1;
    if (!jump) e.runLateNs = MixedText::kNoHandover;
    return old;
}

bool startJob(Language lang, std::shared_ptr<Job> job) {
    return guarded(
        [&] {
            SpeechService& service = SpeechService::instance();
            EngineState& e = service.engine(lang);
            std::shared_ptr<Job> old;
            {
                std::lock_guard lock(e.mutex);
                if (!e.loaded) return false;
                old = installLocked(e, std::move(job), false);
            }
            service.wake();
            return true;
        },
        false);
}

}  // namespace

namespace {

std::shared_ptr<Job> newJob(const char* text, int pitch, int speed, int volume) {
    auto job = std::make_shared<Job>();
    job->playTime = Clock::now();
    job->text = std::make_shared<const std::string>(text ? text : "");
    job->pitch = std::clamp(pitch, Limits::kPitchMin, Limits::kPitchMax);
    job->speed = std::clamp(speed, Limits::kSpeedMin, Limits::kSpeedMax);
    job->volume = std::clamp(volume, Limits::kVolumeMin, Limits::kVolumeMax);
    return job;
}

}  // namespace

void play(Language lang, const char* text, int pitch, int speed, int volume) {
    guardedVoid([&] { startJob(lang, newJob(text, pitch, speed, volume)); });
}

bool playInto(Language lang, const char* text, int pitch, int speed, int volume,
              std::shared_ptr<AudioSink> sink, std::function<void(double)> progress) {
    return guarded(
        [&] {
            auto job = newJob(text, pitch, speed, volume);
            job->sink = std::move(sink);
            job->progress = std::move(progress);
            return startJob(lang, std::move(job));
        },
        false);
}

int audioRate(Language lang) {
    EngineState& e = SpeechService::instance().engine(lang);
    std::lock_guard lock(e.mutex);
    return e.loaded ? e.sinkRate : 0;
}

void playMixed(Language lang, const char* utf8, const VtVoiceProsody* prosody, int count) {
    guardedVoid([&] {
        auto job = std::make_shared<Job>();
        job->playTime = Clock::now();
        job->text = std::make_shared<const std::string>(utf8 ? utf8 : "");
        job->mixed = std::make_unique<MixedText>(static_cast<int>(lang), prosody, count);
        const VtVoiceProsody& own = job->mixed->prosodyOf(static_cast<int>(lang));
        job->pitch = own.pitch;
        job->speed = own.speed;
        job->volume = own.volume;
        startJob(lang, std::move(job));
    });
}

void stop(Language lang) {
    guardedVoid([&] {
        EngineState& e = SpeechService::instance().engine(lang);
        std::shared_ptr<Job> old;
        std::shared_ptr<Job> reading;
        std::lock_guard lock(e.mutex);
        ++e.generation;
        old = std::move(e.job);
        reading = std::move(e.reading);
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

bool playFrom(Language lang, int offset) {
    return guarded(
        [&] {
            SpeechService& service = SpeechService::instance();
            EngineState& e = service.engine(lang);
            std::shared_ptr<Job> old;
            {
                std::lock_guard lock(e.mutex);
                if (!e.loaded || !e.reading || offset < 0) return false;
                auto job = std::make_shared<Job>();
                job->text = e.reading->text;
                job->pitch = e.reading->pitch;
                job->speed = e.reading->speed.load();
                job->volume = e.reading->volume;
                job->playTime = Clock::now();
                job->startOffset = static_cast<std::size_t>(offset);
                if (e.reading->mixed) {
                    job->mixed = e.reading->mixed->again();
                    job->textFinal = e.reading->textFinal;
                }
                old = installLocked(e, std::move(job), true);
            }
            service.wake();
            return true;
        },
        false);
}

void setSpeed(Language lang, int speed) {
    guardedVoid([&] {
        EngineState& e = SpeechService::instance().engine(lang);
        std::lock_guard lock(e.mutex);
        if (e.reading) e.reading->speed = std::clamp(speed, Limits::kSpeedMin, Limits::kSpeedMax);
    });
}

bool heardNow(Language lang, Heard* heard, int* sampleRate) {
    return guarded(
        [&] {
            EngineState& e = SpeechService::instance().engine(lang);
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
        },
        false);
}

bool waitIdle(int timeoutMs) {
    return guarded([&] { return SpeechService::instance().waitIdle(timeoutMs); }, false);
}

int64_t firstAudioNanoseconds(Language lang) {
    return SpeechService::instance().engine(lang).firstAudioNs.load();
}

int voiceOf(Language lang, char* out, int outSize) {
    return guarded(
        [&]() -> int {
            if (!out || outSize <= 0) return -1;
            SpeechService& service = SpeechService::instance();
            std::optional<std::pair<std::string, bool>> voice;
            EngineState& e = service.engine(lang);
            service.runOnWorker([&] {
                voice = service.describeVoice(e);
                return true;
            });
            if (!voice || voice->first.size() + 1 > static_cast<std::size_t>(outSize)) return -1;
            std::copy(voice->first.begin(), voice->first.end(), out);
            out[voice->first.size()] = '\0';
            return voice->second ? 1 : 0;
        },
        -1);
}

int64_t runLateNanoseconds(Language lang) {
    return SpeechService::instance().engine(lang).runLateNs.load();
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
