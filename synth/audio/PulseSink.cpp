#include <pulse/pulseaudio.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "synth/audio/SinkFactory.h"

// The engines' controls (stop, pause, resume) and loading run on the caller's thread, which
// is the toolbar's user-interface thread, so they never take the sound server's main-loop
// lock: a lock that the main loop and the speech worker hold while they talk to a server that
// may be slow or hung. They set what they want in atomics and wake the main loop through an
// eventfd; the main loop carries it out. Only the speech worker (begin, write, end) takes
// the lock, and never waits for the server while holding it: audio waits in the local queue
// until the server answers.
//
// A reading paused when the server goes away is kept, from the start of the sentence that
// was being heard: when the server is back (the connection is retried every second while it
// is paused, and at resume), the stream is made again and resume says that sentence again and
// goes on. A reading that was playing is dropped instead, as its listener has already missed
// part of it; so is a paused one resumed while the server is still away.

namespace synth {
namespace {

std::atomic<bool> g_bWarnedNoServer{false};

void warnNoServer() {
    if (!g_bWarnedNoServer.exchange(true))
        std::fprintf(stderr, "selvarine: no sound server; speech is not played\n");
}

void dropOperation(pa_operation* op) {
    if (op) pa_operation_unref(op);
}

class PulseConnection;

// One engine's playback stream and its queue. Members without `std::atomic` are touched
// only with the main-loop lock held.
class PulseStream {
  public:
    PulseStream(PulseConnection& conn, int sampleRate, std::string description)
        : m_conn(conn), m_nRate(sampleRate), m_strDescription(std::move(description)) {}

    // Any thread, never blocks.
    void requestCancel() {
        m_nToken = 0;
        m_bWantCorked = false;
        ++m_nCancels;
    }
    void requestCorked(bool corked) { m_bWantCorked = corked; }
    void retire() { m_bRetired = true; }
    bool retired() const { return m_bRetired; }
    bool wantsMore() const { return m_bDiscarding || m_nQueued < kQueueLimitSeconds * m_nRate * 2; }
    // Main loop, lock held: waits for the server to come back.
    bool held() const { return m_bHeld && !m_pStream; }

    // Worker, lock held.
    void beginLocked(uint64_t token, const std::atomic<uint64_t>& current);
    void writeLocked(uint64_t token, const int16_t* samples, std::size_t count) {
        if (token != m_nToken || m_bDiscarding) return;
        const auto* bytes = reinterpret_cast<const uint8_t*>(samples);
        m_queue.insert(m_queue.end(), bytes, bytes + count * 2);
        pumpLocked();
    }
    void markLocked(uint64_t token) {
        if (token != m_nToken || m_bDiscarding) return;
        if (m_marks.empty() || m_marks.back() != m_queue.size()) m_marks.push_back(m_queue.size());
    }
    void endLocked(uint64_t token) {
        if (token != m_nToken) return;
        m_bEnding = true;
        {
            std::lock_guard lock(m_mutexPosition);
            m_bEnded = true;
        }
        pumpLocked();
    }

    // Any thread, never waits for the server: the latest measurement of the server's
    // latency, carried forward at the stream's rate while it plays.
    int64_t heardSamples(uint64_t token) const {
        std::lock_guard lock(m_mutexPosition);
        if (token == 0 || token != m_nToken || m_bPlayedOut) return -1;
        int64_t heard = m_nHeardBase;
        if (m_bTimed && !m_bWantCorked) {
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                std::chrono::steady_clock::now().time_since_epoch())
                                .count() -
                            m_nStampNs;
            heard += ns * m_nRate / 1000000000;
        }
        const int64_t total = m_nSent + static_cast<int64_t>(m_nQueued.load() / 2);
        heard = std::min(heard, m_nSent);
        // Once over, it stays over: a later measurement may count audio the server renders
        // ahead of playback as still to come.
        if (m_bEnded && heard >= total) {
            m_bPlayedOut = true;
            return -1;
        }
        return heard;
    }

    // Main loop, lock held.
    void applyRequestsLocked() {
        if (m_nCancels != m_nCancelsApplied) {
            m_nCancelsApplied = m_nCancels;
            clearLocked();
            m_bHeld = false;
            if (m_pStream && pa_stream_get_state(m_pStream) == PA_STREAM_READY)
                dropOperation(pa_stream_flush(m_pStream, nullptr, nullptr));
        }
        setCorkedLocked(m_bWantCorked);
    }
    void onServerReadyLocked(uint64_t epoch) {
        if (!m_pStream || m_nEpoch != epoch || !PA_STREAM_IS_GOOD(pa_stream_get_state(m_pStream)))
            createStreamLocked();
        if (m_pStream) m_bHeld = false;
        pumpLocked();
    }
    // Audio of a playing utterance is dropped, so the worker is not held back by it; a paused
    // one that the server was playing goes back to the start of the sentence being heard and
    // waits while it stays paused. One that never reached a server, or is resumed before the
    // server is back, is dropped as a playing one.
    void onServerLostLocked() {
        if (m_nToken != 0 && m_bWantCorked && (m_pStream || m_bHeld)) {
            rewindLocked();
            releaseStreamLocked();
            m_bHeld = true;
            return;
        }
        if (m_nToken != 0) {
            warnNoServer();
            m_bDiscarding = true;
        }
        m_bHeld = false;
        releaseStreamLocked();
        clearLocked();
    }
    void dropStreamLocked() {
        if (!m_pStream) return;
        releaseStreamLocked();
        clearLocked();
    }

  private:
    static constexpr std::size_t kQueueLimitSeconds = 1;
    static constexpr std::size_t kTargetMs = 150;  // the server's target length (tlength)

    void createStreamLocked();
    void releaseStreamLocked() {
        if (!m_pStream) return;
        pa_stream_set_write_callback(m_pStream, nullptr, nullptr);
        pa_stream_set_state_callback(m_pStream, nullptr, nullptr);
        pa_stream_set_latency_update_callback(m_pStream, nullptr, nullptr);
        pa_stream_disconnect(m_pStream);
        pa_stream_unref(m_pStream);
        m_pStream = nullptr;
    }
    void clearLocked() {
        m_queue.clear();
        m_marks.clear();
        m_nHead = 0;
        m_nQueued = 0;
        m_bEnding = false;
    }
    // Where the sentence being heard starts in the queue: the server holds up to its target
    // length unplayed, and twice that errs towards saying a little again rather than losing
    // a sentence's start. Without marks nothing sent is kept.
    std::size_t heardSentenceLocked() const {
        if (m_marks.empty()) return m_nHead;
        const std::size_t margin = 2 * kTargetMs * static_cast<std::size_t>(m_nRate) * 2 / 1000;
        const std::size_t heard = m_nHead > margin ? m_nHead - margin : 0;
        std::size_t start = 0;
        for (std::size_t mark : m_marks)
            if (mark <= heard) start = mark;
        return std::min(start, m_nHead);
    }
    // Sends again from the start of the sentence being heard, which starts the queue from now
    // on, so a second loss before anything is sent stays there.
    void rewindLocked() {
        const std::size_t start = heardSentenceLocked();
        {
            // What is sent again is heard again.
            std::lock_guard lock(m_mutexPosition);
            m_nSent -= static_cast<int64_t>((m_nHead - start) / 2);
            m_nHeardBase = std::min(m_nHeardBase, m_nSent);
            m_bTimed = false;
            m_bPlayedOut = false;
        }
        m_nHead = start;
        dropBeforeLocked(start);
        m_bEnding = m_bEnded;
        m_nQueued = m_queue.size() - m_nHead;
    }
    // Drops audio before the sentence being heard, when that is worth a copy.
    void compactLocked() {
        const std::size_t keep = heardSentenceLocked();
        if (keep == m_queue.size() || (keep > (1u << 16) && keep * 2 > m_queue.size()))
            dropBeforeLocked(keep);
    }
    void dropBeforeLocked(std::size_t keep) {
        if (keep == 0) return;
        m_queue.erase(m_queue.begin(), m_queue.begin() + static_cast<std::ptrdiff_t>(keep));
        m_nHead -= keep;
        while (!m_marks.empty() && m_marks.front() < keep) m_marks.pop_front();
        for (std::size_t& mark : m_marks) mark -= keep;
    }
    void setCorkedLocked(bool corked) {
        if (m_pStream && pa_stream_get_state(m_pStream) == PA_STREAM_READY && corked != m_bCorked)
            dropOperation(pa_stream_cork(m_pStream, corked ? 1 : 0, nullptr, nullptr));
        m_bCorked = corked;
        pumpLocked();
    }
    // A pause that came while the stream was still being set up takes hold once it is ready.
    void onStateLocked() {
        if (!m_pStream || pa_stream_get_state(m_pStream) != PA_STREAM_READY) return;
        const int corked = pa_stream_is_corked(m_pStream);
        if (corked >= 0 && (corked != 0) != m_bCorked)
            dropOperation(pa_stream_cork(m_pStream, m_bCorked ? 1 : 0, nullptr, nullptr));
        pumpLocked();
    }
    void pumpLocked();
    // Notes how much of what was sent has been heard, from the server's latency.
    void measureLocked() {
        if (!m_pStream || pa_stream_get_state(m_pStream) != PA_STREAM_READY) return;
        pa_usec_t latency = 0;
        int negative = 0;
        if (pa_stream_get_latency(m_pStream, &latency, &negative) < 0) return;
        const int64_t pending = negative ? 0 : static_cast<int64_t>(latency) * m_nRate / 1000000;
        std::lock_guard lock(m_mutexPosition);
        m_nHeardBase = std::max<int64_t>(0, m_nSent - pending);
        m_nStampNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                         std::chrono::steady_clock::now().time_since_epoch())
                         .count();
        m_bTimed = true;
    }
    void resetPositionLocked() {
        std::lock_guard lock(m_mutexPosition);
        m_nSent = 0;
        m_nHeardBase = 0;
        m_bTimed = false;
        m_bEnded = false;
        m_bPlayedOut = false;
    }

    PulseConnection& m_conn;
    int m_nRate;
    std::string m_strDescription;
    pa_stream* m_pStream = nullptr;
    uint64_t m_nEpoch = 0;
    std::atomic<uint64_t> m_nToken{0};
    std::atomic<uint64_t> m_nCancels{0};
    uint64_t m_nCancelsApplied = 0;
    std::atomic<bool> m_bWantCorked{false};
    std::atomic<bool> m_bRetired{false};
    std::atomic<bool> m_bDiscarding{false};
    std::vector<uint8_t> m_queue;     // from the start of the sentence being heard
    std::deque<std::size_t> m_marks;  // queue offsets where sentences start
    std::size_t m_nHead = 0;          // the first byte not yet sent
    std::atomic<std::size_t> m_nQueued{0};
    bool m_bCorked = false;
    bool m_bEnding = false;  // the server is to be told to play out what it has
    bool m_bHeld = false;    // a paused utterance waits for the server to come back
    // The playback position of the open utterance, in samples.
    mutable std::mutex m_mutexPosition;
    int64_t m_nSent = 0;       // handed to the server
    int64_t m_nHeardBase = 0;  // heard at m_nStampNs
    int64_t m_nStampNs = 0;
    bool m_bTimed = false;              // a measurement was taken
    bool m_bEnded = false;              // the utterance is complete
    mutable bool m_bPlayedOut = false;  // and heard to its end
};

// One connection to the sound server for the whole process, shared by the engines' streams.
class PulseConnection {
  public:
    static std::shared_ptr<PulseConnection> instance() {
        static std::mutex mutex;
        static std::weak_ptr<PulseConnection> current;
        std::lock_guard lock(mutex);
        auto conn = current.lock();
        if (!conn) {
            conn = std::shared_ptr<PulseConnection>(new PulseConnection);
            current = conn;
        }
        return conn;
    }

    ~PulseConnection() {
        if (!m_pLoop) return;
        pa_threaded_mainloop_lock(m_pLoop);
        for (auto& s : m_streams) s->dropStreamLocked();
        dropContextLocked();
        if (m_pRetry) pa_threaded_mainloop_get_api(m_pLoop)->time_free(m_pRetry);
        if (m_pWake) pa_threaded_mainloop_get_api(m_pLoop)->io_free(m_pWake);
        pa_threaded_mainloop_unlock(m_pLoop);
        pa_threaded_mainloop_stop(m_pLoop);
        pa_threaded_mainloop_free(m_pLoop);
        if (m_fdWake >= 0) close(m_fdWake);
    }

    pa_threaded_mainloop* loop() const { return m_pLoop; }
    pa_context* context() const { return m_pContext; }
    uint64_t epoch() const { return m_nEpoch; }

    // Any thread, never blocks. The stream joins the connection (which starts connecting if
    // it has not yet) the next time the main loop runs.
    void add(std::shared_ptr<PulseStream> stream) {
        {
            std::lock_guard lock(m_mutexNew);
            m_newStreams.push_back(std::move(stream));
        }
        wake();
    }
    void wake() {
        if (m_fdWake < 0) return;
        const uint64_t one = 1;
        (void)!write(m_fdWake, &one, sizeof one);
    }

    enum class Server { Ready, Connecting, Absent };
    // Lock held. Starts a connection, or a new one after the server went away, and never
    // waits for it. No autospawn: starting a server is not ours to do.
    Server ensureLocked() {
        if (!m_pLoop) return Server::Absent;
        if (m_pContext) {
            const pa_context_state_t state = pa_context_get_state(m_pContext);
            if (state == PA_CONTEXT_READY) return Server::Ready;
            if (PA_CONTEXT_IS_GOOD(state)) return Server::Connecting;
            dropContextLocked();
        }
        m_pContext = pa_context_new(pa_threaded_mainloop_get_api(m_pLoop), "Selvarine");
        if (!m_pContext) return Server::Absent;
        ++m_nEpoch;
        pa_context_set_state_callback(
            m_pContext,
            [](pa_context*, void* self) { static_cast<PulseConnection*>(self)->onContextState(); },
            this);
        if (pa_context_connect(m_pContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            dropContextLocked();
            return Server::Absent;
        }
        return pa_context_get_state(m_pContext) == PA_CONTEXT_READY ? Server::Ready
                                                                    : Server::Connecting;
    }

  private:
    PulseConnection() {
        m_fdWake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        m_pLoop = pa_threaded_mainloop_new();
        if (m_pLoop && m_fdWake >= 0) {
            // Before the loop thread starts, so without the lock.
            m_pWake = pa_threaded_mainloop_get_api(m_pLoop)->io_new(
                pa_threaded_mainloop_get_api(m_pLoop), m_fdWake, PA_IO_EVENT_INPUT,
                [](pa_mainloop_api*, pa_io_event*, int, pa_io_event_flags_t, void* self) {
                    static_cast<PulseConnection*>(self)->onWake();
                },
                this);
        }
        if (m_pLoop && pa_threaded_mainloop_start(m_pLoop) < 0) {
            pa_threaded_mainloop_free(m_pLoop);
            m_pLoop = nullptr;
        }
    }

    // Main loop, lock held.
    void onWake() {
        uint64_t count = 0;
        (void)!read(m_fdWake, &count, sizeof count);
        {
            std::lock_guard lock(m_mutexNew);
            if (!m_newStreams.empty()) {
                m_streams.insert(m_streams.end(), m_newStreams.begin(), m_newStreams.end());
                m_newStreams.clear();
                // Connecting early makes the first play start at once.
                if (ensureLocked() == Server::Ready) onContextState();
            }
        }
        for (auto it = m_streams.begin(); it != m_streams.end();) {
            if ((*it)->retired()) {
                (*it)->dropStreamLocked();
                it = m_streams.erase(it);
            } else {
                (*it)->applyRequestsLocked();
                ++it;
            }
        }
        reconnectIfHeldLocked();
    }
    bool anyHeldLocked() const {
        return std::any_of(m_streams.begin(), m_streams.end(),
                           [](const auto& s) { return !s->retired() && s->held(); });
    }
    // A held reading waits for the server, so look for it now and every second until found.
    void reconnectIfHeldLocked() {
        if (!anyHeldLocked()) return;
        const Server server = ensureLocked();
        if (server == Server::Ready)
            onContextState();
        else if (server == Server::Absent)
            retryLaterLocked();
    }
    void retryLaterLocked() {
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_pLoop);
        timeval when{};
        pa_timeval_add(pa_gettimeofday(&when), 1000 * 1000);
        if (m_pRetry) {
            api->time_restart(m_pRetry, &when);
            return;
        }
        m_pRetry = api->time_new(
            api, &when,
            [](pa_mainloop_api*, pa_time_event*, const timeval*, void* self) {
                static_cast<PulseConnection*>(self)->reconnectIfHeldLocked();
            },
            this);
    }
    void onContextState() {
        if (!m_pContext) return;
        const pa_context_state_t state = pa_context_get_state(m_pContext);
        if (state == PA_CONTEXT_READY) {
            for (auto& s : m_streams)
                if (!s->retired()) s->onServerReadyLocked(m_nEpoch);
        } else if (!PA_CONTEXT_IS_GOOD(state)) {
            for (auto& s : m_streams) s->onServerLostLocked();
            if (anyHeldLocked()) retryLaterLocked();
        }
    }
    void dropContextLocked() {
        if (!m_pContext) return;
        pa_context_set_state_callback(m_pContext, nullptr, nullptr);
        pa_context_disconnect(m_pContext);
        pa_context_unref(m_pContext);
        m_pContext = nullptr;
    }

    int m_fdWake = -1;
    pa_io_event* m_pWake = nullptr;
    pa_time_event* m_pRetry = nullptr;
    pa_threaded_mainloop* m_pLoop = nullptr;
    pa_context* m_pContext = nullptr;
    uint64_t m_nEpoch = 0;
    std::vector<std::shared_ptr<PulseStream>> m_streams;  // lock held
    std::mutex m_mutexNew;                                // guards m_newStreams only
    std::vector<std::shared_ptr<PulseStream>> m_newStreams;
};

class LoopLock {
  public:
    explicit LoopLock(pa_threaded_mainloop* loop) : m_pLoop(loop) {
        if (m_pLoop) pa_threaded_mainloop_lock(m_pLoop);
    }
    ~LoopLock() {
        if (m_pLoop) pa_threaded_mainloop_unlock(m_pLoop);
    }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

  private:
    pa_threaded_mainloop* m_pLoop;
};

void PulseStream::beginLocked(uint64_t token, const std::atomic<uint64_t>& current) {
    // Cancels asked for before this utterance are done now, so that the main loop, when it
    // gets to them, does not drop this utterance's audio.
    applyRequestsLocked();
    if (current.load() != token) return;
    m_nToken = token;
    // A stop between the check and the store has already cleared the token, or moves
    // `current` on, which is seen here.
    if (current.load() != token) {
        m_nToken = 0;
        return;
    }
    clearLocked();
    resetPositionLocked();
    m_bDiscarding = false;
    m_bHeld = false;
    switch (m_conn.ensureLocked()) {
        case PulseConnection::Server::Ready:
            onServerReadyLocked(m_conn.epoch());
            break;
        case PulseConnection::Server::Connecting:
            break;  // the audio waits in the queue
        case PulseConnection::Server::Absent:
            onServerLostLocked();
            break;
    }
}

void PulseStream::createStreamLocked() {
    dropStreamLocked();
    const pa_sample_spec format{PA_SAMPLE_S16LE, static_cast<uint32_t>(m_nRate), 1};
    m_pStream = pa_stream_new(m_conn.context(), m_strDescription.c_str(), &format, nullptr);
    if (!m_pStream) return;
    m_nEpoch = m_conn.epoch();
    pa_stream_set_write_callback(
        m_pStream,
        [](pa_stream*, size_t, void* self) { static_cast<PulseStream*>(self)->pumpLocked(); },
        this);
    pa_stream_set_state_callback(
        m_pStream, [](pa_stream*, void* self) { static_cast<PulseStream*>(self)->onStateLocked(); },
        this);
    pa_stream_set_latency_update_callback(
        m_pStream, [](pa_stream*, void* self) { static_cast<PulseStream*>(self)->measureLocked(); },
        this);
    // A short start threshold gets the first words out at once; the target length keeps
    // a pause or stop at the server within a few milliseconds (RIG.md: cork 0.3-5.5 ms).
    const uint32_t bytesPerMs = static_cast<uint32_t>(m_nRate * 2 / 1000);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(kTargetMs) * bytesPerMs;
    attr.prebuf = 20 * bytesPerMs;
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(-1);
    // A pause asked for before the stream existed holds it from the start.
    m_bCorked = m_bWantCorked;
    // Timing updates and their interpolation give the playback position without asking.
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
        (m_bCorked ? PA_STREAM_START_CORKED : 0));
    if (pa_stream_connect_playback(m_pStream, nullptr, &attr, flags, nullptr, nullptr) < 0)
        dropStreamLocked();
}

void PulseStream::pumpLocked() {
    if (m_pStream && pa_stream_get_state(m_pStream) == PA_STREAM_READY) {
        while (m_nHead < m_queue.size()) {
            const std::size_t writable = pa_stream_writable_size(m_pStream);
            if (writable == 0 || writable == static_cast<std::size_t>(-1)) break;
            const std::size_t n = std::min(writable, m_queue.size() - m_nHead) & ~std::size_t{1};
            if (n == 0) break;
            if (pa_stream_write(m_pStream, m_queue.data() + m_nHead, n, nullptr, 0,
                                PA_SEEK_RELATIVE) < 0)
                break;
            m_nHead += n;
            std::lock_guard lock(m_mutexPosition);
            m_nSent += static_cast<int64_t>(n / 2);
        }
        if (m_nHead == m_queue.size() && m_bEnding) {
            // Audio shorter than the start threshold would otherwise wait for more.
            dropOperation(pa_stream_trigger(m_pStream, nullptr, nullptr));
            m_bEnding = false;
        }
        compactLocked();
    }
    m_nQueued = m_queue.size() - m_nHead;
    measureLocked();
}

// The engine's face of a stream; the stream itself lives on in the connection until the
// main loop has let go of it.
class PulseSink final : public AudioSink {
  public:
    PulseSink(int sampleRate, std::string description)
        : m_conn(PulseConnection::instance()),
          m_stream(std::make_shared<PulseStream>(*m_conn, sampleRate, std::move(description))) {
        m_conn->add(m_stream);
    }
    ~PulseSink() override {
        m_stream->retire();
        m_conn->wake();
    }

    void begin(uint64_t token, const std::atomic<uint64_t>& current) override {
        LoopLock lock(m_conn->loop());
        m_stream->beginLocked(token, current);
    }
    void write(uint64_t token, const int16_t* samples, std::size_t count) override {
        LoopLock lock(m_conn->loop());
        m_stream->writeLocked(token, samples, count);
    }
    void mark(uint64_t token) override {
        LoopLock lock(m_conn->loop());
        m_stream->markLocked(token);
    }
    void end(uint64_t token) override {
        LoopLock lock(m_conn->loop());
        m_stream->endLocked(token);
    }
    void cancel() override {
        m_stream->requestCancel();
        m_conn->wake();
    }
    void pause() override {
        m_stream->requestCorked(true);
        m_conn->wake();
    }
    void resume() override {
        m_stream->requestCorked(false);
        m_conn->wake();
    }
    bool wantsMore() const override { return m_stream->wantsMore(); }
    int64_t heardSamples(uint64_t token) const override { return m_stream->heardSamples(token); }

  private:
    std::shared_ptr<PulseConnection> m_conn;
    std::shared_ptr<PulseStream> m_stream;
};

}  // namespace

std::unique_ptr<AudioSink> makePulseSink(int sampleRate, const std::string& description) {
    return std::make_unique<PulseSink>(sampleRate, description);
}

}  // namespace synth
