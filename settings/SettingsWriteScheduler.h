#pragma once
// Spaces out the settings file's writes while changes keep coming: a drag moves the toolbar
// dozens of times a second, and each write costs two fsyncs. The values are in force in
// memory at once; the file is written when the event loop is next free, then at most once
// per interval while changes go on, and once more after the last change.

#include <cstdint>
#include <functional>

class SettingsWriteScheduler {
  public:
    static constexpr int kIntervalMs = 250;

    // write: writes what is pending; arm: starts a one-shot timer that calls OnTimer after
    // delayMs; nowMs: a monotonic clock.
    SettingsWriteScheduler(std::function<void()> write, std::function<void(int delayMs)> arm,
                           std::function<std::int64_t()> nowMs);

    // A change is waiting in memory.
    void Changed();
    // The armed timer fired.
    void OnTimer();
    // Writes now whatever is pending (before the program ends or a modal dialog opens).
    void Flush();

    static std::int64_t SteadyNowMs();

  private:
    std::function<void()> m_write;
    std::function<void(int)> m_arm;
    std::function<std::int64_t()> m_now;
    bool m_bArmed = false;
    bool m_bWritten = false;  // at least one write happened
    std::int64_t m_lastWrite = 0;
};
