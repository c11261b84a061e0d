#pragma once
// Synthetic keystrokes into whatever window has the keyboard focus.

namespace platform {

class KeyInjector {
  public:
    virtual ~KeyInjector() = default;
    // Left Control down, letter down, letter up, Left Control up, in one batch.
    // letter is 'a' to 'z'. False when the keys could not be sent (no display, no keycode for
    // one of the keys on this keyboard layout).
    virtual bool SendControlChord(char letter) = 0;
    // Whether a modifier key (Shift, Control, Alt, Meta, AltGr; not the lock keys) is
    // physically held down now. False when the keyboard cannot be asked.
    virtual bool ModifiersHeld() = 0;
};

}  // namespace platform
