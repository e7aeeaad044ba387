#pragma once

#include "platform/HotKeys.h"
#include "platform/wayland/SwayIpc.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

class QSocketNotifier;

namespace kelvo::wayland {

// Global shortcuts on sway through its IPC socket ($SWAYSOCK): each
// registration adds a binding (`bindsym`, the key position's symbol on the US
// layout) whose command is
// `nop kelvo-hotkey-<n>`, and its presses come back as `binding` events on a
// second, subscribed connection watched from the event loop. Bindings are
// removed when unregistered and when the service goes.
class SwayHotKeyService final : public QObject, public HotKeyService {
public:
    static constexpr qint32 NoSwayStatus = -1;     // no IPC socket to reach
    static constexpr qint32 UnknownKeyStatus = 2;  // the key position has no key code
    static constexpr qint32 RefusedStatus = 3;     // sway refused the binding

    explicit SwayHotKeyService(const QString &socketPath = {}, QObject *parent = nullptr);
    ~SwayHotKeyService() override;

    bool isValid() const { return commands_.isValid() && events_ >= 0; }

    void installHandler(std::function<void()> onPressed) override;
    HotKeyRegistration registerHotKey(quint32 keyCode, quint32 modifiers) override;
    void unregisterHotKey(quint64 handle) override;

    // "Mod4+Shift+v": sway's name of a combination of a key position.
    static std::optional<QString> bindingFor(quint32 keyCode, quint32 modifiers);

private:
    void readEvents();

    swayipc::Connection commands_;
    int events_ = -1;
    QSocketNotifier *notifier_ = nullptr;
    QByteArray buffer_;
    std::function<void()> onPressed_;
    QHash<quint64, QString> bindings_;
    QStringList unanswered_; // bindings whose request went unanswered
    quint64 nextHandle_ = 1;
};

} // namespace kelvo::wayland
