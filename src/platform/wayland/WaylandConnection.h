#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

struct wl_display;
struct wl_interface;
struct wl_proxy;
struct wl_registry;
class QObject;

namespace kelvo::wayland {

// A client connection to the compositor for the services that live on the
// main thread (windows, key events). The globals the compositor offers are
// read once, when connecting; a service binds the ones it needs. Events are
// read by pump() without waiting, and by watch() whenever the compositor
// sends some.
class WaylandConnection {
public:
    // An empty name means $WAYLAND_DISPLAY; a name may be an absolute path.
    explicit WaylandConnection(const QString &displayName);
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection &) = delete;
    WaylandConnection &operator=(const WaylandConnection &) = delete;

    // Connected, and no protocol error since.
    bool isValid() const;
    wl_display *display() const { return display_; }

    // The interfaces of the globals, in the compositor's order.
    QStringList interfaces() const;
    // The version offered of the interface, 0 when not offered.
    uint32_t version(const char *interface) const;
    // Binds the first global of that interface at the offered version, at
    // most maxVersion; nullptr when not offered.
    wl_proxy *bind(const wl_interface *interface, uint32_t maxVersion) const;

    // Waits for the compositor to have handled every request sent so far.
    void roundtrip();
    void flush();
    // Reads and handles whatever the compositor has sent, without waiting.
    void pump();
    // Pumps from `context`'s event loop whenever the compositor sends
    // something, while `context` lives.
    void watch(QObject *context);

    // The interfaces a compositor offers; empty when it cannot be reached.
    static QStringList interfacesOf(const QString &displayName);

private:
    struct Global {
        uint32_t name;
        QString interface;
        uint32_t version;
    };

    wl_display *display_ = nullptr;
    wl_registry *registry_ = nullptr;
    QList<Global> globals_;
};

} // namespace kelvo::wayland
