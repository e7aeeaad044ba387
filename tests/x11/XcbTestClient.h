#pragma once

// The tests' own X clients: windows with the properties a program sets, and
// a thread that serves the events of one connection.

#include "platform/x11/X11Connection.h"

#include <QByteArray>
#include <QRect>

#include <atomic>
#include <functional>
#include <optional>
#include <poll.h>
#include <thread>
#include <vector>

namespace kelvo::testing {

struct WindowOptions {
    QRect frame{10, 10, 200, 100};
    quint32 eventMask = 0;
    QByteArray wmClass; // "instance\0Class\0"
    std::optional<quint32> pid;
    std::vector<quint32> icon; // _NET_WM_ICON
    bool inputOnly = false;
};

// Creates and maps a top-level window; returns once the server has it.
inline xcb_window_t makeWindow(x11::X11Connection &c, const WindowOptions &options = {})
{
    xcb_connection_t *x = c.get();
    const xcb_window_t w = xcb_generate_id(x);
    xcb_create_window(x, XCB_COPY_FROM_PARENT, w, c.root(), qint16(options.frame.x()), qint16(options.frame.y()),
                      quint16(options.frame.width()), quint16(options.frame.height()), 0,
                      options.inputOnly ? XCB_WINDOW_CLASS_INPUT_ONLY : XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, options.eventMask ? XCB_CW_EVENT_MASK : 0, &options.eventMask);
    const auto set = [&](xcb_atom_t name, xcb_atom_t type, quint8 format, quint32 length, const void *data) {
        xcb_change_property(x, XCB_PROP_MODE_REPLACE, w, name, type, format, length, data);
    };
    if (!options.wmClass.isEmpty())
        set(XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, quint32(options.wmClass.size()), options.wmClass.constData());
    if (options.pid)
        set(c.atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &*options.pid);
    if (!options.icon.empty())
        set(c.atom("_NET_WM_ICON"), XCB_ATOM_CARDINAL, 32, quint32(options.icon.size()), options.icon.data());
    if (!options.inputOnly)
        xcb_map_window(x, w);
    c.sync();
    return w;
}

// Hands every event of `connection` to `handle` on a thread of its own
// until it is destroyed. Intern the atoms the handler needs before.
class EventThread {
public:
    EventThread(xcb_connection_t *connection, std::function<void(xcb_generic_event_t *)> handle)
        : thread_([this, connection, handle = std::move(handle)] {
              while (!stop_) {
                  if (xcb_generic_event_t *e = xcb_poll_for_event(connection)) {
                      handle(e);
                      std::free(e);
                      continue;
                  }
                  pollfd p{xcb_get_file_descriptor(connection), POLLIN, 0};
                  poll(&p, 1, 20); // the poll interval: the stop flag is read between polls
              }
          })
    {
    }
    ~EventThread()
    {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace kelvo::testing
