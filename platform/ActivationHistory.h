#pragma once
// Which window the user was in before the toolbar was clicked: by the time a button acts, the
// window system's active window is the toolbar itself.

#include <optional>

#include "platform/WindowSystem.h"

namespace platform {

class ActivationHistory {
  public:
    virtual ~ActivationHistory() = default;
    // The window most recently active other than w: kNoWindow when that was none of this
    // display's windows (through XWayland, a native Wayland window had the focus); nullopt
    // while it is not known.
    virtual std::optional<WindowId> LastActiveOtherThan(WindowId w) = 0;
};

}  // namespace platform
