#pragma once

#include "platform/HotKeys.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <optional>

class QDBusMessage;

namespace kelvo::portal {

// The global shortcut through the desktop portal's GlobalShortcuts
// interface (KDE Plasma, GNOME 48+, Hyprland) on the session bus.
//
// Each registration is a portal session of its own: CreateSession, then
// BindShortcuts with the one shortcut `kShortcutId` and the combination as
// its preferred trigger. The desktop may ask the user, who may choose
// another trigger or refuse; whatever it binds is logged, and every
// Activated signal of the session for `kShortcutId` is a press. Every call
// is asynchronous: a registration is answered as pending and settled when
// the portal's Response arrives, or fails when none comes in time.
// Unregistering closes the session; so does the service's end.
class PortalHotKeyService final : public QObject, public HotKeyService {
    Q_OBJECT
public:
    static constexpr qint32 NoAnswerStatus = -1;     // a call failed or was not answered in time
    static constexpr qint32 CancelledStatus = 1;     // the user cancelled the portal's dialog
    static constexpr qint32 PortalFailedStatus = 2;  // the portal ended the call otherwise
    static constexpr qint32 NotBoundStatus = 3;      // the portal bound the session without the shortcut
    static constexpr qint32 UnknownKeyStatus = 4;    // the key position has no key name
    static constexpr qint32 SessionClosedStatus = 5; // the desktop closed the session

    static constexpr const char *kShortcutId = "toggle-panel";
    // How long a call and the session's creation may take; binding may wait
    // on the user and is given longer.
    static constexpr int kAnswerLimitMs = 5000;
    static constexpr int kBindLimitMs = 120000;

    explicit PortalHotKeyService(const QDBusConnection &bus, QObject *parent = nullptr);
    ~PortalHotKeyService() override;

    // Whether the bus's portal offers GlobalShortcuts (its `version`
    // property answers within limitMs).
    static bool offered(const QDBusConnection &bus, int limitMs = 1000);
    // The combination in the freedesktop.org trigger format
    // ("LOGO+SHIFT+v"); nothing for a key without a name.
    static std::optional<QString> triggerFor(quint32 keyCode, quint32 modifiers);

    void installHandler(std::function<void()> onPressed) override;
    void installSettledHandler(std::function<void(quint64 handle, qint32 status)> onSettled) override;
    HotKeyRegistration registerHotKey(quint32 keyCode, quint32 modifiers) override;
    void unregisterHotKey(quint64 handle) override;
    bool isHeld(quint64 handle) const override { return sessions_.contains(handle); }

private slots:
    void onResponse(const QDBusMessage &message);
    void onActivated(const QDBusMessage &message);
    void onShortcutsChanged(const QDBusMessage &message);
    void onSessionClosed(const QDBusMessage &message);

private:
    using Answer = std::function<void(std::optional<uint> response, const QVariantMap &results)>;
    // Calls `method` with a request token; `answer` gets the Response, or
    // nothing when the call fails or no Response comes within limitMs.
    void request(const QString &method, QList<QVariant> arguments, int limitMs, Answer answer);
    void finishRequest(const QString &path, std::optional<uint> response, const QVariantMap &results);
    void bind(quint64 handle, const QString &trigger);
    void fail(quint64 handle, qint32 status);
    void closeSession(const QString &session);
    // The registration holding a session; 0 for none.
    quint64 handleOf(const QString &session) const;
    QString token(const char *kind);

    QDBusConnection bus_;
    std::function<void()> onPressed_;
    std::function<void(quint64, qint32)> onSettled_;
    QHash<QString, Answer> requests_; // by the Request object's path
    QHash<quint64, QString> sessions_; // handle -> session path ("" until created)
    quint64 nextHandle_ = 1;
    quint64 nextToken_ = 1;
};

} // namespace kelvo::portal
