#include "synth/audio/pulse/PulseConnection.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>

#include "synth/audio/pulse/PulseStream.h"

namespace synth::pulse {

std::shared_ptr<PulseConnection> PulseConnection::instance() {
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

PulseConnection::PulseConnection() {
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

PulseConnection::~PulseConnection() {
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

void PulseConnection::add(std::shared_ptr<PulseStream> stream) {
    {
        std::lock_guard lock(m_mutexNew);
        m_newStreams.push_back(std::move(stream));
    }
    wake();
}

void PulseConnection::wake() {
    if (m_fdWake < 0) return;
    const uint64_t one = 1;
    (void)!write(m_fdWake, &one, sizeof one);
}

PulseConnection::Server PulseConnection::ensureLocked() {
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

void PulseConnection::onWake() {
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

bool PulseConnection::anyHeldLocked() const {
    return std::any_of(m_streams.begin(), m_streams.end(),
                       [](const auto& s) { return !s->retired() && s->held(); });
}

// A held reading waits for the server, so look for it now and every second until found.
void PulseConnection::reconnectIfHeldLocked() {
    if (!anyHeldLocked()) return;
    const Server server = ensureLocked();
    if (server == Server::Ready)
        onContextState();
    else if (server == Server::Absent)
        retryLaterLocked();
}

void PulseConnection::retryLaterLocked() {
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

void PulseConnection::onContextState() {
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

void PulseConnection::dropContextLocked() {
    if (!m_pContext) return;
    pa_context_set_state_callback(m_pContext, nullptr, nullptr);
    pa_context_disconnect(m_pContext);
    pa_context_unref(m_pContext);
    m_pContext = nullptr;
}

}  // namespace synth::pulse
