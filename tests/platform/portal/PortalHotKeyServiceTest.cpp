// The shortcut through Debian's own portal frontend (xdg-desktop-portal) on a
// private bus, in front of a small GlobalShortcuts backend of the test's own
// that a .portal file in a private directory names. Request and session
// handling are the real frontend's.

#include "platform/Log.h"
#include "platform/portal/PortalHotKeyService.h"
#include "platform/qt/QtPlatform.h"
#include "support/TestClients.h"
#include "system/HotKeyManager.h"

#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QFile>
#include <QTemporaryDir>

namespace {

using kelvo::HotKeyManager;
using kelvo::portal::PortalHotKeyService;
using Shortcuts = QList<QPair<QString, QVariantMap>>;
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kBackendName = QStringLiteral("org.freedesktop.impl.portal.desktop.kelvotest");

// Answers CreateSession (unless silent) and BindShortcuts (with `response`,
// reporting "Ctrl+Alt+Space" as the user's choice); records what it is asked.
struct Backend : QDBusVirtualObject {
    bool silent = false;
    uint response = 0;
    QString session;
    QStringList triggers, closed;
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &m, const QDBusConnection &bus) override
    {
        // Debian's frontend passes on the "shortcuts" of a new session, as the desktops' backends report them.
        QVariantMap results{{QStringLiteral("shortcuts"), QVariant::fromValue(Shortcuts())}};
        if (m.member() == QLatin1String("CreateSession")) {
            session = m.arguments().value(1).value<QDBusObjectPath>().path();
            if (silent)
                return true;
        } else if (m.member() == QLatin1String("BindShortcuts")) {
            Shortcuts asked = qdbus_cast<Shortcuts>(m.arguments().value(2));
            triggers << asked.value(0).second.value(QStringLiteral("preferred_trigger")).toString();
            asked[0].second.insert(QStringLiteral("trigger_description"), QStringLiteral("Ctrl+Alt+Space"));
            results.insert(QStringLiteral("shortcuts"), QVariant::fromValue(asked));
        } else if (m.member() == QLatin1String("Close")) {
            if (m.interface() == QLatin1String("org.freedesktop.impl.portal.Session"))
                closed << m.path();
            return bus.send(m.createReply());
        } else {
            return false;
        }
        return bus.send(m.createReply(QVariantList{response, results}));
    }
};

class PortalTest : public ::testing::Test, public kelvo::testing::TestClients {
protected:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "portal-test", *argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
        kelvo::setLogSink([this](const QString &line) { log_ << line; });
        QFile config(dir_.filePath(QStringLiteral("bus.conf"))), portal(dir_.filePath(QStringLiteral("kelvotest.portal")));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly) && portal.open(QIODevice::WriteOnly));
        config.write("<busconfig><type>session</type><listen>unix:path=" + QFile::encodeName(dir_.filePath("bus"))
                     + "</listen><policy context=\"default\"><allow send_destination=\"*\"/><allow own=\"*\"/>"
                       "<allow eavesdrop=\"true\"/></policy></busconfig>");
        portal.write("[portal]\nDBusName=" + kBackendName.toUtf8()
                     + "\nInterfaces=org.freedesktop.impl.portal.GlobalShortcuts\nUseIn=kelvotest\n");
        config.close();
        portal.close();
        ASSERT_TRUE(processes_[0] = startClient("timeout", {"300", "dbus-daemon", "--nofork", "--config-file=" + config.fileName()}));
        backendBus_ = connect("portal-test-backend");
        ASSERT_TRUE(backendBus_.registerVirtualObject(kPath, &backend_, QDBusConnection::SubPath)
                    && backendBus_.registerService(kBackendName));
        ASSERT_TRUE(processes_[1] = startClient("timeout", {"300", "/usr/libexec/xdg-desktop-portal"}))
            << "xdg-desktop-portal is missing (Debian package xdg-desktop-portal)";
        kelvoBus_ = connect("portal-test-kelvo");
        ASSERT_TRUE(waitUntil([&] { return PortalHotKeyService::offered(kelvoBus_, 500); }, 20000));
    }
    void TearDown() override
    {
        kelvo::setLogSink(nullptr);
        for (QProcess *p : processes_) { // timeout passes SIGTERM on, unlike SIGKILL
            if (p && (p->terminate(), !p->waitForFinished(5000)))
                ADD_FAILURE() << "a test process outlived SIGTERM";
        }
        stopClients();
        QDBusConnection::disconnectFromBus(QStringLiteral("portal-test-backend"));
        QDBusConnection::disconnectFromBus(QStringLiteral("portal-test-kelvo"));
    }

    QProcessEnvironment environment() const override
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address());
        env.insert(QStringLiteral("XDG_DESKTOP_PORTAL_DIR"), dir_.path());
        env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("kelvotest"));
        return env;
    }
    QString address() const { return QStringLiteral("unix:path=") + dir_.filePath(QStringLiteral("bus")); }
    QDBusConnection connect(const QString &name)
    {
        waitUntil([&] {
            QDBusConnection::disconnectFromBus(name);
            return QDBusConnection::connectToBus(address(), name).isConnected();
        }, 10000);
        return QDBusConnection(name);
    }
    void activate(const QString &id)
    {
        backendBus_.send(QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.impl.portal.GlobalShortcuts"),
                                                    QStringLiteral("Activated"))
                         << QVariant::fromValue(QDBusObjectPath(backend_.session)) << id << qulonglong(1)
                         << QVariantMap());
    }
    bool logged(const QString &line, int timeoutMs = 0)
    {
        return waitUntil([&] { return log_.join(u'\n').contains(line); }, timeoutMs);
    }

    QTemporaryDir dir_;
    QProcess *processes_[2] = {}; // the bus, the frontend
    Backend backend_;
    QDBusConnection backendBus_{QString()}, kelvoBus_{QString()};
    QStringList log_;
    kelvo::QtMainLoop loop_;
};

TEST_F(PortalTest, BindsTheStoredCombinationFiresOnItsIdAndClosesItsSessions)
{
    PortalHotKeyService service(kelvoBus_);
    HotKeyManager manager(service, loop_);
    int presses = 0;
    manager.registerHotKey(9, 256 | 512, [&] { ++presses; }); // Super+Shift+V
    ASSERT_TRUE(logged("[HotKeyManager] Registered hotkey: 9 with modifiers 768", 10000));
    EXPECT_TRUE(logged("triggered by \"Ctrl+Alt+Space\""));
    EXPECT_EQ(backend_.triggers, QStringList{"LOGO+SHIFT+v"});
    activate(QStringLiteral("another-id"));
    activate(QString::fromLatin1(PortalHotKeyService::kShortcutId));
    ASSERT_TRUE(waitUntil([&] { return presses > 0; }, 10000));
    EXPECT_EQ(presses, 1); // the other id came first and did nothing

    const QString first = backend_.session;
    manager.registerHotKey(40, 4096 | 2048, [] {}); // changed in the settings: Control+Alt+K
    ASSERT_TRUE(logged("[HotKeyManager] Registered hotkey: 40 with modifiers 6144", 10000));
    EXPECT_EQ(backend_.triggers.value(1), "CTRL+ALT+k");
    EXPECT_TRUE(waitUntil([&] { return backend_.closed == QStringList{first}; }, 10000));
    manager.unregisterHotKey();
    EXPECT_TRUE(waitUntil([&] { return backend_.closed == QStringList({first, backend_.session}); }, 10000));
}

// A portal that never answers, and a user who refuses the desktop's dialog.
class PortalFailureTest : public PortalTest, public ::testing::WithParamInterface<std::pair<bool, uint>> {};

TEST_P(PortalFailureTest, FailsWithTheUsualLineWithoutHoldingTheMainThread)
{
    std::tie(backend_.silent, backend_.response) = GetParam();
    PortalHotKeyService service(kelvoBus_);
    HotKeyManager manager(service, loop_);
    manager.registerHotKey(9, 768, [] {});
    EXPECT_FALSE(logged("[HotKeyManager]")); // returned before any answer
    const int status = backend_.silent ? PortalHotKeyService::NoAnswerStatus : int(backend_.response);
    ASSERT_TRUE(logged(QStringLiteral("[HotKeyManager] Failed to register hotkey: %1").arg(status),
                       PortalHotKeyService::kAnswerLimitMs + 10000));
    EXPECT_EQ(manager.state(), HotKeyManager::State::Failed);
    // The refused session is closed; a session never created needs no closing.
    const QStringList closed = backend_.silent ? QStringList() : QStringList{backend_.session};
    EXPECT_TRUE(waitUntil([&] { return backend_.closed == closed; }, 10000));
}

INSTANTIATE_TEST_SUITE_P(Portal, PortalFailureTest, ::testing::Values(std::pair(true, 0u), std::pair(false, 1u)));

} // namespace
