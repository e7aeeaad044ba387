#pragma once

// The tests' own X clients: windows with the properties a program sets, a
// thread that serves the events of one connection, reading the clipboard
// and owning it.

#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Pasteboard.h"
#include "support/TestClients.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QRect>

#include <algorithm>
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

// A fetch of the clipboard's contents; filled in when its callback runs.
struct Fetched {
    bool called = false;
    std::shared_ptr<const PasteboardContents> contents;
    qint64 elapsedMs = 0;
};

inline std::shared_ptr<Fetched> startFetch(x11::X11Pasteboard &pb)
{
    auto f = std::make_shared<Fetched>();
    QElapsedTimer timer;
    timer.start();
    pb.fetchContents([f, timer](std::shared_ptr<const PasteboardContents> c) {
        f->called = true;
        f->contents = std::move(c);
        f->elapsedMs = timer.elapsed();
    });
    return f;
}

inline std::shared_ptr<const PasteboardContents> fetch(x11::X11Pasteboard &pb, int timeoutMs = 5000)
{
    const auto f = startFetch(pb);
    EXPECT_TRUE(TestClients::waitUntil([f] { return f->called; }, timeoutMs)) << "the fetch never ended";
    return f->contents;
}

using Targets = QList<std::pair<QByteArray, QByteArray>>; // target, data

// An owner of CLIPBOARD on its own connection and thread. It offers the
// targets of the first copy. When a program asks for the data of a target,
// it copies the next one (takes CLIPBOARD again with the next targets), as a
// user who copies again while the last copy is being read, and answers only
// once the next read has begun (asks for TARGETS): the reads overlap. A
// silent owner never answers. `beforeTargets` runs on the owner's thread
// before it answers a request for TARGETS.
class TestOwner {
public:
    TestOwner(const QString &display, std::vector<Targets> copies, bool silent = false,
              std::function<void()> beforeTargets = {})
        : c_(display), copies_(std::move(copies)), beforeTargets_(std::move(beforeTargets))
    {
        for (const Targets &targets : copies_) {
            std::vector<xcb_atom_t> atoms{c_.atom("TARGETS")};
            for (const auto &t : targets)
                atoms.push_back(c_.atom(t.first.constData()));
            atoms_.push_back(std::move(atoms));
        }
        clipboard_ = c_.atom("CLIPBOARD");
        WindowOptions options;
        options.inputOnly = true;
        window_ = makeWindow(c_, options);
        take();
        if (!silent)
            thread_ = std::thread([this] { serveUntilStopped(); });
    }
    ~TestOwner()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }

private:
    void serveUntilStopped()
    {
        while (!stop_) {
            if (xcb_generic_event_t *e = xcb_poll_for_event(c_.get())) {
                if ((e->response_type & 0x7f) == XCB_SELECTION_REQUEST)
                    serve(*reinterpret_cast<xcb_selection_request_event_t *>(e));
                std::free(e);
                continue;
            }
            pollfd p{xcb_get_file_descriptor(c_.get()), POLLIN, 0};
            poll(&p, 1, 20); // the poll interval: the stop flag is read between polls
        }
    }
    void take()
    {
        xcb_set_selection_owner(c_.get(), window_, clipboard_, XCB_CURRENT_TIME);
        c_.sync();
    }
    void serve(const xcb_selection_request_event_t &r)
    {
        const std::vector<xcb_atom_t> &atoms = atoms_[current_];
        const qsizetype i = std::find(atoms.begin(), atoms.end(), r.target) - atoms.begin();
        const bool known = i < qsizetype(atoms.size());
        if (i == 0 && beforeTargets_)
            beforeTargets_();
        if (i == 0)
            xcb_change_property(c_.get(), XCB_PROP_MODE_REPLACE, r.requestor, r.property, XCB_ATOM_ATOM, 32,
                                quint32(atoms.size()), atoms.data());
        else if (known)
            xcb_change_property(c_.get(), XCB_PROP_MODE_REPLACE, r.requestor, r.property, r.target, 8,
                                quint32(copies_[current_][i - 1].second.size()),
                                copies_[current_][i - 1].second.constData());
        const xcb_selection_notify_event_t n{.response_type = XCB_SELECTION_NOTIFY, .pad0 = 0, .sequence = 0, .time = r.time,
                                             .requestor = r.requestor, .selection = r.selection, .target = r.target,
                                             .property = known ? r.property : xcb_atom_t(XCB_ATOM_NONE)};
        if (i == 0 && deferred_) {
            send(*deferred_);
            deferred_.reset();
        }
        if (i > 0 && known && current_ + 1 < copies_.size()) {
            ++current_;
            take();
            deferred_ = n;
        } else {
            send(n);
        }
    }
    void send(const xcb_selection_notify_event_t &n)
    {
        xcb_send_event(c_.get(), 0, n.requestor, 0, reinterpret_cast<const char *>(&n));
        xcb_flush(c_.get());
    }

    x11::X11Connection c_;
    std::vector<Targets> copies_;
    std::function<void()> beforeTargets_;
    std::vector<std::vector<xcb_atom_t>> atoms_;
    std::size_t current_ = 0;
    std::optional<xcb_selection_notify_event_t> deferred_;
    xcb_atom_t clipboard_ = XCB_ATOM_NONE;
    xcb_window_t window_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace kelvo::testing
