#pragma once

#include "platform/HotKeys.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>

class QDBusMessage;

namespace kelvo::kwin {

// The global shortcut through KDE's shortcut service, KGlobalAccel
// (org.kde.kglobalaccel on the session bus, inside KWin on Plasma's Wayland
// session), spoken over D-Bus as KDE's own programs do.
//
// Kelvo is the component "kelvo" with the one action "toggle-panel"; both
// appear in System Settings' shortcuts, where the user can change the key.
// A registration registers the action (doRegister) and sets its key
// (setShortcutKeys, which Plasma 6 keeps where it may drop the older
// setShortcut). The first one of the service's life lets the desktop's
// stored key win ("autoloading"): a key the user chose in System Settings
// while Kelvo was not running is kept and reported as rebound. Later ones
// set the key asked for. A key the user sets in System Settings meanwhile
// (the service's yourShortcutsChanged) is reported as rebound too. Presses
// arrive as the component's globalShortcutPressed. Unregistering marks the
// action inactive, which keeps its key in the desktop's settings.
//
// Every call is asynchronous: a registration is answered as pending and
// settled when the service has set the key.
class KGlobalAccelHotKeyService final : public QObject, public HotKeyService {
    Q_OBJECT
public:
    static constexpr qint32 NoAnswerStatus = -1;   // a call failed or was not answered in time
    static constexpr qint32 TakenStatus = 3;       // another program holds the combination
    static constexpr qint32 UnknownKeyStatus = 4;  // the key position has no Qt key
    static constexpr int kAnswerLimitMs = 5000;

    static constexpr const char *kService = "org.kde.kglobalaccel";
    static constexpr const char *kComponent = "kelvo";
    static constexpr const char *kAction = "toggle-panel";

    // `defaultKey` (key position and modifiers) is given to the service as
    // the action's default, which System Settings offers to restore.
    KGlobalAccelHotKeyService(const QDBusConnection &bus, std::optional<std::pair<quint32, quint32>> defaultKey = {},
                              QObject *parent = nullptr);
    ~KGlobalAccelHotKeyService() override;

    // Whether the shortcut service is on the bus (answered within limitMs).
    static bool offered(const QDBusConnection &bus, int limitMs = 1000);
    // The action's id as the service takes it: component, action, and
    // their names for people.
    static QStringList actionId();

    void installHandler(std::function<void()> onPressed) override;
    void installSettledHandler(std::function<void(quint64 handle, qint32 status)> onSettled) override;
    void installReboundHandler(std::function<void(quint64 handle, quint32 keyCode, quint32 modifiers)> onRebound) override;
    HotKeyRegistration registerHotKey(quint32 keyCode, quint32 modifiers) override;
    void unregisterHotKey(quint64 handle) override;
    bool isHeld(quint64 handle) const override { return handle && handle == handle_; }

private slots:
    void onPressed(const QDBusMessage &message);
    void onKeysChanged(const QDBusMessage &message);

private:
    QDBusMessage call(const char *method, const QList<QVariant> &arguments) const;
    void settle(quint64 handle, int asked, int key);
    // A key the service now holds for the action, set elsewhere.
    void keyChanged(int key);

    QDBusConnection bus_;
    std::optional<int> defaultKey_;
    std::function<void()> onPressed_;
    std::function<void(quint64, qint32)> onSettled_;
    std::function<void(quint64, quint32, quint32)> onRebound_;
    quint64 handle_ = 0; // the registration held or under way, 0 for none
    quint64 nextHandle_ = 1;
    bool autoloaded_ = false;
};

} // namespace kelvo::kwin
