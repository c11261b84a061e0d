#include "synth/audio/pulse/PulseStream.h"

#include <algorithm>

#include "engine/Diagnostics.h"
#include "synth/audio/pulse/PulseConnection.h"

namespace synth::pulse {
namespace {

std::atomic<bool> g_bWarnedNoServer{false};

void warnNoServer() {
    if (!g_bWarnedNoServer.exchange(true))
        diag::Say(diag::Level::Error, "no sound server; speech is not played");
}

void dropOperation(pa_operation* op) {
    if (op) pa_operation_unref(op);
}

}  // namespace

PulseStream::PulseStream(PulseConnection& conn, int sampleRate, std::string description)
    : m_conn(conn),
      m_nRate(sampleRate),
      m_strDescription(std::move(description)),
      m_queue(kTargetMs * static_cast<std::size_t>(sampleRate) * 2 / 1000),
      m_clock(sampleRate) {}

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
    m_clock.reset();
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

void PulseStream::writeLocked(uint64_t token, const int16_t* samples, std::size_t count) {
    if (token != m_nToken || m_bDiscarding) return;
    m_queue.append(samples, count);
    pumpLocked();
}

void PulseStream::markLocked(uint64_t token) {
    if (token != m_nToken || m_bDiscarding) return;
    m_queue.mark();
}

void PulseStream::endLocked(uint64_t token) {
    if (token != m_nToken) return;
    m_bEnding = true;
    m_clock.end();
    pumpLocked();
}

void PulseStream::applyRequestsLocked() {
    if (m_nCancels != m_nCancelsApplied) {
        m_nCancelsApplied = m_nCancels;
        clearLocked();
        m_bHeld = false;
        if (m_pStream && pa_stream_get_state(m_pStream) == PA_STREAM_READY)
            dropOperation(pa_stream_flush(m_pStream, nullptr, nullptr));
    }
    setCorkedLocked(m_bWantCorked);
}

void PulseStream::onServerReadyLocked(uint64_t epoch) {
    if (!m_pStream || m_nEpoch != epoch || !PA_STREAM_IS_GOOD(pa_stream_get_state(m_pStream)))
        createStreamLocked();
    if (m_pStream) m_bHeld = false;
    pumpLocked();
}

// Audio of a playing utterance is dropped, so the worker is not held back by it; a paused
// one that the server was playing goes back to the start of the sentence being heard and
// waits while it stays paused. One that never reached a server, or is resumed before the
// server is back, is dropped as a playing one.
void PulseStream::onServerLostLocked() {
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

void PulseStream::dropStreamLocked() {
    if (!m_pStream) return;
    releaseStreamLocked();
    clearLocked();
}

void PulseStream::releaseStreamLocked() {
    if (!m_pStream) return;
    pa_stream_set_write_callback(m_pStream, nullptr, nullptr);
    pa_stream_set_state_callback(m_pStream, nullptr, nullptr);
    pa_stream_set_latency_update_callback(m_pStream, nullptr, nullptr);
    pa_stream_set_started_callback(m_pStream, nullptr, nullptr);
    pa_stream_disconnect(m_pStream);
    pa_stream_unref(m_pStream);
    m_pStream = nullptr;
}

void PulseStream::clearLocked() {
    m_queue.clear();
    m_nQueued = 0;
    m_bEnding = false;
}

// What is sent again is heard again.
void PulseStream::rewindLocked() {
    m_clock.resend(static_cast<int64_t>(m_queue.rewind() / 2));
    m_bEnding = m_clock.ended();
    m_nQueued = m_queue.unsentBytes();
}

void PulseStream::setCorkedLocked(bool corked) {
    if (m_pStream && pa_stream_get_state(m_pStream) == PA_STREAM_READY && corked != m_bCorked)
        dropOperation(pa_stream_cork(m_pStream, corked ? 1 : 0, nullptr, nullptr));
    m_bCorked = corked;
    pumpLocked();
}

// A pause that came while the stream was still being set up takes hold once it is ready.
void PulseStream::onStateLocked() {
    if (!m_pStream || pa_stream_get_state(m_pStream) != PA_STREAM_READY) return;
    const int corked = pa_stream_is_corked(m_pStream);
    if (corked >= 0 && (corked != 0) != m_bCorked)
        dropOperation(pa_stream_cork(m_pStream, m_bCorked ? 1 : 0, nullptr, nullptr));
    pumpLocked();
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
    if (diag::Timing())
        pa_stream_set_started_callback(
            m_pStream,
            [](pa_stream*, void*) {
                diag::Say(diag::Level::Timing, "the sound server starts playing");
            },
            nullptr);
    // A short start threshold gets the first words out at once; the target length keeps a
    // pause or stop at the server within a few milliseconds (a cork takes 0.3 to 5.5 ms).
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
        while (m_queue.unsentBytes() > 0) {
            const std::size_t writable = pa_stream_writable_size(m_pStream);
            if (writable == 0 || writable == static_cast<std::size_t>(-1)) break;
            const std::size_t n = std::min(writable, m_queue.unsentBytes()) & ~std::size_t{1};
            if (n == 0) break;
            if (pa_stream_write(m_pStream, m_queue.unsent(), n, nullptr, 0, PA_SEEK_RELATIVE) < 0)
                break;
            m_queue.sent(n);
            m_clock.sent(static_cast<int64_t>(n / 2));
        }
        if (m_queue.unsentBytes() == 0 && m_bEnding) {
            // Audio shorter than the start threshold would otherwise wait for more.
            dropOperation(pa_stream_trigger(m_pStream, nullptr, nullptr));
            m_bEnding = false;
        }
        m_queue.compact();
    }
    m_nQueued = m_queue.unsentBytes();
    measureLocked();
}

// Notes how much of what was sent has been heard, from the server's latency.
void PulseStream::measureLocked() {
    if (!m_pStream || pa_stream_get_state(m_pStream) != PA_STREAM_READY) return;
    pa_usec_t latency = 0;
    int negative = 0;
    if (pa_stream_get_latency(m_pStream, &latency, &negative) < 0) return;
    const int64_t pending = negative ? 0 : static_cast<int64_t>(latency) * m_nRate / 1000000;
    m_clock.measured(pending, PlaybackClock::nowNs());
}

}  // namespace synth::pulse
