#include "platform/qt/QtTimers.h"

#include <QTimer>

namespace platform {

QtTimers::QtTimers(QObject* owner, std::function<void(int)> onTimeout)
    : m_owner(owner), m_onTimeout(std::move(onTimeout)) {}

void QtTimers::Start(int id, int periodMs) {
    QTimer*& timer = m_timers[id];
    if (!timer) {
        timer = new QTimer(m_owner);
        QObject::connect(timer, &QTimer::timeout, m_owner, [this, id] { m_onTimeout(id); });
    }
    timer->start(periodMs);
}

void QtTimers::Stop(int id) {
    auto it = m_timers.find(id);
    if (it != m_timers.end()) it->second->stop();
}

void QtTimers::StopAll() {
    for (auto& [id, timer] : m_timers) timer->stop();
}

}  // namespace platform
