#include "settings/SettingsWriteScheduler.h"

#include <algorithm>
#include <chrono>

SettingsWriteScheduler::SettingsWriteScheduler(std::function<void()> write,
                                               std::function<void(int)> arm,
                                               std::function<std::int64_t()> nowMs)
    : m_write(std::move(write)), m_arm(std::move(arm)), m_now(std::move(nowMs)) {}

void SettingsWriteScheduler::Changed() {
    if (m_bArmed) return;  // the armed write takes this change along
    const std::int64_t due = m_bWritten ? m_lastWrite + kIntervalMs : 0;
    m_bArmed = true;
    m_arm(static_cast<int>(std::max<std::int64_t>(0, due - m_now())));
}

void SettingsWriteScheduler::OnTimer() {
    m_bArmed = false;
    Flush();
}

void SettingsWriteScheduler::Flush() {
    m_write();
    m_bWritten = true;
    m_lastWrite = m_now();
}

std::int64_t SettingsWriteScheduler::SteadyNowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
