#include "platform/x11/X11PrimarySelection.h"

#include <QClipboard>
#include <QGuiApplication>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>

#include "platform/Utf8.h"
#include "platform/x11/X11Support.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

std::u16string FromLatin1(const std::string& bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (const char c : bytes) out.push_back(static_cast<unsigned char>(c));
    return out;
}

}  // namespace

struct X11PrimarySelection::Impl {
    Display* display = nullptr;
    Atom utf8 = None, incr = None, property = None;
    // Qt's connection, to recognise a selection this program owns itself: asking ourselves
    // on another connection would wait for an answer only our blocked GUI thread could give.
    std::uint32_t qtBase = 0, qtMask = 0;
    bool hasQt = false;

    explicit Impl(const char* name) {
        display = XOpenDisplay(name);
        if (!display) return;
        utf8 = XInternAtom(display, "UTF8_STRING", False);
        incr = XInternAtom(display, "INCR", False);
        property = XInternAtom(display, "SELVARINE_PRIMARY", False);
        auto* x11 =
            qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (x11 && x11->connection()) {
            const xcb_setup_t* setup = xcb_get_setup(x11->connection());
            qtBase = setup->resource_id_base;
            qtMask = setup->resource_id_mask;
            hasQt = true;
        }
    }
    ~Impl() {
        if (display) XCloseDisplay(display);
    }

    // Waits for the owner's SelectionNotify on window until the deadline.
    bool WaitForAnswer(Window window, Clock::time_point deadline, XEvent* event) {
        for (;;) {
            if (XCheckTypedWindowEvent(display, window, SelectionNotify, event)) return true;
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return false;
            pollfd fd{ConnectionNumber(display), POLLIN, 0};
            poll(&fd, 1, static_cast<int>(left.count()));
        }
    }

    // One conversion; nullopt when refused, unanswered, too large or sent in pieces (INCR).
    std::optional<std::u16string> Convert(Window window, Atom target, Clock::time_point deadline,
                                          bool* answered) {
        XConvertSelection(display, XA_PRIMARY, target, property, window, CurrentTime);
        XFlush(display);
        XEvent event;
        *answered = WaitForAnswer(window, deadline, &event);
        if (!*answered || event.xselection.property == None) return std::nullopt;
        const x11::X11Property data(display, window, property, AnyPropertyType, kMaxBytes / 4 + 1);
        XDeleteProperty(display, window, property);
        if (!data.Ok() || data.Type() == incr || data.Format() != 8) return std::nullopt;
        std::string bytes = data.Bytes();
        if (static_cast<long>(bytes.size()) > kMaxBytes) return std::nullopt;
        if (data.Type() == XA_STRING) return FromLatin1(bytes);
        return utf8::ToUtf16(bytes);
    }

    std::optional<std::u16string> Text() {
        if (!display) return std::nullopt;
        const Window owner = XGetSelectionOwner(display, XA_PRIMARY);
        if (owner == None) return std::nullopt;
        if (hasQt && (owner & ~qtMask) == qtBase) {
            const QString text = QGuiApplication::clipboard()->text(QClipboard::Selection);
            if (text.isEmpty()) return std::nullopt;
            return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                                  static_cast<std::size_t>(text.size()));
        }
        // A fresh window for each read: a late answer to an earlier, abandoned request can then
        // never pass for this one.
        XSetWindowAttributes attributes{};
        const Window window =
            XCreateWindow(display, DefaultRootWindow(display), -1, -1, 1, 1, 0, CopyFromParent,
                          InputOnly, CopyFromParent, 0, &attributes);
        const auto deadline = Clock::now() + std::chrono::milliseconds(kAnswerWaitMs);
        bool answered = false;
        std::optional<std::u16string> text = Convert(window, utf8, deadline, &answered);
        // Owners from before UTF-8 (ICCCM 2.6.2) offer Latin-1 STRING only.
        if (!text && answered) text = Convert(window, XA_STRING, deadline, &answered);
        XDestroyWindow(display, window);
        XFlush(display);
        if (text && text->empty()) return std::nullopt;
        return text;
    }
};

X11PrimarySelection::X11PrimarySelection(const char* displayName)
    : m_impl(std::make_unique<Impl>(displayName)) {}
X11PrimarySelection::~X11PrimarySelection() = default;

std::optional<std::u16string> X11PrimarySelection::Text() {
    return m_impl->Text();
}

}  // namespace platform
