#pragma once

#include "platform/x11/KeyTranslation.h"

#include <QList>

#include <utility>

namespace kelvo::wayland {

// One key event as Wayland compositors take keys: the key's evdev code (the
// X11 key code - 8, the same position on every layout).
struct EvdevKey {
    quint32 evdevCode;
    bool down;
};

// The key events a synthetic keyboard has built and not yet posted.
class EvdevKeyQueue {
public:
    // Adds the event of a key position (9 = V); false for a position without
    // a key code.
    bool add(quint32 keyCode, bool down)
    {
        const auto evdev = x11::evdevCodeForVirtualKey(keyCode);
        if (evdev)
            keys_.append({*evdev, down});
        return evdev.has_value();
    }
    QList<EvdevKey> take() { return std::exchange(keys_, {}); }
    void clear() { keys_.clear(); }

private:
    QList<EvdevKey> keys_;
};

} // namespace kelvo::wayland
