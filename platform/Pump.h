#pragma once
// The GUI thread's event queue and clock, for handlers that wait without a nested loop.

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
};

}  // namespace platform
