#pragma once
// The global shortcuts as the settings file stores them: REG_SZ values under the top key in
// Qt's portable key-sequence text ("Ctrl+Alt+Shift+S"). Absent means the default, empty turns
// the shortcut off, text that does not parse is reported and the default used. Only read:
// nothing is written for them.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/GlobalShortcuts.h"
#include "platform/RegistryHive.h"
#include "app/Actions.h"

namespace settings {

// The shortcuts' slots: the ids they are registered with.
enum Shortcut : int {
    kShortcutReadSelection,
    kShortcutReadAll,
    kShortcutPauseResume,
    kShortcutStop,
    kShortcutNextSentence,
    kShortcutPreviousSentence,
    kShortcutFaster,
    kShortcutSlower
};
inline constexpr int kShortcutCount = 8;

struct ShortcutSetting {
    const char* valueName;
    const char* defaultText;
    Action action;
};

// Indexed by Shortcut.
inline constexpr std::array<ShortcutSetting, kShortcutCount> kShortcutSettings{{
    {"ShortcutReadSelection", "Ctrl+Alt+Shift+S", Action::ReadSelection},
    {"ShortcutReadAll", "Ctrl+Alt+Shift+A", Action::ReadAll},
    {"ShortcutPauseResume", "Ctrl+Alt+Shift+P", Action::PauseResume},
    {"ShortcutStop", "Ctrl+Alt+Shift+X", Action::Stop},
    {"ShortcutNextSentence", "Ctrl+Alt+Shift+Right", Action::NextSentence},
    {"ShortcutPreviousSentence", "Ctrl+Alt+Shift+Left", Action::PreviousSentence},
    {"ShortcutFaster", "Ctrl+Alt+Shift+Up", Action::Faster},
    {"ShortcutSlower", "Ctrl+Alt+Shift+Down", Action::Slower},
}};

// One chord: modifiers Ctrl, Shift, Alt, Meta (any order and case) joined by '+', then one key:
// a single printable character, F1 to F35, or a key name (Space, Esc, Tab, Backspace, Return,
// Enter, Ins, Del, Pause, Print, Home, End, Left, Up, Right, Down, PgUp, PgDown, Menu).
// nullopt when the text is anything else, sequences of several chords included.
std::optional<platform::KeyChord> ParseKeySequence(std::string_view text);

struct ShortcutInForce {
    std::optional<platform::KeyChord> chord;  // nullopt: turned off
    std::string text;                         // as stored, or the default
};

// Reads the values. report gets one line for each value that does not parse.
std::array<ShortcutInForce, kShortcutCount> LoadShortcuts(
    platform::RegistryHive& hive, const std::function<void(const std::string&)>& report);

// Registers every shortcut in force with id = its Shortcut. report gets one line for
// each that cannot be had (held by another program, or no such key); the others still work.
void TakeShortcuts(platform::GlobalShortcuts& shortcuts,
                   const std::array<ShortcutInForce, kShortcutCount>& inForce,
                   const std::function<void(const std::string&)>& report);

}  // namespace settings
