#pragma once
// What the reading subsystem asks of the toolbar window: its native id, activation, timers
// and a posted close. The toolbar's view implements it; tests use a fake.

#include "platform/WindowSystem.h"

namespace reading {

// The toolbar's window title: a second copy recognises a running one by it, and it is the
// caption of the toolbar's warnings.
inline constexpr const char* kToolbarTitle = "Selvarine 日中英韓";

inline constexpr int kCaptureTimerId = 1;
inline constexpr int kCaptureTimerMs = 50;

class ToolbarHandle {
  public:
    virtual ~ToolbarHandle() = default;

    virtual platform::WindowId NativeWindow() = 0;
    // Makes the toolbar itself the active window.
    virtual void Activate() = 0;
    // Window timers; their events come back to the toolbar's OnTimer.
    virtual bool SetTimer(int id, int periodMs) = 0;
    virtual void KillTimer(int id) = 0;
    // Queues a close request (handled later, like a posted WM_CLOSE).
    virtual void PostClose() = 0;
};

}  // namespace reading
