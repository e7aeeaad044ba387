#pragma once

#include "platform/HotKeys.h"
#include "platform/x11/X11Connection.h"

#include <QHash>
#include <QList>
#include <QObject>

#include <memory>

class QSocketNotifier;

namespace kelvo::x11 {

// Global shortcuts as passive key grabs on the root window. Each combination
// is grabbed with and without Caps Lock and Num Lock, so that the locks do
// not stop it. Presses are read from a connection of the service's own,
// watched by a socket notifier, and so reach the handler on the thread that
// owns the service (the main thread), in a turn of its event loop.
class X11HotKeyService : public QObject, public HotKeyService {
    Q_OBJECT
public:
    // Status when there is no display, or the key position has no X11 key.
    static constexpr qint32 NoDisplayStatus = -1;
    static constexpr qint32 UnknownKeyStatus = 2; // BadValue

    explicit X11HotKeyService(const QString &displayName = {}, QObject *parent = nullptr);
    ~X11HotKeyService() override;

    void installHandler(std::function<void()> onPressed) override;
    // Fails with the X error of the first refused grab (BadAccess, 10, when
    // another client holds the combination); nothing stays grabbed then.
    HotKeyRegistration registerHotKey(quint32 keyCode, quint32 modifiers) override;
    void unregisterHotKey(quint64 handle) override;
    bool isHeld(quint64 handle) const override { return grabs_.contains(handle); }

    bool isValid() const { return connection_->isValid(); }
    // The modifier bit that Num Lock sets on this display (0 if none).
    quint16 numLockMask() const { return numLockMask_; }

private:
    struct Grab {
        quint8 keyCode = 0;
        quint16 modifiers = 0;
        QList<quint16> variants; // the masks grabbed, locks included
    };

    quint16 queryNumLockMask();
    qint32 grab(Grab &grab);
    void ungrab(const Grab &grab);
    void readEvents();
    void scheduleRead();
    void regrabAll();

    std::unique_ptr<X11Connection> connection_;
    QSocketNotifier *notifier_ = nullptr;
    std::function<void()> onPressed_;
    QHash<quint64, Grab> grabs_;
    quint64 nextHandle_ = 1;
    quint16 numLockMask_ = 0;
    QHash<quint8, quint32> lastReleaseTime_;
    bool readScheduled_ = false;
};

} // namespace kelvo::x11
