#include "platform/x11/X11ActivationHistory.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include "platform/x11/X11Support.h"

namespace platform {

struct X11ActivationHistory::Impl final : QAbstractNativeEventFilter {
    Display* display = nullptr;
    Window root = None;
    std::optional<x11::Atoms> atoms;
    std::optional<WindowId> current, previous;

    Impl() {
        auto* x11 =
            qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (!x11 || !x11->display()) return;
        display = x11->display();
        root = DefaultRootWindow(display);
        atoms.emplace(display);
        // Event masks are per client: Qt's own selection on the root stays, this adds to it.
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display, root, &attributes)) return;
        XSelectInput(display, root, attributes.your_event_mask | PropertyChangeMask);
        current = Read();
        qGuiApp->installNativeEventFilter(this);
    }

    ~Impl() override {
        if (current && qGuiApp) qGuiApp->removeNativeEventFilter(this);
    }

    // nullopt without a window manager. Mutter sets the property only once an X11 window has
    // had the focus: until then no X11 window was active.
    std::optional<WindowId> Read() {
        x11::X11ErrorTrap trap(display);
        x11::X11Property active(display, root, (*atoms)[x11::Atoms::NET_ACTIVE_WINDOW], XA_WINDOW,
                                1);
        if (!active.Ok()) {
            x11::X11Property wm(display, root, (*atoms)[x11::Atoms::NET_SUPPORTING_WM_CHECK],
                                XA_WINDOW, 1);
            if (wm.Longs().empty()) return std::nullopt;
            return kNoWindow;
        }
        const auto longs = active.Longs();
        return longs.empty() ? kNoWindow : static_cast<WindowId>(longs[0]);
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (notify->window != root || notify->atom != (*atoms)[x11::Atoms::NET_ACTIVE_WINDOW])
            return false;
        const std::optional<WindowId> now = Read();
        if (now != current) {
            previous = current;
            current = now;
        }
        return false;
    }
};

X11ActivationHistory::X11ActivationHistory() : m_impl(std::make_unique<Impl>()) {}
X11ActivationHistory::~X11ActivationHistory() = default;

std::optional<WindowId> X11ActivationHistory::LastActiveOtherThan(WindowId w) {
    const Impl& d = *m_impl;
    if (d.current && *d.current != w) return d.current;
    return d.previous;
}

}  // namespace platform
