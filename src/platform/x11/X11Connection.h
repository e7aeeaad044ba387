#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <xcb/xcb.h>

#include <optional>
#include <vector>

namespace kelvo::x11 {

// One private connection to an X server with the first screen's root
// window and a cache of interned atoms. Each service keeps its own, so
// that a slow request of one never waits behind another's.
class X11Connection {
public:
    // An empty name connects to $DISPLAY.
    explicit X11Connection(const QString &displayName = {});
    ~X11Connection();
    X11Connection(const X11Connection &) = delete;
    X11Connection &operator=(const X11Connection &) = delete;

    bool isValid() const { return connection_ != nullptr; }
    xcb_connection_t *get() const { return connection_; }
    xcb_window_t root() const { return root_; }

    xcb_atom_t atom(const char *name);

    // A property's raw value, nullopt when the window has none (or is gone).
    struct Property {
        xcb_atom_t type = XCB_ATOM_NONE;
        quint8 format = 0;
        QByteArray value;
    };
    std::optional<Property> property(xcb_window_t window, xcb_atom_t name,
                                     quint32 maxLongs = 1 << 16);
    // The first 32-bit item of a CARDINAL or WINDOW property.
    std::optional<quint32> cardinal(xcb_window_t window, xcb_atom_t name);
    std::vector<quint32> cardinals(xcb_window_t window, xcb_atom_t name);

    // Waits until the server has handled every request sent so far.
    void sync();
    // Drops every event and error queued on the connection.
    void discardEvents();

private:
    xcb_connection_t *connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    QHash<QByteArray, xcb_atom_t> atoms_;
};

} // namespace kelvo::x11
