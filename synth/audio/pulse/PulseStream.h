#pragma once
// One engine's playback stream and its queue.
//
// The engines' controls (stop, pause, resume) and loading run on the caller's thread, which
// is the toolbar's user-interface thread, so they never take the sound server's main-loop
// lock: a lock that the main loop and the speech worker hold while they talk to a server that
// may be slow or hung. They set what they want in atomics and wake the main loop, which
// carries it out. Only the speech worker (begin, write, end) takes the lock, and never waits
// for the server while holding it: audio waits in the local queue until the server answers.
//
// A reading paused when the server goes away is kept, from the start of the sentence that
// was being heard: when the server is back (the connection is retried every second while it
// is paused, and at resume), the stream is made again and resume says that sentence again and
// goes on. A reading that was playing is dropped instead, as its listener has already missed
// part of it; so is a paused one resumed while the server is still away.
//
// Members without `std::atomic` are touched only with the main-loop lock held.

#include <pulse/pulseaudio.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "synth/audio/PlaybackClock.h"
#include "synth/audio/SentenceQueue.h"

namespace synth::pulse {

class PulseConnection;

class PulseStream {
  public:
    PulseStream(PulseConnection& conn, int sampleRate, std::string description);

    // Any thread, never blocks.
    void requestCancel() {
        m_nToken = 0;
        m_bWantCorked = false;
        ++m_nCancels;
    }
    void requestCorked(bool corked) { m_bWantCorked = corked; }
    void retire() { m_bRetired = true; }
    bool retired() const { return m_bRetired; }
    bool wantsMore() const {
        return m_bDiscarding ||
               m_nQueued < kQueueLimitSeconds * static_cast<std::size_t>(m_nRate) * 2;
    }
    // Any thread, never waits for the server.
    int64_t heardSamples(uint64_t token) const {
        if (token == 0 || token != m_nToken) return -1;
        return m_clock.heard(!m_bWantCorked, static_cast<int64_t>(m_nQueued.load() / 2),
                             PlaybackClock::nowNs());
    }

    // Worker, lock held.
    void beginLocked(uint64_t token, const std::atomic<uint64_t>& current);
    void writeLocked(uint64_t token, const int16_t* samples, std::size_t count);
    void markLocked(uint64_t token);
    void endLocked(uint64_t token);

    // Main loop, lock held.
    bool held() const { return m_bHeld && !m_pStream; }  // waits for the server to come back
    void applyRequestsLocked();
    void onServerReadyLocked(uint64_t epoch);
    void onServerLostLocked();
    void dropStreamLocked();

  private:
    static constexpr std::size_t kQueueLimitSeconds = 1;
    static constexpr std::size_t kTargetMs = 150;  // the server's target length (tlength)

    void createStreamLocked();
    void releaseStreamLocked();
    void clearLocked();
    void rewindLocked();
    void setCorkedLocked(bool corked);
    void onStateLocked();
    void pumpLocked();
    void measureLocked();

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
    SentenceQueue m_queue;
    std::atomic<std::size_t> m_nQueued{0};  // bytes not yet sent
    bool m_bCorked = false;
    bool m_bEnding = false;  // the server is to be told to play out what it has
    bool m_bHeld = false;    // a paused utterance waits for the server to come back
    PlaybackClock m_clock;   // of the open utterance
};

}  // namespace synth::pulse
