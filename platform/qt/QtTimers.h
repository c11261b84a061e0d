#pragma once
// A window's timers by id, as SetTimer/KillTimer give them: one repeating QTimer per id, owned
// by the window, restarted by a second start. Timeouts arrive on the window's thread.

#include <QObject>

#include <functional>
#include <map>

class QTimer;

namespace platform {

class QtTimers {
  public:
    QtTimers(QObject* owner, std::function<void(int id)> onTimeout);

    void Start(int id, int periodMs);
    void Stop(int id);
    void StopAll();

  private:
    QObject* m_owner;
    std::function<void(int)> m_onTimeout;
    std::map<int, QTimer*> m_timers;
};

}  // namespace platform
