// What Kelvo sends the desktop's notification service, read by a service of
// the test's own on a private bus, and the log line it falls back to when
// no service answers.

#include "platform/Log.h"
#include "platform/freedesktop/DesktopNotifications.h"
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

TEST(DesktopNotificationsTest, ReachesTheServiceOrElseTheLog)
{
    static int argc = 0;
    static QCoreApplication app(argc, nullptr);
    QStringList log;
    kelvo::setLogSink([&](const QString &line) { log << line; });
    QTemporaryDir dir;
    QProcess bus;
    bus.start("timeout", {"120", "dbus-daemon", "--nofork", "--print-address", "--session",
                          "--address=unix:path=" + dir.filePath("bus")});
    const QString address = bus.waitForReadyRead(10000) ? QString::fromUtf8(bus.readLine().trimmed()) : QString();
    ASSERT_FALSE(address.isEmpty()) << "no dbus-daemon (package dbus-daemon)";
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
    bus.terminate();
    EXPECT_TRUE(bus.waitForFinished(5000));
}

} // namespace
