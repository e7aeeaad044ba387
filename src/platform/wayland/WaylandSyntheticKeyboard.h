#pragma once

#include "platform/Accessibility.h"
#include "platform/wayland/EvdevKeys.h"

#include <QObject>
#include <QString>

#include <memory>

namespace kelvo::wayland {

// Synthetic key events on a Wayland desktop through a virtual keyboard of
// Kelvo's own (zwp_virtual_keyboard_v1), made once and kept for the life of
// the program. Its keymap is the seat's own keyboard map when the compositor
// sends one, else xkbcommon's default from the XKB_DEFAULT_* variables (the
// user's configured layout). Key codes are positions (9 = V), as on X11;
// the events carry the Control modifier and nothing else, so the target
// sees exactly Control+key whatever the user still holds on the real
// keyboard (the modifier state is per keyboard).
//
// Trust is the compositor offering virtual keyboards (sway and other wlroots
// compositors; KWin 5.27 and GNOME do not).
class WaylandSyntheticKeyboard final : public QObject, public SyntheticKeyboard {
public:
    explicit WaylandSyntheticKeyboard(const QString &displayName = {}, QObject *parent = nullptr);
    ~WaylandSyntheticKeyboard() override;

    bool isValid() const;

    bool isTrusted() override;
    bool requestTrust() override { return isTrusted(); }
    bool openSettings() override { return false; }
    bool createKeyEvent(quint32 keyCode, bool keyDown) override;
    void postPendingEvents() override;
    void discardPendingEvents() override;

private:
    class Connection;
    std::unique_ptr<Connection> connection_;
    EvdevKeyQueue pending_;
};

} // namespace kelvo::wayland
