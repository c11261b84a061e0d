#pragma once
// Reads the text of the CLIPBOARD selection from its owner on a private X connection, with
// every wait bounded: an owner that never answers costs one short wait, not a frozen toolbar.
// A request the owner has not answered yet stays outstanding, so an owner that answers late
// is heard at the next read without being asked again.

#include <X11/Xlib.h>

#include <chrono>
#include <optional>
#include <string>

namespace platform::x11 {

class X11SelectionReader {
public:
    // answerMs: the longest wait for a fresh request's answer and between the parts of an
    // incremental transfer.
    X11SelectionReader(const char* displayName, int answerMs);
    ~X11SelectionReader();
    X11SelectionReader(const X11SelectionReader&) = delete;
    X11SelectionReader& operator=(const X11SelectionReader&) = delete;

    bool Ok() const { return m_display != nullptr; }
    // The owner's text (UTF8_STRING, else text/plain;charset=utf-8, else Latin-1 STRING) as
    // UTF-16; nullopt when there is no owner, it offers no text or has not answered in time.
    std::optional<std::u16string> ReadText();

private:
    using Clock = std::chrono::steady_clock;
    bool WaitForEvent(int type, Clock::time_point deadline, XEvent* event);
    std::optional<std::string> TakeProperty(Clock::time_point deadline, Atom* type);
    void Forget();

    Display* m_display = nullptr;
    Window m_window = None;
    Atom m_clipboard = None, m_property = None, m_incr = None;
    Atom m_targets[3] = {None, None, None};
    int m_nAnswerMs;
    // The outstanding request: to whom, for which target, since when.
    Window m_pendingOwner = None;
    int m_nPendingTarget = -1;
    Clock::time_point m_pendingSince;
};

}  // namespace platform::x11
