// The worker thread: it runs tasks handed to it (loads, previews) between sentences, and
// otherwise speaks the next sentence of whichever engine's sink wants more, in turn.

#include <algorithm>

#include "engine/Diagnostics.h"
#include "synth/core/SpeechCore.h"

namespace synth {

SpeechCore::SpeechCore(std::unique_ptr<VoiceFactory> voices, SinkFactory sinks)
    : m_voices(std::move(voices)), m_sinks(std::move(sinks)) {}

SpeechCore::~SpeechCore() {
    {
        std::lock_guard lock(m_mutex);
        m_bShutdown = true;
        m_bShutdownAtomic = true;
    }
    m_cv.notify_all();
    if (m_worker.joinable()) m_worker.join();
}

int SpeechCore::start() {
    std::call_once(m_startOnce, [this] {
        std::promise<int> rate;
        auto result = rate.get_future();
        m_worker = std::thread([this, &rate] { run(rate); });
        m_nSampleRate = result.get();
    });
    return m_nSampleRate;
}

std::future<bool> SpeechCore::queueOnWorker(std::function<bool()> task) {
    std::packaged_task<bool()> packaged(std::move(task));
    auto result = packaged.get_future();
    {
        std::lock_guard lock(m_mutex);
        if (m_bShutdown || !m_worker.joinable()) return {};
        m_tasks.push_back(std::move(packaged));
    }
    m_cv.notify_all();
    return result;
}

bool SpeechCore::runOnWorker(std::function<bool()> task) {
    auto result = queueOnWorker(std::move(task));
    return result.valid() && result.get();
}

void SpeechCore::wake() {
    { std::lock_guard lock(m_mutex); }
    m_cv.notify_all();
}

void SpeechCore::waitUntilNotBusy(Language lang) {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [&] { return m_nBusy != static_cast<int>(slotOf(lang)); });
}

bool SpeechCore::waitIdle(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock lock(m_mutex);
    while (true) {
        bool busy = m_nBusy >= 0 || !m_tasks.empty();
        for (auto& e : m_engines) {
            std::lock_guard engineLock(e.mutex);
            busy = busy || e.job != nullptr;
        }
        if (!busy) return true;
        if (m_idle.wait_until(lock, std::min(deadline, Clock::now() + std::chrono::milliseconds(10))) ==
                std::cv_status::timeout &&
            Clock::now() >= deadline)
            return false;
    }
}

// Worker lock held: the engine to speak for next, from `next` on in turn; -1 when none wants
// more now (`pending` tells whether any has text left).
int SpeechCore::chooseEngine(std::size_t& next, bool& pending) {
    pending = false;
    for (std::size_t k = 0; k < kLanguageCount; ++k) {
        const std::size_t index = (next + k) % kLanguageCount;
        EngineState& e = m_engines[index];
        std::lock_guard engineLock(e.mutex);
        if (!e.job) continue;
        pending = true;
        AudioSink* sink = e.job->sink ? e.job->sink.get() : e.sink.get();
        if (sink && sink->wantsMore()) {
            next = index + 1;
            return static_cast<int>(index);
        }
    }
    return -1;
}

void SpeechCore::run(std::promise<int>& ratePromise) {
    const int rate = m_voices->start();
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
        const int chosen = chooseEngine(next, pending);
        if (chosen < 0) {
            if (pending) {
                // A full or paused sink drains without telling us, so look again shortly.
                m_cv.wait_for(lock, std::chrono::milliseconds(10));
            } else if (m_bVoicesWarm) {
                // Nothing to read: no program started for a next clause outlives the reading.
                // Then look again, since a play may have come meanwhile.
                m_bVoicesWarm = false;
                lock.unlock();
                for (auto& e : m_engines)
                    if (e.voices) e.voices->rest();
                lock.lock();
            } else {
                m_cv.wait(lock);
            }
            continue;
        }
        m_bVoicesWarm = true;
        m_nBusy = chosen;
        lock.unlock();
        EngineState& engine = m_engines[static_cast<std::size_t>(chosen)];
        try {
            speakNextSentence(engine);
        } catch (...) {
            // Out of memory or a library failing on odd text: give up on this text rather
            // than lose the worker, so the engine keeps working.
            diag::Say(diag::Level::Error, "synthesis failed; text dropped");
            std::lock_guard engineLock(engine.mutex);
            engine.job.reset();  // a sink of its own counts it as failed
        }
        lock.lock();
        m_nBusy = -1;
        m_idle.notify_all();
    }
    lock.unlock();
    releaseVoices();
    if (rate > 0) m_voices->stop();
}

void SpeechCore::releaseVoices() {
    for (auto& e : m_engines) e.voices.reset();
}

void SpeechCore::speakNextSentence(EngineState& e) {
    std::shared_ptr<Job> job;
    std::shared_ptr<AudioSink> sink;
    {
        std::lock_guard lock(e.mutex);
        if (!e.job || e.job->token != e.generation.load()) return;
        job = e.job;
        sink = job->sink ? job->sink : e.sink;
    }
    // Outside the engine's lock, so play and stop never wait for a sound server or the first
    // use of an iconv module; only the worker touches a job's source.
    if (!job->source) {
        openSource(e, *job);
        sink->begin(job->token, e.generation);
    }
    Sentence sentence;
    if (!job->source->next(sentence)) {
        // Outside the engine's lock too: the sink drops an end whose utterance was stopped.
        sink->end(job->token);
        std::lock_guard lock(e.mutex);
        if (e.job == job) e.job.reset();
        return;
    }
    if (job->progress) job->progress(sentence.fraction);
    e.position.sentence(job->token, sentence.start, sentence.end, sentence.text, job->samplesOut);
    const Voicing said = sentence.voicing && sentence.voicing->voicesEpoch == m_nVoicesEpoch
                             ? std::move(*sentence.voicing)
                             : voicingFor(e, *job, sentence);
    sink->mark(job->token);
    const Cancelled cancelled = [&] {
        return e.generation.load() != job->token || m_bShutdownAtomic.load();
    };
    const SentenceOut::Write write = [&](const int16_t* data, std::size_t count) {
        const auto now = Clock::now();
        if (e.firstAudioNs.load() < 0) {
            e.firstAudioNs =
                std::chrono::duration_cast<std::chrono::nanoseconds>(now - job->playTime).count();
            diag::Say(diag::Level::Timing,
                      "first audio of language %d to its sink, %.1f ms after the play call",
                      e.language, static_cast<double>(e.firstAudioNs.load()) / 1e6);
        }
        if (job->mixed) {
            const int64_t late =
                job->mixed->noteAudio(now, static_cast<double>(count) / std::max(1, e.sinkRate));
            if (late > e.runLateNs.load()) e.runLateNs = late;
        }
        sink->write(job->token, data, count);
    };
    SentenceOut out(job->pause, job->samplesOut == 0, e.sinkRate, job->samplesOut, write,
                    [&](int start, int end, int64_t sample) {
                        e.position.word(job->token, start, end, sample);
                    });
    for (const SpeechSegment& segment : said.segments) {
        if (cancelled()) return;
        Prosody prosody = said.prosody;
        if (said.followsSpeed) prosody.speed = job->speed.load();  // a new speed from here on
        m_speaker.speak(said, segment, prosody, out, cancelled);
    }
    if (cancelled()) return;
    out.end(job->source->ahead() != nullptr);
    if (!cancelled()) lookAhead(e, *job);
}

// Once a sentence is handed to the sink, the next one is voiced and its first clause
// synthesised while it plays, so that a jump to it (the next-sentence move) is heard at once.
void SpeechCore::lookAhead(EngineState& e, Job& job) {
    Sentence* next = job.source->ahead();
    if (!next || next->voicing) return;
    next->voicing = voicingFor(e, job, *next);
    const Voicing& said = *next->voicing;
    if (said.fallbackOnly || said.segments.empty() || said.segments.front().latin) return;
    if (VoiceBackend* natural = said.voices->natural(false))
        natural->prepare(said.segments.front().text, said.prosody);
}

}  // namespace synth
