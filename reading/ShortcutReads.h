#pragma once
// Reads started while another window has the focus (a global shortcut, the command line).
// Read selection speaks the selection at once when the platform has one to give (no keys, no
// clipboard); only without one does it take the read button's path. Injected keys wait until
// the user has let go of the chord's modifiers: a held Alt would turn the copy chord into
// another. Read clipboard speaks the clipboard's text as it stands and leaves it there.

namespace platform {
class Clipboard;
class KeyInjector;
class Pump;
class Selection;
}  // namespace platform

namespace reading {

class ReadingCommands;

class ShortcutReads {
  public:
    // How long injected keys wait for the modifiers, and how often they look.
    static constexpr int kReleaseWaitMs = 1500;
    static constexpr int kReleasePollMs = 10;

    ShortcutReads(ReadingCommands& reading, platform::Selection& selection,
                  platform::Clipboard& clipboard, platform::KeyInjector& keys,
                  platform::Pump& pump);

    void ReadSelection();
    void ReadAll();
    // False when the clipboard holds no text (nothing was read).
    bool ReadClipboard();

  private:
    void WaitForModifiersReleased();

    ReadingCommands& m_reading;
    platform::Selection& m_selection;
    platform::Clipboard& m_clipboard;
    platform::KeyInjector& m_keys;
    platform::Pump& m_pump;
};

}  // namespace reading
