#include "platform/gnome/ExtensionSetup.h"

#include "platform/Log.h"
#include "platform/gnome/ShellExtension.h"

#include <QDBusReply>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

namespace kelvo::gnome {

namespace {

// The states of org.gnome.Shell.Extensions (GNOME Shell's ExtensionState).
constexpr int kEnabled = 1, kDisabled = 2, kInitialized = 6;

QDBusMessage shellCall(const QString &method, const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"),
                                                       QStringLiteral("org.gnome.Shell.Extensions"), method);
    call.setArguments(arguments);
    call.setAutoStartService(false);
    return call;
}

} // namespace

ExtensionSetup::Offer ExtensionSetup::offer(const QStringList &dataDirs) const
{
    const QString uuid = QString::fromLatin1(kExtensionUuid);
    const QDBusReply<QVariantMap> info = bus_.call(shellCall(QStringLiteral("GetExtensionInfo"), {uuid}), QDBus::Block, 2000);
    if (!info.isValid())
        return Offer::None; // no GNOME Shell
    if (info.value().isEmpty()) {
        for (const QString &dir : dataDirs)
            if (QFileInfo::exists(dir + QStringLiteral("/gnome-shell/extensions/") + uuid + QStringLiteral("/metadata.json")))
                return Offer::LogInAgain;
        return Offer::None;
    }
    const int state = info.value().value(QStringLiteral("state")).toInt();
    if (state == kDisabled || state == kInitialized)
        return Offer::Enable;
    if (state != kEnabled)
        logLine(QStringLiteral("GNOME Shell could not start Kelvo's extension (state %1): %2")
                    .arg(state)
                    .arg(info.value().value(QStringLiteral("error")).toString()));
    return Offer::None;
}

bool ExtensionSetup::enable(int timeoutMs) const
{
    const QDBusReply<bool> enabled =
        bus_.call(shellCall(QStringLiteral("EnableExtension"), {QString::fromLatin1(kExtensionUuid)}), QDBus::Block, 5000);
    if (!enabled.isValid() || !enabled.value())
        return false;
    // It loads its modules once the shell has enabled it.
    const QDeadlineTimer deadline(timeoutMs);
    while (!ShellExtension::version(bus_, 500)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50); // the poll interval inside the deadline
    }
    return true;
}

} // namespace kelvo::gnome
