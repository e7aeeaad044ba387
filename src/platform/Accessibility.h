#pragma once

#include <QtGlobal>

namespace kelvo {

// Synthetic keyboard input and the permission it needs.
class SyntheticKeyboard {
public:
    virtual ~SyntheticKeyboard() = default;
    // Whether this process may post synthetic key events now.
    virtual bool isTrusted() = 0;
    // Like isTrusted(), and asks the user to grant the permission if not.
    virtual bool requestTrust() = 0;
    // Opens the system's settings page for the permission; false if none.
    virtual bool openSettings() = 0;

    // Builds one key event for the key position `keyCode` (9 = V) with only
    // the command modifier (the paste modifier of the platform) held.
    // Returns false when the event cannot be made.
    virtual bool createKeyEvent(quint32 keyCode, bool keyDown) = 0;
    // Posts the events built since the last post, in order.
    virtual void postPendingEvents() = 0;
    // Drops the events built since the last post without posting them.
    virtual void discardPendingEvents() = 0;
};

} // namespace kelvo
