#include "platform/dbus/PortalGlobalShortcuts.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QObject>
#include <QTimer>

#include <cstdio>
#include <map>

#include "engine/Diagnostics.h"

namespace platform {
namespace portal {

// One entry of BindShortcuts' a(sa{sv}).
struct Shortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& arg, const Shortcut& s) {
    arg.beginStructure();
    arg << s.id << s.properties;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, Shortcut& s) {
    arg.beginStructure();
    arg >> s.id >> s.properties;
    arg.endStructure();
    return arg;
}

}  // namespace portal
}  // namespace platform

Q_DECLARE_METATYPE(platform::portal::Shortcut)

namespace platform {

namespace {

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

// Signals reach a slot only; this one hands the whole message to a function.
class SignalSink final : public QObject {
    Q_OBJECT
  public:
    std::function<void(const QDBusMessage&)> take;
  public Q_SLOTS:
    void Take(const QDBusMessage& message) {
        if (take) take(message);
    }
};

std::string KeyName(char32_t key) {
    static constexpr struct {
        char32_t key;
        const char* name;
    } kNamed[] = {
        {kKeyEscape, "Escape"},
        {kKeyTab, "Tab"},
        {kKeyBackspace, "BackSpace"},
        {kKeyReturn, "Return"},
        {kKeyEnter, "KP_Enter"},
        {kKeyInsert, "Insert"},
        {kKeyDelete, "Delete"},
        {kKeyPause, "Pause"},
        {kKeyPrint, "Print"},
        {kKeyHome, "Home"},
        {kKeyEnd, "End"},
        {kKeyLeft, "Left"},
        {kKeyUp, "Up"},
        {kKeyRight, "Right"},
        {kKeyDown, "Down"},
        {kKeyPageUp, "Page_Up"},
        {kKeyPageDown, "Page_Down"},
        {kKeyMenu, "Menu"},
        {' ', "space"},
        {'!', "exclam"},
        {'"', "quotedbl"},
        {'#', "numbersign"},
        {'$', "dollar"},
        {'%', "percent"},
        {'&', "ampersand"},
        {'\'', "apostrophe"},
        {'(', "parenleft"},
        {')', "parenright"},
        {'*', "asterisk"},
        {'+', "plus"},
        {',', "comma"},
        {'-', "minus"},
        {'.', "period"},
        {'/', "slash"},
        {':', "colon"},
        {';', "semicolon"},
        {'<', "less"},
        {'=', "equal"},
        {'>', "greater"},
        {'?', "question"},
        {'@', "at"},
        {'[', "bracketleft"},
        {'\\', "backslash"},
        {']', "bracketright"},
        {'^', "asciicircum"},
        {'_', "underscore"},
        {'`', "grave"},
        {'{', "braceleft"},
        {'|', "bar"},
        {'}', "braceright"},
        {'~', "asciitilde"},
    };
    if (key >= kKeyF1 && key < kKeyF1 + kMaxFunctionKey)
        return "F" + std::to_string(key - kKeyF1 + 1);
    for (const auto& named : kNamed)
        if (named.key == key) return named.name;
    if ((key >= 'a' && key <= 'z') || (key >= '0' && key <= '9'))
        return std::string(1, static_cast<char>(key));
    // Keysym names take any other character as U and its hex code point.
    char hex[16];
    std::snprintf(hex, sizeof hex, "U%04X", static_cast<unsigned>(key));
    return hex;
}

// "ReadSelection" -> "Read selection".
QString Describe(const std::string& name) {
    QString text;
    for (char c : name) {
        if (c >= 'A' && c <= 'Z' && !text.isEmpty()) {
            text += QLatin1Char(' ');
            c = static_cast<char>(c - 'A' + 'a');
        }
        text += QLatin1Char(c);
    }
    return text;
}

QString PathOf(const QVariant& v) {
    if (v.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return v.value<QDBusObjectPath>().path();
    return v.toString();
}

}  // namespace

std::string PortalTrigger(const KeyChord& chord) {
    std::string text;
    if (chord.modifiers & kModControl) text += "CTRL+";
    if (chord.modifiers & kModAlt) text += "ALT+";
    if (chord.modifiers & kModShift) text += "SHIFT+";
    if (chord.modifiers & kModMeta) text += "LOGO+";
    return text + KeyName(chord.key);
}

struct PortalGlobalShortcuts::Impl {
    enum class State { Idle, Asking, Bound, FellBack };

    Options opt;
    QDBusConnection bus = QDBusConnection::sessionBus();
    State state = State::Idle;
    bool bindSent = false;
    std::map<int, KeyChord> chords;
    std::function<void(int)> listener;
    std::unique_ptr<GlobalShortcuts> fallback;
    QString session;
    QString requestPath;
    // Owns the pending calls and timers, so none of them calls back into a dead Impl.
    QObject context;
    SignalSink responses, activations;
    QTimer responseWait;

    explicit Impl(Options o) : opt(std::move(o)) {
        qDBusRegisterMetaType<portal::Shortcut>();
        qDBusRegisterMetaType<QList<portal::Shortcut>>();
        responseWait.setSingleShot(true);
        QObject::connect(&responseWait, &QTimer::timeout, &context,
                         [this] { Fail("no answer from the portal"); });
        activations.take = [this](const QDBusMessage& m) { OnActivated(m); };
    }

    ~Impl() {
        StopListening();
        StopActivations();
        CloseSession();
    }

    std::string Name(int id) const { return opt.name ? opt.name(id) : std::to_string(id); }

    // Gives the keys back to the desktop.
    void CloseSession() {
        if (!session.isEmpty())
            bus.send(QDBusMessage::createMethodCall(
                kPortal, session, QStringLiteral("org.freedesktop.portal.Session"),
                QStringLiteral("Close")));
        session.clear();
    }

    void StopActivations() {
        bus.disconnect(kPortal, kPortalPath, kShortcutsInterface, QStringLiteral("Activated"),
                       &activations, SLOT(Take(QDBusMessage)));
    }

    void StopListening() {
        if (!requestPath.isEmpty())
            bus.disconnect(kPortal, requestPath, kRequestInterface, QStringLiteral("Response"),
                           &responses, SLOT(Take(QDBusMessage)));
        requestPath.clear();
        responseWait.stop();
    }

    // Portal calls answer with a request object whose Response signal carries the result; its
    // path is known beforehand, so the signal is watched before the call can race it.
    void Ask(const QString& method, QList<QVariant> args, QVariantMap& options, int waitMs,
             std::function<void(const QVariantMap&)> done) {
        static int s_nToken = 0;
        const QString token = QStringLiteral("selvarine%1").arg(++s_nToken);
        QString sender = bus.baseService().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        options.insert(QStringLiteral("handle_token"), token);
        args.append(options);
        Watch(kPortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token,
              std::move(done));
        responseWait.start(waitMs);
        QDBusMessage call =
            QDBusMessage::createMethodCall(kPortal, kPortalPath, kShortcutsInterface, method);
        call.setArguments(args);
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kAnswerWaitMs), &context);
        QObject::connect(
            watcher, &QDBusPendingCallWatcher::finished, &context, [this, watcher, method, waitMs] {
                watcher->deleteLater();
                const QDBusMessage reply = watcher->reply();
                if (reply.type() != QDBusMessage::ReplyMessage) {
                    Fail(method.toStdString() + ": " + reply.errorMessage().toStdString());
                    return;
                }
                // Portals older than the predictable path answer with another.
                const QString handle =
                    reply.arguments().isEmpty() ? QString() : PathOf(reply.arguments()[0]);
                if (!handle.isEmpty() && handle != requestPath && state == State::Asking) {
                    auto done = responses.take;
                    StopListening();
                    responseWait.start(waitMs);
                    WatchRaw(handle, std::move(done));
                }
            });
    }

    void Watch(const QString& path, std::function<void(const QVariantMap&)> done) {
        WatchRaw(path, [this, done = std::move(done)](const QDBusMessage& m) {
            StopListening();
            const QList<QVariant> args = m.arguments();
            if (args.size() < 2) return Fail("a malformed answer from the portal");
            const uint response = args[0].toUInt();
            if (response != 0)
                return Fail(response == 1 ? "the user declined" : "the portal refused");
            done(qdbus_cast<QVariantMap>(args[1]));
        });
    }

    void WatchRaw(const QString& path, std::function<void(const QDBusMessage&)> take) {
        requestPath = path;
        responses.take = std::move(take);
        bus.connect(kPortal, path, kRequestInterface, QStringLiteral("Response"), &responses,
                    SLOT(Take(QDBusMessage)));
    }

    void Start() {
        if (state != State::Idle) return;
        state = State::Asking;
        if (!bus.isConnected()) return Fail("no session bus");
        bus.connect(kPortal, kPortalPath, kShortcutsInterface, QStringLiteral("Activated"),
                    &activations, SLOT(Take(QDBusMessage)));
        QVariantMap options{{QStringLiteral("session_handle_token"),
                             QStringLiteral("selvarine%1").arg(reinterpret_cast<quintptr>(this))}};
        Ask(QStringLiteral("CreateSession"), {}, options, kAnswerWaitMs,
            [this](const QVariantMap& results) {
                session = PathOf(results.value(QStringLiteral("session_handle")));
                if (session.isEmpty()) return Fail("no session from the portal");
                Bind();
            });
    }

    void Bind() {
        QList<portal::Shortcut> list;
        for (const auto& [id, chord] : chords) {
            const std::string name = Name(id);
            list.append({QString::fromStdString(name),
                         {{QStringLiteral("description"), Describe(name)},
                          {QStringLiteral("preferred_trigger"),
                           QString::fromStdString(PortalTrigger(chord))}}});
        }
        bindSent = true;
        QVariantMap options;
        Ask(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(session)), QVariant::fromValue(list), QString()},
            options, kBindWaitMs, [this](const QVariantMap&) {
                state = State::Bound;
                diag::Say(diag::Level::Detail, "shortcuts bound by the desktop's portal");
            });
    }

    void Fail(const std::string& reason) {
        if (state != State::Asking) return;
        state = State::FellBack;
        StopListening();
        StopActivations();
        CloseSession();
        diag::Say(diag::Level::Detail, "the shortcut portal cannot bind the shortcuts: %s",
                  reason.c_str());
        if (!opt.fallback || !(fallback = opt.fallback())) {
            if (opt.report)
                opt.report("the desktop cannot bind the shortcuts (" + reason + "); they are off");
            return;
        }
        if (listener) fallback->SetListener(listener);
        for (const auto& [id, chord] : chords) {
            const Grab grab = fallback->Register(id, chord);
            if (grab != Grab::Ok && opt.report)
                opt.report("the shortcut " + PortalTrigger(chord) + " (" + Name(id) + ") " +
                           (grab == Grab::Taken ? "is already taken by another program"
                                                : "has no key on this keyboard"));
        }
    }

    void OnActivated(const QDBusMessage& m) {
        const QList<QVariant> args = m.arguments();
        if (session.isEmpty() || args.size() < 2 || PathOf(args[0]) != session) return;
        const std::string name = args[1].toString().toStdString();
        for (const auto& entry : chords)
            if (Name(entry.first) == name) {
                // Handlers pump events (the read commands' delays); never inside the bus's
                // dispatch of this signal.
                QMetaObject::invokeMethod(
                    &context,
                    [this, id = entry.first] {
                        if (listener) listener(id);
                    },
                    Qt::QueuedConnection);
                return;
            }
    }
};

PortalGlobalShortcuts::PortalGlobalShortcuts(Options options)
    : m_impl(std::make_unique<Impl>(std::move(options))) {}

PortalGlobalShortcuts::~PortalGlobalShortcuts() = default;

GlobalShortcuts::Grab PortalGlobalShortcuts::Register(int id, const KeyChord& chord) {
    if (m_impl->state == Impl::State::FellBack && m_impl->fallback) {
        m_impl->chords[id] = chord;
        return m_impl->fallback->Register(id, chord);
    }
    // One session binds its shortcuts once; a later chord would need a session of its own.
    if (m_impl->bindSent) return Grab::Taken;
    m_impl->chords[id] = chord;
    if (m_impl->state == Impl::State::Idle)
        QTimer::singleShot(0, &m_impl->context, [impl = m_impl.get()] { impl->Start(); });
    return Grab::Ok;
}

void PortalGlobalShortcuts::SetListener(std::function<void(int id)> listener) {
    m_impl->listener = std::move(listener);
    if (m_impl->fallback) m_impl->fallback->SetListener(m_impl->listener);
}

bool PortalGlobalShortcuts::Bound() const {
    return m_impl->state == Impl::State::Bound;
}

}  // namespace platform

#include "PortalGlobalShortcuts.moc"
