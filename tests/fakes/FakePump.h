#pragma once
// A virtual clock and an event queue the test fills. Sleep advances the clock; every
// LocalSecond read costs a millisecond, so busy waits on the clock terminate.

#include <functional>
#include <vector>

#include "platform/Pump.h"

class FakePump : public platform::Pump {
  public:
    void Drain() override {
        ++drains;
        // Events queued by handlers run in a later drain, like posted messages.
        auto due = std::move(queued);
        queued.clear();
        for (auto& event : due) event();
        if (onDrain) onDrain();
    }
    void Sleep(int ms) override {
        sleeps.push_back(ms);
        nowMs += ms;
    }
    int LocalSecond() override {
        const int second = static_cast<int>((nowMs / 1000) % 60);
        nowMs += 1;
        return second;
    }

    void Post(std::function<void()> event) { queued.push_back(std::move(event)); }

    long long nowMs = 0;
    int drains = 0;
    std::vector<int> sleeps;
    std::vector<std::function<void()>> queued;
    std::function<void()> onDrain;
};
