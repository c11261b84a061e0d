#include "platform/dbus/AtspiSelection.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "engine/Diagnostics.h"
#include "platform/dbus/ToolbarBus.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// Bits of the first word of an AT-SPI state set.
constexpr quint32 kStateActive = 1u << 1;
constexpr quint32 kStateFocused = 1u << 12;
constexpr quint32 kStateShowing = 1u << 25;

const QString kAccessible = QStringLiteral("org.a11y.atspi.Accessible");
const QString kText = QStringLiteral("org.a11y.atspi.Text");

struct Ref {
    QString bus;
    QString path;
};

std::u16string ToU16(const QString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()),
                          static_cast<std::size_t>(s.size()));
}

}  // namespace

struct AtspiSelection::Impl {
    std::optional<QDBusConnection> a11y;
    Clock::time_point deadline;

    Impl() {
        if (!SessionBusConfigured()) {
            diag::Say(diag::Level::Detail, "AT-SPI: no session bus");
            return;
        }
        QDBusConnection session = QDBusConnection::sessionBus();
        if (!session.isConnected()) {
            diag::Say(diag::Level::Detail, "AT-SPI: no session bus");
            return;
        }
        const QString bus = QStringLiteral("org.a11y.Bus"), path = QStringLiteral("/org/a11y/bus");
        // Toolkits expose their widgets only while someone asks for them (Qt, and GTK 4, watch
        // this property); a screen reader sets it the same way.
        QDBusMessage enable = QDBusMessage::createMethodCall(
            bus, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
        enable << QStringLiteral("org.a11y.Status") << QStringLiteral("IsEnabled")
               << QVariant::fromValue(QDBusVariant(true));
        session.call(enable, QDBus::Block, kAnswerWaitMs);
        const QDBusMessage address = session.call(
            QDBusMessage::createMethodCall(bus, path, bus, QStringLiteral("GetAddress")),
            QDBus::Block, kAnswerWaitMs);
        if (address.type() != QDBusMessage::ReplyMessage || address.arguments().isEmpty()) {
            diag::Say(diag::Level::Detail, "AT-SPI: no accessibility bus (%s)",
                      address.errorMessage().toUtf8().constData());
            return;
        }
        a11y = QDBusConnection::connectToBus(address.arguments()[0].toString(),
                                             QStringLiteral("selvarine-atspi"));
        if (!a11y->isConnected()) {
            diag::Say(diag::Level::Detail, "AT-SPI: cannot connect to the accessibility bus");
            a11y.reset();
        }
    }

    ~Impl() {
        if (a11y) QDBusConnection::disconnectFromBus(QStringLiteral("selvarine-atspi"));
    }

    std::optional<QList<QVariant>> Call(const Ref& r, const QString& interface, const char* method,
                                        const QList<QVariant>& args = {}) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return std::nullopt;
        QDBusMessage call =
            QDBusMessage::createMethodCall(r.bus, r.path, interface, QString::fromLatin1(method));
        call.setArguments(args);
        const QDBusMessage reply = a11y->call(
            call, QDBus::Block, static_cast<int>(std::min<long long>(left, kAnswerWaitMs)));
        if (reply.type() != QDBusMessage::ReplyMessage) return std::nullopt;
        return reply.arguments();
    }

    std::vector<Ref> Children(const Ref& r) {
        return ChildrenIn(Call(r, kAccessible, "GetChildren"));
    }

    static std::vector<Ref> ChildrenIn(const std::optional<QList<QVariant>>& reply) {
        std::vector<Ref> out;
        if (!reply || reply->isEmpty() || !reply->at(0).canConvert<QDBusArgument>()) return out;
        const QDBusArgument arg = reply->at(0).value<QDBusArgument>();
        arg.beginArray();
        while (!arg.atEnd()) {
            QString bus;
            QDBusObjectPath path;
            arg.beginStructure();
            arg >> bus >> path;
            arg.endStructure();
            out.push_back({bus, path.path()});
        }
        arg.endArray();
        return out;
    }

    quint32 States(const Ref& r) {
        const auto reply = Call(r, kAccessible, "GetState");
        if (!reply || reply->isEmpty()) return 0;
        const QVariant& v = reply->at(0);
        if (v.canConvert<QDBusArgument>()) {
            const QDBusArgument arg = v.value<QDBusArgument>();
            quint32 first = 0;
            arg.beginArray();
            if (!arg.atEnd()) arg >> first;
            while (!arg.atEnd()) {
                quint32 rest;
                arg >> rest;
            }
            arg.endArray();
            return first;
        }
        const QList<uint> words = v.value<QList<uint>>();
        return words.isEmpty() ? 0 : words.front();
    }

    // The focused object of the active window of another application. Every application is
    // asked for its windows at once, so one that does not answer (busy, stopped) delays the
    // others not at all: it is left behind when its own wait ends.
    std::optional<Ref> Focused() {
        const qint64 self = getpid();
        const Ref root{QStringLiteral("org.a11y.atspi.Registry"),
                       QStringLiteral("/org/a11y/atspi/accessible/root")};
        struct Asked {
            QDBusPendingCall windows;
        };
        std::vector<Asked> asked;
        for (const Ref& app : Children(root)) {
            if (a11y->interface()->servicePid(app.bus).value() == self) continue;
            QDBusMessage call = QDBusMessage::createMethodCall(app.bus, app.path, kAccessible,
                                                               QStringLiteral("GetChildren"));
            asked.push_back({a11y->asyncCall(call, kAnswerWaitMs)});
        }
        // Replies are taken in by the bus's own thread: this one only looks.
        while (!asked.empty() && Clock::now() < deadline) {
            auto done = std::find_if(asked.begin(), asked.end(),
                                     [](const Asked& a) { return a.windows.isFinished(); });
            if (done == asked.end()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            const QDBusMessage reply = done->windows.reply();
            asked.erase(done);
            if (reply.type() != QDBusMessage::ReplyMessage) continue;
            for (const Ref& window : ChildrenIn(reply.arguments()))
                if (const std::optional<Ref> focused = FocusIn(window)) return focused;
        }
        return std::nullopt;
    }

    // The focused object in window, when the window is active.
    std::optional<Ref> FocusIn(const Ref& window) {
        if (!(States(window) & kStateActive)) return std::nullopt;
        std::vector<Ref> todo{window};
        for (int visited = 0; !todo.empty() && visited < kMaxVisited; ++visited) {
            const Ref node = todo.back();
            todo.pop_back();
            const quint32 states = States(node);
            if (states & kStateFocused) return node;
            // Hidden parts (other tabs, closed menus) cannot hold the focus.
            if (node.path != window.path && !(states & kStateShowing)) continue;
            const std::vector<Ref> children = Children(node);
            todo.insert(todo.end(), children.rbegin(), children.rend());
        }
        return std::nullopt;
    }

    std::optional<QString> TextOf(const Ref& r, int start, int end) {
        const auto text = Call(r, kText, "GetText", {start, end});
        if (!text || text->isEmpty()) return std::nullopt;
        return text->at(0).toString();
    }

    std::optional<std::u16string> Read(bool whole) {
        if (!a11y) return std::nullopt;
        deadline = Clock::now() + std::chrono::milliseconds(kReadWaitMs);
        const std::optional<Ref> focused = Focused();
        if (!focused) {
            diag::Say(diag::Level::Detail, "AT-SPI: no focused object in an active window");
            return std::nullopt;
        }
        if (whole) {
            const std::optional<QString> all = TextOf(*focused, 0, -1);
            if (!all || all->isEmpty()) return std::nullopt;
            diag::Say(diag::Level::Detail, "whole text read through AT-SPI (%lld characters)",
                      static_cast<long long>(all->size()));
            return ToU16(*all);
        }
        const auto count = Call(*focused, kText, "GetNSelections");
        if (!count || count->isEmpty()) {
            diag::Say(diag::Level::Detail, "AT-SPI: the focused object has no text");
            return std::nullopt;
        }
        QString selected;
        for (int i = 0; i < count->at(0).toInt(); ++i) {
            const auto range = Call(*focused, kText, "GetSelection", {i});
            if (!range || range->size() < 2) return std::nullopt;
            const std::optional<QString> part =
                TextOf(*focused, range->at(0).toInt(), range->at(1).toInt());
            if (!part) return std::nullopt;
            if (!selected.isEmpty() && !part->isEmpty()) selected += QLatin1Char('\n');
            selected += *part;
        }
        if (selected.isEmpty()) return std::nullopt;
        return ToU16(selected);
    }
};

AtspiSelection::AtspiSelection() : m_impl(std::make_unique<Impl>()) {}
AtspiSelection::~AtspiSelection() = default;

std::optional<std::u16string> AtspiSelection::Text() {
    return m_impl->Read(false);
}

std::optional<std::u16string> AtspiSelection::WholeText() {
    return m_impl->Read(true);
}

}  // namespace platform
