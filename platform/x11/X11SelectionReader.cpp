#include "platform/x11/X11SelectionReader.h"

#include <X11/Xatom.h>
#include <poll.h>

#include "platform/Utf8.h"
#include "platform/x11/X11Support.h"

namespace platform::x11 {
namespace {

// An owner that has not answered within this time is asked again: the request may be lost.
constexpr auto kAskAgainAfter = std::chrono::seconds(2);

}  // namespace

X11SelectionReader::X11SelectionReader(const char* displayName, int answerMs)
    : m_nAnswerMs(answerMs) {
    m_display = XOpenDisplay(displayName);
    if (!m_display) return;
    m_clipboard = XInternAtom(m_display, "CLIPBOARD", False);
    m_property = XInternAtom(m_display, "SELVARINE_SELECTION", False);
    m_incr = XInternAtom(m_display, "INCR", False);
    m_targets[0] = XInternAtom(m_display, "UTF8_STRING", False);
    m_targets[1] = XInternAtom(m_display, "text/plain;charset=utf-8", False);
    m_targets[2] = XA_STRING;
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    m_window = XCreateWindow(m_display, DefaultRootWindow(m_display), -1, -1, 1, 1, 0,
                             CopyFromParent, InputOnly, CopyFromParent, CWEventMask, &attributes);
    XFlush(m_display);
}

X11SelectionReader::~X11SelectionReader() {
    if (m_display) XCloseDisplay(m_display);
}

void X11SelectionReader::Forget() {
    m_pendingOwner = None;
    m_nPendingTarget = -1;
    XDeleteProperty(m_display, m_window, m_property);
}

// Events on this connection are only those of our own window, so others can be dropped.
bool X11SelectionReader::WaitForEvent(int type, Clock::time_point deadline, XEvent* event) {
    while (true) {
        while (XPending(m_display) > 0) {
            XNextEvent(m_display, event);
            if (event->type != type) continue;
            if (type == SelectionNotify && event->xselection.selection != m_clipboard) continue;
            if (type == PropertyNotify && (event->xproperty.atom != m_property ||
                                           event->xproperty.state != PropertyNewValue))
                continue;
            return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd fd{ConnectionNumber(m_display), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left));
    }
}

// Reads and deletes our property; an INCR answer is followed to its end (ICCCM 2.7.2), each
// part within the answer time. nullopt when it is missing or the transfer stalls.
std::optional<std::string> X11SelectionReader::TakeProperty(Clock::time_point deadline,
                                                            Atom* type) {
    auto readAll = [&](Atom* type) -> std::optional<std::string> {
        std::string out;
        long offset = 0;
        while (true) {
            Atom actual = None;
            int format = 0;
            unsigned long count = 0, after = 0;
            unsigned char* raw = nullptr;
            if (XGetWindowProperty(m_display, m_window, m_property, offset, 1 << 20, False,
                                   AnyPropertyType, &actual, &format, &count, &after,
                                   &raw) != Success)
                return std::nullopt;
            XPtr<unsigned char> data(raw);
            if (actual == None) return std::nullopt;
            *type = actual;
            const std::size_t bytes = count * static_cast<std::size_t>(format == 32 ? sizeof(long) : format / 8);
            out.append(reinterpret_cast<const char*>(raw), bytes);
            if (after == 0) break;
            offset += static_cast<long>(bytes / 4);
        }
        XDeleteProperty(m_display, m_window, m_property);
        XFlush(m_display);
        return out;
    };
    std::optional<std::string> first = readAll(type);
    if (!first || *type != m_incr) return first;
    std::string text;
    while (true) {
        XEvent event;
        if (!WaitForEvent(PropertyNotify, deadline, &event)) return std::nullopt;
        std::optional<std::string> part = readAll(type);
        if (!part) return std::nullopt;
        if (part->empty()) return text;
        text += *part;
        deadline = Clock::now() + std::chrono::milliseconds(m_nAnswerMs);
    }
}

std::optional<std::u16string> X11SelectionReader::ReadText() {
    if (!m_display) return std::nullopt;
    X11ErrorTrap trap(m_display);
    const Window owner = XGetSelectionOwner(m_display, m_clipboard);
    if (m_nPendingTarget >= 0 &&
        (owner != m_pendingOwner || Clock::now() - m_pendingSince > kAskAgainAfter))
        Forget();
    if (owner == None) return std::nullopt;
    int target = m_nPendingTarget < 0 ? 0 : m_nPendingTarget;
    // A request sent in an earlier read is only looked at: its owner had its wait already.
    bool fresh = m_nPendingTarget < 0;
    for (; target < 3; ++target, fresh = true) {
        if (fresh) {
            XDeleteProperty(m_display, m_window, m_property);
            XConvertSelection(m_display, m_clipboard, m_targets[target], m_property, m_window,
                              CurrentTime);
            XFlush(m_display);
            m_pendingOwner = owner;
            m_nPendingTarget = target;
            m_pendingSince = Clock::now();
        }
        const auto deadline =
            fresh ? Clock::now() + std::chrono::milliseconds(m_nAnswerMs) : Clock::now();
        XEvent event;
        bool answered = false;
        while (WaitForEvent(SelectionNotify, deadline, &event))
            if (event.xselection.target == m_targets[target]) {
                answered = true;
                break;
            }
        if (!answered) return std::nullopt;  // still outstanding
        m_pendingOwner = None;
        m_nPendingTarget = -1;
        if (event.xselection.property == None) continue;  // refused: try the next form
        Atom type = None;
        std::optional<std::string> bytes =
            TakeProperty(Clock::now() + std::chrono::milliseconds(m_nAnswerMs), &type);
        if (!bytes) return std::nullopt;
        // Some owners answer every request with what they hold (an image, say) under its type.
        if (type != m_targets[target]) continue;
        if (target < 2) return utf8::ToUtf16(*bytes);
        std::u16string latin1(bytes->size(), u'\0');
        for (std::size_t i = 0; i < bytes->size(); ++i)
            latin1[i] = static_cast<unsigned char>((*bytes)[i]);
        return latin1;
    }
    return std::nullopt;
}

}  // namespace platform::x11
