// The window the user was in before the toolbar, followed through the root's
// _NET_ACTIVE_WINDOW on the private Xvfb of x11_clipboard_tests. The test sets the property as
// a window manager does (XWayland's names no window while a native Wayland one has the focus).

#include <QGuiApplication>

#include <gtest/gtest.h>
// After gtest, which has a type of its own named None.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>

#include "platform/x11/X11ActivationHistory.h"

namespace {

class WindowManagerSays {
  public:
    WindowManagerSays() : m_display(XOpenDisplay(nullptr)) {
        m_root = DefaultRootWindow(m_display);
        m_active = XInternAtom(m_display, "_NET_ACTIVE_WINDOW", False);
        m_check = XInternAtom(m_display, "_NET_SUPPORTING_WM_CHECK", False);
    }
    ~WindowManagerSays() {
        XDeleteProperty(m_display, m_root, m_active);
        XDeleteProperty(m_display, m_root, m_check);
        XCloseDisplay(m_display);
    }
    void Runs() { Set(m_check, m_root); }
    void Active(unsigned long window) { Set(m_active, window); }

  private:
    void Set(Atom property, unsigned long value) {
        XChangeProperty(m_display, m_root, property, XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&value), 1);
        XSync(m_display, False);
    }
    Display* m_display;
    Window m_root = 0;
    Atom m_active = 0, m_check = 0;
};

// Dispatches Qt's events until history answers `want` for the toolbar, or a second passes.
bool Answers(platform::X11ActivationHistory& history, std::optional<platform::WindowId> want) {
    constexpr platform::WindowId kToolbar = 0x100;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (history.LastActiveOtherThan(kToolbar) == want) return true;
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

TEST(X11ActivationHistory, NamesTheWindowActiveBeforeTheToolbar) {
    WindowManagerSays wm;
    {
        platform::X11ActivationHistory history;
        EXPECT_TRUE(Answers(history, std::nullopt)) << "no window manager: nothing is known";
    }
    wm.Runs();  // and has not set _NET_ACTIVE_WINDOW yet (mutter before any X11 focus)
    platform::X11ActivationHistory history;
    EXPECT_TRUE(Answers(history, platform::kNoWindow));
    const struct {
        const char* what;
        unsigned long active;
        std::optional<platform::WindowId> before;
    } steps[] = {
        {"a Wayland window has the focus", 0, platform::kNoWindow},
        {"then the toolbar", 0x100, platform::kNoWindow},
        {"an X11 editor", 0x200, 0x200},
        {"the toolbar again", 0x100, 0x200},
        {"a Wayland window again", 0, platform::kNoWindow},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        wm.Active(step.active);
        EXPECT_TRUE(Answers(history, step.before));
    }
}

}  // namespace
