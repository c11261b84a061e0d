#pragma once
// Top-level windows of the desktop, as the toolbar needs them: the search for a running
// copy at start-up and the choice of the window to read from.

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// A top-level application window (an X11 client window, never a window-manager frame).
using WindowId = std::uintptr_t;
inline constexpr WindowId kNoWindow = 0;

// What a window says its program is (X11 WM_CLASS: instance and class name).
struct WindowClass {
    std::string instance;
    std::string name;
};

class WindowSystem {
  public:
    virtual ~WindowSystem() = default;

    // Application windows in stacking order, topmost first. Empty when the display is gone.
    virtual std::vector<WindowId> TopLevelWindows() = 0;
    // Mapped and not minimised.
    virtual bool IsVisible(WindowId w) = 0;
    // The title as UTF-8; empty when the window has none or no longer exists.
    virtual std::string Title(WindowId w) = 0;
    // Kept above ordinary windows (always on top).
    virtual bool IsTopmost(WindowId w) = 0;
    // Asks for w to become the active window. Returns at once; see ActiveWindow().
    virtual void SetForeground(WindowId w) = 0;
    // The active window, or kNoWindow.
    virtual WindowId ActiveWindow() = 0;
    // The process id the window declares (_NET_WM_PID), 0 when unknown.
    virtual long WindowPid(WindowId w) = 0;
    // Empty strings when the window declares none or no longer exists.
    virtual WindowClass Class(WindowId w) = 0;
};

}  // namespace platform
