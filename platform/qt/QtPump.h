#pragma once
// Pump on the Qt event loop of the calling (GUI) thread.

#include "platform/Pump.h"

namespace platform {

class QtPump final : public Pump {
  public:
    void Drain() override;
    void Sleep(int milliseconds) override;
    int LocalSecond() override;
};

}  // namespace platform
