#include "platform/wayland/WaylandApplications.h"

#include "platform/wayland/WaylandConnection.h"
#include "platform/qt/ThemeIcons.h"
#include "platform/x11/DesktopEntries.h"

#include "wlr-foreign-toplevel-management-unstable-v1-client.h"

#include <wayland-client.h>

#include <algorithm>

namespace kelvo::wayland {

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

    Connection(const QString &displayName, QStringList dataDirs)
        : wayland_(displayName), entries_(std::move(dataDirs))
    {
        manager_ = reinterpret_cast<zwlr_foreign_toplevel_manager_v1 *>(
            wayland_.bind(&zwlr_foreign_toplevel_manager_v1_interface, 3));
        seat_ = reinterpret_cast<wl_seat *>(wayland_.bind(&wl_seat_interface, 1));
        if (!manager_ || !seat_)
            return;
        zwlr_foreign_toplevel_manager_v1_add_listener(manager_, &managerListener, this);
        // The toplevels that exist now, with their state.
        wayland_.roundtrip();
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
    }

    bool isValid() const { return valid_ && wayland_.isValid(); }
    WaylandConnection &wayland() { return wayland_; }

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
                wayland_.flush();
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

    WaylandConnection wayland_;
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
    if (connection_->isValid())
        connection_->wayland().watch(this);
}

WaylandApplications::~WaylandApplications() = default;

bool WaylandApplications::isValid() const
{
    return connection_->isValid();
}

std::optional<RunningApplication> WaylandApplications::frontmostApplication() const
{
    connection_->wayland().pump();
    const Connection::Toplevel *t = connection_->front();
    if (!t)
        return std::nullopt;
    return connection_->describe(*t);
}

void WaylandApplications::activate(const RunningApplication &app)
{
    connection_->wayland().pump();
    connection_->activate(app.windowHandle);
}

void WaylandApplications::activateSelf()
{
    connection_->wayland().pump();
    connection_->activateAppId(QStringLiteral("kelvo"));
}

} // namespace kelvo::wayland
