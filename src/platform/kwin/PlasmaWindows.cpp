#include "platform/kwin/PlasmaWindows.h"

#include "platform/wayland/WaylandConnection.h"

#include "plasma-window-management-client.h"

#include <wayland-client.h>

#include <algorithm>
#include <vector>

namespace kelvo::kwin {

namespace {

// Version 13 announces windows by uuid; 16 is the newest KWin 5.27 knows.
constexpr uint32_t kUuidVersion = ORG_KDE_PLASMA_WINDOW_MANAGEMENT_WINDOW_WITH_UUID_SINCE_VERSION;
constexpr uint32_t kNewestVersion = 16;

// Handlers of the events Kelvo has no use for.
template <typename... Args>
void ignore(void *, org_kde_plasma_window *, Args...)
{
}

} // namespace

class PlasmaWindows::Connection {
public:
    struct Window {
        Connection *connection = nullptr;
        org_kde_plasma_window *proxy = nullptr;
        PlasmaWindow info;
        bool ready = false;          // its initial state has arrived
        quint64 activatedAt = 0;     // when it last became active, for ties
    };

    explicit Connection(const QString &displayName) : wayland_(displayName)
    {
        manager_ = reinterpret_cast<org_kde_plasma_window_management *>(
            wayland_.bind(&org_kde_plasma_window_management_interface, kNewestVersion));
        if (!manager_)
            return;
        org_kde_plasma_window_management_add_listener(manager_, &managerListener, this);
        // The windows that exist now, then their initial states.
        wayland_.roundtrip();
        wayland_.roundtrip();
    }

    ~Connection()
    {
        for (Window *w : windows_)
            drop(w);
        if (manager_)
            org_kde_plasma_window_management_destroy(manager_);
    }

    bool isValid() const { return manager_ && wayland_.isValid(); }
    wayland::WaylandConnection &wayland() { return wayland_; }

    QList<PlasmaWindow> windows() const
    {
        QList<PlasmaWindow> list;
        for (const Window *w : windows_)
            if (w->ready)
                list.append(w->info);
        return list;
    }

    const Window *active() const
    {
        const Window *best = nullptr;
        for (const Window *w : windows_)
            if (w->ready && w->info.active && (!best || w->activatedAt > best->activatedAt))
                best = w;
        return best;
    }

    void setState(quint64 id, uint32_t flags, uint32_t state)
    {
        for (Window *w : windows_)
            if (w->info.id == id) {
                org_kde_plasma_window_set_state(w->proxy, flags, state);
                wayland_.flush();
                return;
            }
    }

private:
    void add(org_kde_plasma_window *proxy)
    {
        auto *w = new Window;
        w->connection = this;
        w->proxy = proxy;
        w->info.id = ++nextId_;
        windows_.push_back(w);
        org_kde_plasma_window_add_listener(proxy, &windowListener, w);
    }

    void drop(Window *w)
    {
        if (org_kde_plasma_window_get_version(w->proxy) >= ORG_KDE_PLASMA_WINDOW_DESTROY_SINCE_VERSION)
            org_kde_plasma_window_destroy(w->proxy);
        else
            wl_proxy_destroy(reinterpret_cast<wl_proxy *>(w->proxy));
        delete w;
    }

    static void onWindow(void *data, org_kde_plasma_window_management *manager, uint32_t id)
    {
        // Announced by uuid as well from that version on.
        if (org_kde_plasma_window_management_get_version(manager) < kUuidVersion)
            static_cast<Connection *>(data)->add(org_kde_plasma_window_management_get_window(manager, id));
    }
    static void onWindowWithUuid(void *data, org_kde_plasma_window_management *manager, uint32_t, const char *uuid)
    {
        static_cast<Connection *>(data)->add(org_kde_plasma_window_management_get_window_by_uuid(manager, uuid));
    }
    static constexpr org_kde_plasma_window_management_listener managerListener = {
        .show_desktop_changed = [](void *, org_kde_plasma_window_management *, uint32_t) {},
        .window = onWindow,
        .stacking_order_changed = [](void *, org_kde_plasma_window_management *, wl_array *) {},
        .stacking_order_uuid_changed = [](void *, org_kde_plasma_window_management *, const char *) {},
        .window_with_uuid = onWindowWithUuid,
    };

    static Window *window(void *data) { return static_cast<Window *>(data); }
    static void onStateChanged(void *data, org_kde_plasma_window *, uint32_t flags)
    {
        Window *w = window(data);
        const bool active = flags & ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE;
        if (active && !w->info.active)
            w->activatedAt = ++w->connection->activations_;
        w->info.active = active;
    }
    static void onUnmapped(void *data, org_kde_plasma_window *)
    {
        Window *w = window(data);
        auto &list = w->connection->windows_;
        list.erase(std::remove(list.begin(), list.end(), w), list.end());
        w->connection->drop(w);
    }
    static constexpr org_kde_plasma_window_listener windowListener = {
        .title_changed = [](void *data, org_kde_plasma_window *,
                            const char *title) { window(data)->info.title = QString::fromUtf8(title); },
        .app_id_changed = [](void *data, org_kde_plasma_window *,
                             const char *appId) { window(data)->info.appId = QString::fromUtf8(appId); },
        .state_changed = onStateChanged,
        .virtual_desktop_changed = ignore<int32_t>,
        .themed_icon_name_changed = ignore<const char *>,
        .unmapped = onUnmapped,
        .initial_state = [](void *data, org_kde_plasma_window *) { window(data)->ready = true; },
        .parent_window = ignore<org_kde_plasma_window *>,
        .geometry = [](void *data, org_kde_plasma_window *, int32_t x, int32_t y, uint32_t width,
                       uint32_t height) { window(data)->info.geometry = QRect(x, y, int(width), int(height)); },
        .icon_changed = ignore<>,
        .pid_changed = [](void *data, org_kde_plasma_window *, uint32_t pid) { window(data)->info.pid = pid; },
        .virtual_desktop_entered = ignore<const char *>,
        .virtual_desktop_left = ignore<const char *>,
        .application_menu = ignore<const char *, const char *>,
        .activity_entered = ignore<const char *>,
        .activity_left = ignore<const char *>,
        .resource_name_changed = ignore<const char *>,
    };

    wayland::WaylandConnection wayland_;
    org_kde_plasma_window_management *manager_ = nullptr;
    std::vector<Window *> windows_;
    quint64 nextId_ = 0;
    quint64 activations_ = 0;
};

PlasmaWindows::PlasmaWindows(const QString &displayName, QObject *parent)
    : QObject(parent), connection_(std::make_unique<Connection>(displayName))
{
    if (connection_->isValid())
        connection_->wayland().watch(this);
}

PlasmaWindows::~PlasmaWindows() = default;

bool PlasmaWindows::isValid() const
{
    return connection_->isValid();
}

QList<PlasmaWindow> PlasmaWindows::windows()
{
    connection_->wayland().pump();
    return connection_->windows();
}

std::optional<PlasmaWindow> PlasmaWindows::active()
{
    connection_->wayland().pump();
    const Connection::Window *w = connection_->active();
    return w ? std::optional<PlasmaWindow>(w->info) : std::nullopt;
}

void PlasmaWindows::activate(quint64 id)
{
    connection_->wayland().pump();
    connection_->setState(id, ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE | ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_MINIMIZED,
                          ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE);
}

} // namespace kelvo::kwin
