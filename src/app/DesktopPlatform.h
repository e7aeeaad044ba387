#pragma once

#include "platform/Accessibility.h"
#include "platform/Applications.h"
#include "platform/HotKeys.h"
#include "platform/Pasteboard.h"

#include <QString>

#include <functional>
#include <memory>

namespace kelvo {

// The desktop services, chosen once at start: the Wayland clipboard when the
// session is Wayland ($WAYLAND_DISPLAY) and the compositor offers
// data-control, X11 otherwise. On Wayland, the frontmost application and the
// paste keystroke are the compositor's when it offers foreign-toplevel
// management and virtual keyboards, else X11's (Xwayland); the shortcut is
// a sway binding when sway's IPC socket answers, else X11's (Xwayland).
struct DesktopPlatform {
    QString name; // "Wayland" or "X11"
    std::unique_ptr<Pasteboard> pasteboard;
    std::unique_ptr<Applications> applications;
    std::unique_ptr<HotKeyService> hotKeys;
    std::unique_ptr<SyntheticKeyboard> keyboard;
};

using DataControlProbe = std::function<bool(const QString &waylandDisplay)>;

// Chooses and builds the services; logs one line naming the platform, and
// on a Wayland session without data-control says once what that means.
// waylandDisplay is $WAYLAND_DISPLAY, swaySocket $SWAYSOCK; the probe
// defaults to asking the compositor.
DesktopPlatform createDesktopPlatform(const QString &waylandDisplay, const QString &swaySocket,
                                      const DataControlProbe &probe = {});

} // namespace kelvo
