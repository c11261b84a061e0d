#include "platform/qt/QtPump.h"

#include <QCoreApplication>

#include <chrono>
#include <ctime>
#include <thread>

namespace platform {

void QtPump::Drain() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtPump::Sleep(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

int QtPump::LocalSecond() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_sec;
}

}  // namespace platform
