#pragma once

#include "platform/Pasteboard.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>

class QTimer;

namespace kelvo {
struct MimeSnapshot;
}

namespace kelvo::wayland {

// The Wayland clipboard (the regular selection; the primary selection is
// never touched) through the wlroots data-control protocol, which lets a
// client without a focused surface see and set the selection.
//
// Construct it on the main thread with a Qt event loop running:
//     kelvo::wayland::WaylandPasteboard pasteboard(parent);       // $WAYLAND_DISPLAY
//     kelvo::wayland::WaylandPasteboard pasteboard(parent, "/run/user/1000/wayland-1");
// and check isValid(): false when there is no compositor or it does not
// offer data-control. The connection is Kelvo's own and is served on a
// thread of its own. Every selection change made by another program is
// counted and read at once (so a source that quits when it is replaced is
// still read), on a worker thread through one pipe per MIME type, within a
// time limit; what Kelvo writes is served from its own source and never read
// back.
class WaylandPasteboard final : public QObject, public Pasteboard {
public:
    explicit WaylandPasteboard(QObject *parent = nullptr, const QString &displayName = {});
    ~WaylandPasteboard() override;

    bool isValid() const;

    // Whether a compositor offering these globals (their interface names)
    // offers data-control.
    static bool offersDataControl(const QStringList &interfaces);

    qint64 changeCount() const override;
    void fetchContents(ContentsCallback callback) override;

    // Offers every representation (the first occurrence of a type wins) from
    // a new source of Kelvo's own and makes it the selection, counted once.
    bool write(const QList<PasteboardWriteItem> &items) override;

    // Called on the main thread once the read of another program's change
    // has landed, so that capture fetches what was just read.
    void setChangeHandler(std::function<void()> handler) override { changeHandler_ = std::move(handler); }
    // data-control reports every change.
    bool reportsChanges() const override { return true; }
    // A copy is read as soon as it is reported (a source may quit once it
    // is replaced); with a gate it first waits for the gate's word, which
    // costs one turn of the main thread's event loop.
    void setReadGate(std::function<bool(qint64 count)> gate) override;

    // Told once when the compositor closes the connection or withdraws
    // clipboard access (nothing makes a new connection).
    void setConnectionHandler(std::function<void(bool working)> handler) override
    {
        connectionHandler_ = std::move(handler);
    }

    // Time allowed for one whole read of the selection.
    void setFetchTimeLimit(int milliseconds);

    // Called on the main thread for every change made by another program, in
    // order, with what was read (nullptr when it could not be read in time,
    // empty contents when the selection was cleared).
    using ChangeCallback = std::function<void(qint64 count, std::shared_ptr<const PasteboardContents>)>;
    void setChangeCallback(ChangeCallback callback) { changeCallback_ = std::move(callback); }

private:
    class Connection;
    void readDone(qint64 count, std::shared_ptr<const PasteboardContents> contents);
    void connectionLost();
    void decideRead(qint64 count);
    bool publish(const PasteboardWriteItem &representations);

    std::unique_ptr<Connection> connection_;
    // The contents as of a change count: foreign reads land here in order,
    // own writes at once.
    qint64 knownCount_ = -1;
    std::shared_ptr<const PasteboardContents> known_;
    struct Waiter {
        qint64 count;
        ContentsCallback callback;
    };
    std::deque<Waiter> waiters_;
    QTimer *waitTimer_ = nullptr;
    ChangeCallback changeCallback_;
    std::function<void()> changeHandler_;
    std::function<void(bool)> connectionHandler_;
    std::function<bool(qint64)> readGate_;
    int fetchLimitMs_ = 2000;
};

} // namespace kelvo::wayland
