#include "platform/wayland/WaylandConnection.h"

#include <QFile>
#include <QObject>
#include <QSocketNotifier>

#include <wayland-client.h>

#include <algorithm>
#include <poll.h>

namespace kelvo::wayland {

WaylandConnection::WaylandConnection(const QString &displayName)
{
    const QByteArray name = QFile::encodeName(displayName);
    display_ = wl_display_connect(displayName.isEmpty() ? nullptr : name.constData());
    if (!display_)
        return;
    registry_ = wl_display_get_registry(display_);
    static const wl_registry_listener listener = {
        [](void *data, wl_registry *, uint32_t name, const char *interface, uint32_t version) {
            static_cast<QList<Global> *>(data)->append({name, QString::fromUtf8(interface), version});
        },
        [](void *, wl_registry *, uint32_t) {}};
    wl_registry_add_listener(registry_, &listener, &globals_);
    wl_display_roundtrip(display_);
}

WaylandConnection::~WaylandConnection()
{
    if (registry_)
        wl_registry_destroy(registry_);
    if (display_)
        wl_display_disconnect(display_);
}

bool WaylandConnection::isValid() const
{
    return display_ && wl_display_get_error(display_) == 0;
}

QStringList WaylandConnection::interfaces() const
{
    QStringList names;
    for (const Global &g : globals_)
        names.append(g.interface);
    return names;
}

uint32_t WaylandConnection::version(const char *interface) const
{
    for (const Global &g : globals_)
        if (g.interface == QLatin1String(interface))
            return g.version;
    return 0;
}

wl_proxy *WaylandConnection::bind(const wl_interface *interface, uint32_t maxVersion) const
{
    for (const Global &g : globals_)
        if (g.interface == QLatin1String(interface->name))
            return static_cast<wl_proxy *>(
                wl_registry_bind(registry_, g.name, interface, std::min(g.version, maxVersion)));
    return nullptr;
}

void WaylandConnection::roundtrip()
{
    if (isValid())
        wl_display_roundtrip(display_);
}

void WaylandConnection::flush()
{
    if (isValid())
        wl_display_flush(display_);
}

void WaylandConnection::pump()
{
    if (!isValid())
        return;
    while (wl_display_prepare_read(display_) != 0)
        wl_display_dispatch_pending(display_);
    wl_display_flush(display_);
    pollfd p{wl_display_get_fd(display_), POLLIN, 0};
    if (poll(&p, 1, 0) > 0)
        wl_display_read_events(display_);
    else
        wl_display_cancel_read(display_);
    wl_display_dispatch_pending(display_);
}

void WaylandConnection::watch(QObject *context)
{
    if (!display_)
        return;
    auto *notifier = new QSocketNotifier(wl_display_get_fd(display_), QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [this] { pump(); });
}

QStringList WaylandConnection::interfacesOf(const QString &displayName)
{
    return WaylandConnection(displayName).interfaces();
}

} // namespace kelvo::wayland
