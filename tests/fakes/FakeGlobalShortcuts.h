#pragma once
// Records the chords registered; chords listed in `taken` are refused as held elsewhere.

#include <functional>
#include <map>
#include <vector>

#include "platform/GlobalShortcuts.h"

class FakeGlobalShortcuts : public platform::GlobalShortcuts {
  public:
    Grab Register(int id, const platform::KeyChord& chord) override {
        for (const platform::KeyChord& t : taken)
            if (t == chord) return Grab::Taken;
        registered[id] = chord;
        return Grab::Ok;
    }
    void SetListener(std::function<void(int)> l) override { listener = std::move(l); }

    std::vector<platform::KeyChord> taken;
    std::map<int, platform::KeyChord> registered;
    std::function<void(int)> listener;
};
