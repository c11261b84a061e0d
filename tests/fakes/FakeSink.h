#pragma once
// A sink with a playback clock the test steps: audio counts as heard only as far as `hear`
// moved the clock (or all of it, with `heardIsWritten`), and it wants more while less than
// `capacity` samples wait to be heard. It notes the silent runs between sounds. Any thread.

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <vector>

#include "synth/audio/AudioSink.h"

class FakeSink final : public synth::AudioSink {
  public:
    explicit FakeSink(bool heardIsWritten = true, int64_t capacity = INT64_MAX)
        : m_bHeardIsWritten(heardIsWritten), m_nCapacity(capacity) {}

    void begin(uint64_t token, const std::atomic<uint64_t>& current) override {
        std::lock_guard lock(m_mutex);
        if (current.load() != token) return;
        m_nOpen = token;
        m_nWritten = m_nHeard = m_nQuiet = 0;
        m_bEnded = m_bSounded = false;
        m_pauses.clear();
    }
    void write(uint64_t token, const int16_t* data, std::size_t count) override {
        std::lock_guard lock(m_mutex);
        if (token != m_nOpen) return;
        m_nWritten += static_cast<int64_t>(count);
        for (std::size_t i = 0; i < count; ++i) {
            if (data[i] == 0) {
                ++m_nQuiet;
                continue;
            }
            if (m_bSounded && m_nQuiet > 0) m_pauses.push_back(m_nQuiet);
            m_bSounded = true;
            m_nQuiet = 0;
        }
    }
    void end(uint64_t token) override {
        std::lock_guard lock(m_mutex);
        if (token == m_nOpen) m_bEnded = true;
    }
    void cancel() override {
        std::lock_guard lock(m_mutex);
        m_nOpen = 0;
        m_bPaused = false;
    }
    void pause() override {
        std::lock_guard lock(m_mutex);
        m_bPaused = true;
    }
    void resume() override {
        std::lock_guard lock(m_mutex);
        m_bPaused = false;
    }
    bool wantsMore() const override {
        std::lock_guard lock(m_mutex);
        return !m_bPaused && m_nWritten - heard() < m_nCapacity;
    }
    int64_t heardSamples(uint64_t token) const override {
        std::lock_guard lock(m_mutex);
        return token != 0 && token == m_nOpen ? heard() : -1;
    }

    // The clock moves on by `samples`.
    void hear(int64_t samples) {
        std::lock_guard lock(m_mutex);
        m_nHeard += samples;
    }
    int64_t written() const {
        std::lock_guard lock(m_mutex);
        return m_nWritten;
    }
    // The lengths of the silences between two sounds of the utterance, in samples.
    std::vector<int64_t> pauses() const {
        std::lock_guard lock(m_mutex);
        return m_pauses;
    }
    bool ended() const {
        std::lock_guard lock(m_mutex);
        return m_bEnded;
    }

  private:
    int64_t heard() const { return m_bHeardIsWritten ? m_nWritten : std::min(m_nHeard, m_nWritten); }

    mutable std::mutex m_mutex;
    bool m_bHeardIsWritten;
    int64_t m_nCapacity;
    uint64_t m_nOpen = 0;
    int64_t m_nWritten = 0, m_nHeard = 0, m_nQuiet = 0;
    bool m_bPaused = false, m_bEnded = false, m_bSounded = false;
    std::vector<int64_t> m_pauses;
};
