#pragma once
// The running toolbar on the D-Bus session bus, and the command line's way to it. The toolbar
// owns kService and answers kMethod(action name) on kPath; the caller gets its answer at once
// and the action runs afterwards on the GUI thread, so a caller never waits for a reading and
// an action never runs inside the bus's dispatch.

#include <functional>
#include <memory>
#include <string>

namespace platform {

inline constexpr const char* kToolbarService = "org.selvarine.Toolbar";
inline constexpr const char* kToolbarPath = "/org/selvarine/Toolbar";
inline constexpr const char* kToolbarInterface = "org.selvarine.Toolbar";
inline constexpr const char* kToolbarMethod = "Act";

// Whether this process has a session bus to talk to: DBUS_SESSION_BUS_ADDRESS, or the user
// bus at $XDG_RUNTIME_DIR/bus. Asked first because without either the D-Bus library would
// launch a bus of its own for the X display, which would outlive us.
bool SessionBusConfigured();

// Owns the service name while it lives. Construct after the QCoreApplication.
class ToolbarBusService {
  public:
    // act runs each requested action by name; false means it is not one it knows.
    explicit ToolbarBusService(std::function<bool(const std::string&)> act);
    ~ToolbarBusService();
    ToolbarBusService(const ToolbarBusService&) = delete;
    ToolbarBusService& operator=(const ToolbarBusService&) = delete;

    // False, with the reason, when there is no session bus or the name is held by another.
    bool Ok() const { return m_bOk; }
    const std::string& Problem() const { return m_strProblem; }

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    bool m_bOk = false;
    std::string m_strProblem;
};

enum class SendResult { Sent, NoToolbar, NoBus, Refused };

// Hands action to the running toolbar. NoToolbar: nobody owns the service. NoBus: the session
// bus cannot be reached. Refused: the toolbar answered with an error (problem says which).
// Needs a QCoreApplication; waits at most timeoutMs for the answer.
SendResult SendToToolbar(const std::string& action, int timeoutMs, std::string* problem);

// Waits until some process owns the service, at most timeoutMs, and only while alive() (the
// toolbar being started) holds.
bool WaitForToolbar(int timeoutMs, const std::function<bool()>& alive);

}  // namespace platform
