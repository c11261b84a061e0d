#pragma once
// Key chords that reach the program whatever window has the keyboard focus.

#include <functional>

namespace platform {

enum KeyModifier : unsigned {
    kModShift = 1u << 0,
    kModControl = 1u << 1,
    kModAlt = 1u << 2,
    kModMeta = 1u << 3,  // the "Windows" (Super) key
};

// Keys that are not one printable character, numbered past Unicode so they never meet one.
enum SpecialKey : char32_t {
    kKeyEscape = 0x110000,
    kKeyTab,
    kKeyBackspace,
    kKeyReturn,
    kKeyEnter,  // the keypad's
    kKeyInsert,
    kKeyDelete,
    kKeyPause,
    kKeyPrint,
    kKeyHome,
    kKeyEnd,
    kKeyLeft,
    kKeyUp,
    kKeyRight,
    kKeyDown,
    kKeyPageUp,
    kKeyPageDown,
    kKeyMenu,
    kKeyF1 = 0x110100,  // F1 to F35 are kKeyF1 + 0 to 34
};
inline constexpr int kMaxFunctionKey = 35;

struct KeyChord {
    unsigned modifiers = 0;  // KeyModifier bits
    // A printable key as its character (ASCII letters in lower case, ' ' for Space), or a
    // SpecialKey.
    char32_t key = 0;
    bool operator==(const KeyChord&) const = default;
};

class GlobalShortcuts {
  public:
    enum class Grab { Ok, Taken, NoKey };

    virtual ~GlobalShortcuts() = default;
    // Takes the chord for the whole desktop, whatever the state of Caps Lock and Num Lock.
    // Taken: another program holds it (nothing of it is kept); NoKey: this keyboard has no key
    // for it.
    virtual Grab Register(int id, const KeyChord& chord) = 0;
    // Called with the id of a chord pressed (key repeat does not count), on the GUI thread from
    // its event loop, never from inside another handler.
    virtual void SetListener(std::function<void(int id)> listener) = 0;
};

}  // namespace platform
