#include "platform/qt/QuitSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {
namespace {

int g_fds[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Only async-signal-safe work here: one byte down the pipe, read on the event loop.
void OnSignal(int signo) {
    const unsigned char byte = static_cast<unsigned char>(signo);
    const int saved = errno;
    [[maybe_unused]] const ssize_t n = write(g_fds[0], &byte, 1);
    errno = saved;
}

}  // namespace

QuitSignals::QuitSignals(std::function<void()> onQuit) : m_onQuit(std::move(onQuit)) {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_fds) != 0) return;
    m_notifier = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char byte;
        while (read(g_fds[1], &byte, 1) == 1) m_onQuit();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signo : kSignals) sigaction(signo, &action, nullptr);
}

QuitSignals::~QuitSignals() {
    for (int signo : kSignals) std::signal(signo, SIG_DFL);
    delete m_notifier;
    for (int& fd : g_fds) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
}

}  // namespace platform
