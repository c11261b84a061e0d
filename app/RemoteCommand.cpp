#include "app/RemoteCommand.h"

#include <QCoreApplication>
#include <QProcess>

#include <signal.h>

#include "engine/Diagnostics.h"
#include "platform/dbus/ToolbarBus.h"

namespace {

// A toolbar starting on a slow desktop (four engines loaded) takes well under this.
constexpr int kStartWaitMs = 10000;
constexpr int kAnswerWaitMs = 5000;

}  // namespace

int RunRemoteCommand(int argc, char** argv, const std::string& action) {
    diag::Say(diag::Level::Timing, "--%s asked", action.c_str());
    QCoreApplication app(argc, argv);
    std::string problem;
    platform::SendResult sent = platform::SendToToolbar(action, kAnswerWaitMs, &problem);
    if (sent == platform::SendResult::NoToolbar) {
        qint64 pid = 0;
        // Detached, so the toolbar outlives this command and is not its child.
        if (!QProcess::startDetached(QCoreApplication::applicationFilePath(), {}, {}, &pid)) {
            diag::Say(diag::Level::Error, "no toolbar is running, and it could not be started");
            return 1;
        }
        if (!platform::WaitForToolbar(kStartWaitMs, [pid] { return kill(pid, 0) == 0; })) {
            diag::Say(diag::Level::Error,
                      "no toolbar is running, and the one started did not come up (run "
                      "selvarine alone to see why)");
            return 1;
        }
        sent = platform::SendToToolbar(action, kAnswerWaitMs, &problem);
    }
    switch (sent) {
        case platform::SendResult::Sent:
            diag::Say(diag::Level::Timing, "the toolbar took --%s", action.c_str());
            return 0;
        case platform::SendResult::NoBus:
            diag::Say(diag::Level::Error,
                      "cannot hand --%s to the toolbar: no D-Bus session bus (%s)", action.c_str(),
                      problem.c_str());
            return 2;
        case platform::SendResult::NoToolbar:
            diag::Say(diag::Level::Error, "the toolbar left the session bus before it could act");
            return 1;
        case platform::SendResult::Refused:
            diag::Say(diag::Level::Error, "the toolbar refused --%s: %s", action.c_str(),
                      problem.c_str());
            return 1;
    }
    return 1;
}
