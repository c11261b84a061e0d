#pragma once
// The read commands: read the selection (101) and read the whole text (1015). Neither reads
// anything itself: each empties the clipboard, arms the clipboard watch, brings the window the
// user was working in back to the foreground, makes it copy, and starts the capture timer;
// ReadingController picks the text up on a tick.

#include <functional>
#include <optional>
#include <string>

#include "platform/WindowSystem.h"

namespace platform {
class Clipboard;
class KeyInjector;
class MessageBox;
class Pump;
class Selection;
}  // namespace platform

namespace reading {

class ToolbarHandle;

class SelectionCapture {
  public:
    // captureTimer is the toolbar's m_bCaptureTimer: 1 while the capture timer is meant to run.
    SelectionCapture(ToolbarHandle& view, platform::WindowSystem& windows,
                     platform::Clipboard& clipboard, platform::KeyInjector& keys,
                     platform::Pump& pump, platform::MessageBox& messages, int& captureTimer);

    // How a terminal emulator's text is read, since it gets no chords (TerminalWindows.h):
    // its PRIMARY selection, handed to speak (false when nothing could be said). Without it,
    // a read from a terminal ends with the extraction message.
    struct TerminalReading {
        platform::Selection& selection;
        std::function<bool(const std::u16string&)> speak;
    };
    void ReadTerminalsWith(TerminalReading terminals) { m_terminals.emplace(std::move(terminals)); }

    void OnReadSelection() { Read(false); }
    void OnReadAll() { Read(true); }
    // Captures the selection as OnReadSelection does, for saving its speech to a file
    // (ReadingController::SaveTextWith) instead of speaking it.
    void OnSaveSelection() { Read(false, true); }

    // Ends the capture in progress, if any, without a message: disarms the clipboard watch,
    // stops the capture timer, and makes the pumped waits of that capture return (stop,
    // close, and every new read command).
    void EndCapture();

    // Chooses the target among the desktop's windows (topmost first) and brings it to the
    // foreground. Public for tests of the selection rules.
    void ActivateTargetWindow();

  private:
    void Read(bool selectAll, bool save = false);
    // The read of a target that must not get chords.
    void ReadTerminal(bool selectAll);
    bool IsTerminal(platform::WindowId window);
    // One window of the enumeration; false stops it.
    bool EnumTargetWindowProc(platform::WindowId window);
    // Injects Ctrl+letter after the pumped delay; false, with nothing injected, when the
    // delay's handlers ended this capture.
    bool SendChord(char letter, unsigned capture);
    void Warn(const char* text);

    ToolbarHandle& m_view;
    platform::WindowSystem& m_windows;
    platform::Clipboard& m_clipboard;
    platform::KeyInjector& m_keys;
    platform::Pump& m_pump;
    platform::MessageBox& m_messages;
    int& m_bCaptureTimer;
    std::optional<TerminalReading> m_terminals;
    platform::WindowId m_hTarget = platform::kNoWindow;  // brought to the foreground by this read
    std::string m_strHalfWidthName;  // the two titles never chosen, in code page 932
    std::string m_strFullWidthName;
};

}  // namespace reading
