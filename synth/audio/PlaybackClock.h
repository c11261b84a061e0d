#pragma once
// The playback position of an utterance that a sound server plays: what it was sent, less
// what its latency says is still to come, carried forward at the stream's rate between
// measurements while it plays. Asking never waits for the server.
//
// Any thread; times are steady-clock nanoseconds handed in, so a test steps its own clock.

#include <cstdint>
#include <mutex>

namespace synth {

class PlaybackClock {
  public:
    explicit PlaybackClock(int sampleRate) : m_nRate(sampleRate) {}

    // A new utterance.
    void reset();
    void sent(int64_t samples);
    // Samples already sent that will be sent again (a stream made anew after a server loss).
    void resend(int64_t samples);
    // The server's latency, measured at `nowNs`: `pending` samples sent are not heard yet.
    void measured(int64_t pending, int64_t nowNs);
    // The utterance is complete: once all of it is heard, it has played out.
    void end();
    bool ended() const;

    // Samples heard at `nowNs`, or -1 once the utterance has played out (it stays so until
    // reset or resend). `playing`: not paused; `queued`: samples not sent yet.
    int64_t heard(bool playing, int64_t queued, int64_t nowNs) const;

    static int64_t nowNs();

  private:
    const int m_nRate;
    mutable std::mutex m_mutex;
    int64_t m_nSent = 0;       // handed to the server
    int64_t m_nHeardBase = 0;  // heard at m_nStampNs
    int64_t m_nStampNs = 0;
    bool m_bTimed = false;              // a measurement was taken
    bool m_bEnded = false;              // the utterance is complete
    mutable bool m_bPlayedOut = false;  // and heard to its end
};

}  // namespace synth
