#pragma once

#include "platform/Accessibility.h"
#include "platform/x11/X11Connection.h"

#include <QList>

#include <memory>

namespace kelvo::x11 {

// Synthetic key events through the XTest extension. The paste modifier on
// X11 is Control: posting the events built by createKeyEvent() first
// releases (in fake events) every modifier key the user still holds, then
// presses Control, posts the events in order and releases Control, so that
// the focused window receives exactly Control plus the key.
// Trust is the presence of XTest: X11 has no permission to grant, so asking
// for it only tests again, and there is no settings page to open.
class X11SyntheticKeyboard : public SyntheticKeyboard {
public:
    explicit X11SyntheticKeyboard(const QString &displayName = {});
    ~X11SyntheticKeyboard() override;

    bool isTrusted() override;
    bool requestTrust() override;
    bool openSettings() override { return false; }

    bool createKeyEvent(quint32 keyCode, bool keyDown) override;
    void postPendingEvents() override;
    void discardPendingEvents() override { pending_.clear(); }

    // The key codes of modifier keys that are down on the server now.
    QList<quint8> heldModifierKeys();

private:
    struct PendingEvent {
        quint8 keyCode;
        bool down;
    };
    void fakeKey(quint8 keyCode, bool down);
    quint8 controlKeyCode();

    std::unique_ptr<X11Connection> connection_;
    QList<PendingEvent> pending_;
};

} // namespace kelvo::x11
