#pragma once
// One connection to the sound server for the whole process, shared by the engines' streams,
// with its main-loop thread. The engines' controls never take the main-loop lock (see
// PulseStream.h); they ask through wake(), and the main loop carries the requests out.

#include <pulse/pulseaudio.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace synth::pulse {

class PulseStream;

class PulseConnection {
  public:
    static std::shared_ptr<PulseConnection> instance();
    ~PulseConnection();
    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    pa_threaded_mainloop* loop() const { return m_pLoop; }
    pa_context* context() const { return m_pContext; }
    uint64_t epoch() const { return m_nEpoch; }

    // Any thread, never blocks. The stream joins the connection (which starts connecting if
    // it has not yet) the next time the main loop runs.
    void add(std::shared_ptr<PulseStream> stream);
    void wake();

    enum class Server { Ready, Connecting, Absent };
    // Lock held. Starts a connection, or a new one after the server went away, and never
    // waits for it. No autospawn: starting a server is not ours to do.
    Server ensureLocked();

  private:
    PulseConnection();

    // Main loop, lock held.
    void onWake();
    bool anyHeldLocked() const;
    void reconnectIfHeldLocked();
    void retryLaterLocked();
    void onContextState();
    void dropContextLocked();

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

}  // namespace synth::pulse
