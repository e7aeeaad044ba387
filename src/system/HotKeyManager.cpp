#include "system/HotKeyManager.h"

#include "platform/Log.h"

#include <QPointer>

namespace kelvo {

HotKeyManager::HotKeyManager(HotKeyService &service, MainLoop &mainLoop, QObject *parent)
    : QObject(parent), service_(service), mainLoop_(mainLoop)
{
}

HotKeyManager::~HotKeyManager()
{
    if (hotKeyRef_)
        service_.unregisterHotKey(*hotKeyRef_);
}

void HotKeyManager::registerHotKey(quint32 keyCode, quint32 modifiers, std::function<void()> action)
{
    if (hotKeyRef_ && !service_.isHeld(*hotKeyRef_))
        hotKeyRef_.reset(); // lost after a keyboard change: try again
    if (hotKeyRef_ && currentKeyCode_ == keyCode && currentModifiers_ == modifiers)
        return;
    if (hotKeyRef_) {
        service_.unregisterHotKey(*hotKeyRef_);
        hotKeyRef_.reset();
    }
    currentKeyCode_.reset();
    currentModifiers_.reset();
    onToggle_ = std::move(action);
    currentKeyCode_ = keyCode;
    currentModifiers_ = modifiers;
    installEventHandlerIfNeeded();

    const HotKeyRegistration result = service_.registerHotKey(keyCode, modifiers);
    hotKeyRef_ = result.handle;
    if (!result.pending)
        settle(result.status);
}

void HotKeyManager::settled(quint64 handle, qint32 status)
{
    if (hotKeyRef_ != handle)
        return; // news of an earlier registration
    if (status != 0)
        hotKeyRef_.reset();
    settle(status);
}

void HotKeyManager::rebound(quint64 handle, quint32 keyCode, quint32 modifiers)
{
    if (hotKeyRef_ != handle || (currentKeyCode_ == keyCode && currentModifiers_ == modifiers))
        return;
    currentKeyCode_ = keyCode;
    currentModifiers_ = modifiers;
    settle(0);
    if (onRebound_)
        onRebound_(keyCode, modifiers);
}

void HotKeyManager::settle(qint32 status)
{
    if (status == 0)
        logLine(QStringLiteral("[HotKeyManager] Registered hotkey: %1 with modifiers %2")
                    .arg(currentKeyCode_.value_or(0))
                    .arg(currentModifiers_.value_or(0)));
    else
        logLine(QStringLiteral("[HotKeyManager] Failed to register hotkey: %1").arg(status));
    emit registrationSettled(status == 0);
}

void HotKeyManager::unregisterHotKey()
{
    if (hotKeyRef_) {
        service_.unregisterHotKey(*hotKeyRef_);
        hotKeyRef_.reset();
    }
    currentKeyCode_.reset();
    currentModifiers_.reset();
}

HotKeyManager::State HotKeyManager::state() const
{
    if (hotKeyRef_ && service_.isHeld(*hotKeyRef_))
        return State::Registered;
    if (currentKeyCode_)
        return State::Failed;
    return onToggle_ ? State::Unregistered : State::Idle;
}

void HotKeyManager::installEventHandlerIfNeeded()
{
    if (handlerInstalled_)
        return;
    handlerInstalled_ = true;
    QPointer<HotKeyManager> self(this);
    MainLoop &loop = mainLoop_;
    service_.installHandler([self, &loop] {
        loop.post([self] {
            if (self)
                self->pressed();
        });
    });
    service_.installSettledHandler([self, &loop](quint64 handle, qint32 status) {
        loop.post([self, handle, status] {
            if (self)
                self->settled(handle, status);
        });
    });
    service_.installReboundHandler([self, &loop](quint64 handle, quint32 keyCode, quint32 modifiers) {
        loop.post([self, handle, keyCode, modifiers] {
            if (self)
                self->rebound(handle, keyCode, modifiers);
        });
    });
}

void HotKeyManager::pressed()
{
    if (std::function<void()> action = onToggle_)
        action();
}

} // namespace kelvo
