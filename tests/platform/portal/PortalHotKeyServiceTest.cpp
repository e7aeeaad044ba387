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

#include <QFile>
#include <QTemporaryDir>
#include <QtDBus>

namespace {

using kelvo::HotKeyManager;
using kelvo::portal::PortalHotKeyService;
using kelvo::testing::TestClients;
using Shortcuts = QList<QPair<QString, QVariantMap>>;
const QString kPath = "/org/freedesktop/portal/desktop", kBackend = "org.freedesktop.impl.portal.desktop.kelvotest";

// Answers CreateSession (never when kSilent) and BindShortcuts with
// `response`, reporting "Ctrl+Alt+Space" as the user's choice; records what
// it is asked.
struct Backend : QDBusVirtualObject {
    static constexpr uint kSilent = 99;
    uint response = 0;
    QString session;
    QStringList triggers, closed;
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &m, const QDBusConnection &bus) override
    {
        // Debian's frontend passes on a new session's "shortcuts", which the desktops' backends report.
        QVariantMap results{{"shortcuts", QVariant::fromValue(Shortcuts())}};
        if (m.member() == "CreateSession" && (session = m.arguments().value(1).value<QDBusObjectPath>().path(), true))
            return response == kSilent || bus.send(m.createReply(QVariantList{0u, results}));
        if (m.member() == "Close" && m.interface() == "org.freedesktop.impl.portal.Session")
            closed << m.path();
        if (m.member() != "BindShortcuts")
            return m.member() == "Close" && bus.send(m.createReply());
        Shortcuts asked = qdbus_cast<Shortcuts>(m.arguments().value(2));
        triggers << asked.value(0).second.value("preferred_trigger").toString();
        asked[0].second.insert("trigger_description", "Ctrl+Alt+Space");
        results.insert("shortcuts", QVariant::fromValue(asked));
        return bus.send(m.createReply(QVariantList{response, results}));
    }
};

class PortalTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "portal-test", *argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
        kelvo::setLogSink([this](const QString &line) { log_ << line; });
        QFile config(dir_.filePath("bus.conf")), portal(dir_.filePath("test.portal"));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly) && portal.open(QIODevice::WriteOnly));
        config.write(("<busconfig><listen>unix:path=" + dir_.filePath("bus") + "</listen><policy context=\"default\">"
                      "<allow send_destination=\"*\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>").toUtf8());
        portal.write(("[portal]\nDBusName=" + kBackend + "\nInterfaces=org.freedesktop.impl.portal.GlobalShortcuts\n"
                      "UseIn=test\n").toUtf8());
        config.close();
        portal.close();
        // The bus prints its address once it listens.
        bus_.start("timeout", {"300", "dbus-daemon", "--nofork", "--print-address", "--config-file=" + config.fileName()});
        ASSERT_TRUE(bus_.waitForReadyRead(10000));
        const QString address = QString::fromUtf8(bus_.readLine().trimmed());
        ASSERT_TRUE((connection_ = QDBusConnection::connectToBus(address, "test")).registerVirtualObject(
                        kPath, &backend_, QDBusConnection::SubPath)
                    && connection_.registerService(kBackend));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SESSION_BUS_ADDRESS", address);
        env.insert("XDG_DESKTOP_PORTAL_DIR", dir_.path());
        portal_.setProcessEnvironment(env);
        portal_.start("timeout", {"300", "/usr/libexec/xdg-desktop-portal"});
        ASSERT_TRUE(TestClients::waitUntil([&] { return PortalHotKeyService::offered(connection_, 500); }, 20000))
            << "no portal (Debian package xdg-desktop-portal)" << portal_.readAllStandardError().toStdString();
        manager_.emplace(service_.emplace(connection_), loop_);
    }
    void TearDown() override
    {
        kelvo::setLogSink(nullptr);
        for (QProcess *p : {&portal_, &bus_}) { // timeout passes SIGTERM on, so nothing outlives the test
            p->terminate();
            EXPECT_TRUE(p->state() == QProcess::NotRunning || p->waitForFinished(5000));
        }
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
    std::optional<HotKeyManager> manager_;
};

TEST_F(PortalTest, BindsTheStoredCombinationFiresOnItsIdAndClosesItsSessions)
{
    int presses = 0;
    manager_->registerHotKey(9, 256 | 512, [&] { ++presses; }); // Super+Shift+V
    ASSERT_TRUE(logged("[HotKeyManager] Registered hotkey: 9 with modifiers 768", 10000));
    EXPECT_TRUE(logged("triggered by \"Ctrl+Alt+Space\""));
    EXPECT_EQ(backend_.triggers, QStringList{"LOGO+SHIFT+v"});
    for (const QString id : {"another-id", PortalHotKeyService::kShortcutId})
        connection_.send(QDBusMessage::createSignal(kPath, "org.freedesktop.impl.portal.GlobalShortcuts", "Activated")
                         << QVariant::fromValue(QDBusObjectPath(backend_.session)) << id << 1ull << QVariantMap());
    ASSERT_TRUE(TestClients::waitUntil([&] { return presses > 0; }, 10000));
    EXPECT_EQ(presses, 1); // the other id came first and did nothing

    const QString first = backend_.session;
    manager_->registerHotKey(40, 4096 | 2048, [] {}); // changed in the settings: Control+Alt+K
    ASSERT_TRUE(logged("[HotKeyManager] Registered hotkey: 40 with modifiers 6144", 10000));
    EXPECT_EQ(backend_.triggers.value(1), "CTRL+ALT+k");
    EXPECT_TRUE(TestClients::waitUntil([&] { return backend_.closed == QStringList{first}; }, 10000));
    manager_->unregisterHotKey();
    EXPECT_TRUE(TestClients::waitUntil([&] { return backend_.closed.value(1) == backend_.session; }, 10000));

    backend_.response = 1; // the user refuses the desktop's dialog: the session is closed at once
    manager_->registerHotKey(9, 768, [] {});
    ASSERT_TRUE(logged("[HotKeyManager] Failed to register hotkey: 1", 10000));
    EXPECT_TRUE(TestClients::waitUntil([&] { return backend_.closed.value(2) == backend_.session; }, 10000));
}

TEST_F(PortalTest, APortalThatNeverAnswersFailsWithTheUsualLineWithoutHoldingTheMainThread)
{
    backend_.response = Backend::kSilent;
    manager_->registerHotKey(9, 768, [] {});
    EXPECT_FALSE(logged("[HotKeyManager]")); // returned before any answer
    EXPECT_TRUE(logged("[HotKeyManager] Failed to register hotkey: -1", PortalHotKeyService::kAnswerLimitMs + 10000));
    EXPECT_EQ(manager_->state(), HotKeyManager::State::Failed);
}

} // namespace
