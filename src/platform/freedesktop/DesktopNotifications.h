#pragma once

#include "platform/Notifications.h"

#include <QDBusConnection>
#include <QObject>

namespace kelvo::freedesktop {

// Notifications through the desktop's notification service
// (org.freedesktop.Notifications on the session bus), which every Linux
// desktop runs or starts on demand. The call does not wait for the service:
// when it is missing, or answers with an error, the message goes to the log
// as one line ("[Kelvo] <summary>: <body>").
class DesktopNotifications final : public QObject, public Notifications {
    Q_OBJECT
public:
    // A disconnected bus logs every message.
    explicit DesktopNotifications(QDBusConnection bus, QObject *parent = nullptr);

    void notify(const QString &summary, const QString &body) override;

private:
    QDBusConnection bus_;
};

} // namespace kelvo::freedesktop
