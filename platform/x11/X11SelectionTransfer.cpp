#include "platform/x11/X11SelectionTransfer.h"

#include <X11/Xatom.h>
#include <poll.h>

#include <algorithm>
#include <cstring>

#include "platform/Utf8.h"
#include "platform/x11/X11Support.h"

namespace platform::x11 {
namespace {

// An owner that has not answered within this time is asked again: the request may be lost.
constexpr auto kAskAgainAfter = std::chrono::seconds(2);
// The most one property read asks for, in 32-bit units (4 MB).
constexpr long kPartLongs = 1 << 20;

std::u16string FromLatin1(const std::string& bytes) {
    std::u16string out(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) out[i] = static_cast<unsigned char>(bytes[i]);
    return out;
}

}  // namespace

X11SelectionTransfer::X11SelectionTransfer(const char* displayName, const Policy& policy)
    : m_policy(policy) {
    m_display = XOpenDisplay(displayName);
    if (!m_display) return;
    char* names[] = {const_cast<char*>(policy.selection), const_cast<char*>("SELVARINE_SELECTION"),
                     const_cast<char*>("INCR"), const_cast<char*>("UTF8_STRING"),
                     const_cast<char*>("text/plain;charset=utf-8")};
    Atom atoms[5] = {};
    XInternAtoms(m_display, names, 5, False, atoms);
    m_selection = atoms[0];
    m_property = atoms[1];
    m_incr = atoms[2];
    m_targets[0] = atoms[3];
    m_targets[1] = atoms[4];
    m_targets[2] = XA_STRING;
}

X11SelectionTransfer::~X11SelectionTransfer() {
    if (m_display) XCloseDisplay(m_display);
}

Window X11SelectionTransfer::Owner() {
    if (!m_display) return None;
    X11ErrorTrap trap(m_display);
    return XGetSelectionOwner(m_display, m_selection);
}

void X11SelectionTransfer::Forget() {
    m_pendingOwner = None;
    m_nPendingTarget = -1;
    if (m_window != None) XDeleteProperty(m_display, m_window, m_property);
}

// An owner still sending parts, or answering late, then writes to a window that is gone: its
// data can never mix into a later transfer.
void X11SelectionTransfer::Abandon() {
    m_pendingOwner = None;
    m_nPendingTarget = -1;
    if (m_window != None) XDestroyWindow(m_display, m_window);
    m_window = None;
    XFlush(m_display);
}

// Events on this connection are only those of our own windows, so others can be dropped.
bool X11SelectionTransfer::WaitForEvent(int type, Clock::time_point deadline, XEvent* event) {
    while (true) {
        while (XPending(m_display) > 0) {
            XNextEvent(m_display, event);
            if (event->type != type || event->xany.window != m_window) continue;
            if (type == SelectionNotify && event->xselection.selection != m_selection) continue;
            if (type == PropertyNotify &&
                (event->xproperty.atom != m_property || event->xproperty.state != PropertyNewValue))
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

// Appends our property's value to out and deletes it. Never asks for more than the room left
// under the cap (and 4 bytes to see that it is exceeded).
X11SelectionTransfer::Take X11SelectionTransfer::ReadProperty(std::string* out, Atom* type) {
    long offset = 0;
    while (true) {
        const std::size_t room = m_policy.maxBytes - std::min(out->size(), m_policy.maxBytes);
        const long longs = static_cast<long>(std::min<std::size_t>(kPartLongs, room / 4 + 1));
        Atom actual = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* raw = nullptr;
        if (XGetWindowProperty(m_display, m_window, m_property, offset, longs, False,
                               AnyPropertyType, &actual, &format, &count, &after, &raw) != Success)
            return Take::Failed;
        XPtr<unsigned char> data(raw);
        if (actual == None) return Take::Failed;
        *type = actual;
        // Xlib hands format-32 items as longs; the offset counts the server's 32-bit units.
        const std::size_t bytes = count * (format == 32 ? sizeof(long) : format / 8);
        if (out->size() + bytes > m_policy.maxBytes) return Take::TooLarge;
        out->append(reinterpret_cast<const char*>(raw), bytes);
        if (after == 0) break;
        offset += static_cast<long>(count * static_cast<unsigned long>(format / 8) / 4);
    }
    XDeleteProperty(m_display, m_window, m_property);
    XFlush(m_display);
    return Take::Done;
}

// Takes the answer; an INCR answer is followed to its end (ICCCM 2.7.2), each part within the
// answer time, and refused as soon as its announced lower bound or its parts pass the cap.
X11SelectionTransfer::Take X11SelectionTransfer::TakeProperty(std::string* out, Atom* type) {
    const Take first = ReadProperty(out, type);
    if (first != Take::Done || *type != m_incr) return first;
    unsigned long lowerBound = 0;
    if (out->size() >= sizeof lowerBound) std::memcpy(&lowerBound, out->data(), sizeof lowerBound);
    if (lowerBound > m_policy.maxBytes) return Take::TooLarge;
    out->clear();
    auto deadline = Clock::now() + std::chrono::milliseconds(m_policy.answerMs);
    while (true) {
        XEvent event;
        if (!WaitForEvent(PropertyNotify, deadline, &event)) return Take::Failed;
        const std::size_t before = out->size();
        const Take part = ReadProperty(out, type);
        if (part != Take::Done) return part;
        if (out->size() == before) return Take::Done;  // the empty part ends the transfer
        deadline = Clock::now() + std::chrono::milliseconds(m_policy.answerMs);
    }
}

std::optional<std::u16string> X11SelectionTransfer::ReadText() {
    if (!m_display) return std::nullopt;
    X11ErrorTrap trap(m_display);
    return Read();
}

void X11SelectionTransfer::EnsureWindow() {
    if (m_window != None) return;
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    m_window = XCreateWindow(m_display, DefaultRootWindow(m_display), -1, -1, 1, 1, 0,
                             CopyFromParent, InputOnly, CopyFromParent, CWEventMask, &attributes);
}

std::optional<std::string> X11SelectionTransfer::ReadTarget(const char* targetName) {
    if (!m_display) return std::nullopt;
    X11ErrorTrap trap(m_display);
    if (m_nPendingTarget >= 0) Abandon();
    if (XGetSelectionOwner(m_display, m_selection) == None) return std::nullopt;
    const Atom target = XInternAtom(m_display, targetName, False);
    EnsureWindow();
    XDeleteProperty(m_display, m_window, m_property);
    XConvertSelection(m_display, m_selection, target, m_property, m_window, CurrentTime);
    XFlush(m_display);
    const auto deadline = Clock::now() + std::chrono::milliseconds(m_policy.answerMs);
    XEvent event;
    bool answered = false;
    while (!answered && WaitForEvent(SelectionNotify, deadline, &event))
        answered = event.xselection.target == target;
    // Not answered in time: a late answer must not reach a later request's property.
    if (!answered) {
        Abandon();
        return std::nullopt;
    }
    if (event.xselection.property == None) return std::nullopt;
    Atom type = None;
    std::string bytes;
    if (TakeProperty(&bytes, &type) != Take::Done) {
        Abandon();
        return std::nullopt;
    }
    if (type != target) return std::nullopt;
    return bytes;
}

std::optional<std::u16string> X11SelectionTransfer::Read() {
    const Window owner = XGetSelectionOwner(m_display, m_selection);
    if (m_nPendingTarget >= 0 &&
        (owner != m_pendingOwner || Clock::now() - m_pendingSince > kAskAgainAfter))
        Forget();
    if (owner == None) return std::nullopt;
    EnsureWindow();
    int target = m_nPendingTarget < 0 ? 0 : m_nPendingTarget;
    // A request sent in an earlier read is only looked at: its owner had its wait already.
    bool fresh = m_nPendingTarget < 0;
    for (; target < 3; ++target, fresh = true) {
        if (fresh) {
            XDeleteProperty(m_display, m_window, m_property);
            XConvertSelection(m_display, m_selection, m_targets[target], m_property, m_window,
                              CurrentTime);
            XFlush(m_display);
            m_pendingOwner = owner;
            m_nPendingTarget = target;
            m_pendingSince = Clock::now();
        }
        const auto deadline =
            fresh ? Clock::now() + std::chrono::milliseconds(m_policy.answerMs) : Clock::now();
        XEvent event;
        bool answered = false;
        while (WaitForEvent(SelectionNotify, deadline, &event))
            if (event.xselection.target == m_targets[target]) {
                answered = true;
                break;
            }
        if (!answered) {
            if (!m_policy.keepUnanswered) Abandon();
            return std::nullopt;
        }
        m_pendingOwner = None;
        m_nPendingTarget = -1;
        if (event.xselection.property == None) continue;  // refused: try the next form
        Atom type = None;
        std::string bytes;
        if (TakeProperty(&bytes, &type) != Take::Done) {
            Abandon();
            return std::nullopt;
        }
        // Some owners answer every request with what they hold (an image, say) under its type.
        if (type != m_targets[target]) continue;
        if (target < 2) return utf8::ToUtf16(bytes);
        return FromLatin1(bytes);
    }
    return std::nullopt;
}

}  // namespace platform::x11
