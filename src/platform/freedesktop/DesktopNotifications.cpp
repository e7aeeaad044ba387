#include "platform/freedesktop/DesktopNotifications.h"

#include "platform/Log.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace kelvo::freedesktop {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

void logInstead(const QString &summary, const QString &body)
{
    logLine(QStringLiteral("[Kelvo] ") + summary + (body.isEmpty() ? QString() : QStringLiteral(": ") + body));
}

} // namespace

DesktopNotifications::DesktopNotifications(QDBusConnection bus, QObject *parent)
    : QObject(parent), bus_(std::move(bus))
{
}

void DesktopNotifications::notify(const QString &summary, const QString &body)
{
    if (!bus_.isConnected()) {
        logInstead(summary, body);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    // app_name, replaces_id, app_icon, summary, body, actions, hints, timeout
    // (-1: the desktop's own choice).
    call << QStringLiteral("Kelvo") << quint32(0) << QStringLiteral("io.github.kelvo.Kelvo") << summary << body
         << QStringList() << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("io.github.kelvo.Kelvo")}}
         << qint32(-1);
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [summary, body](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<quint32> reply = *w;
        if (reply.isError())
            logInstead(summary, body);
        w->deleteLater();
    });
}

} // namespace kelvo::freedesktop
