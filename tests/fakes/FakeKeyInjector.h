#pragma once
// Records the chords; onChord lets a test play the target application's part (copying).
// The modifiers read as held for a number of queries, then released.

#include <functional>
#include <string>

#include "platform/KeyInjector.h"

class FakeKeyInjector : public platform::KeyInjector {
  public:
    bool SendControlChord(char letter) override {
        chords.push_back(letter);
        if (onChord) onChord(letter);
        if (chords.size() == 1) heldQueriesBeforeFirstChord = heldQueries;
        return ok;
    }
    // Held for the first heldFor queries, as if the user let go of the keys a little later.
    bool ModifiersHeld() override { return ++heldQueries <= heldFor; }
    std::string chords;
    bool ok = true;
    std::function<void(char)> onChord;
    int heldFor = 0;
    int heldQueries = 0;
    int heldQueriesBeforeFirstChord = -1;
};
