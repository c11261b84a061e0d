// Shortcuts through the global-shortcuts portal, against a fake portal served on a second
// connection to a private session bus (run under dbus-run-session).

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QThread>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/dbus/PortalGlobalShortcuts.h"
#include "tests/fakes/FakeGlobalShortcuts.h"

namespace {

using platform::KeyChord;
using platform::PortalGlobalShortcuts;

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

bool WaitFor(const std::function<bool()>& done, int ms = 3000) {
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents();
        QThread::msleep(2);
    }
    return done();
}

class FakePortal final : public QDBusVirtualObject {
  public:
    uint bindResponse = 0;
    bool silent = false;  // never answers a request
    QString session;
    std::map<QString, std::pair<QString, QString>> offered;  // id -> description, trigger
    std::vector<QString> closed;

    bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override {
        if (m.member() == QLatin1String("Close")) {
            closed.push_back(m.path());
            bus.send(m.createReply());
            return true;
        }
        const QVariantMap options = qdbus_cast<QVariantMap>(m.arguments().last());
        QString sender = m.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString request = kPortalPath + "/request/" + sender + "/" +
                                options.value(QStringLiteral("handle_token")).toString();
        bus.send(m.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        if (silent) return true;
        uint response = 0;
        QVariantMap results;
        if (m.member() == QLatin1String("CreateSession")) {
            session = kPortalPath + "/session/" + sender + "/" +
                      options.value(QStringLiteral("session_handle_token")).toString();
            results.insert(QStringLiteral("session_handle"),
                           QVariant::fromValue(QDBusObjectPath(session)));
        } else {
            const QDBusArgument list = m.arguments()[1].value<QDBusArgument>();
            list.beginArray();
            while (!list.atEnd()) {
                QString id;
                QVariantMap props;
                list.beginStructure();
                list >> id >> props;
                list.endStructure();
                offered[id] = {props.value(QStringLiteral("description")).toString(),
                               props.value(QStringLiteral("preferred_trigger")).toString()};
            }
            list.endArray();
            response = bindResponse;
        }
        QDBusMessage answer = QDBusMessage::createSignal(
            request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        answer << response << results;
        bus.send(answer);
        return true;
    }
    QString introspect(const QString&) const override { return {}; }
};

class PortalShortcutsTest : public ::testing::Test {
  protected:
    void Serve() {
        m_bus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake")));
        ASSERT_TRUE(m_bus->registerService(kPortal));
        ASSERT_TRUE(m_bus->registerVirtualObject(kPortalPath, &m_portal, QDBusConnection::SubPath));
    }
    void TearDown() override {
        if (!m_bus) return;
        m_bus->unregisterService(kPortal);
        m_bus->unregisterObject(kPortalPath, QDBusConnection::UnregisterTree);
        QDBusConnection::disconnectFromBus(QStringLiteral("fake"));
    }
    void Activate(const QString& session, const QString& id) {
        QDBusMessage signal =
            QDBusMessage::createSignal(kPortalPath, kShortcuts, QStringLiteral("Activated"));
        signal << QVariant::fromValue(QDBusObjectPath(session)) << id << qulonglong(0)
               << QVariantMap();
        m_bus->send(signal);
    }

    std::unique_ptr<PortalGlobalShortcuts> Make() {
        return std::make_unique<PortalGlobalShortcuts>(PortalGlobalShortcuts::Options{
            [](int id) {
                return std::vector<std::string>{"ReadSelection", "Stop", "Faster"}[id];
            },
            [this] {
                auto grabs = std::make_unique<FakeGlobalShortcuts>();
                grabs->taken = m_taken;
                m_fallback = grabs.get();
                return std::unique_ptr<platform::GlobalShortcuts>(std::move(grabs));
            },
            [this](const std::string& line) { m_reports.push_back(line); }});
    }

    FakePortal m_portal;
    std::unique_ptr<QDBusConnection> m_bus;
    FakeGlobalShortcuts* m_fallback = nullptr;
    std::vector<KeyChord> m_taken;
    std::vector<std::string> m_reports;
    std::vector<int> m_heard;
};

constexpr KeyChord kReadSelection{platform::kModControl | platform::kModAlt | platform::kModShift,
                                  's'};
constexpr KeyChord kStop{platform::kModMeta, platform::kKeyF1 + 11};
constexpr KeyChord kFaster{platform::kModControl, platform::kKeyPageUp};

TEST_F(PortalShortcutsTest, BindsEveryChordAndActsOnlyOnItsOwnSession) {
    Serve();
    auto shortcuts = Make();
    shortcuts->SetListener([this](int id) { m_heard.push_back(id); });
    EXPECT_EQ(shortcuts->Register(0, kReadSelection), platform::GlobalShortcuts::Grab::Ok);
    EXPECT_EQ(shortcuts->Register(1, kStop), platform::GlobalShortcuts::Grab::Ok);
    EXPECT_EQ(shortcuts->Register(2, kFaster), platform::GlobalShortcuts::Grab::Ok);
    ASSERT_TRUE(WaitFor([&] { return shortcuts->Bound(); }));

    using Offer = std::pair<QString, QString>;
    EXPECT_EQ(m_portal.offered, (std::map<QString, Offer>{
                                    {"ReadSelection", {"Read selection", "CTRL+ALT+SHIFT+s"}},
                                    {"Stop", {"Stop", "LOGO+F12"}},
                                    {"Faster", {"Faster", "CTRL+Page_Up"}},
                                }));

    Activate(kPortalPath + "/session/other/x", "Stop");  // another program's session
    Activate(m_portal.session, "Unknown");
    Activate(m_portal.session, "Stop");
    ASSERT_TRUE(WaitFor([&] { return !m_heard.empty(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(m_heard, std::vector<int>{1});
    EXPECT_EQ(m_fallback, nullptr);

    const QString session = m_portal.session;
    shortcuts.reset();  // the keys go back to the desktop
    ASSERT_TRUE(WaitFor([&] { return !m_portal.closed.empty(); }));
    EXPECT_EQ(m_portal.closed, std::vector<QString>{session});
}

TEST_F(PortalShortcutsTest, FallsBackToGrabsWhenThePortalCannotBind) {
    enum class Portal { Absent, Declines, Silent };
    for (const Portal portal : {Portal::Absent, Portal::Declines, Portal::Silent}) {
        SCOPED_TRACE(static_cast<int>(portal));
        const bool serve = portal != Portal::Absent;
        if (serve && !m_bus) Serve();
        m_portal.bindResponse = portal == Portal::Declines ? 1 : 0;
        m_portal.silent = portal == Portal::Silent;
        m_portal.closed.clear();
        m_fallback = nullptr;
        m_reports.clear();
        m_heard.clear();
        m_taken = {kStop};
        auto shortcuts = Make();
        shortcuts->SetListener([this](int id) { m_heard.push_back(id); });
        shortcuts->Register(0, kReadSelection);
        shortcuts->Register(1, kStop);
        ASSERT_TRUE(WaitFor([&] { return m_fallback != nullptr; },
                            PortalGlobalShortcuts::kAnswerWaitMs + 1000));
        EXPECT_FALSE(shortcuts->Bound());
        EXPECT_EQ(m_fallback->registered, (std::map<int, KeyChord>{{0, kReadSelection}}));
        ASSERT_EQ(m_reports.size(), 1u);
        EXPECT_NE(m_reports[0].find("LOGO+F12 (Stop) is already taken"), std::string::npos)
            << m_reports[0];
        ASSERT_TRUE(m_fallback->listener);
        m_fallback->listener(0);
        EXPECT_EQ(m_heard, std::vector<int>{0});
        if (portal == Portal::Declines) {
            ASSERT_TRUE(WaitFor([&] { return !m_portal.closed.empty(); }));
            EXPECT_EQ(m_portal.closed, std::vector<QString>{m_portal.session});
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
