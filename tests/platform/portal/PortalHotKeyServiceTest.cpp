// The shortcut through Debian's own portal frontend (xdg-desktop-portal) on a
// private bus, in front of a small GlobalShortcuts backend of the test's own
// that a .portal file in a private directory names. Request and session
// handling are the real frontend's. The backend shares Kelvo's connection.

#include "platform/Log.h"
#include "platform/portal/PortalHotKeyService.h"
#include "platform/qt/QtPlatform.h"
#include "support/TestClients.h"
#include "system/HotKeyManager.h"

#include <gtest/gtest.h>

#include <QtDBus>

namespace {

using kelvo::portal::PortalHotKeyService;
using kelvo::testing::TestClients;
using Shortcuts = QList<QPair<QString, QVariantMap>>;
const QString kPath = "/org/freedesktop/portal/desktop", kBackend = "org.freedesktop.impl.portal.desktop.kelvotest";

// Answers CreateSession (never when `response` is kSilent) and BindShortcuts
// with `response`, reporting "Ctrl+Alt+Space" as the user's choice; records
// what it is asked.
constexpr uint kSilent = ~0u;
struct Backend : QDBusVirtualObject {
    uint response = 0;
    QStringList sessions, triggers, closed;
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &m, const QDBusConnection &bus) override
    {
        // Debian's frontend passes on a new session's "shortcuts", which the desktops' backends report.
        QVariantMap results{{"shortcuts", QVariant::fromValue(Shortcuts())}};
        if (m.member() == "CreateSession" && (sessions << m.arguments().value(1).value<QDBusObjectPath>().path(), true))
            return response == kSilent || bus.send(m.createReply(QVariantList{0u, results}));
        if (m.member() == "Close" && m.interface() == "org.freedesktop.impl.portal.Session")
            closed << m.path();
        if (m.member() != "BindShortcuts")
            return m.member() == "Close" && bus.send(m.createReply());
        Shortcuts asked = qdbus_cast<Shortcuts>(m.arguments().value(2));
        triggers << asked.value(0).second.value("preferred_trigger").toString();
        asked[0].second.insert("trigger_description", "Ctrl+Alt+Space");
        return bus.send(m.createReply(QVariantList{response, QVariantMap{{"shortcuts", QVariant::fromValue(asked)}}}));
    }
};

class PortalTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int argc = 0;
        static QCoreApplication app(argc, nullptr);
        kelvo::setLogSink([this](const QString &line) { log_ << line; });
        QFile config(dir_.filePath("bus.conf")), portal(dir_.filePath("test.portal"));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly) && portal.open(QIODevice::WriteOnly));
        config.write(("<busconfig><listen>unix:path=" + dir_.filePath("bus") + "</listen><policy context=\"default\"><allow "
                      "send_destination=\"*\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>").toUtf8());
        portal.write(("[portal]\nDBusName=" + kBackend + "\nInterfaces=org.freedesktop.impl.portal.GlobalShortcuts\n"
                      "UseIn=test\n").toUtf8());
        config.close();
        portal.close();
        // The bus prints its address once it listens.
        bus_.start("timeout", {"300", "dbus-daemon", "--nofork", "--print-address", "--config-file=" + config.fileName()});
        const QString address = bus_.waitForReadyRead(10000) ? QString::fromUtf8(bus_.readLine().trimmed()) : QString();
        ASSERT_TRUE((connection_ = QDBusConnection::connectToBus(address, "test")).registerVirtualObject(
                        kPath, &backend_, QDBusConnection::SubPath)
                    && connection_.registerService(kBackend));
        portal_.start("timeout", {"300", "env", "DBUS_SESSION_BUS_ADDRESS=" + address, "XDG_DESKTOP_PORTAL_DIR=" + dir_.path(),
                                  "/usr/libexec/xdg-desktop-portal"});
        ASSERT_TRUE(TestClients::waitUntil([&] { return PortalHotKeyService::offered(connection_, 500); }, 20000))
            << "no portal (package xdg-desktop-portal): " << portal_.readAllStandardError().toStdString();
        manager_.emplace(service_.emplace(connection_), loop_);
    }
    void TearDown() override
    {
        kelvo::setLogSink(nullptr);
        portal_.terminate(); // timeout passes SIGTERM on, so nothing outlives the test
        bus_.terminate();
        EXPECT_TRUE(portal_.waitForFinished(5000) && bus_.waitForFinished(5000));
        QDBusConnection::disconnectFromBus("test");
    }
    bool logged(const QString &line, int timeoutMs = 0)
    {
        return TestClients::waitUntil([&] { return log_.join(u'\n').contains(line); }, timeoutMs);
    }

    QTemporaryDir dir_;
    QProcess bus_, portal_;
    Backend backend_;
    QDBusConnection connection_{QString()};
    QStringList log_;
    kelvo::QtMainLoop loop_;
    std::optional<PortalHotKeyService> service_;
    std::optional<kelvo::HotKeyManager> manager_;
};

TEST_F(PortalTest, BindsTheStoredCombinationFiresOnItsIdAndClosesItsSessions)
{
    int presses = 0;
    manager_->registerHotKey(9, 256 | 512, [&] { ++presses; }); // Super+Shift+V
    ASSERT_TRUE(logged("[HotKeyManager] Registered hotkey: 9 with modifiers 768", 10000));
    EXPECT_TRUE(logged("triggered by \"Ctrl+Alt+Space\""));
    for (const QString id : {"another-id", PortalHotKeyService::kShortcutId})
        connection_.send(QDBusMessage::createSignal(kPath, "org.freedesktop.impl.portal.GlobalShortcuts", "Activated")
                         << QVariant::fromValue(QDBusObjectPath(backend_.sessions.value(0))) << id << 1ull << QVariantMap());
    ASSERT_TRUE(TestClients::waitUntil([&] { return presses > 0; }, 10000));
    EXPECT_EQ(presses, 1); // the other id came first and did nothing

    manager_->registerHotKey(40, 4096 | 2048, [] {}); // changed in the settings: Control+Alt+K
    ASSERT_TRUE(logged("[HotKeyManager] Registered hotkey: 40 with modifiers 6144", 10000));
    EXPECT_EQ(backend_.triggers, QStringList({"LOGO+SHIFT+v", "CTRL+ALT+k"}));
    EXPECT_TRUE(TestClients::waitUntil([&] { return backend_.closed == backend_.sessions.mid(0, 1); }, 10000));
    manager_->unregisterHotKey();
    EXPECT_TRUE(TestClients::waitUntil([&] { return backend_.closed == backend_.sessions; }, 10000));

    backend_.response = 1; // the user refuses the desktop's dialog: the session is closed at once
    manager_->registerHotKey(9, 768, [] {});
    ASSERT_TRUE(logged("[HotKeyManager] Failed to register hotkey: 1", 10000));
    EXPECT_TRUE(TestClients::waitUntil([&] { return backend_.closed == backend_.sessions; }, 10000));
}

TEST_F(PortalTest, APortalThatNeverAnswersFailsWithTheUsualLineWithoutHoldingTheMainThread)
{
    backend_.response = kSilent;
    manager_->registerHotKey(9, 768, [] {});
    EXPECT_FALSE(logged("[HotKeyManager]")); // returned before any answer
    EXPECT_TRUE(logged("[HotKeyManager] Failed to register hotkey: -1", PortalHotKeyService::kAnswerLimitMs + 10000));
}

} // namespace
