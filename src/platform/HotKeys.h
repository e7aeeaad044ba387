#pragma once

#include <QtGlobal>

#include <functional>
#include <optional>

namespace kelvo {

// Result of a registration: `handle` set on success, else `status` carries
// the system's error code (never 0). A `pending` registration is settled
// later (the desktop may first ask the user): `handle` names it meanwhile,
// and its outcome comes through the settled handler.
struct HotKeyRegistration {
    std::optional<quint64> handle;
    qint32 status = 0;
    bool pending = false;
};

// The system-wide shortcut service. Key codes use the virtual key numbering
// by key position (0 = A, 9 = V, 49 = space ...); modifiers the mask
// command 256, shift 512, option 2048, control 4096.
class HotKeyService {
public:
    virtual ~HotKeyService() = default;
    // Installs the one press handler of the process. Presses of any
    // registered combination call it on the main thread.
    virtual void installHandler(std::function<void()> onPressed) = 0;
    // Installs the handler of late outcomes, called on the main thread: a
    // pending registration that succeeded (status 0) or failed, or a held
    // one that the system took back (status != 0; the handle is then
    // forgotten). Services that answer at once never call it.
    virtual void installSettledHandler(std::function<void(quint64 handle, qint32 status)> onSettled)
    {
        (void)onSettled;
    }
    // Installs the handler of a held registration that the desktop's own
    // shortcut settings bound to another combination (the user changed it
    // there), called on the main thread with the new key position and
    // modifiers; the registration stays held. Services whose bindings only
    // this program changes never call it.
    virtual void installReboundHandler(std::function<void(quint64 handle, quint32 keyCode, quint32 modifiers)> onRebound)
    {
        (void)onRebound;
    }
    virtual HotKeyRegistration registerHotKey(quint32 keyCode, quint32 modifiers) = 0;
    virtual void unregisterHotKey(quint64 handle) = 0;
    // Whether a registration still holds its combination. A service that
    // has to grab again after a keyboard change can lose one; it logs the
    // failure and forgets the handle, so that a new registration retries.
    virtual bool isHeld(quint64 handle) const
    {
        (void)handle;
        return true;
    }
};

} // namespace kelvo
