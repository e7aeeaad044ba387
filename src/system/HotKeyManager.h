#pragma once

#include "platform/HotKeys.h"
#include "platform/Scheduler.h"

#include <QObject>

#include <functional>
#include <optional>

namespace kelvo {

// The one system-wide shortcut of the program and the action it runs.
//
// The press handler is installed on the service once, at the first
// registration, and stays bound to this manager: a press posts a task to
// the main loop, which runs the action if the manager still exists. The
// action itself therefore never runs inside the service's handler; a caller
// that must not be kept alive by it captures itself weakly. A registration
// that the service settles later is logged when its outcome arrives. A
// combination that the desktop's own settings give the held registration is
// taken on, logged and passed to the rebound handler.
class HotKeyManager : public QObject {
    Q_OBJECT
public:
    enum class State { Idle, Registered, Failed, Unregistered };

    HotKeyManager(HotKeyService &service, MainLoop &mainLoop, QObject *parent = nullptr);
    // Releases a held registration.
    ~HotKeyManager() override;

    // Registers the combination with `action` as the press action. Does
    // nothing at all when exactly this combination is already held; retries
    // after a failed attempt with the same combination.
    void registerHotKey(quint32 keyCode, quint32 modifiers, std::function<void()> action);
    // Releases the registration; the action is kept.
    void unregisterHotKey();

    // Called with the combination the desktop bound the held shortcut to,
    // once taken on (so that the stored preferences follow it).
    void setReboundHandler(std::function<void(quint32 keyCode, quint32 modifiers)> handler)
    {
        onRebound_ = std::move(handler);
    }

    State state() const;

signals:
    // The outcome of a registration, when it is known.
    void registrationSettled(bool registered);

public:
    std::optional<quint32> currentKeyCode() const { return currentKeyCode_; }
    std::optional<quint32> currentModifiers() const { return currentModifiers_; }

private:
    void installEventHandlerIfNeeded();
    void pressed();
    void settled(quint64 handle, qint32 status);
    void rebound(quint64 handle, quint32 keyCode, quint32 modifiers);
    void settle(qint32 status);

    HotKeyService &service_;
    MainLoop &mainLoop_;
    std::optional<quint64> hotKeyRef_;
    std::function<void()> onToggle_;
    std::function<void(quint32, quint32)> onRebound_;
    std::optional<quint32> currentKeyCode_;
    std::optional<quint32> currentModifiers_;
    bool handlerInstalled_ = false;
};

} // namespace kelvo
