#include "platform/freedesktop/SleepWatcher.h"

namespace kelvo::freedesktop {

SleepWatcher::SleepWatcher(QDBusConnection systemBus, QObject *parent) : QObject(parent)
{
    // A match rule only: nothing is asked of logind, which may not run.
    watching_ = systemBus.isConnected() &&
                systemBus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                                  QStringLiteral("org.freedesktop.login1.Manager"),
                                  QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
}

void SleepWatcher::prepareForSleep(bool start)
{
    if (!start)
        emit resumed();
}

} // namespace kelvo::freedesktop
