#pragma once
// The read commands: read the selection (101) and read the whole text (1015). Neither reads
// anything itself: each empties the clipboard, arms the clipboard watch, brings the window the
// user was working in back to the foreground, makes it copy, and starts the capture timer;
// ReadingController picks the text up on a tick.

#include <string>

#include "platform/WindowSystem.h"

namespace platform {
class Clipboard;
class KeyInjector;
class MessageBox;
class Pump;
}  // namespace platform

namespace reading {

class ToolbarHandle;

class SelectionCapture {
  public:
    // captureTimer is the toolbar's m_bCaptureTimer: 1 while the capture timer is meant to run.
    SelectionCapture(ToolbarHandle& view, platform::WindowSystem& windows,
                     platform::Clipboard& clipboard, platform::KeyInjector& keys,
                     platform::Pump& pump, platform::MessageBox& messages, int& captureTimer);

    void OnReadSelection() { Read(false); }
    void OnReadAll() { Read(true); }

    // Chooses the target among the desktop's windows (topmost first) and brings it to the
    // foreground. Public for tests of the selection rules.
    void ActivateTargetWindow();

  private:
    void Read(bool selectAll);
    // One window of the enumeration; false stops it.
    bool EnumTargetWindowProc(platform::WindowId window);
    void SendChord(char letter);
    void Warn(const char* text);

    ToolbarHandle& m_view;
    platform::WindowSystem& m_windows;
    platform::Clipboard& m_clipboard;
    platform::KeyInjector& m_keys;
    platform::Pump& m_pump;
    platform::MessageBox& m_messages;
    int& m_bCaptureTimer;
    std::string m_strHalfWidthName;  // the two titles never chosen, in code page 932
    std::string m_strFullWidthName;
};

}  // namespace reading
