#include "platform/x11/X11Clipboard.h"

#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <utility>

#include "platform/x11/X11SelectionTransfer.h"
#include "platform/x11/X11Support.h"

namespace platform {
namespace {

// XFixes SelectionNotify as it comes off the wire (XFixes protocol 2.0, "SelectionNotify"):
// Qt hands us raw xcb events, and libxcb-xfixes' header is not needed for one struct.
struct XFixesSelectionNotifyWire {
    std::uint8_t responseType;
    std::uint8_t subtype;
    std::uint16_t sequence;
    std::uint32_t window;
    std::uint32_t owner;
    std::uint32_t selection;
    std::uint32_t timestamp;
    std::uint32_t selectionTimestamp;
    std::uint8_t pad[8];
};
static_assert(sizeof(XFixesSelectionNotifyWire) == 32);

// The longest the toolbar waits for a clipboard owner's answer. The capture asks up to 12
// times with 500 ms pauses between; an owner that never answers then adds this once, since
// a request left unanswered is not sent again in the next ask.
constexpr int kOwnerAnswerMs = 200;
// The largest text taken off the clipboard: a bigger one is refused rather than held in
// memory several times over (UTF-8, UTF-16, the engine's code page).
constexpr std::size_t kMaxClipboardBytes = 32u << 20;

}  // namespace

struct X11Clipboard::Impl final : QAbstractNativeEventFilter {
    Display* display = nullptr;
    xcb_connection_t* connection = nullptr;
    Atom clipboardAtom = None;
    Window watchWindow = None;
    int xfixesEventBase = -1;
    std::uint32_t ownBase = 0;
    std::uint32_t ownMask = 0;
    std::function<void()> listener;
    std::unique_ptr<x11::X11SelectionTransfer> reader;
    // Text read by HasUnicodeText for the UnicodeText that follows it, and from which owner.
    std::optional<std::u16string> text;
    Window textOwner = None;

    Impl() {
        auto* x11 =
            qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (!x11 || !x11->display() || !x11->connection()) return;
        display = x11->display();
        connection = x11->connection();
        const xcb_setup_t* setup = xcb_get_setup(connection);
        ownBase = setup->resource_id_base;
        ownMask = setup->resource_id_mask;
        clipboardAtom = XInternAtom(display, "CLIPBOARD", False);
        // A connection of its own, so that waiting for an owner's answer with a deadline
        // neither competes with Qt for the events of its connection nor waits on Qt's terms.
        reader = std::make_unique<x11::X11SelectionTransfer>(
            DisplayString(display), x11::X11SelectionTransfer::Policy{"CLIPBOARD", kOwnerAnswerMs,
                                                                      kMaxClipboardBytes, true});

        int errorBase = 0;
        if (!XFixesQueryExtension(display, &xfixesEventBase, &errorBase)) {
            xfixesEventBase = -1;
            return;
        }
        int major = 0, minor = 0;
        XFixesQueryVersion(display, &major, &minor);
        XSetWindowAttributes attributes{};
        watchWindow = XCreateWindow(display, DefaultRootWindow(display), -1, -1, 1, 1, 0,
                                    CopyFromParent, InputOnly, CopyFromParent, 0, &attributes);
        XFixesSelectSelectionInput(display, watchWindow, clipboardAtom,
                                   XFixesSetSelectionOwnerNotifyMask);
        XFlush(display);
        qGuiApp->installNativeEventFilter(this);
    }

    ~Impl() override {
        if (watchWindow != None) {
            if (qGuiApp) qGuiApp->removeNativeEventFilter(this);
            x11::X11ErrorTrap trap(display);
            XDestroyWindow(display, watchWindow);
            XFlush(display);
        }
    }

    // A window id belongs to a connection when it carries that connection's resource base.
    bool IsOurs(std::uint32_t window) const { return (window & ~ownMask) == ownBase; }

    std::optional<std::u16string> Fetch() {
        text.reset();
        textOwner = XGetSelectionOwner(display, clipboardAtom);
        if (textOwner == None) return std::nullopt;
        if (IsOurs(static_cast<std::uint32_t>(textOwner)) || !reader || !reader->Ok()) {
            // Qt answers for its own windows without asking the X server.
            const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
            if (!data || !data->hasText()) return std::nullopt;
            const QString qtext = data->text();
            return std::u16string(reinterpret_cast<const char16_t*>(qtext.utf16()),
                                  static_cast<std::size_t>(qtext.size()));
        }
        return reader->ReadText();
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t" || xfixesEventBase < 0) return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) != xfixesEventBase + XFixesSelectionNotify) return false;
        const auto* notify = reinterpret_cast<const XFixesSelectionNotifyWire*>(event);
        if (notify->window != watchWindow || notify->selection != clipboardAtom) return false;
        // Our own emptying is reported with owner None, possibly well after the capture was
        // armed; and what we own ourselves is never copied text from the target.
        if (notify->owner != None && !IsOurs(notify->owner) && listener) listener();
        return false;  // Qt keeps its own view of the clipboard up to date from the same kind of
                       // event
    }
};

X11Clipboard::X11Clipboard() : m_impl(std::make_unique<Impl>()) {}
X11Clipboard::~X11Clipboard() = default;

bool X11Clipboard::Watching() const {
    return m_impl->watchWindow != None;
}

bool X11Clipboard::Open() {
    return m_impl->display != nullptr;
}

bool X11Clipboard::Empty() {
    if (!m_impl->display) return false;
    // CurrentTime: a timestamp of ours could predate the current owner's, and the server would
    // then ignore the request (ICCCM 2.1).
    m_impl->text.reset();
    x11::X11ErrorTrap trap(m_impl->display);
    XSetSelectionOwner(m_impl->display, m_impl->clipboardAtom, None, CurrentTime);
    return !trap.HadError();
}

void X11Clipboard::Close() {}

bool X11Clipboard::HasUnicodeText() {
    if (!m_impl->display) return false;
    m_impl->text = m_impl->Fetch();
    return m_impl->text.has_value();
}

std::optional<std::u16string> X11Clipboard::UnicodeText() {
    if (!m_impl->display) return std::nullopt;
    if (m_impl->text &&
        XGetSelectionOwner(m_impl->display, m_impl->clipboardAtom) == m_impl->textOwner)
        return std::exchange(m_impl->text, std::nullopt);
    return m_impl->Fetch();
}

std::optional<std::string> X11Clipboard::Html() {
    if (!m_impl->display) return std::nullopt;
    const Window owner = XGetSelectionOwner(m_impl->display, m_impl->clipboardAtom);
    if (owner == None) return std::nullopt;
    if (m_impl->IsOurs(static_cast<std::uint32_t>(owner)) || !m_impl->reader ||
        !m_impl->reader->Ok()) {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
        if (!data || !data->hasHtml()) return std::nullopt;
        return data->html().toStdString();
    }
    return m_impl->reader->ReadTarget("text/html");
}

void X11Clipboard::SetChangeListener(std::function<void()> listener) {
    m_impl->listener = std::move(listener);
}

}  // namespace platform
