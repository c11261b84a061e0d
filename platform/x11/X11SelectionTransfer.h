#pragma once
// The text of one selection (CLIPBOARD, PRIMARY), fetched from its owner on a private X
// connection: the request, the bounded waits, an INCR transfer (ICCCM 2.7.2), a size cap and
// the decoding, all under the X error trap. Owners that never answer, stall or die
// mid-transfer cost one bounded wait; a text larger than the cap is refused without being
// held in full. Callers keep only their policy: which selection, how long, how much, and
// whether an unanswered request may still be answered at the next read.

#include <X11/Xlib.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace platform::x11 {

class X11SelectionTransfer {
  public:
    struct Policy {
        const char* selection;  // the selection's atom name
        // The longest wait for a fresh request's answer and between the parts of an INCR
        // transfer.
        int answerMs;
        // The largest text taken, in the bytes the owner sends.
        std::size_t maxBytes;
        // A request not answered in time stays outstanding, so an owner that answers late is
        // heard at the next read without being asked again. Otherwise it is abandoned with
        // the window it named, so a late answer can never pass for a later request.
        bool keepUnanswered;
    };

    // displayName nullptr: $DISPLAY.
    X11SelectionTransfer(const char* displayName, const Policy& policy);
    ~X11SelectionTransfer();
    X11SelectionTransfer(const X11SelectionTransfer&) = delete;
    X11SelectionTransfer& operator=(const X11SelectionTransfer&) = delete;

    bool Ok() const { return m_display != nullptr; }
    // The selection's owner now, None when there is none (or no connection).
    Window Owner();
    // The owner's text (UTF8_STRING, else text/plain;charset=utf-8, else Latin-1 STRING) as
    // UTF-16; nullopt when there is no owner, it offers no text, has not answered in time,
    // stalled or vanished mid-transfer, or sends more than maxBytes.
    std::optional<std::u16string> ReadText();
    // The owner's data for one target (a MIME type such as text/html) as it sends it; nullopt
    // on the same failures as ReadText, or when the owner refuses the target. A text request
    // still outstanding is given up.
    std::optional<std::string> ReadTarget(const char* target);

  private:
    using Clock = std::chrono::steady_clock;
    enum class Take { Done, Failed, TooLarge };
    std::optional<std::u16string> Read();
    void EnsureWindow();
    bool WaitForEvent(int type, Clock::time_point deadline, XEvent* event);
    Take ReadProperty(std::string* out, Atom* type);
    Take TakeProperty(std::string* out, Atom* type);
    void Forget();
    void Abandon();

    Display* m_display = nullptr;
    Window m_window = None;
    Atom m_selection = None, m_property = None, m_incr = None;
    Atom m_targets[3] = {None, None, None};
    Policy m_policy;
    // The outstanding request: to whom, for which target, since when.
    Window m_pendingOwner = None;
    int m_nPendingTarget = -1;
    Clock::time_point m_pendingSince;
};

}  // namespace platform::x11
