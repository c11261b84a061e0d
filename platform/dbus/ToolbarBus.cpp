#include "platform/dbus/ToolbarBus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QMetaObject>
#include <QThread>

#include <sys/stat.h>

#include <cstdlib>

#include "engine/Diagnostics.h"

namespace platform {

namespace {

const QString kError = QStringLiteral("org.selvarine.Toolbar.Error.UnknownAction");

// A virtual object, so the one method needs no meta-object compiler.
class ActObject final : public QDBusVirtualObject {
  public:
    explicit ActObject(std::function<bool(const std::string&)> act) : m_act(std::move(act)) {}

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.interface() != QLatin1String(kToolbarInterface) ||
            message.member() != QLatin1String(kToolbarMethod))
            return false;
        const QList<QVariant> args = message.arguments();
        if (args.size() != 1 || args[0].metaType() != QMetaType::fromType<QString>()) {
            connection.send(message.createErrorReply(QDBusError::InvalidArgs,
                                                     QStringLiteral("one string expected")));
            return true;
        }
        const std::string action = args[0].toString().toStdString();
        diag::Say(diag::Level::Timing, "%s asked over the session bus", action.c_str());
        connection.send(message.createReply(true));
        // Queued: the caller has its answer before a reading (which pumps events) begins.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [act = m_act, action] { act(action); },
            Qt::QueuedConnection);
        return true;
    }

    QString introspect(const QString&) const override {
        return QStringLiteral(
                   "<interface name=\"%1\"><method name=\"%2\"><arg name=\"action\" type=\"s\" "
                   "direction=\"in\"/><arg name=\"accepted\" type=\"b\" direction=\"out\"/>"
                   "</method></interface>")
            .arg(QLatin1String(kToolbarInterface), QLatin1String(kToolbarMethod));
    }

  private:
    std::function<bool(const std::string&)> m_act;
};

}  // namespace

bool SessionBusConfigured() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address) return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st;
    return runtime && *runtime && stat((std::string(runtime) + "/bus").c_str(), &st) == 0 &&
           S_ISSOCK(st.st_mode);
}

struct ToolbarBusService::Impl {
    ActObject object;
    QDBusConnection bus{QString()};  // none until a session bus is known to be there
    bool registered = false;
    explicit Impl(std::function<bool(const std::string&)> act) : object(std::move(act)) {}
    ~Impl() {
        if (!registered) return;
        bus.unregisterObject(QLatin1String(kToolbarPath));
        bus.unregisterService(QLatin1String(kToolbarService));
    }
};

ToolbarBusService::ToolbarBusService(std::function<bool(const std::string&)> act)
    : m_impl(std::make_unique<Impl>(std::move(act))) {
    if (!SessionBusConfigured()) {
        m_strProblem = "no D-Bus session bus (DBUS_SESSION_BUS_ADDRESS is not set)";
        return;
    }
    m_impl->bus = QDBusConnection::sessionBus();
    QDBusConnection& bus = m_impl->bus;
    if (!bus.isConnected()) {
        m_strProblem = "no D-Bus session bus: " + bus.lastError().message().toStdString();
        return;
    }
    if (!bus.registerVirtualObject(QLatin1String(kToolbarPath), &m_impl->object)) {
        m_strProblem = "cannot register the toolbar's object on the session bus";
        return;
    }
    if (!bus.registerService(QLatin1String(kToolbarService))) {
        bus.unregisterObject(QLatin1String(kToolbarPath));
        m_strProblem =
            std::string("the bus name ") + kToolbarService + " is held by another process";
        return;
    }
    m_impl->registered = true;
    m_bOk = true;
}

ToolbarBusService::~ToolbarBusService() = default;

SendResult SendToToolbar(const std::string& action, int timeoutMs, std::string* problem) {
    if (!SessionBusConfigured()) {
        if (problem) *problem = "DBUS_SESSION_BUS_ADDRESS is not set";
        return SendResult::NoBus;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (problem) *problem = bus.lastError().message().toStdString();
        return SendResult::NoBus;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(kToolbarService), QLatin1String(kToolbarPath),
        QLatin1String(kToolbarInterface), QLatin1String(kToolbarMethod));
    call << QString::fromStdString(action);
    // Not auto-started by the bus: without a running toolbar the caller decides what to do.
    call.setAutoStartService(false);
    const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) return SendResult::Sent;
    if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return SendResult::NoToolbar;
    if (problem) *problem = reply.errorMessage().toStdString();
    return SendResult::Refused;
}

bool WaitForToolbar(int timeoutMs, const std::function<bool()>& alive) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) return false;
    const QDeadlineTimer deadline(timeoutMs);
    while (!bus.interface()->isServiceRegistered(QLatin1String(kToolbarService)).value()) {
        if (deadline.hasExpired() || !alive()) return false;
        QThread::msleep(20);
    }
    return true;
}

}  // namespace platform
