// Freedesktop services played by the test on a private bus: what Kelvo
// sends the notification service (and the log line it falls back to when
// none answers), and logind's news of a suspend and a resume.

#include "platform/Log.h"
#include "platform/freedesktop/DesktopNotifications.h"
#include "platform/freedesktop/SleepWatcher.h"
#include "support/TestClients.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QtDBus>

namespace {

using kelvo::testing::TestClients;

// org.freedesktop.Notifications: records each Notify call's arguments.
struct NotificationService : QDBusVirtualObject {
    QList<QVariantList> calls;
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &m, const QDBusConnection &bus) override
    {
        if (m.member() != QLatin1String("Notify"))
            return false;
        calls << m.arguments();
        return bus.send(m.createReply(QVariantList{quint32(calls.size())}));
    }
};

class FreedesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int argc = 0;
        static QCoreApplication app(argc, nullptr);
        bus_.start("timeout", {"120", "dbus-daemon", "--nofork", "--print-address", "--session",
                               "--address=unix:path=" + dir_.filePath("bus")});
        address = bus_.waitForReadyRead(10000) ? QString::fromUtf8(bus_.readLine().trimmed()) : QString();
        ASSERT_FALSE(address.isEmpty()) << "no dbus-daemon (package dbus-daemon)";
    }
    void TearDown() override
    {
        bus_.terminate();
        EXPECT_TRUE(bus_.waitForFinished(5000));
    }
    QString address;

private:
    QTemporaryDir dir_;
    QProcess bus_;
};

TEST_F(FreedesktopTest, NotificationsReachTheServiceOrElseTheLog)
{
    QStringList log;
    kelvo::setLogSink([&](const QString &line) { log << line; });
    QDBusConnection serviceSide = QDBusConnection::connectToBus(address, "service");
    NotificationService service;
    ASSERT_TRUE(serviceSide.registerVirtualObject("/org/freedesktop/Notifications", &service)
                && serviceSide.registerService("org.freedesktop.Notifications"));

    kelvo::freedesktop::DesktopNotifications notifications(QDBusConnection::connectToBus(address, "kelvo"));
    notifications.notify(QStringLiteral("无法保存剪贴板历史"), QStringLiteral("磁盘已满"));
    ASSERT_TRUE(TestClients::waitUntil([&] { return !service.calls.isEmpty(); }, 10000));
    const QVariantList &call = service.calls.first();
    EXPECT_EQ(call.value(0).toString(), "Kelvo");
    EXPECT_EQ(call.value(2).toString(), "io.github.kelvo.Kelvo");
    EXPECT_EQ(call.value(3).toString(), QStringLiteral("无法保存剪贴板历史"));
    EXPECT_EQ(call.value(4).toString(), QStringLiteral("磁盘已满"));
    EXPECT_EQ(call.value(7).toInt(), -1);

    serviceSide.unregisterService("org.freedesktop.Notifications");
    notifications.notify(QStringLiteral("无法写入剪贴板"), QStringLiteral("内容保持不变。"));
    ASSERT_TRUE(TestClients::waitUntil([&] { return !log.isEmpty(); }, 10000));
    EXPECT_EQ(log, QStringList({QStringLiteral("[Kelvo] 无法写入剪贴板: 内容保持不变。")}));
    EXPECT_EQ(service.calls.size(), 1);
    kelvo::setLogSink(nullptr);
}

// Counts every PrepareForSleep delivered on a connection.
class SignalCounter : public QObject {
    Q_OBJECT
public:
    int count = 0;
public slots:
    void prepareForSleep(bool) { ++count; }
};

TEST_F(FreedesktopTest, OnlyTheEndOfASleepIsAResume)
{
    QDBusConnection logind = QDBusConnection::connectToBus(address, "logind");
    ASSERT_TRUE(logind.registerService("org.freedesktop.login1"));
    const QDBusConnection system = QDBusConnection::connectToBus(address, "kelvo-system");
    kelvo::freedesktop::SleepWatcher watcher(system);
    ASSERT_TRUE(watcher.isWatching());
    int resumes = 0;
    QObject::connect(&watcher, &kelvo::freedesktop::SleepWatcher::resumed, [&] { ++resumes; });
    SignalCounter delivered;
    ASSERT_TRUE(QDBusConnection(system).connect("org.freedesktop.login1", "/org/freedesktop/login1",
                                                "org.freedesktop.login1.Manager", "PrepareForSleep", &delivered,
                                                SLOT(prepareForSleep(bool))));
    for (bool start : {true, false, true, false}) {
        QDBusMessage signal = QDBusMessage::createSignal("/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                                         "PrepareForSleep");
        signal << start;
        ASSERT_TRUE(logind.send(signal));
    }
    ASSERT_TRUE(TestClients::waitUntil([&] { return delivered.count == 4; }, 10000)) << delivered.count;
    EXPECT_EQ(resumes, 2);
}

} // namespace

#include "FreedesktopServicesTest.moc"
