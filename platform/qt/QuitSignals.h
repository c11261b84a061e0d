#pragma once
// Turns SIGTERM, SIGINT and SIGHUP (a logout, Ctrl+C, a closed terminal) into a call on the
// Qt event loop, so the program ends through its ordinary teardown: the pending settings are
// written and the engines unloaded, instead of the process vanishing mid-way.

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace platform {

class QuitSignals final : public QObject {
public:
    // onQuit runs on the event loop's thread, once per signal received. Only one instance
    // may exist at a time.
    explicit QuitSignals(std::function<void()> onQuit);
    ~QuitSignals() override;

private:
    std::function<void()> m_onQuit;
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace platform
