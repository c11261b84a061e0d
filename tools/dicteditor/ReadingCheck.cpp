#include "tools/dicteditor/ReadingCheck.h"

namespace dicteditor {

ReadingCheck::ReadingCheck(Lookup lookup, Done done)
    : m_lookup(std::move(lookup)), m_done(std::move(done)), m_thread([this] { Run(); }) {}

ReadingCheck::~ReadingCheck() {
    {
        std::lock_guard lock(m_mutex);
        m_bStopping = true;
    }
    m_cv.notify_all();
    m_thread.join();
}

uint64_t ReadingCheck::Request(std::string utf8) {
    uint64_t request;
    {
        std::lock_guard lock(m_mutex);
        m_pending = std::move(utf8);
        request = ++m_nLatest;
    }
    m_cv.notify_all();
    return request;
}

void ReadingCheck::Run() {
    std::unique_lock lock(m_mutex);
    while (true) {
        m_cv.wait(lock, [this] { return m_bStopping || m_pending; });
        if (m_bStopping) return;
        const std::string text = std::move(*m_pending);
        m_pending.reset();
        const uint64_t request = m_nLatest;
        lock.unlock();
        const std::string result = m_lookup(text);
        lock.lock();
        // A newer request is waiting: its answer is the one that counts.
        if (m_bStopping || m_pending) continue;
        lock.unlock();
        m_done(request, result);
        lock.lock();
    }
}

}  // namespace dicteditor
