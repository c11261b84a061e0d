#include "platform/x11/X11WindowSystem.h"

#include <X11/Xutil.h>

#include <algorithm>

#include "platform/x11/X11Support.h"

namespace platform {

using x11::Atoms;
using x11::X11ErrorTrap;
using x11::X11Property;

struct X11WindowSystem::Impl {
    explicit Impl(Display* d) : display(d), atoms(d), root(DefaultRootWindow(d)) {}

    bool HasWindowManager() {
        X11Property check(display, root, atoms[Atoms::NET_SUPPORTING_WM_CHECK], XA_WINDOW, 1);
        return !check.Longs().empty();
    }

    bool HasWmState(Window w) {
        X11Property state(display, w, atoms[Atoms::WM_STATE], AnyPropertyType, 2);
        return state.Ok();
    }

    // Under a reparenting window manager the root's children are frames; the client is
    // the descendant that carries WM_STATE (ICCCM 4.1.3.1).
    Window ClientOf(Window w, int depth = 0) {
        if (HasWmState(w)) return w;
        if (depth > 3) return None;
        Window rootRet = None, parent = None;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, w, &rootRet, &parent, &children, &count)) return None;
        x11::XPtr<Window> owned(children);
        for (unsigned i = count; i-- > 0;)
            if (Window c = ClientOf(children[i], depth + 1)) return c;
        return None;
    }

    std::vector<Atom> States(Window w) {
        X11Property p(display, w, atoms[Atoms::NET_WM_STATE], XA_ATOM);
        auto longs = p.Longs();
        return std::vector<Atom>(longs.begin(), longs.end());
    }

    Display* display;
    Atoms atoms;
    Window root;
};

bool X11DisplayReachable() {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return false;
    XCloseDisplay(d);
    return true;
}

X11WindowSystem::X11WindowSystem(_XDisplay* display) : m_impl(std::make_unique<Impl>(display)) {}
X11WindowSystem::~X11WindowSystem() = default;

std::vector<WindowId> X11WindowSystem::TopLevelWindows() {
    auto& d = *m_impl;
    X11ErrorTrap trap(d.display);
    std::vector<WindowId> result;
    X11Property stacking(d.display, d.root, d.atoms[Atoms::NET_CLIENT_LIST_STACKING], XA_WINDOW);
    if (stacking.Ok()) {
        // EWMH lists bottom to top.
        for (unsigned long w : stacking.Longs()) result.push_back(w);
        std::reverse(result.begin(), result.end());
        return result;
    }
    Window rootRet = None, parent = None;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d.display, d.root, &rootRet, &parent, &children, &count)) return result;
    x11::XPtr<Window> owned(children);
    bool managed = d.HasWindowManager();
    for (unsigned i = count; i-- > 0;) {  // XQueryTree lists bottom to top
        Window w = managed ? d.ClientOf(children[i]) : children[i];
        if (w != None) result.push_back(w);
    }
    return result;
}

bool X11WindowSystem::IsVisible(WindowId w) {
    auto& d = *m_impl;
    X11ErrorTrap trap(d.display);
    XWindowAttributes attrs{};
    if (!XGetWindowAttributes(d.display, w, &attrs) || attrs.map_state != IsViewable) return false;
    auto states = d.States(w);
    return std::find(states.begin(), states.end(), d.atoms[Atoms::NET_WM_STATE_HIDDEN]) ==
           states.end();
}

std::string X11WindowSystem::Title(WindowId w) {
    auto& d = *m_impl;
    X11ErrorTrap trap(d.display);
    // _NET_WM_NAME is UTF-8 by definition; WM_NAME may be Latin-1 or compound text, so it
    // is only the fallback for clients that do not set the EWMH name.
    X11Property name(d.display, w, d.atoms[Atoms::NET_WM_NAME], d.atoms[Atoms::UTF8_STRING]);
    if (name.Ok()) return name.Bytes();
    XTextProperty text{};
    if (!XGetWMName(d.display, w, &text) || !text.value) return {};
    x11::XPtr<unsigned char> owned(text.value);
    char** list = nullptr;
    int count = 0;
    std::string result;
    if (Xutf8TextPropertyToTextList(d.display, &text, &list, &count) >= Success && list) {
        if (count > 0 && list[0]) result = list[0];
        XFreeStringList(list);
    }
    return result;
}

bool X11WindowSystem::IsTopmost(WindowId w) {
    auto& d = *m_impl;
    X11ErrorTrap trap(d.display);
    auto states = d.States(w);
    return std::find(states.begin(), states.end(), d.atoms[Atoms::NET_WM_STATE_ABOVE]) !=
           states.end();
}

void X11WindowSystem::SetForeground(WindowId w) {
    auto& d = *m_impl;
    if (w == kNoWindow) return;
    X11ErrorTrap trap(d.display);
    if (d.HasWindowManager()) {
        // EWMH _NET_ACTIVE_WINDOW request; source indication 2 (a pager-like tool acting
        // for the user) so that focus-stealing prevention lets it through.
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = w;
        ev.xclient.message_type = d.atoms[Atoms::NET_ACTIVE_WINDOW];
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = 2;
        ev.xclient.data.l[1] = CurrentTime;
        XSendEvent(d.display, d.root, False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &ev);
    } else {
        XRaiseWindow(d.display, w);
        XSetInputFocus(d.display, w, RevertToParent, CurrentTime);
    }
    XFlush(d.display);
}

WindowId X11WindowSystem::ActiveWindow() {
    auto& d = *m_impl;
    X11ErrorTrap trap(d.display);
    X11Property active(d.display, d.root, d.atoms[Atoms::NET_ACTIVE_WINDOW], XA_WINDOW, 1);
    if (active.Ok()) {
        auto longs = active.Longs();
        return longs.empty() ? kNoWindow : longs[0];
    }
    // No window manager: the top-level ancestor of the focus window.
    Window focus = None;
    int revert = 0;
    XGetInputFocus(d.display, &focus, &revert);
    if (focus == None || focus == PointerRoot) return kNoWindow;
    for (Window w = focus;;) {
        Window rootRet = None, parent = None;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(d.display, w, &rootRet, &parent, &children, &count)) return kNoWindow;
        x11::XPtr<Window> owned(children);
        if (parent == d.root || parent == None) return w;
        w = parent;
    }
}

long X11WindowSystem::WindowPid(WindowId w) {
    auto& d = *m_impl;
    X11ErrorTrap trap(d.display);
    X11Property pid(d.display, w, d.atoms[Atoms::NET_WM_PID], XA_CARDINAL, 1);
    auto longs = pid.Longs();
    return longs.empty() ? 0 : static_cast<long>(longs[0]);
}

WindowClass X11WindowSystem::Class(WindowId w) {
    auto& d = *m_impl;
    X11ErrorTrap trap(d.display);
    XClassHint hint{};
    if (!XGetClassHint(d.display, w, &hint)) return {};
    x11::XPtr<char> instance(hint.res_name), name(hint.res_class);
    return {hint.res_name ? hint.res_name : "", hint.res_class ? hint.res_class : ""};
}

}  // namespace platform
