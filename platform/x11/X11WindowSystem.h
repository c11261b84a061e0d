#pragma once
// WindowSystem on X11 with EWMH: the window manager's stacking list when one runs, the
// server's window tree when none does.

#include <memory>

#include "platform/WindowSystem.h"

struct _XDisplay;

namespace platform {

// Whether the X server named by $DISPLAY accepts a connection (checked before the toolkit
// starts, which would abort without one).
bool X11DisplayReachable();

class X11WindowSystem final : public WindowSystem {
public:
    // The display stays owned by the caller and must outlive this object.
    explicit X11WindowSystem(_XDisplay* display);
    ~X11WindowSystem() override;

    std::vector<WindowId> TopLevelWindows() override;
    bool IsVisible(WindowId w) override;
    std::string Title(WindowId w) override;
    bool IsTopmost(WindowId w) override;
    void SetForeground(WindowId w) override;
    WindowId ActiveWindow() override;
    long WindowPid(WindowId w) override;
    WindowClass Class(WindowId w) override;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
