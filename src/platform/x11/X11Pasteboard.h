#pragma once

#include "platform/Pasteboard.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <xcb/xcb.h>

#include <map>
#include <memory>
#include <thread>

class QSocketNotifier;
class QTimer;

namespace kelvo::x11 {

class X11Connection;

// The X11 CLIPBOARD selection (PRIMARY is never touched).
//
// Construct it on the main thread with a Qt event loop running:
//     kelvo::x11::X11Pasteboard pasteboard(parent);      // $DISPLAY
//     kelvo::x11::X11Pasteboard pasteboard(parent, ":1");
// Owner changes are watched through XFixes on a private connection served
// from the event loop; every fetch runs on a worker thread with its own
// connection and a time limit, so a silent owner never blocks the caller.
class X11Pasteboard final : public QObject, public Pasteboard {
public:
    explicit X11Pasteboard(QObject *parent = nullptr, const QString &displayName = {});
    ~X11Pasteboard() override;

    bool isValid() const;

    qint64 changeCount() const override;
    void fetchContents(ContentsCallback callback) override;
    void setChangeHandler(std::function<void()> handler) override;
    // Through XFixes, where the server has it.
    bool reportsChanges() const override { return xfixes_; }
    // Lost when the server closes the connection and a new one cannot be
    // made; back when a later fetch or write makes one.
    void setConnectionHandler(std::function<void(bool working)> handler) override;
    bool write(const QList<PasteboardWriteItem> &items) override;

    // Time allowed for one whole fetch.
    void setFetchTimeLimit(int milliseconds) { fetchLimitMs_ = milliseconds; }

    // The X11 targets a type is written under, and the type a target is read as.
    static QStringList targetsForType(const QString &type);
    static QString typeForTarget(const QString &target);
    static bool isMetaTarget(const QString &target);

private:
    struct Transfer;
    bool openConnection();
    void connectionBroke();
    // Tries a new connection after a lost one; true when one works.
    bool reconnect();
    void tellConnection(bool working);
    void dropNotifier();
    void notifyChange();
    void processEvents() const;
    void handleEvent(xcb_generic_event_t *event);
    void handleSelectionRequest(const xcb_selection_request_event_t *request);
    void handlePropertyDelete(xcb_window_t window, xcb_atom_t property);
    bool takeOwnership();
    void dropStaleTransfers();
    QStringList ownedTargets() const;
    std::optional<std::pair<xcb_atom_t, QByteArray>> dataForTarget(const QString &target) const;

    QString displayName_;
    std::unique_ptr<X11Connection> connection_;
    xcb_window_t window_ = XCB_WINDOW_NONE;
    quint8 xfixesEvent_ = 0;
    bool xfixes_ = false;
    mutable qint64 changeCount_ = 0;
    bool owner_ = false;
    QList<std::pair<QString, QByteArray>> data_; // type -> bytes, in order
    std::map<std::pair<xcb_window_t, xcb_atom_t>, std::shared_ptr<Transfer>> transfers_;
    QSocketNotifier *notifier_ = nullptr;
    QTimer *transferTimer_ = nullptr;
    std::function<void()> changeHandler_;
    std::function<void(bool)> connectionHandler_;
    bool changeNotifyQueued_ = false;
    int fetchLimitMs_ = 2000;
    quint64 nextFetch_ = 0;
    std::map<quint64, std::thread> workers_;
};

} // namespace kelvo::x11
