#pragma once
// What the global shortcuts do. Read selection speaks the selection at once when the
// platform has one to give (no keys, no clipboard); only without one does it take the read
// button's path. Read all, pause/resume and stop are the buttons' commands; the sentence
// moves and the speed those of the menu. Injected keys wait
// until the user has let go of the shortcut's modifiers: a held Alt would turn the copy chord
// into another.

namespace platform {
class KeyInjector;
class Pump;
class Selection;
}  // namespace platform

namespace reading {

class FollowAlong;
class ReadingCommands;

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

class ShortcutCommands {
  public:
    // How long injected keys wait for the modifiers, and how often they look.
    static constexpr int kReleaseWaitMs = 1500;
    static constexpr int kReleasePollMs = 10;

    // Without follow the sentence and speed shortcuts do nothing.
    ShortcutCommands(ReadingCommands& reading, platform::Selection& selection,
                     platform::KeyInjector& keys, platform::Pump& pump,
                     FollowAlong* follow = nullptr);

    void OnShortcut(int shortcut);

  private:
    void WaitForModifiersReleased();

    ReadingCommands& m_reading;
    platform::Selection& m_selection;
    platform::KeyInjector& m_keys;
    platform::Pump& m_pump;
    FollowAlong* m_follow;
};

}  // namespace reading
