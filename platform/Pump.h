#pragma once
// The GUI thread's event queue and clock, for handlers that wait without a nested loop.

#include <algorithm>
#include <functional>

namespace platform {

class Pump {
  public:
    virtual ~Pump() = default;
    // Dispatches every event already queued (timers, input, clipboard notices) and returns
    // once the queue is empty. Handlers may run re-entrantly inside.
    virtual void Drain() = 0;
    // Blocks the thread without dispatching anything.
    virtual void Sleep(int milliseconds) = 0;
    // The seconds field (0-59) of the local wall-clock time.
    virtual int LocalSecond() = 0;

    // Waits about milliseconds while the window stays responsive: dispatches the queue every
    // kSliceMs. Returns false as soon as stop() holds after a dispatch (a handler inside
    // ended the wait's purpose), true when the time ran out.
    static constexpr int kSliceMs = 10;
    bool ResponsiveWait(int milliseconds, const std::function<bool()>& stop) {
        for (int waited = 0; waited < milliseconds; waited += kSliceMs) {
            Drain();
            if (stop()) return false;
            Sleep(std::min(kSliceMs, milliseconds - waited));
        }
        Drain();
        return !stop();
    }
};

}  // namespace platform
