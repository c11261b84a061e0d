#include "synth/audio/PlaybackClock.h"

#include <algorithm>
#include <chrono>

namespace synth {

int64_t PlaybackClock::nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void PlaybackClock::reset() {
    std::lock_guard lock(m_mutex);
    m_nSent = 0;
    m_nHeardBase = 0;
    m_bTimed = false;
    m_bEnded = false;
    m_bPlayedOut = false;
}

void PlaybackClock::sent(int64_t samples) {
    std::lock_guard lock(m_mutex);
    m_nSent += samples;
}

void PlaybackClock::resend(int64_t samples) {
    std::lock_guard lock(m_mutex);
    m_nSent -= samples;
    m_nHeardBase = std::min(m_nHeardBase, m_nSent);
    m_bTimed = false;
    m_bPlayedOut = false;
}

void PlaybackClock::measured(int64_t pending, int64_t nowNs) {
    std::lock_guard lock(m_mutex);
    m_nHeardBase = std::max<int64_t>(0, m_nSent - pending);
    m_nStampNs = nowNs;
    m_bTimed = true;
}

void PlaybackClock::end() {
    std::lock_guard lock(m_mutex);
    m_bEnded = true;
}

bool PlaybackClock::ended() const {
    std::lock_guard lock(m_mutex);
    return m_bEnded;
}

int64_t PlaybackClock::heard(bool playing, int64_t queued, int64_t nowNs) const {
    std::lock_guard lock(m_mutex);
    if (m_bPlayedOut) return -1;
    int64_t heard = m_nHeardBase;
    if (m_bTimed && playing) heard += (nowNs - m_nStampNs) * m_nRate / 1000000000;
    const int64_t total = m_nSent + queued;
    heard = std::min(heard, m_nSent);
    // Once over, it stays over: a later measurement may count audio the server renders
    // ahead of playback as still to come.
    if (m_bEnded && heard >= total) {
        m_bPlayedOut = true;
        return -1;
    }
    return heard;
}

}  // namespace synth
