#pragma once
// Records the chords; onChord lets a test play the target application's part (copying).

#include <functional>
#include <string>

#include "platform/KeyInjector.h"

class FakeKeyInjector : public platform::KeyInjector {
  public:
    bool SendControlChord(char letter) override {
        chords.push_back(letter);
        if (onChord) onChord(letter);
        return ok;
    }
    std::string chords;
    bool ok = true;
    std::function<void(char)> onChord;
};
