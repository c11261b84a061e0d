#include <pulse/pulseaudio.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "synth/SinkFactory.h"

namespace synth {
namespace {

std::atomic<bool> g_bWarnedNoServer{false};

void warnNoServer() {
    if (!g_bWarnedNoServer.exchange(true))
        std::fprintf(stderr, "selvarine: no sound server; speech is not played\n");
}

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
        dropContextLocked();
        pa_threaded_mainloop_unlock(m_pLoop);
        pa_threaded_mainloop_stop(m_pLoop);
        pa_threaded_mainloop_free(m_pLoop);
    }

    pa_threaded_mainloop* loop() const { return m_pLoop; }
    pa_context* context() const { return m_pContext; }
    uint64_t epoch() const { return m_nEpoch; }

    // With the loop locked. Connects, or reconnects after the server went away; false when
    // no server answers. No autospawn: starting a server is not ours to do.
    bool readyLocked() {
        if (!m_pLoop) return false;
        if (m_pContext && pa_context_get_state(m_pContext) == PA_CONTEXT_READY) return true;
        dropContextLocked();
        m_pContext = pa_context_new(pa_threaded_mainloop_get_api(m_pLoop), "Selvarine");
        if (!m_pContext) return false;
        ++m_nEpoch;
        pa_context_set_state_callback(
            m_pContext,
            [](pa_context*, void* loop) {
                pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
            },
            m_pLoop);
        if (pa_context_connect(m_pContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            dropContextLocked();
            return false;
        }
        // A live server answers in milliseconds; a hung one must not hold the worker forever.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (true) {
            const pa_context_state_t state = pa_context_get_state(m_pContext);
            if (state == PA_CONTEXT_READY) return true;
            if (!PA_CONTEXT_IS_GOOD(state) || std::chrono::steady_clock::now() > deadline) {
                dropContextLocked();
                return false;
            }
            pa_threaded_mainloop_unlock(m_pLoop);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            pa_threaded_mainloop_lock(m_pLoop);
        }
    }

  private:
    PulseConnection() {
        m_pLoop = pa_threaded_mainloop_new();
        if (m_pLoop && pa_threaded_mainloop_start(m_pLoop) < 0) {
            pa_threaded_mainloop_free(m_pLoop);
            m_pLoop = nullptr;
        }
    }
    void dropContextLocked() {
        if (!m_pContext) return;
        pa_context_set_state_callback(m_pContext, nullptr, nullptr);
        pa_context_disconnect(m_pContext);
        pa_context_unref(m_pContext);
        m_pContext = nullptr;
    }

    pa_threaded_mainloop* m_pLoop = nullptr;
    pa_context* m_pContext = nullptr;
    uint64_t m_nEpoch = 0;
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

void dropOperation(pa_operation* op) {
    if (op) pa_operation_unref(op);
}

// One playback stream per engine. Synthesis runs far ahead of playback, so audio waits in a
// local queue (bounded through wantsMore) and is fed to the server as it asks for it.
class PulseSink final : public AudioSink {
  public:
    PulseSink(int sampleRate, std::string description)
        : m_conn(PulseConnection::instance()),
          m_nRate(sampleRate),
          m_strDescription(std::move(description)) {
        // Connecting early makes the first play start at once; no server is no failure here.
        LoopLock lock(m_conn->loop());
        if (m_conn->readyLocked()) createStreamLocked();
    }

    ~PulseSink() override {
        LoopLock lock(m_conn->loop());
        dropStreamLocked();
    }

    void begin(uint64_t token, const std::atomic<uint64_t>& current) override {
        LoopLock lock(m_conn->loop());
        if (current.load() != token) return;
        m_nToken = token;
        clearLocked();
        // Reconnecting releases the lock while it waits, so a stop may slip in meanwhile.
        const bool ready = m_conn->readyLocked();
        if (current.load() != token) {
            m_nToken = 0;
            return;
        }
        if (!ready) {
            warnNoServer();
            dropStreamLocked();
            return;
        }
        if (!m_pStream || m_nEpoch != m_conn->epoch() ||
            !PA_STREAM_IS_GOOD(pa_stream_get_state(m_pStream)))
            createStreamLocked();
        pumpLocked();
    }

    void write(uint64_t token, const int16_t* samples, std::size_t count) override {
        LoopLock lock(m_conn->loop());
        if (token != m_nToken || !m_pStream || !PA_STREAM_IS_GOOD(pa_stream_get_state(m_pStream)))
            return;
        const auto* bytes = reinterpret_cast<const uint8_t*>(samples);
        m_queue.insert(m_queue.end(), bytes, bytes + count * 2);
        m_nQueued = m_queue.size() - m_nHead;
        pumpLocked();
    }

    void end(uint64_t token) override {
        LoopLock lock(m_conn->loop());
        if (token != m_nToken || !m_pStream) return;
        m_bEnding = true;
        pumpLocked();
    }

    void cancel() override {
        LoopLock lock(m_conn->loop());
        m_nToken = 0;
        clearLocked();
        if (m_pStream && pa_stream_get_state(m_pStream) == PA_STREAM_READY)
            dropOperation(pa_stream_flush(m_pStream, nullptr, nullptr));
        setCorkedLocked(false);
    }

    void pause() override {
        LoopLock lock(m_conn->loop());
        setCorkedLocked(true);
    }

    void resume() override {
        LoopLock lock(m_conn->loop());
        setCorkedLocked(false);
    }

    bool wantsMore() const override { return m_nQueued < kQueueLimitSeconds * m_nRate * 2; }

  private:
    static constexpr std::size_t kQueueLimitSeconds = 1;

    void createStreamLocked() {
        dropStreamLocked();
        const pa_sample_spec format{PA_SAMPLE_S16LE, static_cast<uint32_t>(m_nRate), 1};
        m_pStream = pa_stream_new(m_conn->context(), m_strDescription.c_str(), &format, nullptr);
        if (!m_pStream) return;
        m_nEpoch = m_conn->epoch();
        pa_stream_set_write_callback(
            m_pStream,
            [](pa_stream*, size_t, void* self) { static_cast<PulseSink*>(self)->pumpLocked(); },
            this);
        pa_stream_set_state_callback(
            m_pStream,
            [](pa_stream*, void* self) { static_cast<PulseSink*>(self)->onStateLocked(); }, this);
        // A short start threshold gets the first words out at once; the target length keeps
        // a pause or stop at the server within a few milliseconds (RIG.md: cork 0.3-5.5 ms).
        const uint32_t bytesPerMs = static_cast<uint32_t>(m_nRate * 2 / 1000);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = 150 * bytesPerMs;
        attr.prebuf = 20 * bytesPerMs;
        attr.minreq = static_cast<uint32_t>(-1);
        attr.fragsize = static_cast<uint32_t>(-1);
        // A pause asked for before the stream existed holds it from the start.
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY |
                                                          (m_bCorked ? PA_STREAM_START_CORKED : 0));
        if (pa_stream_connect_playback(m_pStream, nullptr, &attr, flags, nullptr, nullptr) < 0)
            dropStreamLocked();
    }

    void dropStreamLocked() {
        if (!m_pStream) return;
        pa_stream_set_write_callback(m_pStream, nullptr, nullptr);
        pa_stream_set_state_callback(m_pStream, nullptr, nullptr);
        pa_stream_disconnect(m_pStream);
        pa_stream_unref(m_pStream);
        m_pStream = nullptr;
        clearLocked();
    }

    void clearLocked() {
        m_queue.clear();
        m_nHead = 0;
        m_nQueued = 0;
        m_bEnding = false;
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

    void pumpLocked() {
        if (!m_pStream || pa_stream_get_state(m_pStream) != PA_STREAM_READY) return;
        while (m_nHead < m_queue.size()) {
            const std::size_t writable = pa_stream_writable_size(m_pStream);
            if (writable == 0 || writable == static_cast<std::size_t>(-1)) break;
            const std::size_t n = std::min(writable, m_queue.size() - m_nHead) & ~std::size_t{1};
            if (n == 0) break;
            if (pa_stream_write(m_pStream, m_queue.data() + m_nHead, n, nullptr, 0,
                                PA_SEEK_RELATIVE) < 0)
                break;
            m_nHead += n;
        }
        if (m_nHead == m_queue.size()) {
            m_queue.clear();
            m_nHead = 0;
            if (m_bEnding) {
                // Audio shorter than the start threshold would otherwise wait for more.
                dropOperation(pa_stream_trigger(m_pStream, nullptr, nullptr));
                m_bEnding = false;
            }
        } else if (m_nHead > (1u << 16) && m_nHead * 2 > m_queue.size()) {
            m_queue.erase(m_queue.begin(), m_queue.begin() + static_cast<std::ptrdiff_t>(m_nHead));
            m_nHead = 0;
        }
        m_nQueued = m_queue.size() - m_nHead;
    }

    std::shared_ptr<PulseConnection> m_conn;
    int m_nRate;
    std::string m_strDescription;
    pa_stream* m_pStream = nullptr;
    uint64_t m_nEpoch = 0;
    uint64_t m_nToken = 0;
    std::vector<uint8_t> m_queue;
    std::size_t m_nHead = 0;
    std::atomic<std::size_t> m_nQueued{0};
    bool m_bCorked = false;
    bool m_bEnding = false;
};

}  // namespace

std::unique_ptr<AudioSink> makePulseSink(int sampleRate, const std::string& description) {
    return std::make_unique<PulseSink>(sampleRate, description);
}

}  // namespace synth
