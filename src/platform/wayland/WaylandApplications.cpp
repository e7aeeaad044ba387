#include "platform/wayland/WaylandApplications.h"

#include "platform/qt/ThemeIcons.h"
#include "platform/x11/DesktopEntries.h"

#include "wlr-foreign-toplevel-management-unstable-v1-client.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <wayland-client.h>

#include <cstring>
#include <poll.h>

namespace kelvo::wayland {

namespace {

wl_display *connectTo(const QString &displayName)
{
    const QByteArray name = QFile::encodeName(displayName);
    return wl_display_connect(displayName.isEmpty() ? nullptr : name.constData());
}

} // namespace

class WaylandApplications::Connection {
public:
    struct Toplevel {
        Connection *connection = nullptr;
        zwlr_foreign_toplevel_handle_v1 *handle = nullptr;
        quint64 id = 0;
        QString appId, pendingAppId;
        bool activated = false, pendingActivated = false;
        quint64 activatedAt = 0; // when it last became activated, for ties
    };

    Connection(const QString &displayName, QStringList dataDirs) : entries_(std::move(dataDirs))
    {
        display_ = connectTo(displayName);
        if (!display_)
            return;
        registry_ = wl_display_get_registry(display_);
        wl_registry_add_listener(registry_, &registryListener, this);
        wl_display_roundtrip(display_);
        if (!manager_ || !seat_)
            return;
        // The toplevels that exist now, with their state.
        wl_display_roundtrip(display_);
        valid_ = true;
    }

    ~Connection()
    {
        for (Toplevel *t : toplevels_) {
            zwlr_foreign_toplevel_handle_v1_destroy(t->handle);
            delete t;
        }
        if (manager_)
            zwlr_foreign_toplevel_manager_v1_destroy(manager_);
        if (seat_)
            wl_seat_destroy(seat_);
        if (registry_)
            wl_registry_destroy(registry_);
        if (display_)
            wl_display_disconnect(display_);
    }

    bool isValid() const { return valid_ && wl_display_get_error(display_) == 0; }
    int fd() const { return display_ ? wl_display_get_fd(display_) : -1; }

    // Reads and handles whatever the compositor has sent, without waiting.
    void pump()
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

    const Toplevel *front() const
    {
        const Toplevel *best = nullptr;
        for (const Toplevel *t : toplevels_)
            if (t->activated && (!best || t->activatedAt > best->activatedAt))
                best = t;
        return best;
    }

    RunningApplication describe(const Toplevel &t)
    {
        RunningApplication app;
        app.processIdentifier = qint64(t.id);
        app.windowHandle = t.id;
        if (!t.appId.isEmpty()) {
            app.localizedName = t.appId;
            app.identity.classNames = {t.appId};
        }
        if (auto entry = entries_.find(t.appId, t.appId)) {
            app.localizedName = entry->name;
            app.icon = themeIconImage(entry->icon);
            app.identity.desktopEntryId = entry->fileId;
        }
        return app;
    }

    void activate(quint64 id)
    {
        for (Toplevel *t : toplevels_)
            if (t->id == id) {
                zwlr_foreign_toplevel_handle_v1_activate(t->handle, seat_);
                wl_display_flush(display_);
                return;
            }
    }

    void activateAppId(const QString &appId)
    {
        for (Toplevel *t : toplevels_)
            if (t->appId.compare(appId, Qt::CaseInsensitive) == 0) {
                activate(t->id);
                return;
            }
    }

private:
    static void onGlobal(void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t version)
    {
        auto *self = static_cast<Connection *>(data);
        if (std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0 && !self->manager_) {
            self->manager_ = static_cast<zwlr_foreign_toplevel_manager_v1 *>(wl_registry_bind(
                registry, name, &zwlr_foreign_toplevel_manager_v1_interface, std::min<uint32_t>(version, 3)));
            zwlr_foreign_toplevel_manager_v1_add_listener(self->manager_, &managerListener, self);
        } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->seat_) {
            self->seat_ = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        }
    }
    static constexpr wl_registry_listener registryListener = {onGlobal, [](void *, wl_registry *, uint32_t) {}};

    static void onToplevel(void *data, zwlr_foreign_toplevel_manager_v1 *, zwlr_foreign_toplevel_handle_v1 *handle)
    {
        auto *self = static_cast<Connection *>(data);
        auto *t = new Toplevel;
        t->connection = self;
        t->handle = handle;
        t->id = ++self->nextId_;
        self->toplevels_.push_back(t);
        zwlr_foreign_toplevel_handle_v1_add_listener(handle, &handleListener, t);
    }
    static void onManagerFinished(void *, zwlr_foreign_toplevel_manager_v1 *) {}
    static constexpr zwlr_foreign_toplevel_manager_v1_listener managerListener = {onToplevel, onManagerFinished};

    static void onTitle(void *, zwlr_foreign_toplevel_handle_v1 *, const char *) {}
    static void onAppId(void *data, zwlr_foreign_toplevel_handle_v1 *, const char *appId)
    {
        static_cast<Toplevel *>(data)->pendingAppId = QString::fromUtf8(appId);
    }
    static void onOutput(void *, zwlr_foreign_toplevel_handle_v1 *, wl_output *) {}
    static void onState(void *data, zwlr_foreign_toplevel_handle_v1 *, wl_array *state)
    {
        auto *t = static_cast<Toplevel *>(data);
        t->pendingActivated = false;
        const auto *values = static_cast<const uint32_t *>(state->data);
        for (size_t i = 0; i < state->size / sizeof(uint32_t); ++i)
            if (values[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED)
                t->pendingActivated = true;
    }
    static void onDone(void *data, zwlr_foreign_toplevel_handle_v1 *)
    {
        auto *t = static_cast<Toplevel *>(data);
        t->appId = t->pendingAppId;
        if (t->pendingActivated && !t->activated)
            t->activatedAt = ++t->connection->activations_;
        t->activated = t->pendingActivated;
    }
    static void onClosed(void *data, zwlr_foreign_toplevel_handle_v1 *handle)
    {
        auto *t = static_cast<Toplevel *>(data);
        auto &list = t->connection->toplevels_;
        list.erase(std::remove(list.begin(), list.end(), t), list.end());
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
        delete t;
    }
    static void onParent(void *, zwlr_foreign_toplevel_handle_v1 *, zwlr_foreign_toplevel_handle_v1 *) {}
    static constexpr zwlr_foreign_toplevel_handle_v1_listener handleListener = {
        onTitle, onAppId, onOutput, onOutput, onState, onDone, onClosed, onParent};

    wl_display *display_ = nullptr;
    wl_registry *registry_ = nullptr;
    wl_seat *seat_ = nullptr;
    zwlr_foreign_toplevel_manager_v1 *manager_ = nullptr;
    std::vector<Toplevel *> toplevels_;
    quint64 nextId_ = 0;
    quint64 activations_ = 0;
    bool valid_ = false;
    x11::DesktopEntryIndex entries_;
};

WaylandApplications::WaylandApplications(const QString &displayName, QStringList dataDirs, QObject *parent)
    : QObject(parent), connection_(std::make_unique<Connection>(displayName, std::move(dataDirs)))
{
    if (!connection_->isValid())
        return;
    auto *notifier = new QSocketNotifier(connection_->fd(), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] { connection_->pump(); });
}

WaylandApplications::~WaylandApplications() = default;

bool WaylandApplications::isValid() const
{
    return connection_->isValid();
}

std::optional<RunningApplication> WaylandApplications::frontmostApplication() const
{
    connection_->pump();
    const Connection::Toplevel *t = connection_->front();
    if (!t)
        return std::nullopt;
    return connection_->describe(*t);
}

void WaylandApplications::activate(const RunningApplication &app)
{
    connection_->pump();
    connection_->activate(app.windowHandle);
}

void WaylandApplications::activateSelf()
{
    connection_->pump();
    connection_->activateAppId(QStringLiteral("kelvo"));
}

} // namespace kelvo::wayland
