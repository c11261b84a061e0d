// Runs on a real X server (tests/platform/x11_window_system_test.sh starts Xvfb, with or
// without openbox, and says which through SELVARINE_TEST_WM).

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "platform/x11/X11WindowSystem.h"

namespace {

bool WithWindowManager() { return std::getenv("SELVARINE_TEST_WM") != nullptr; }

bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
    for (int i = 0; i < ms / 10; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

class X11WindowSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_display = XOpenDisplay(nullptr);
        ASSERT_NE(m_display, nullptr) << "needs an X display";
    }
    void TearDown() override {
        for (Window w : m_windows) XDestroyWindow(m_display, w);
        XCloseDisplay(m_display);
    }

    // A top-level window titled through _NET_WM_NAME (utf8) or only WM_NAME.
    Window Make(const std::string& title, bool netName = true, bool above = false) {
        Window w = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 10, 10, 100, 50,
                                       0, 0, 0);
        if (netName) {
            XChangeProperty(m_display, w, XInternAtom(m_display, "_NET_WM_NAME", False),
                            XInternAtom(m_display, "UTF8_STRING", False), 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(title.data()),
                            static_cast<int>(title.size()));
        } else {
            XStoreName(m_display, w, title.c_str());
        }
        if (above) {
            Atom state = XInternAtom(m_display, "_NET_WM_STATE_ABOVE", False);
            XChangeProperty(m_display, w, XInternAtom(m_display, "_NET_WM_STATE", False), XA_ATOM,
                            32, PropModeReplace, reinterpret_cast<unsigned char*>(&state), 1);
        }
        XMapWindow(m_display, w);
        XSync(m_display, False);
        m_windows.push_back(w);
        return w;
    }

    Display* m_display = nullptr;
    std::vector<Window> m_windows;
};

}  // namespace

TEST_F(X11WindowSystemTest, ListsTitlesVisibilityAndStackingTopmostFirst) {
    platform::X11WindowSystem ws(m_display);
    Window bottom = Make("下の窓 bottom");
    Window plain = Make("Latin-1 only", false);
    Window top = Make("Selvarine 日中英韓", true, true);
    auto listed = [&] {
        auto all = ws.TopLevelWindows();
        std::vector<platform::WindowId> ours;
        for (auto w : all)
            if (w == bottom || w == plain || w == top) ours.push_back(w);
        return ours;
    };
    ASSERT_TRUE(WaitFor([&] { return listed().size() == 3; }))
        << (WithWindowManager() ? "with" : "without") << " a window manager; listed "
        << listed().size() << " of ours among " << ws.TopLevelWindows().size();
    if (WithWindowManager()) {
        // The window manager puts the always-on-top window above the others.
        EXPECT_EQ(listed().front(), top);
        EXPECT_TRUE(ws.IsTopmost(top));
    } else {
        EXPECT_EQ(listed(), (std::vector<platform::WindowId>{top, plain, bottom}));
    }
    EXPECT_FALSE(ws.IsTopmost(bottom));
    EXPECT_EQ(ws.Title(top), "Selvarine 日中英韓");
    EXPECT_EQ(ws.Title(bottom), "下の窓 bottom");
    EXPECT_EQ(ws.Title(plain), "Latin-1 only");
    EXPECT_TRUE(WaitFor([&] { return ws.IsVisible(plain); }));

    // Minimised under a window manager, withdrawn without one.
    if (WithWindowManager())
        XIconifyWindow(m_display, plain, DefaultScreen(m_display));
    else
        XUnmapWindow(m_display, plain);
    XSync(m_display, False);
    EXPECT_TRUE(WaitFor([&] { return !ws.IsVisible(plain); }));

    SCOPED_TRACE("a window that vanished is answered, not fatal");
    Window gone = Make("gone");
    XDestroyWindow(m_display, gone);
    m_windows.pop_back();
    XSync(m_display, False);
    EXPECT_EQ(ws.Title(gone), "");
    EXPECT_FALSE(ws.IsVisible(gone));
    EXPECT_FALSE(ws.IsTopmost(gone));
    ws.SetForeground(gone);
}

TEST_F(X11WindowSystemTest, SetForegroundMakesTheWindowActive) {
    platform::X11WindowSystem ws(m_display);
    Window a = Make("first");
    Window b = Make("second");
    ASSERT_TRUE(WaitFor([&] { return ws.IsVisible(a) && ws.IsVisible(b); }));
    ws.SetForeground(a);
    EXPECT_TRUE(WaitFor([&] { return ws.ActiveWindow() == a; }));
    ws.SetForeground(b);
    EXPECT_TRUE(WaitFor([&] { return ws.ActiveWindow() == b; }));
}
